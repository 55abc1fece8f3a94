#include "exchange/ReceiveCommandLine.h"

#include "core/DBusNotifier.h"
#include "store/AccountFile.h"
#include "store/Settings.h"
#include "transport/MailLibrary.h"
#include "transport/MailLibraryFactory.h"
#include "transport/MailModule.h"
#include "transport/Receive.h"

#include <QEventLoop>

namespace orv::exchange {

namespace {

const QString kNoServer = QStringLiteral("POP3サーバーが設定されていません。"
                                         "ウィンドウの「設定」でPOP3サーバーを設定してください。");
const QString kNoAccount =
    QStringLiteral("ユーザーIDとパスワードが保存されていません。"
                   "ウィンドウの「受信」で入力し、保存してから実行してください。");

ReceiveRequest savedRequest(const AppDir &appDir)
{
    const ServerSettings settings = LoadSettings(appDir);
    const AccountCredentials saved = AccountFile(appDir).read();
    return ReceiveRequest{appDir, settings.pop3Server, settings.apop != 0, saved.userId,
                          saved.password};
}

int exitCodeFor(ReceiveFailure failure)
{
    switch (failure) {
    case ReceiveFailure::None:
        return 0;
    case ReceiveFailure::SettingsMissing:
        return kExitSettingsMissing;
    case ReceiveFailure::ServerUnreachable:
        return kExitFolderBusy;
    case ReceiveFailure::LoginRefused:
        return kExitLoginRefused;
    case ReceiveFailure::Other:
        break;
    }
    return kExitFailed;
}

QString countReport(const ReceiveOutcome &outcome)
{
    if (outcome.announcesNewMail())
        return QStringLiteral("%1 件の新着メールを受信しました。").arg(outcome.received);
    return QStringLiteral("新着メールはありません。");
}

// The window asks for a missing setting in a window of its own; here it is said in words,
// before any connection is made.
QString missingSetting(const ReceiveRequest &request)
{
    if (request.pop3Server.isEmpty())
        return kNoServer;
    if (request.userId.isEmpty() || request.password.isEmpty())
        return kNoAccount;
    return {};
}

} // namespace

CommandOutcome receiveMail(const AppDir &appDir, MailLibrary &mail, DesktopNotifier &notifier,
                           bool quiet)
{
    const ReceiveRequest request = savedRequest(appDir);
    if (const QString missing = missingSetting(request); !missing.isEmpty())
        return {kExitSettingsMissing, missing};
    mail.NMailInitializeWinSock();
    ReceiveRun run(mail, request);
    QStringList notices;
    QObject::connect(&run, &ReceiveRun::failed, &run,
                     [&notices](const QString &text, const QString &) { notices.append(text); });
    ReceiveOutcome outcome;
    QEventLoop loop;
    QObject::connect(&run, &ReceiveRun::finished, &loop, [&](const ReceiveOutcome &ended) {
        outcome = ended;
        loop.quit();
    });
    run.start();
    loop.exec();
    mail.NMailEndWinSock();

    if (outcome.announcesNewMail())
        notifier.notify(newMailNotice(outcome.received));
    // The texts the window shows in its message boxes, in their order. Those that did not
    // stop the run (a split message not yet whole) are part of a successful report too;
    // --quiet leaves out the count only.
    const bool failed = outcome.failure != ReceiveFailure::None;
    QStringList lines = notices;
    if (failed ? outcome.announcesNewMail() : !quiet)
        lines.append(countReport(outcome));
    return {exitCodeFor(outcome.failure), lines.join(QLatin1Char('\n'))};
}

CommandOutcome receiveCommand(const QStringList &switches, const AppDir &appDir)
{
    // Without the mail module no receive can start: an installation to mend, not a server
    // to wait for.
    QString unavailable;
    if (!mailModule(&unavailable))
        return {kExitFailed, unavailable};
    // The credentials are those SMTP asks for; receiving takes the account from the request.
    const std::unique_ptr<MailLibrary> mail = createMailLibrary(nullptr);
    DBusNotifier notifier;
    const CommandOutcome outcome =
        receiveMail(appDir, *mail, notifier, switches.contains(kQuietSwitch));
    notifier.waitForDelivery();
    return outcome;
}

} // namespace orv::exchange
