// `orvaine --receive [--quiet]` against the private Dovecot: the program itself in a child
// process, as a timer or a script runs it, and the run in this process where the desktop
// notice is watched through a test double.
#include "ExchangeTestSupport.h"
#include "ProgramRun.h"

#include "core/Cp932.h"
#include "core/DBusNotifier.h"
#include "exchange/CommandLine.h"
#include "exchange/ReceiveCommandLine.h"
#include "shell/MainForm.h"
#include "shell/ReceiveCommand.h"
#include "store/InstanceLock.h"
#include "store/MailStore.h"
#include "support/Fakes.h"
#include "support/Pop3TestServer.h"
#include "support/TempProgramFolder.h"
#include "support/TestApp.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using exchange::CommandOutcome;

class RecordingNotifier : public DesktopNotifier {
public:
    void notify(const QString &summary) override { notices.append(summary); }
    QStringList notices;
};

QByteArray message(const QByteArray &subject, const QByteArray &body,
                   const QByteArray &extraHeaders = {})
{
    return "From: Sender <sender@example.jp>\r\nTo: orv@example.jp\r\nSubject: " + subject +
           "\r\nDate: Wed, 09 Dec 2026 10:00:00 +0900\r\nMessage-ID: <" + subject.toHex() +
           "@example.jp>\r\n" + extraHeaders + "\r\n" + body + "\r\n";
}

QByteArray messageWithAttachment(const QByteArray &subject, const QByteArray &fileName,
                                 const QByteArray &content)
{
    return message(subject,
                   "--b1\r\nContent-Type: text/plain; charset=US-ASCII\r\n\r\nSee the file.\r\n"
                   "--b1\r\nContent-Type: application/octet-stream\r\n"
                   "Content-Disposition: attachment; filename=\"" +
                       fileName + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                       content.toBase64() + "\r\n--b1--",
                   "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n");
}

void writeSettings(const TempProgramFolder &folder, const QString &pop3Server)
{
    folder.writeBytes(QStringLiteral("\\korvel.ini"),
                      "SMTP=\r\nPOP3=" + pop3Server.toUtf8() + "\r\nMAIL=\r\nAPOP=0\r\n");
}

void saveAccount(const TempProgramFolder &folder, const QString &user, const QString &password)
{
    folder.writeBytes(QStringLiteral("\\★MAilData\\iniIdPass.ini"),
                      "[EXEINI]\r\nNAME=" + user.toUtf8() + "\r\nNAME2=" + password.toUtf8() +
                          "\r\nNAME3=1\r\n");
}

// A port on 127.0.0.1 that nothing listens on.
quint16 closedPort()
{
    QTcpServer listener;
    EXPECT_TRUE(listener.listen(QHostAddress::LocalHost));
    const quint16 port = listener.serverPort();
    listener.close();
    return port;
}

// A relay on loopback to the test Dovecot that leaves STLS out of the capabilities it lists.
// The program in a child process trusts only the system's certificate authorities, not the
// test's; a server on loopback that offers no TLS may have the password in the clear, so
// through the relay the program talks to the real server in plain text.
class PlaintextRelay {
public:
    PlaintextRelay(const QString &host, quint16 port) : m_host(host), m_port(port)
    {
        std::atomic<bool> listening{false};
        m_thread = std::thread([this, &listening] {
            QTcpServer listener;
            listener.listen(QHostAddress::LocalHost);
            m_listeningPort = listener.serverPort();
            listening = true;
            while (!m_stop) {
                if (!listener.waitForNewConnection(20))
                    continue;
                std::unique_ptr<QTcpSocket> client(listener.nextPendingConnection());
                relay(*client);
            }
        });
        while (!listening)
            std::this_thread::yield();
    }
    ~PlaintextRelay()
    {
        m_stop = true;
        m_thread.join();
    }

