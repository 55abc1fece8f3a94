#include "ui/PointerMoves.h"

#include <QEvent>
#include <QWidget>

namespace orv {

namespace {

class PointerMoveFilter : public QObject {
public:
    PointerMoveFilter(QWidget *widget, std::function<void()> onMove)
        : QObject(widget), m_onMove(std::move(onMove))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
            m_onMove();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onMove;
};

} // namespace

void onPointerMove(QWidget *widget, std::function<void()> onMove)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(new PointerMoveFilter(widget, std::move(onMove)));
}

} // namespace orv
