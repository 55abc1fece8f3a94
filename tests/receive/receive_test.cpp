#include "core/Cp932.h"
#include "shell/IdPassForm.h"
#include "shell/MainForm.h"
#include "shell/ReceiveCommand.h"
#include "store/MailStore.h"
#include "support/Pop3TestServer.h"
#include "support/ScriptedPop3Server.h"
#include "support/TestApp.h"
#include "support/Widgets.h"
#include "transport/NMailFacade.h"
#include "transport/Receive.h"
#include "viewer/EditorCommands.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListModel.h"
#include "viewer/TyakuForm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <unistd.h>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::Pop3TestServer;

// The real mail library with a fault of our choosing, for what the real server will not do
// on demand: the fetch of one message fails as a dropped connection would.
class FailingFetch : public NMailFacade {
public:
    FailingFetch(pop3::Options options, int failingNumber)
        : NMailFacade(nullptr, std::move(options)), m_failingNumber(failingNumber)
    {
    }
    int NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                           bool &bodyMentionsAttachment, QString &wholeMessage) override
    {
        if (number == m_failingNumber) {
            m_failed = true;
            return nmail::kFailed;
        }
        return NMailFacade::NMailPop3FetchMail(handle, number, fields, bodyMentionsAttachment,
                                               wholeMessage);
    }
    QString NMailGetMessage() override
    {
        return m_failed ? QStringLiteral("POP3サーバーとの接続が切れました。")
                        : NMailFacade::NMailGetMessage();
    }

private:
    int m_failingNumber;
    bool m_failed = false;
};

QByteArray message(const QByteArray &subject, const QByteArray &body,
                   const QByteArray &extraHeaders = {})
{
    return "From: Sender <sender@example.jp>\r\nTo: orv@example.jp\r\nSubject: " + subject +
           "\r\nDate: Wed, 09 Dec 2026 10:00:00 +0900\r\nMessage-ID: <" + subject.toHex() +
           "@example.jp>\r\n" + extraHeaders + "\r\n" + body + "\r\n";
}

class ReceiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString problem;
        std::optional<Pop3TestServer> found = Pop3TestServer::fromEnvironment(&problem);
        if (!found)
            FAIL() << test::runThroughTestScript(problem).toStdString();
        server = found->forUser(QStringLiteral("orvuser4"));
        server.clear();
    }
    void TearDown() override
    {
        if (!server.user().isEmpty())
            server.clear();
    }

    pop3::Options trusting() const
    {
        pop3::Options options;
        options.caCertificates = server.trustedCertificates();
        return options;
    }

    void start(std::unique_ptr<MailLibrary> mail = nullptr, bool apop = false)
    {
        fixture = std::make_unique<test::TestApp>(
            true, mail ? std::move(mail) : std::make_unique<NMailFacade>(nullptr, trusting()));
        const QByteArray settings =
            "POP3=" + server.plainServer().toUtf8() + "\r\nAPOP=" + (apop ? "1" : "0") + "\r\n";
        fixture->folder.writeBytes(QStringLiteral("\\korvel.ini"), settings);
        saveAccount(server.user(), server.password());
        mainForm = std::make_unique<MainForm>(*fixture->app);
    }
    void saveAccount(const QString &user, const QString &password)
    {
        fixture->folder.writeBytes(QStringLiteral("\\★MAilData\\iniIdPass.ini"),
                                   "[EXEINI]\r\nNAME=" + user.toUtf8() +
                                       "\r\nNAME2=" + password.toUtf8() + "\r\nNAME3=1\r\n");
    }
    // Runs the main window's Receive command to its end.
    ReceiveOutcome receive()
    {
        ReceiveRun *run = Receive(*fixture->app, *mainForm);
        EXPECT_NE(run, nullptr);
        if (!run)
            return {};
        QSignalSpy finished(run, &ReceiveRun::finished);
        EXPECT_TRUE(finished.wait(60000));
        return finished.isEmpty() ? ReceiveOutcome() : finished[0][0].value<ReceiveOutcome>();
    }
    ReceiveRequest request()
    {
        return ReceiveRequest{fixture->app->appDir(),
                              fixture->app->state().serverSettings.pop3Server, false, server.user(),
                              server.password()};
    }

    MailStore store() { return MailStore::ReceivedStore(fixture->app->appDir()); }
    std::vector<MailRecord> storedRecords()
    {
        std::vector<MailRecord> records;
        MailRecord buffer;
        EXPECT_TRUE(
            store()
                .ReadAll(buffer, [&](int, const MailRecord &record) { records.push_back(record); })
                .ok());
        return records;
    }
    QString resultLabel()
    {
        return test::control<QLabel>(mainForm.get(), QStringLiteral("Label12"))->text();
    }
    QStringList messageTexts()
    {
        QStringList texts;
        for (const MessageBoxRequest &box : fixture->messageBoxes->shown)
            texts << box.title + QStringLiteral(": ") + box.text;
        return texts;
    }

    Pop3TestServer server;
    std::unique_ptr<test::TestApp> fixture;
    std::unique_ptr<MainForm> mainForm;
};

