#include "composer/WindowSend.h"

#include "store/MailStore.h"
#include "ui/App.h"
#include "ui/RunProgress.h"

namespace orv {

namespace {

// A record the store refused (that message was not sent) or records it may not have kept
// (the run stopped): the store's own reason, what it meant, and how far the run got.
void reportHistoryFailure(App &app, QWidget *window, const SendOutcome &outcome)
{
    const bool refused = !outcome.storeFailure.isEmpty();
    if (!refused && outcome.syncFailure.isEmpty())
        return;
    const QString consequence =
        refused ? QStringLiteral("送信履歴に記録できないため、このメールは送信していません。")
                : QStringLiteral("送信したメールの送信履歴がディスクに書き込まれていない"
                                 "おそれがあるため、送信を中止しました。");
    const QString text =
        (refused ? outcome.storeFailure : outcome.syncFailure) + QStringLiteral("\n\n") +
        consequence +
        QStringLiteral("%1件中%2件を送信しました。").arg(outcome.count).arg(outcome.sent);
    app.showMessage(window,
                    {text, QStringLiteral("送信エラー"), QMessageBox::Ok, QMessageBox::Warning});
}

// The record of a message that did not go could not be taken back: the history lists it.
void reportWithdrawFailure(App &app, QWidget *window, const SendOutcome &outcome)
{
    if (outcome.withdrawFailure.isEmpty())
        return;
    app.showMessage(window,
                    {outcome.withdrawFailure +
                         QStringLiteral("\n\n送信できなかったメールの記録を送信履歴から取り消せ"
                                        "ませんでした。送信履歴には、送信していないメールの記録が"
                                        "残っています。"),
                     QStringLiteral("送信エラー"), QMessageBox::Ok, QMessageBox::Warning});
}

} // namespace

QString unsentText(const SendOutcome &outcome)
{
    return QStringLiteral("%1件中%2件のメールが送信されていません。")
        .arg(outcome.count)
        .arg(outcome.unsent());
}

SendRun *startWindowSend(App &app, QWidget *window, SendJob job, SentHistory history,
                         std::function<void(const SendOutcome &)> onEnd)
{
    auto *run = new SendRun(app.mail(), std::move(job), window);
    if (history == SentHistory::Record)
        run->recordInto(MailStore::SentStore(app.appDir()), app.state().sentBuffer);
    auto *progress = new RunProgressWindow(window, QStringLiteral("SendProgress"),
                                           QStringLiteral("メールを送信しています。"));
    progress->setParent(run);
    QObject::connect(progress, &RunProgressWindow::cancelRequested, run, &SendRun::requestCancel);
    QObject::connect(run, &SendRun::progress, progress, &RunProgressWindow::setProgress);
    QObject::connect(run, &SendRun::messageFailed, window, [&app, window](const QString &text) {
        app.showMessage(window, {text, QStringLiteral("送信エラー")});
    });
    QObject::connect(run, &SendRun::finished, window,
                     [&app, window, run, progress, onEnd](const SendOutcome &outcome) {
                         progress->close();
                         run->deleteLater();
                         reportHistoryFailure(app, window, outcome);
                         reportWithdrawFailure(app, window, outcome);
                         onEnd(outcome);
                     });
    run->start();
    return run;
}

} // namespace orv
