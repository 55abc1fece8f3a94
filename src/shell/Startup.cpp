#include "shell/Startup.h"

#include "addressbook/FriendForm.h"
#include "composer/WriteForm.h"
#include "core/DBusNotifier.h"
#include "shell/InstanceLock.h"
#include "shell/MainForm.h"
#include "shell/ReceiveCommand.h"
#include "store/AccountFile.h"
#include "transport/MailLibrary.h"
#include "transport/MailLibraryFactory.h"
#include "ui/App.h"
#include "ui/FluidSynthTune.h"
#include "ui/PrintModule.h"
#include "ui/ProgramFont.h"
#include "ui/QtServices.h"
#include "viewer/HistoryView.h"

#include <QApplication>

#include <cstdlib>

namespace orv {

namespace {

// Sending authenticates with the account in use, or with the saved one before any receive.
AccountCredentials smtpCredentials(App &app)
{
    const AccountCredentials &inUse = app.state().accountCredentials;
    if (!inUse.userId.isEmpty())
        return inUse;
    return AccountFile(app.appDir()).read();
}

Services desktopServices(App *const *app)
{
    Services services;
    services.messageBoxes = std::make_unique<QtMessageBoxes>();
    services.fileDialogs = std::make_unique<QtFileDialogs>();
    services.printDialogs = std::make_unique<LatePrintDialogs>();
    services.tune = std::make_unique<FluidSynthTune>();
    services.browser = std::make_unique<DesktopBrowser>();
    services.clock = std::make_unique<SystemClock>();
    services.random = std::make_unique<TimeSeededRandom>();
    services.mail = createMailLibrary([app] {
        const AccountCredentials credentials = smtpCredentials(**app);
        return std::pair{credentials.userId, credentials.password};
    });
    services.notifier = std::make_unique<DBusNotifier>();
    return services;
}

// Start-up timing (bench/startup_bench.cpp) sets ORVAINE_QUIT_WHEN_SHOWN: the program then
// ends as soon as its main window has painted once, before anything that waits for that
// paint (posted after this) runs, and without tearing down.
class QuitWhenPainted : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(
                qApp, [] { std::_Exit(0); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void wireMainForm(App &app, MainForm &mainForm)
{
    QObject::connect(&mainForm, &MainForm::receiveRequested, &mainForm,
                     [&app, &mainForm] { Receive(app, mainForm); });
    QObject::connect(&mainForm, &MainForm::composeRequested, &mainForm,
                     [&app] { app.forms().show<WriteForm>(); });
    QObject::connect(&mainForm, &MainForm::addressBookRequested, &mainForm,
                     [&app] { app.forms().show<FriendForm>(); });
    QObject::connect(&mainForm, &MainForm::receivedHistoryRequested, &mainForm,
                     [&app] { OpenHistoryView(app, ViewMode::Received); });
    QObject::connect(&mainForm, &MainForm::sentHistoryRequested, &mainForm,
                     [&app] { OpenHistoryView(app, ViewMode::Sent); });
}

int runProgram(QApplication &application)
{
    application.setApplicationName(App::applicationTitle());
    application.setQuitOnLastWindowClosed(false);
    useProgramFont();
    App *appPointer = nullptr;
    App app(AppDir(QCoreApplication::applicationDirPath()), desktopServices(&appPointer));
    appPointer = &app;
    InstanceLock lock(app.appDir());
    if (!claimProgramFolder(app, lock))
        return 1;

    MainForm mainForm(app);
    wireMainForm(app, mainForm);
    if (qEnvironmentVariableIsSet("ORVAINE_QUIT_WHEN_SHOWN"))
        mainForm.installEventFilter(new QuitWhenPainted(&mainForm));
    mainForm.show();
    return application.exec();
}

} // namespace orv
