#include "shell/ReceiveCommand.h"

#include "shell/IdPassForm.h"
#include "shell/MainForm.h"
#include "store/AccountFile.h"
#include "transport/Receive.h"
#include "ui/App.h"
#include "ui/RunProgress.h"
#include "viewer/EditorCommands.h"
#include "viewer/TyakuForm.h"

#include <QApplication>
#include <QPointer>

#include <memory>

namespace orv {

namespace {

const QString kNewMailPicture = QStringLiteral("\\新着画像\\1.jpg ");

ReceiveRequest requestFor(App &app)
{
    const AccountCredentials saved = AccountFile(app.appDir()).read();
    const ServerSettings &settings = app.state().serverSettings;
    return ReceiveRequest{app.appDir(), settings.pop3Server, settings.apop != 0, saved.userId,
                          saved.password};
}

void useAccount(App &app, const QString &userId, const QString &password)
{
    IdPassForm *dialog = app.forms().get<IdPassForm>();
    dialog->IdText()->setText(userId);
    dialog->PassText()->setText(password);
    app.state().accountCredentials = AccountCredentials{userId, password};
}

// The viewer's message fields and the received buffer hold the last message stored.
void stageLastMessage(App &app, const ReceivedMessage &message)
{
    app.state().receivedBuffer = message.record;
    TyakuForm *viewer = app.forms().get<TyakuForm>();
    viewer->Text7()->setText(message.fields.subject);
    viewer->Text8()->setText(message.fields.from);
    viewer->Text9()->setText(message.fields.date);
    setEditorText(*viewer->rtfEd(), message.body);
}

// The user is looking at the main window when it is open and the window in front is it or
// one of its own, such as the progress window over it.
bool mainWindowInFront(const MainForm &mainForm)
{
    if (!mainForm.isVisible() || mainForm.isMinimized())
        return false;
    for (const QWidget *window = QApplication::activeWindow(); window;
         window = window->parentWidget()) {
        if (window == &mainForm)
            return true;
    }
    return false;
}

// The main window says it itself when the user is looking at it.
void tellTheDesktop(App &app, const MainForm &mainForm, const ReceiveOutcome &outcome)
{
    DesktopNotifier *notifier = app.services().notifier.get();
    if (notifier && outcome.announcesNewMail() && !mainWindowInFront(mainForm))
        notifier->notify(newMailNotice(outcome.received));
}

void announce(App &app, MainForm &mainForm, const ReceiveOutcome &outcome)
{
    if (outcome.last) {
        stageLastMessage(app, *outcome.last);
        mainForm.clearClock();
    }
    if (outcome.announcesNewMail()) {
        mainForm.Play();
        mainForm.setResultLabel(QString::number(outcome.received) +
                                QStringLiteral("の新着メール有り。"));
        mainForm.showPicture(kNewMailPicture);
    } else if (outcome.mailLeftOnServer) {
        mainForm.setResultLabel(QStringLiteral("サーバーにメールが残っています。"));
    } else {
        mainForm.setResultLabel(QStringLiteral("新着メール無し。"));
    }
}

void wireProgress(ReceiveRun *run, MainForm &mainForm)
{
    // The window appears with the first message, and 中止 closes it at once: the run ends
    // on its own worker thread without keeping the user waiting.
    auto progress = std::make_shared<QPointer<RunProgressWindow>>();
    QObject::connect(
        run, &ReceiveRun::progress, &mainForm, [run, progress, &mainForm](int number, int count) {
            if (!*progress) {
                auto *window = new RunProgressWindow(&mainForm, QStringLiteral("ReceiveProgress"),
                                                     QStringLiteral("メールを受信しています。"));
                window->setParent(run);
                QObject::connect(window, &RunProgressWindow::cancelRequested, run, [run, window] {
                    run->requestCancel();
                    window->close();
                });
                *progress = window;
            }
            (*progress)->setProgress(number, count);
        });
    QObject::connect(run, &ReceiveRun::finished, &mainForm, [progress] {
        if (*progress)
            (*progress)->close();
    });
}

} // namespace

ReceiveRun *Receive(App &app, MainForm &mainForm)
{
    if (mainForm.findChild<ReceiveRun *>(QString(), Qt::FindDirectChildrenOnly))
        return nullptr;
    auto *run = new ReceiveRun(app.mail(), requestFor(app), &mainForm);
    QObject::connect(run, &ReceiveRun::checkingMail, &mainForm, [&mainForm] {
        mainForm.setStatusLine(QStringLiteral("メールのチェックをしています。"));
    });
    QObject::connect(run, &ReceiveRun::accountInUse, &mainForm,
                     [&app](const QString &userId, const QString &password) {
                         useAccount(app, userId, password);
                     });
    QObject::connect(run, &ReceiveRun::credentialsNeeded, &mainForm,
                     [&app] { app.forms().show<IdPassForm>(); });
    QObject::connect(
        run, &ReceiveRun::failed, &mainForm,
        [&app, &mainForm](const QString &text, const QString &title) {
            app.showMessage(&mainForm, {text, title, QMessageBox::Ok, QMessageBox::NoIcon});
        });
    // Asked before the progress window closes, while it still stands for the main window.
    QObject::connect(run, &ReceiveRun::finished, &mainForm,
                     [&app, &mainForm](const ReceiveOutcome &outcome) {
                         tellTheDesktop(app, mainForm, outcome);
                     });
    wireProgress(run, mainForm);
    QObject::connect(run, &ReceiveRun::finished, &mainForm,
                     [&app, &mainForm, run](const ReceiveOutcome &outcome) {
                         // No longer the run under way, even before it is deleted.
                         run->setParent(nullptr);
                         run->deleteLater();
                         announce(app, mainForm, outcome);
                     });
    run->start();
    return run;
}

} // namespace orv
