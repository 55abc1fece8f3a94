// What real servers will not do on demand: a scripted POP3 server in a thread of the test
// process that drops, stalls, garbles or refuses to pipeline.
#include "transport/NMailFacade.h"
#include "transport/pop3/Pop3Session.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace orv {
namespace {

struct FaultScript {
    QByteArray greeting = "+OK scripted server ready <1234.5678@orvaine.test>";
    bool pipelining = true;
    QList<QByteArray> messages;
    bool stallGreeting = false;
    int dropDuringRetrOf = 0;
    int stallDuringRetrOf = 0;
    int shortRetrOf = 0;
    QByteArray garbleReplyTo;
    // Holds back the first RETR reply, so that pipelined commands are surely waiting.
    int firstRetrDelayMs = 0;
};

struct FaultLog {
    QList<QByteArray> commands;
    int connections = 0;
    // A command arrived before the reply to the previous one was sent.
    bool overlapped = false;
    // Deletions the server carried out (at QUIT).
    QList<int> deleted;
};

class ScriptedPop3Server {
public:
    explicit ScriptedPop3Server(FaultScript script) : m_script(std::move(script))
    {
        std::promise<quint16> port;
        std::future<quint16> ready = port.get_future();
        m_thread = std::thread([this, port = std::move(port)]() mutable { run(port); });
        m_port = ready.get();
    }
    ~ScriptedPop3Server() { finish(); }

    QString setting() const { return u"127.0.0.1:"_qs + QString::number(m_port); }

    FaultLog finish()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_log;
    }

private:
    void run(std::promise<quint16> &port)
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        port.set_value(server.serverPort());
        while (!m_stop) {
            if (!server.waitForNewConnection(20))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            ++m_log.connections;
            serve(*socket);
        }
    }

    void serve(QTcpSocket &socket)
    {
        QList<int> marked;
        if (m_script.stallGreeting)
            return waitUntilStopped(socket);
        reply(socket, m_script.greeting + "\r\n");
        while (!m_stop && socket.state() == QAbstractSocket::ConnectedState) {
            if (!socket.canReadLine()) {
                socket.waitForReadyRead(20);
                continue;
            }
            const QByteArray command = socket.readLine().trimmed();
            m_log.commands.append(command);
            if (socket.bytesAvailable() > 0)
                m_log.overlapped = true;
            const QByteArray verb = command.split(' ').value(0).toUpper();
            const int number = command.split(' ').value(1).toInt();
            if (verb == m_script.garbleReplyTo) {
                reply(socket, "HELLO, this is not POP3\r\n");
            } else if (verb == "CAPA") {
                reply(socket, "+OK\r\nUSER\r\nUIDL\r\n" +
                                  QByteArray(m_script.pipelining ? "PIPELINING\r\n" : "") +
                                  ".\r\n");
            } else if (verb == "LIST") {
                QByteArray list = "+OK\r\n";
                for (int i = 0; i < m_script.messages.size(); ++i)
                    list += QByteArray::number(i + 1) + ' ' +
                            QByteArray::number(m_script.messages[i].size()) + "\r\n";
                reply(socket, list + ".\r\n");
            } else if (verb == "UIDL") {
                QByteArray list = "+OK\r\n";
                for (int i = 1; i <= m_script.messages.size(); ++i)
                    list += QByteArray::number(i) + " uid" + QByteArray::number(i) + "\r\n";
                reply(socket, list + ".\r\n");
            } else if (verb == "RETR" && number >= 1 && number <= m_script.messages.size()) {
                if (!retrieve(socket, number))
                    return;
            } else if (verb == "DELE") {
                marked.append(number);
                reply(socket, "+OK marked\r\n");
            } else if (verb == "QUIT") {
                m_log.deleted = marked;
                reply(socket, "+OK bye\r\n");
                socket.disconnectFromHost();
                return;
            } else if (verb == "USER" || verb == "PASS" || verb == "APOP") {
                reply(socket, "+OK\r\n");
            } else {
                reply(socket, "-ERR unknown command\r\n");
            }
        }
    }

    // False when the script ends the connection here.
    bool retrieve(QTcpSocket &socket, int number)
    {
        if (std::exchange(m_script.firstRetrDelayMs, 0) > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const QByteArray message = m_script.messages[number - 1];
        const QByteArray half = "+OK\r\n" + message.left(message.size() / 2);
        if (number == m_script.dropDuringRetrOf) {
            reply(socket, half);
            socket.abort();
            return false;
        }
        if (number == m_script.stallDuringRetrOf) {
            reply(socket, half);
            waitUntilStopped(socket);
            return false;
        }
        // A message ended early but properly terminated: only its header arrives.
        const QByteArray sent = number == m_script.shortRetrOf
                                    ? message.left(message.indexOf("\r\n\r\n") + 4)
                                    : message;
        reply(socket, "+OK\r\n" + sent + ".\r\n");
        return true;
    }

    static void reply(QTcpSocket &socket, const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.waitForBytesWritten(1000);
    }

    void waitUntilStopped(QTcpSocket &socket)
    {
        while (!m_stop && socket.state() == QAbstractSocket::ConnectedState)
            socket.waitForReadyRead(20);
    }

    FaultScript m_script;
    FaultLog m_log;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    quint16 m_port = 0;
};