    QString setting() const { return QStringLiteral("127.0.0.1:%1").arg(m_listeningPort.load()); }

private:
    void relay(QTcpSocket &client)
    {
        QTcpSocket server;
        server.connectToHost(m_host, m_port);
        if (!server.waitForConnected(5000))
            return;
        QByteArray fromServer;
        while (!m_stop && client.state() == QAbstractSocket::ConnectedState &&
               server.state() == QAbstractSocket::ConnectedState) {
            if (client.waitForReadyRead(5)) {
                server.write(client.readAll());
                server.flush();
            }
            if (server.waitForReadyRead(5)) {
                fromServer += server.readAll();
                forwardWholeLines(fromServer, client);
            }
        }
        client.flush();
    }

    static void forwardWholeLines(QByteArray &pending, QTcpSocket &client)
    {
        qsizetype end = 0;
        while ((end = pending.indexOf("\r\n")) >= 0) {
            const QByteArray line = pending.left(end + 2);
            pending.remove(0, end + 2);
            if (line != "STLS\r\n")
                client.write(line);
        }
        client.flush();
    }

    const QString m_host;
    const quint16 m_port;
    std::atomic<quint16> m_listeningPort{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class ReceiveCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString problem;
        std::optional<Pop3TestServer> found = Pop3TestServer::fromEnvironment(&problem);
        if (!found)
            FAIL() << runThroughTestScript(problem).toStdString();
        server = found->forUser(QStringLiteral("orvuser3"));
        server.clear();
        relay.emplace(server.host(), server.plainPort());
        // The desktop of whoever runs the tests hears nothing of them.
        m_sessionBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orvaine-test-bus");
    }
    void TearDown() override
    {
        relay.reset();
        if (m_sessionBus.isNull())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionBus);
        if (!server.user().isEmpty())
            server.clear();
    }

    void writeSettings(const QString &pop3Server) { test::writeSettings(*folder, pop3Server); }
    void saveAccount(const QString &user, const QString &password)
    {
        test::saveAccount(*folder, user, password);
    }
    // The settings and the account of the test server, reached through the relay.
    void configure()
    {
        writeSettings(relay->setting());
        saveAccount(server.user(), server.password());
    }

    ProgramResult runProgram(const QStringList &arguments)
    {
        return runProgramIn(*folder, arguments, 120000);
    }

    std::vector<MailRecord> storedRecords() const
    {
        std::vector<MailRecord> records;
        MailRecord buffer;
        EXPECT_TRUE(
            MailStore::ReceivedStore(folder->appDir())
                .ReadAll(buffer, [&](int, const MailRecord &record) { records.push_back(record); })
                .ok());
        return records;
    }
    QStringList storedSubjects() const
    {
        QStringList subjects;
        for (const MailRecord &record : storedRecords())
            subjects.append(trimBlanks(record.subject()));
        return subjects;
    }

    // The run in this process, with the test server's authority trusted and the desktop
    // notice recorded.
    CommandOutcome receiveHere(RecordingNotifier &notifier, bool quiet = false)
    {
        NMailFacade mail(nullptr, trusting());
        return exchange::receiveMail(folder->appDir(), mail, notifier, quiet);
    }
    pop3::Options trusting() const
    {
        pop3::Options options;
        options.caCertificates = server.trustedCertificates();
        return options;
    }

    Pop3TestServer server;
    std::optional<PlaintextRelay> relay;
    std::optional<TempProgramFolder> folder{std::in_place};

private:
    QByteArray m_sessionBus;
};

