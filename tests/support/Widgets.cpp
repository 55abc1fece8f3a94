#include "support/Widgets.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace orv::test {

void movePointerOver(QWidget *widget)
{
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace orv::test
