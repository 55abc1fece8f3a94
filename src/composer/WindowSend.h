#pragma once

#include "transport/SendRun.h"

#include <functional>

class QWidget;

namespace orv {

class App;

enum class SentHistory { Record, Skip };

// Starts a send run for a window: an application-modal progress window with 中止, one
// "送信エラー" box per refused message, a box when the sent store refuses a record, and
// `onEnd` with the outcome once the run is over. The run belongs to the window, so closing
// the window ends it after the message in progress.
SendRun *startWindowSend(App &app, QWidget *window, SendJob job, SentHistory history,
                         std::function<void(const SendOutcome &)> onEnd);

// "N件中M件のメールが送信されていません。"
QString unsentText(const SendOutcome &outcome);

} // namespace orv