TEST_F(ReceiveTest, ThreeMessagesFollowFiveStoredRecordsInOrderAndLeaveTheServerEmpty)
{
    start();
    MailStore received = store();
    for (int i = 1; i <= 5; ++i) {
        MailRecord old;
        old.setSubject(QStringLiteral("old %1").arg(i));
        ASSERT_TRUE(received.Append(old).ok());
    }
    for (const char *subject : {"first", "second", "third"})
        server.deliver(message(subject, QByteArray("Body of ") + subject));

    receive();

    const std::vector<MailRecord> records = storedRecords();
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(trimBlanks(records[5].subject()), QStringLiteral("first"));
    EXPECT_EQ(trimBlanks(records[6].subject()), QStringLiteral("second"));
    EXPECT_EQ(trimBlanks(records[7].subject()), QStringLiteral("third"));
    EXPECT_EQ(trimBlanks(records[7].body()), QStringLiteral("Body of third\r\n"));
    EXPECT_TRUE(trimBlanks(records[7].address()).contains(QStringLiteral("sender@example.jp")));
    EXPECT_TRUE(server.messages().isEmpty());
    EXPECT_EQ(resultLabel(), QStringLiteral("3の新着メール有り。"));
    EXPECT_EQ(fixture->tune->playsFromStart, 1);
    EXPECT_TRUE(fixture->messageBoxes->shown.empty()) << messageTexts().join(u'\n').toStdString();
    EXPECT_FALSE(QFile::exists(fixture->folder.file(QStringLiteral("\\添付フォルダ\\0.txt"))));

    // The viewer, loaded hidden, shows the last message; the buffer holds its record.
    TyakuForm *viewer = fixture->app->forms().get<TyakuForm>();
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_EQ(viewer->Text7()->text(), QStringLiteral("third"));
    EXPECT_EQ(fixture->app->state().receivedBuffer, records[7]);
}

TEST_F(ReceiveTest, AnEmptyMailboxAnnouncesNoNewMailWithoutTheTune)
{
    start();
    receive();
    EXPECT_EQ(resultLabel(), QStringLiteral("新着メール無し。"));
    EXPECT_TRUE(fixture->tune->calls.isEmpty());
    EXPECT_EQ(test::control<QLabel>(mainForm.get(), QStringLiteral("Label2"))->text(),
              QStringLiteral("メールのチェックをしています。"));
    EXPECT_TRUE(storedRecords().empty());
}

TEST_F(ReceiveTest, OnlyTheLowerCaseWordAttachmentAddsTheNotice)
{
    start();
    server.deliver(message("capital", "See the Attachment below."));
    server.deliver(message("lower", "The attachment is in the folder."));
    receive();

    const std::vector<MailRecord> records = storedRecords();
    ASSERT_EQ(records.size(), 2u);
    const QString notice =
        QStringLiteral("♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪");
    EXPECT_FALSE(records[0].body().contains(notice));
    EXPECT_TRUE(trimBlanks(records[1].body()).endsWith(QStringLiteral("\r\n") + notice))
        << trimBlanks(records[1].body()).toStdString();
}

TEST_F(ReceiveTest, AnEmptySavedPasswordOpensTheAccountDialogAndFetchesNothing)
{
    start();
    saveAccount(server.user(), QString());
    server.deliver(message("waiting", "still on the server"));
    receive();

    EXPECT_TRUE(fixture->app->forms().get<IdPassForm>()->isVisible());
    EXPECT_EQ(fixture->app->forms().get<IdPassForm>()->IdText()->text(), server.user());
    EXPECT_EQ(server.messages().size(), 1);
    EXPECT_TRUE(storedRecords().empty());
    EXPECT_EQ(resultLabel(), QStringLiteral("新着メール無し。"));
}