TEST_F(ReceiveCommandTest, StoresTheWaitingMailWithItsAttachmentsAndSaysHowMuch)
{
    configure();
    server.deliver(message("first", "Plain text."));
    server.deliver(messageWithAttachment("second", "report.bin", "attached bytes"));

    const ProgramResult received = runProgram({QStringLiteral("--receive")});
    ASSERT_TRUE(received.finished);
    EXPECT_EQ(received.exitCode, 0) << received.err.toStdString();
    EXPECT_EQ(received.out, QStringLiteral("2 件の新着メールを受信しました。\n"));
    EXPECT_EQ(received.err, QString());
    EXPECT_EQ(storedSubjects(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    const QDir attachments(folder->file(QStringLiteral("\\添付フォルダ")));
    QFile attachment(attachments.filePath(QStringLiteral("report.bin")));
    ASSERT_TRUE(attachment.open(QIODevice::ReadOnly))
        << attachments.entryList(QDir::Files).join(u',').toStdString();
    EXPECT_EQ(attachment.readAll(), QByteArray("attached bytes"));
    EXPECT_TRUE(server.messages().isEmpty());

    const ProgramResult again = runProgram({QStringLiteral("--receive")});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(again.out, QStringLiteral("新着メールはありません。\n"));
    EXPECT_EQ(storedRecords().size(), 2u);
}

TEST_F(ReceiveCommandTest, QuietPrintsNothingOnSuccess)
{
    configure();
    struct Case {
        const char *what;
        QStringList arguments;
        int delivered;
    };
    const Case cases[] = {
        {"mail arrived", {QStringLiteral("--receive"), QStringLiteral("--quiet")}, 1},
        {"no mail", {QStringLiteral("--receive"), QStringLiteral("--quiet")}, 0},
        {"switch first", {QStringLiteral("--quiet"), QStringLiteral("--receive")}, 2},
    };
    size_t stored = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < c.delivered; ++i)
            server.deliver(
                message(QByteArray(c.what).replace(' ', '_') + QByteArray::number(i), "Body."));
        const ProgramResult run = runProgram(c.arguments);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, QString());
        EXPECT_EQ(run.err, QString());
        stored += size_t(c.delivered);
        EXPECT_EQ(storedRecords().size(), stored);
    }
}

TEST_F(ReceiveCommandTest, FailuresExitWithAStatusAScriptCanActOn)
{
    struct Case {
        const char *what;
        std::function<void()> prepare;
        int exitCode;
        QString says;
    };
    std::optional<InstanceLock> heldLock;
    const QString serverDown = QStringLiteral("127.0.0.1:%1").arg(closedPort());
    const Case cases[] = {
        {"window open on the folder",
         [&] {
             configure();
             heldLock.emplace(folder->appDir());
             ASSERT_EQ(heldLock->acquire(), InstanceLock::Outcome::Acquired);
         },
         75, QStringLiteral("起動しているか")},
        {"server down",
         [&] {
             configure();
             writeSettings(serverDown);
         },
         75, QStringLiteral("接続できません")},
        {"wrong password",
         [&] {
             configure();
             saveAccount(server.user(), QStringLiteral("not-the-password"));
         },
         77, QStringLiteral("認証に失敗しました")},
        {"no settings file", [&] { saveAccount(server.user(), server.password()); }, 78,
         QStringLiteral("POP3サーバーが設定されていません")},
        {"no POP3 server in the settings",
         [&] {
             configure();
             writeSettings(QString());
         },
         78, QStringLiteral("POP3サーバーが設定されていません")},
        {"no saved account", [&] { writeSettings(relay->setting()); }, 78,
         QStringLiteral("パスワードが保存されていません")},
        {"no saved password",
         [&] {
             configure();
             saveAccount(server.user(), QString());
         },
         78, QStringLiteral("パスワードが保存されていません")},
        {"mail module missing",
         [&] {
             configure();
             folder->copyProgram();
             ASSERT_TRUE(QFile::remove(folder->path() + QStringLiteral("/orvaine-mail.so")));
         },
         1, QStringLiteral("orvaine-mail.so）を読み込めませんでした")},
    };
    server.deliver(message("waiting", "Still on the server afterwards."));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        heldLock.reset();
        folder.emplace();
        c.prepare();
        const ProgramResult run =
            runProgram({QStringLiteral("--receive"), QStringLiteral("--quiet")});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_EQ(run.out, QString());
        EXPECT_TRUE(storedRecords().empty());
        EXPECT_EQ(server.messages().size(), 1);
    }
}