QList<QByteArray> threeMessages()
{
    return {"Subject: one\r\n\r\nfirst\r\n", "Subject: two\r\n\r\nsecond message\r\n",
            "Subject: three\r\n\r\n" + QByteArray(3000, 'z') + "\r\n"};
}

pop3::Options shortTimeouts()
{
    pop3::Options options;
    options.connectTimeoutMs = 2000;
    options.stallTimeoutMs = 300;
    return options;
}

struct Receiver {
    explicit Receiver(const QString &setting, pop3::Options options = shortTimeouts())
        : library(nullptr, std::move(options))
    {
        handle = library.NMailPop3Connect(setting);
    }
    int login() { return library.NMailPop3Authenticate(handle, u"user"_qs, u"secret"_qs, 0); }
    int get(int number)
    {
        MailHeaderFields fields;
        return library.NMailPop3GetMail(handle, number, fields, body, 0, 0);
    }
    std::string message() { return library.NMailGetMessage().toStdString(); }

    NMailFacade library;
    int handle = -1;
    QString body;
};

TEST(Pop3Faults, ConnectionLostInRetrIsAnErrorAndDeletesNothing)
{
    FaultScript script;
    script.messages = threeMessages();
    script.dropDuringRetrOf = 2;
    script.pipelining = false;
    ScriptedPop3Server server(script);

    Receiver receiver(server.setting());
    ASSERT_EQ(receiver.login(), 3);
    ASSERT_EQ(receiver.get(1), 0);
    EXPECT_EQ(receiver.library.NMailPop3DeleteMail(receiver.handle, 1), 0);
    EXPECT_LT(receiver.get(2), 0);
    EXPECT_NE(receiver.message().find("接続が切れました"), std::string::npos) << receiver.message();
    EXPECT_TRUE(receiver.body.isEmpty() || receiver.body == u"first\r\n"_qs)
        << "no part of the cut message is handed out";
    EXPECT_LT(receiver.get(3), 0) << "the lost session is not silently replaced";
    EXPECT_LT(receiver.library.NMailPop3Close(receiver.handle), 0);

    const FaultLog log = server.finish();
    EXPECT_EQ(log.connections, 1);
    EXPECT_TRUE(log.deleted.isEmpty());
    EXPECT_FALSE(log.commands.contains("QUIT"));
}