TEST_F(ReceiveTest, AWrongPasswordShowsTheLibrarysTextUnderError)
{
    start();
    saveAccount(server.user(), QStringLiteral("wrong-password"));
    server.deliver(message("waiting", "still on the server"));
    receive();

    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u);
    EXPECT_EQ(fixture->messageBoxes->shown[0].title, QStringLiteral("エラー"));
    EXPECT_FALSE(fixture->messageBoxes->shown[0].text.isEmpty());
    EXPECT_EQ(server.messages().size(), 1);
    EXPECT_EQ(resultLabel(), QStringLiteral("新着メール無し。"));
}

TEST_F(ReceiveTest, ApopLogsIn)
{
    start(nullptr, true);
    server.deliver(message("apop", "by APOP"));
    receive();
    EXPECT_EQ(storedRecords().size(), 1u) << messageTexts().join(u'\n').toStdString();
    EXPECT_TRUE(server.messages().isEmpty());
}

TEST_F(ReceiveTest, AnUnreachableServerIsReportedNotAnnouncedAsNoMail)
{
    start();
    fixture->app->state().serverSettings.pop3Server = QStringLiteral("127.0.0.1:1");
    receive();
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u);
    EXPECT_EQ(fixture->messageBoxes->shown[0].title, QStringLiteral("エラー"));
    EXPECT_EQ(resultLabel(), QStringLiteral("新着メール無し。"));
}

TEST_F(ReceiveTest, JapaneseMailArrivesReadableAndAttachmentsLandUnderSafeNames)
{
    start();
    const QByteArray subject =
        "=?ISO-2022-JP?B?" + QByteArray("\x1b$B2q5D\x1b(B").toBase64() + "?=";
    const QByteArray body = QByteArray("\x1b$B$3$s$K$A$O\x1b(B").toBase64();
    server.deliver(
        message(subject,
                "--b1\r\nContent-Type: text/plain; "
                "charset=ISO-2022-JP\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                    body +
                    "\r\n--b1\r\nContent-Type: application/octet-stream\r\n"
                    "Content-Disposition: attachment; filename=\"../../evil.txt\"\r\n"
                    "Content-Transfer-Encoding: base64\r\n\r\n" +
                    QByteArray("payload").toBase64() + "\r\n--b1--",
                "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n"));
    receive();

    const std::vector<MailRecord> records = storedRecords();
    ASSERT_EQ(records.size(), 1u) << messageTexts().join(u'\n').toStdString();
    EXPECT_EQ(trimBlanks(records[0].subject()), QString::fromUtf8("会議"));
    EXPECT_TRUE(records[0].body().contains(QString::fromUtf8("こんにちは")))
        << records[0].body().toStdString();

    // The attachment is in the attachment folder and nowhere above it.
    const QDir attachments(fixture->folder.file(QStringLiteral("\\添付フォルダ")));
    const QStringList files = attachments.entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << files.join(u',').toStdString();
    QFile saved(attachments.filePath(files[0]));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("payload"));
    EXPECT_FALSE(QFile::exists(fixture->folder.path() + QStringLiteral("/evil.txt")));
    EXPECT_FALSE(QFile::exists(
        QFileInfo(fixture->folder.path()).dir().filePath(QStringLiteral("evil.txt"))));
}

TEST_F(ReceiveTest, AStoreThatRefusesARecordLeavesThatMessageAndEveryLaterOneOnTheServer)
{
    start();
    server.deliver(message("one", "first"));
    // Its attachment is expanded before its record is refused: the file must go again, or it
    // would come twice once the message is received after all.
    server.deliver("From: a@example.jp\r\nSubject: two\r\nMIME-Version: 1.0\r\n"
                   "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                   "Content-Type: text/plain\r\n\r\nsecond\r\n--b\r\n"
                   "Content-Type: application/octet-stream\r\n"
                   "Content-Disposition: attachment; filename=two.bin\r\n"
                   "Content-Transfer-Encoding: base64\r\n\r\naGVsbG8=\r\n--b--\r\n");
    server.deliver(message("three", "third"));
    // The second record would be number 32,768, beyond what a store can number.
    MailStore received = store();
    MailRecord record;
    record.setSubject(QStringLiteral("one before the limit"));
    const QString path = received.filePath();
    fixture->folder.writeBytes(QStringLiteral("\\★MAilData\\krvdata2.data"), {});
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(),
                         qint64(MailStore::kMaxRecords - 1) * MailRecord::kSize),
              0);

    receive();

    EXPECT_EQ(received.RecordCount(), MailStore::kMaxRecords);
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u);
    EXPECT_TRUE(
        fixture->messageBoxes->shown[0].text.contains(QStringLiteral("サーバーに残っています")))
        << fixture->messageBoxes->shown[0].text.toStdString();
    const QList<QByteArray> left = server.messages();
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left[0].contains("Subject: two"));
    EXPECT_TRUE(left[1].contains("Subject: three"));
    EXPECT_EQ(resultLabel(), QStringLiteral("1の新着メール有り。"));
    EXPECT_TRUE(QDir(fixture->folder.file(QStringLiteral("\\添付フォルダ")))
                    .entryList(QDir::Files)
                    .isEmpty());
}