TEST_F(ReceiveCommandTest, QuietBelongsToReceiveOnly)
{
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const Case cases[] = {
        {"alone", {QStringLiteral("--quiet")}, 2, QStringLiteral("--receive と一緒に")},
        {"with another command",
         {QStringLiteral("--export-addresses"), folder->path() + QStringLiteral("/book.csv"),
          QStringLiteral("--quiet")},
         2,
         QStringLiteral("--receive と一緒に")},
        {"before another command",
         {QStringLiteral("--quiet"), QStringLiteral("--export-addresses"),
          folder->path() + QStringLiteral("/book.csv")},
         2,
         QStringLiteral("--receive と一緒に")},
        {"an operand for receive",
         {QStringLiteral("--receive"), QStringLiteral("inbox")},
         2,
         QStringLiteral("inbox")},
        // Parsed as a receive: it gets as far as the missing settings.
        {"twice",
         {QStringLiteral("--receive"), QStringLiteral("--quiet"), QStringLiteral("--quiet")},
         78,
         QStringLiteral("POP3サーバー")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const CommandOutcome outcome = exchange::runCommand(c.arguments, folder->appDir());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(c.says)) << outcome.message.toStdString();
    }
    EXPECT_TRUE(exchange::runCommand({QStringLiteral("--help")}, folder->appDir())
                    .message.contains(QStringLiteral("--receive [--quiet]")));
}

// A server that lets the program in but refuses the login with the given reply.
class RefusingLogin : public UnreachableMailLibrary {
public:
    explicit RefusingLogin(QByteArray reply) : m_reply(std::move(reply)) {}
    int NMailPop3Connect(const QString &) override { return 1; }
    QString NMailGetMessage() override
    {
        return QStringLiteral(
                   "POP3サーバー「pop.example.jp」で認証に失敗しました。サーバーの応答: ") +
               QString::fromLatin1(m_reply);
    }

private:
    QByteArray m_reply;
};

TEST_F(ReceiveCommandTest, ALoginRefusedForNowIsNoWrongPassword)
{
    writeSettings(QStringLiteral("pop.example.jp"));
    saveAccount(QStringLiteral("user"), QStringLiteral("password"));
    struct Case {
        QByteArray reply;
        int exitCode;
    };
    const Case cases[] = {
        {"-ERR [IN-USE] Mailbox is locked by another session", 75},
        {"-ERR [SYS/TEMP] Try again later", 75},
        {"-ERR [AUTH] Authentication failed.", 77},
        {"-ERR Authentication failed.", 77},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        RefusingLogin mail(c.reply);
        RecordingNotifier notifier;
        const CommandOutcome outcome =
            exchange::receiveMail(folder->appDir(), mail, notifier, true);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_TRUE(outcome.message.contains(QString::fromLatin1(c.reply)))
            << outcome.message.toStdString();
    }
}

TEST_F(ReceiveCommandTest, TellsTheDesktopOnlyWhenMailWasStored)
{
    configure();
    RecordingNotifier notifier;
    server.deliver(message("one", "1"));
    server.deliver(message("two", "2"));
    CommandOutcome outcome = receiveHere(notifier, true);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.message.toStdString();
    EXPECT_EQ(notifier.notices, QStringList{QStringLiteral("2 件の新着メール")});

    notifier.notices.clear();
    outcome = receiveHere(notifier);
    EXPECT_EQ(outcome.message, QStringLiteral("新着メールはありません。"));
    EXPECT_TRUE(notifier.notices.isEmpty());

    server.deliver(message("three", "3"));
    saveAccount(server.user(), QStringLiteral("not-the-password"));
    outcome = receiveHere(notifier);
    EXPECT_EQ(outcome.exitCode, exchange::kExitLoginRefused);
    EXPECT_TRUE(notifier.notices.isEmpty());
}

