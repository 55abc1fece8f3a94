#include "ui/ClickableLabel.h"

#include <QMouseEvent>

#include <utility>

namespace orv {

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void ClickableLabel::mousePressEvent(QMouseEvent *event)
{
    // The second press of a double click comes with the double click itself (same moment,
    // before or after it); any later press starts a click of its own.
    if (event->timestamp() != m_doubleClickTime)
        m_endsDoubleClick = false;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool endsDoubleClick = std::exchange(m_endsDoubleClick, false);
    if (event->button() == Qt::LeftButton && isEnabled() && !endsDoubleClick &&
        rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_endsDoubleClick = event->button() == Qt::LeftButton;
    m_doubleClickTime = event->timestamp();
    if (event->button() == Qt::LeftButton && isEnabled())
        emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

} // namespace orv
