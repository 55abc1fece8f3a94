#include "core/Cp932.h"
#include "shell/IdPassForm.h"
#include "shell/MainForm.h"
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
#include <QFile>
#include <QTextEdit>

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
    int NMailPop3GetMail(int handle, int number, MailHeaderFields &fields, QString &body, int flag,
                         int option) override
    {
        if (number == m_failingNumber) {
            m_failed = true;
            return -1;
        }
        return NMailFacade::NMailPop3GetMail(handle, number, fields, body, flag, option);
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
    void receive() { Receive(*fixture->app, *mainForm); }

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
    server.deliver(message("two", "second"));
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

TEST_F(ReceiveTest, CancelStopsAfterTheMessageInProgress)
{
    start();
    for (const char *subject : {"one", "two", "three"})
        server.deliver(message(subject, "text"));
    ReceiveRun run(*fixture->app, *mainForm);
    QObject::connect(&run, &ReceiveRun::messageStored, &run, [&run](int number, int) {
        if (number == 1)
            run.requestCancel();
    });
    run.run();

    EXPECT_EQ(storedRecords().size(), 1u);
    EXPECT_EQ(server.messages().size(), 2);
    EXPECT_EQ(resultLabel(), QStringLiteral("1の新着メール有り。"));
}

} // namespace
} // namespace orv