TEST_F(ReceiveCommandTest, TheWindowTellsTheDesktopWhenItIsNotInFront)
{
    enum class Window { InFront, Minimized, Closed };
    struct Case {
        const char *what;
        Window window;
        QStringList notices;
    };
    const Case cases[] = {
        // The progress window over it is in front when the mail is stored.
        {"main window in front", Window::InFront, {}},
        {"main window minimized", Window::Minimized, {QStringLiteral("1 件の新着メール")}},
        {"main window closed", Window::Closed, {QStringLiteral("1 件の新着メール")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestApp fixture(true, std::make_unique<NMailFacade>(nullptr, trusting()));
        test::writeSettings(fixture.folder, server.plainServer());
        test::saveAccount(fixture.folder, server.user(), server.password());
        auto notifier = std::make_unique<RecordingNotifier>();
        const RecordingNotifier &notices = *notifier;
        fixture.app->services().notifier = std::move(notifier);
        MainForm mainForm(*fixture.app);
        if (c.window != Window::Closed) {
            mainForm.show();
            mainForm.activateWindow();
            QTRY_VERIFY(mainForm.isActiveWindow());
        }
        if (c.window == Window::Minimized)
            mainForm.showMinimized();
        server.deliver(message(QByteArray(c.what).replace(' ', '_'), "Body."));

        ReceiveRun *run = Receive(*fixture.app, mainForm);
        ASSERT_NE(run, nullptr);
        QSignalSpy finished(run, &ReceiveRun::finished);
        ASSERT_TRUE(finished.wait(60000));
        EXPECT_EQ(finished[0][0].value<ReceiveOutcome>().received, 1);
        EXPECT_EQ(notices.notices, c.notices);
    }
}

// A stand-in for the desktop's notification service: answers Notify and keeps its
// arguments.
class FakeNotificationService : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QStringLiteral("Notify"))
            return false;
        calls.append(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(quint32(calls.size()))));
        return true;
    }
    QString introspect(const QString &) const override { return {}; }

    QList<QVariantList> calls;
};

// A private session bus for one test, with the fake service on it.
class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<busconfig><type>session</type><listen>unix:path=" +
                   QFile::encodeName(m_dir.filePath(QStringLiteral("socket"))) +
                   "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                   "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted() || !m_daemon.waitForReadyRead(10000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~PrivateSessionBus()
    {
        QDBusConnection::disconnectFromBus(kServiceConnection);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    const QString &address() const { return m_address; }

    bool offerService(FakeNotificationService &service)
    {
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, kServiceConnection);
        return bus.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
               bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                         &service);
    }

private:
    inline static const QString kServiceConnection = QStringLiteral("fake-notifications");
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

TEST(DBusNotifier, SendsTheNoticeToTheNotificationService)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (scripts/install-deps.sh test)";
    FakeNotificationService service;
    ASSERT_TRUE(bus.offerService(service));

    DBusNotifier notifier(bus.address());
    notifier.notify(newMailNotice(3));
    QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 1, 10000);
    const QVariantList arguments = service.calls[0];
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), QStringLiteral("Orvaine Mail"));
    EXPECT_EQ(arguments[1].toUInt(), 0u); // replaces no earlier notice
    EXPECT_EQ(arguments[3].toString(), QStringLiteral("3 件の新着メール"));
    EXPECT_EQ(arguments[7].toInt(), -1); // the service decides how long it shows
}

TEST(DBusNotifier, WithoutServiceOrBusNothingFailsAndNothingWaits)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (scripts/install-deps.sh test)";
    QTemporaryDir empty;
    const QString noBus = QStringLiteral("unix:path=") + empty.filePath(QStringLiteral("none"));
    for (const QString &address : {bus.address(), noBus, QString()}) {
        SCOPED_TRACE(address.toStdString());
        QElapsedTimer timer;
        timer.start();
        DBusNotifier notifier(address);
        notifier.notify(newMailNotice(1));
        notifier.waitForDelivery();
        EXPECT_LT(timer.elapsed(), DBusNotifier::kReplyTimeoutMs);
    }
}

TEST_F(ReceiveCommandTest, TheProgramTellsTheSessionBusOfItsDesktop)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon (scripts/install-deps.sh test)";
    FakeNotificationService service;
    ASSERT_TRUE(bus.offerService(service));
    configure();
    server.deliver(message("noticed", "Body."));

    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    // The service answers from this thread, which the run below does not serve: the
    // program waits its short while for the answer and ends all the same.
    const ProgramResult run = runProgram({QStringLiteral("--receive"), QStringLiteral("--quiet")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 1, 10000);
    EXPECT_EQ(service.calls[0][3].toString(), QStringLiteral("1 件の新着メール"));
}

} // namespace
} // namespace orv::test
