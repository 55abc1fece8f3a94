#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace orv {

// Qt hands work from one thread to another under its own locks, and a Qt that is not built
// for ThreadSanitizer keeps those locks out of the tool's sight: it cannot tell that what one
// thread wrote before a hand-over is there for the thread that takes it. These two calls mark
// such a hand-over with a token both sides know; they do nothing in other builds.
void markHandedOver(const void *token); // the handing thread, after its last write
void markTakenOver(const void *token);  // the taking thread, before its first read

// An object whose thread runs the calls posted to it with postCall.
class CallTarget : public QObject {
public:
    using QObject::QObject;

protected:
    bool event(QEvent *event) override;
};

// Runs `call` on the thread of `target`, from its event loop, after everything the posting
// thread did before the post. A call still waiting when its target is deleted never runs.
void postCall(CallTarget *target, std::function<void()> call);

} // namespace orv
