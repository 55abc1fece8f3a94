// What real servers will not do on demand: a scripted POP3 server in a thread of the test
// process that drops, stalls, garbles or refuses to pipeline.
#include "support/ScriptedPop3Server.h"
#include "transport/NMailFacade.h"
#include "transport/pop3/Pop3Session.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace orv {
namespace {

using test::FaultLog;
using test::FaultScript;
using test::ScriptedPop3Server;

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

// A byte now and then keeps the silence short but cannot hold a session for ever.
TEST(Pop3Faults, ATrickleBelowTheRateFloorEndsTheSessionAsAStall)
{
    FaultScript script;
    script.messages = threeMessages();
    script.trickleDuringRetrOf = 1;
    script.trickleIntervalMs = 50;
    ScriptedPop3Server server(script);
    pop3::Options options = shortTimeouts();
    options.rateWindowMs = 600;
    options.minimumBytesPerWindow = 1024;

    QElapsedTimer timer;
    timer.start();
    Receiver receiver(server.setting(), options);
    ASSERT_EQ(receiver.login(), 3);
    EXPECT_LT(receiver.get(1), 0);
    EXPECT_GE(timer.elapsed(), 600);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_NE(receiver.message().find("遅すぎる"), std::string::npos) << receiver.message();
}

// The session waits on a worker thread; asking that thread to stop ends any wait at once
// and leaves the session able to say QUIT.
TEST(Pop3Faults, AnInterruptedWaitEndsWithinAFewTensOfMilliseconds)
{
    FaultScript script;
    script.messages = threeMessages();
    script.stallDuringRetrOf = 2;
    ScriptedPop3Server server(script);
    pop3::Options options = shortTimeouts();
    options.stallTimeoutMs = 60000;
    options.quitAfterCancelMs = 200;

    int stored = 0;
    int closed = 0;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        Receiver receiver(server.setting(), options);
        receiver.login();
        stored = receiver.get(1);
        receiver.library.NMailPop3DeleteMail(receiver.handle, 1);
        receiver.get(2);
        closed = receiver.library.NMailPop3Close(receiver.handle);
    }));
    worker->start();
    QThread::msleep(300);
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    worker->requestInterruption();
    ASSERT_TRUE(worker->wait(5000));
    EXPECT_EQ(stored, 0);
    EXPECT_LT(sinceRequest.elapsed(), 1000) << "QUIT's wait is bounded after a cancel";
    EXPECT_LT(closed, 0) << "the stalled server never answered QUIT";
    EXPECT_TRUE(server.finish().deleted.isEmpty());
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
