#include "ui/PointerMoves.h"

#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

namespace orv {

namespace {

using EventTest = bool (*)(const QEvent *event);

class EventCall : public QObject {
public:
    EventCall(QWidget *widget, EventTest test, std::function<void()> call)
        : QObject(widget), m_test(test), m_call(std::move(call))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_test(event))
            m_call();
        return QObject::eventFilter(watched, event);
    }

private:
    EventTest m_test;
    std::function<void()> m_call;
};

bool isPointerMove(const QEvent *event)
{
    return event->type() == QEvent::MouseMove || event->type() == QEvent::Enter;
}

// A window coming to the front or a menu closing hands the focus back without the user
// moving it; that shows no help.
bool isFocusMovedByUser(const QEvent *event)
{
    if (event->type() != QEvent::FocusIn)
        return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent *>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

} // namespace

void onPointerMove(QWidget *widget, std::function<void()> onMove)
{
    widget->setMouseTracking(true);
    widget->installEventFilter(new EventCall(widget, isPointerMove, std::move(onMove)));
}

void onFocusOut(QWidget *widget, std::function<void()> onLeave)
{
    widget->installEventFilter(new EventCall(
        widget, [](const QEvent *event) { return event->type() == QEvent::FocusOut; },
        std::move(onLeave)));
}

void wireHelpText(QWidget *control, const QString &helpText,
                  std::function<void(const QString &)> show)
{
    if (!helpText.isEmpty())
        control->setAccessibleDescription(helpText);
    const auto showHelp = [helpText, show = std::move(show)] { show(helpText); };
    onPointerMove(control, showHelp);
    control->installEventFilter(new EventCall(control, isFocusMovedByUser, showHelp));
}

} // namespace orv