TEST(Pop3Faults, SilentServerTimesOut)
{
    struct Case {
        const char *name;
        bool stallGreeting;
        int stallDuringRetrOf;
    };
    for (const Case c : {Case{"greeting", true, 0}, Case{"inside_retr", false, 1}}) {
        SCOPED_TRACE(c.name);
        FaultScript script;
        script.messages = threeMessages();
        script.stallGreeting = c.stallGreeting;
        script.stallDuringRetrOf = c.stallDuringRetrOf;
        ScriptedPop3Server server(script);

        QElapsedTimer timer;
        timer.start();
        Receiver receiver(server.setting());
        const int result = c.stallGreeting ? receiver.handle : (receiver.login(), receiver.get(1));
        EXPECT_LT(result, 0);
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_NE(receiver.message().find("応答がありません"), std::string::npos)
            << receiver.message();
    }
}

TEST(Pop3Faults, GarbledOrShortRepliesAreErrorsNeverSuccess)
{
    {
        FaultScript script;
        script.messages = threeMessages();
        script.garbleReplyTo = "LIST";
        ScriptedPop3Server server(script);
        Receiver receiver(server.setting());
        EXPECT_LT(receiver.login(), 0);
        EXPECT_NE(receiver.message().find("解釈できない応答"), std::string::npos)
            << receiver.message();
    }
    {
        FaultScript script;
        script.messages = threeMessages();
        script.shortRetrOf = 3;
        ScriptedPop3Server server(script);
        Receiver receiver(server.setting());
        ASSERT_EQ(receiver.login(), 3);
        EXPECT_EQ(receiver.get(1), 0);
        EXPECT_LT(receiver.get(3), 0);
        EXPECT_NE(receiver.message().find("途中で切れています"), std::string::npos)
            << receiver.message();
    }
}

TEST(Pop3Faults, ApopWithoutTimestampFailsClearlyWithoutSendingThePassword)
{
    FaultScript script;
    script.greeting = "+OK ready";
    ScriptedPop3Server server(script);
    Receiver receiver(server.setting());
    ASSERT_GT(receiver.handle, 0);
    EXPECT_LT(receiver.library.NMailPop3Authenticate(receiver.handle, u"user"_qs, u"secret"_qs, -1),
              0);
    EXPECT_NE(receiver.message().find("APOPに対応していません"), std::string::npos)
        << receiver.message();
    receiver.library.NMailEndWinSock();
    for (const QByteArray &command : server.finish().commands)
        EXPECT_FALSE(command.startsWith("APOP") || command.startsWith("PASS"))
            << command.constData();
}

// The receive run's loop. With PIPELINING the engine sends ahead, but DELE only for the
// messages the program deleted; without it, never a second command before a reply.
TEST(Pop3Faults, PipelinesOnlyWhenOfferedAndDeletesOnlyWhatWasAsked)
{
    for (const bool pipelining : {false, true}) {
        SCOPED_TRACE(pipelining);
        FaultScript script;
        for (int i = 1; i <= 6; ++i)
            script.messages.append("Subject: " + QByteArray::number(i) + "\r\n\r\nbody " +
                                   QByteArray::number(i) + "\r\n");
        script.pipelining = pipelining;
        script.firstRetrDelayMs = 50;
        ScriptedPop3Server server(script);

        Receiver receiver(server.setting());
        ASSERT_EQ(receiver.login(), 6);
        for (int number = 1; number <= 6; ++number) {
            ASSERT_EQ(receiver.get(number), 0) << receiver.message();
            EXPECT_EQ(receiver.body, u"body "_qs + QString::number(number) + u"\r\n"_qs);
            if (number != 4) {
                EXPECT_EQ(receiver.library.NMailPop3DeleteMail(receiver.handle, number), 0);
            }
        }
        EXPECT_EQ(receiver.library.NMailPop3Close(receiver.handle), 0) << receiver.message();

        const FaultLog log = server.finish();
        EXPECT_EQ(log.overlapped, pipelining);
        EXPECT_EQ(log.deleted, (QList<int>{1, 2, 3, 5, 6}));
        EXPECT_EQ(log.commands.count("RETR 4"), 1) << "each message is fetched once";
    }
}

} // namespace
} // namespace orv