TEST_F(ReceiveTest, AFetchThatFailsMidRunLosesNothing)
{
    start(std::make_unique<FailingFetch>(trusting(), 2));
    server.deliver(message("one", "first"));
    server.deliver(message("two", "second"));
    server.deliver(message("three", "third"));
    receive();

    ASSERT_EQ(storedRecords().size(), 1u);
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u);
    EXPECT_EQ(fixture->messageBoxes->shown[0].text,
              QStringLiteral("POP3サーバーとの接続が切れました。"));
    const QList<QByteArray> left = server.messages();
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left[0].contains("Subject: two"));
}

TEST_F(ReceiveTest, AConnectionDroppedInTheMiddleOfAMessageLosesNothing)
{
    test::FaultScript script;
    for (const char *subject : {"one", "two", "three"})
        script.messages.append(message(subject, "text"));
    script.dropDuringRetrOf = 2;
    test::ScriptedPop3Server faulty(script);
    start();
    fixture->app->state().serverSettings.pop3Server = faulty.setting();
    receive();
    const test::FaultLog log = faulty.finish();

    // The first message is stored; nothing was deleted, so the server still has all three,
    // and no second connection was opened to carry on with old message numbers.
    const std::vector<MailRecord> records = storedRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(trimBlanks(records[0].subject()), QStringLiteral("one"));
    EXPECT_TRUE(log.deleted.isEmpty());
    EXPECT_EQ(log.connections, 1);
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u);
    EXPECT_EQ(fixture->messageBoxes->shown[0].title, QStringLiteral("エラー"));
}

TEST_F(ReceiveTest, ACancelBetweenMessagesKeepsTheRestOnTheServer)
{
    start();
    for (const char *subject : {"one", "two", "three"})
        server.deliver(message(subject, "text"));
    ReceiveRun run(fixture->app->mail(), request());
    // Straight from the worker thread, so the cancel lands before the next message.
    QObject::connect(&run, &ReceiveRun::messageStored, [&run](int number, int) {
        if (number == 1)
            run.requestCancel();
    });
    QSignalSpy finished(&run, &ReceiveRun::finished);
    run.start();
    ASSERT_TRUE(finished.wait(60000));

    const ReceiveOutcome outcome = finished[0][0].value<ReceiveOutcome>();
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.received, 1);
    EXPECT_TRUE(outcome.mailLeftOnServer);
    EXPECT_EQ(storedRecords().size(), 1u);
    EXPECT_EQ(server.messages().size(), 2) << "the stored message was deleted at QUIT";
}

TEST_F(ReceiveTest, TheWindowsStayLiveAndCancelActsAtOnceWhileAServerStalls)
{
    test::FaultScript script;
    for (const char *subject : {"one", "two", "three"})
        script.messages.append(message(subject, "text"));
    script.stallDuringRetrOf = 2;
    test::ScriptedPop3Server faulty(script);
    pop3::Options options = trusting();
    options.quitAfterCancelMs = 300;
    start(std::make_unique<NMailFacade>(nullptr, options));
    fixture->app->state().serverSettings.pop3Server = faulty.setting();

    ReceiveRun *run = Receive(*fixture->app, *mainForm);
    ASSERT_NE(run, nullptr);
    QSignalSpy finished(run, &ReceiveRun::finished);
    QPointer<QProgressDialog> progress;
    QTRY_VERIFY_WITH_TIMEOUT(
        (progress = mainForm->findChild<QProgressDialog *>(QStringLiteral("ReceiveProgress"))) &&
            progress->isVisible(),
        10000);
    QTRY_COMPARE_WITH_TIMEOUT(storedRecords().size(), 1u, 10000);

    // While the worker waits on the silent server the event loop keeps turning.
    QElapsedTimer sinceTurn;
    qint64 longestGap = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout,
                     [&] { longestGap = qMax(longestGap, sinceTurn.restart()); });
    sinceTurn.start();
    turns.start(5);
    QTest::qWait(400);
    turns.stop();
    EXPECT_LT(longestGap, 100);

    QPushButton *cancel = progress->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(!progress || !progress->isVisible()) << "the window goes with the click";
    ASSERT_TRUE(finished.wait(5000));
    const ReceiveOutcome outcome = finished[0][0].value<ReceiveOutcome>();
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(storedRecords().size(), 1u);
    EXPECT_TRUE(faulty.finish().deleted.isEmpty()) << "the stalled server never saw QUIT through";
    EXPECT_TRUE(fixture->messageBoxes->shown.empty()) << messageTexts().join(u'\n').toStdString();
}

