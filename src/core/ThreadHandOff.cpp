#include "core/ThreadHandOff.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace orv {

void markHandedOver(const void *token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void *>(token));
#else
    Q_UNUSED(token);
#endif
}

void markTakenOver(const void *token)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void *>(token));
#else
    Q_UNUSED(token);
#endif
}

namespace {

QEvent::Type callEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The event is its own token: it is handed over whole once it is built, and taken over
// before its target reads it or, unread, drops it with the target on that target's thread.
class CallEvent : public QEvent {
public:
    explicit CallEvent(std::function<void()> call)
        : QEvent(callEventType()), m_call(std::move(call))
    {
        markHandedOver(this);
    }
    ~CallEvent() override { markTakenOver(this); }

    void run() { m_call(); }

private:
    std::function<void()> m_call;
};

} // namespace

bool CallTarget::event(QEvent *event)
{
    // Even its type is read only once the event is taken over; for events that are no call
    // this marks nothing.
    markTakenOver(event);
    if (event->type() != callEventType())
        return QObject::event(event);
    static_cast<CallEvent *>(event)->run();
    return true;
}

void postCall(CallTarget *target, std::function<void()> call)
{
    QCoreApplication::postEvent(target, new CallEvent(std::move(call)));
}

} // namespace orv
