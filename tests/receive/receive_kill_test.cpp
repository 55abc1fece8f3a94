// A receive run killed with SIGKILL at a random moment, in a child process, then a normal
// run: every message must end up in the store exactly once and the server empty.
#include "store/MailStore.h"
#include "support/Pop3TestServer.h"
#include "support/TempProgramFolder.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSignalSpy>

#include <csignal>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::Pop3TestServer;

constexpr int kMessages = 150;
constexpr int kTrials = 25;
constexpr char kChildFolder[] = "ORV_RECEIVE_CHILD";
constexpr char kChildKill[] = "ORV_RECEIVE_CHILD_KILL";

Pop3TestServer killServer()
{
    QString problem;
    std::optional<Pop3TestServer> found = Pop3TestServer::fromEnvironment(&problem);
    if (!found)
        return {};
    return found->forUser(QStringLiteral("orvuser4"));
}

ReceiveOutcome receiveToTheEnd(const AppDir &appDir, const Pop3TestServer &server,
                               const std::function<void(ReceiveRun &)> &prepare = {})
{
    pop3::Options options;
    options.caCertificates = server.trustedCertificates();
    NMailFacade mail(nullptr, options);
    ReceiveRun run(mail, ReceiveRequest{appDir, server.plainServer(), false, server.user(),
                                        server.password()});
    if (prepare)
        prepare(run);
    QSignalSpy finished(&run, &ReceiveRun::finished);
    run.start();
    if (!finished.wait(120000))
        return {};
    return finished[0][0].value<ReceiveOutcome>();
}

// Not a test of its own: the run the kill tests start in a child process.
TEST(ReceiveChild, RunUntilKilled)
{
    const QString folder = qEnvironmentVariable(kChildFolder);
    if (folder.isEmpty())
        GTEST_SKIP() << "the kill tests' child process";
    const bool killAfterSync = qEnvironmentVariable(kChildKill) == u"synced";
    receiveToTheEnd(AppDir(folder), killServer(), [killAfterSync](ReceiveRun &run) {
        if (killAfterSync)
            QObject::connect(&run, &ReceiveRun::storeSynced, [] { std::raise(SIGKILL); });
        std::puts("RUNNING");
        std::fflush(stdout);
    });
    std::puts("DONE");
    std::fflush(stdout);
}

class ReceiveKillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString problem;
        if (!Pop3TestServer::fromEnvironment(&problem))
            FAIL() << test::runThroughTestScript(problem).toStdString();
        server = killServer();
    }
    void TearDown() override { server.clear(); }

    void fillMailbox(int trial)
    {
        server.clear();
        QFile::remove(folder.file(QStringLiteral("\\★MAilData\\krvdata2.data")));
        QFile::remove(folder.file(QStringLiteral("\\★MAilData\\krvdata2.journal")));
        for (int i = 1; i <= kMessages; ++i)
            server.deliver("From: a@example.jp\r\nSubject: trial " + QByteArray::number(trial) +
                           " message " + QByteArray::number(i) + "\r\nMessage-ID: <" +
                           QByteArray::number(trial) + '.' + QByteArray::number(i) +
                           "@example.jp>\r\n\r\nbody " + QByteArray::number(i) + "\r\n");
    }

    // Starts the child and gives the time from its start of the run to its end (or its
    // kill after `killAfterMs`).
    qint64 runChild(qint64 killAfterMs, bool killAfterSync = false)
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(kChildFolder), folder.path());
        if (killAfterSync)
            environment.insert(QString::fromLatin1(kChildKill), QStringLiteral("synced"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ReceiveChild.RunUntilKilled")});
        EXPECT_TRUE(child.waitForStarted(10000));
        QByteArray output;
        while (!output.contains("RUNNING") && child.waitForReadyRead(30000))
            output += child.readAllStandardOutput();
        QElapsedTimer running;
        running.start();
        if (killAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
            ::kill(pid_t(child.processId()), SIGKILL);
        } else {
            while (!output.contains("DONE") && child.waitForReadyRead(60000))
                output += child.readAllStandardOutput();
        }
        const qint64 elapsed = running.elapsed();
        EXPECT_TRUE(child.state() == QProcess::NotRunning || child.waitForFinished(60000));
        return elapsed;
    }

    // Every message of the trial in the store exactly once, none left on the server.
    void expectEachMessageOnce(int trial)
    {
        QHash<QString, int> seen;
        MailRecord buffer;
        ASSERT_TRUE(
            MailStore::ReceivedStore(folder.appDir())
                .ReadAll(buffer,
                         [&](int, const MailRecord &record) { ++seen[record.subject().trimmed()]; })
                .ok());
        int lost = 0;
        int duplicated = 0;
        for (int i = 1; i <= kMessages; ++i) {
            const int times = seen.value(QStringLiteral("trial %1 message %2").arg(trial).arg(i));
            lost += times == 0;
            duplicated += qMax(times - 1, 0);
        }
        EXPECT_EQ(lost, 0);
        EXPECT_EQ(duplicated, 0);
        EXPECT_EQ(seen.size(), kMessages) << "no record of anything else";
        EXPECT_TRUE(server.messages().isEmpty());
    }

    Pop3TestServer server;
    test::TempProgramFolder folder;
};

TEST_F(ReceiveKillTest, ASigkillAtRandomMomentsNeitherLosesNorDuplicatesMail)
{
    fillMailbox(0);
    const qint64 wholeRunMs = runChild(-1);
    expectEachMessageOnce(0);

    std::mt19937 random(20261210);
    // A little past the end too: a kill while QUIT is under way or after it.
    std::uniform_int_distribution<qint64> moment(0, wholeRunMs + wholeRunMs / 5);
    for (int trial = 1; trial <= kTrials; ++trial) {
        SCOPED_TRACE(trial);
        fillMailbox(trial);
        const qint64 killAfterMs = moment(random);
        runChild(killAfterMs);
        const ReceiveOutcome outcome = receiveToTheEnd(folder.appDir(), server);
        EXPECT_FALSE(outcome.mailLeftOnServer);
        expectEachMessageOnce(trial);
        if (HasFailure())
            FAIL() << "killed after " << killAfterMs << " ms of " << wholeRunMs;
    }
}

TEST_F(ReceiveKillTest, ASigkillBetweenTheSyncAndQuitLeavesNoDuplicate)
{
    fillMailbox(1);
    runChild(-1, true);
    EXPECT_EQ(MailStore::ReceivedStore(folder.appDir()).RecordCount(), kMessages);
    EXPECT_EQ(server.messages().size(), kMessages) << "killed before QUIT";
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("\\★MAilData\\krvdata2.journal"))));

    const ReceiveOutcome outcome = receiveToTheEnd(folder.appDir(), server);
    EXPECT_EQ(outcome.received, 0) << "nothing is stored twice";
    expectEachMessageOnce(1);
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("\\★MAilData\\krvdata2.journal"))))
        << "a confirmed QUIT clears the journal";
}

} // namespace
} // namespace orv