TEST_F(ReceiveTest, AStopWithNothingStoredSaysMailIsWaiting)
{
    start(std::make_unique<FailingFetch>(trusting(), 1));
    server.deliver(message("one", "first"));
    const ReceiveOutcome outcome = receive();
    EXPECT_TRUE(outcome.mailLeftOnServer);
    EXPECT_EQ(resultLabel(), QStringLiteral("サーバーにメールが残っています。"));
    EXPECT_TRUE(fixture->tune->calls.isEmpty());
    EXPECT_EQ(server.messages().size(), 1);
}

// The store vanishes after the last message is stored (someone removed it): the sync
// before QUIT cannot put the records anywhere a reader finds them, so the session is dropped
// without QUIT, every message stays on the server, and nothing is announced.
TEST_F(ReceiveTest, ASyncBeforeQuitThatFailsDropsTheSessionAndSaysTheMailStaysOnTheServer)
{
    start();
    server.deliver(message("one", "first"));
    server.deliver(message("two", "second"));
    ReceiveRun *run = Receive(*fixture->app, *mainForm);
    ASSERT_NE(run, nullptr);
    const QString storePath = store().filePath();
    // On the worker, between the last append and the sync.
    QObject::connect(
        run, &ReceiveRun::messageStored, run,
        [storePath](int number, int count) {
            if (number == count)
                QFile::remove(storePath);
        },
        Qt::DirectConnection);
    QSignalSpy finished(run, &ReceiveRun::finished);
    ASSERT_TRUE(finished.wait(60000));

    const ReceiveOutcome outcome = finished[0][0].value<ReceiveOutcome>();
    EXPECT_FALSE(outcome.storeSynced);
    EXPECT_TRUE(outcome.mailLeftOnServer);
    EXPECT_EQ(server.messages().size(), 2) << "no QUIT, so nothing was deleted";
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u) << messageTexts().join(u'\n').toStdString();
    const QString text = fixture->messageBoxes->shown[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("krvdata2.data"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("メールはサーバーに残っています。")))
        << text.toStdString();
    EXPECT_TRUE(fixture->tune->calls.isEmpty());
    EXPECT_EQ(resultLabel(), QStringLiteral("サーバーにメールが残っています。"));
}

TEST_F(ReceiveTest, AnAttachmentThatCannotBeWrittenKeepsItsMessageAndTheRestOnTheServer)
{
    start();
    const QByteArray withAttachment = "--b1\r\nContent-Type: text/plain\r\n\r\nsee the file\r\n"
                                      "--b1\r\nContent-Type: application/octet-stream\r\n"
                                      "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
                                      "Content-Transfer-Encoding: base64\r\n\r\n" +
                                      QByteArray("payload").toBase64() + "\r\n--b1--";
    const QByteArray mixed =
        "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n";
    server.deliver(message("plain", "no files"));
    server.deliver(message("files", withAttachment, mixed));
    server.deliver(message("later", "no files either"));
    QDir(fixture->folder.file(QStringLiteral("\\添付フォルダ"))).removeRecursively();

    receive();

    const std::vector<MailRecord> records = storedRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(trimBlanks(records[0].subject()), QStringLiteral("plain"));
    ASSERT_EQ(fixture->messageBoxes->shown.size(), 1u) << messageTexts().join(u'\n').toStdString();
    const QString text = fixture->messageBoxes->shown[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("report.pdf"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("サーバーに残っています"))) << text.toStdString();
    const QList<QByteArray> left = server.messages();
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left[0].contains("Subject: files"));
    EXPECT_TRUE(left[1].contains("Subject: later"));
}

} // namespace
} // namespace orv
