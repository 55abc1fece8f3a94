#include "ComposeFixture.h"

#include "composer/Fortune.h"
#include "core/Cp932.h"
#include "store/MailStore.h"
#include "support/SmtpTestServer.h"
#include "transport/NMailFacade.h"
#include "transport/mime/MessageDecoder.h"
#include "ui/ClockText.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <map>

namespace orv::test {
namespace {

const QString kSender = QStringLiteral("yamada@example.jp");

// One message as it arrived at the test server, decoded as a received message is.
struct Arrived {
    ReceivedMail mail;
    MailHeaderFields fields;
    QString body;
    QStringList attachmentNames;
};

class ComposeSend : public ComposeFixture {
protected:
    ComposeSend() : ComposeFixture(std::make_unique<NMailFacade>(nullptr, pop3::Options())) {}

    void SetUp() override
    {
        m_server = SmtpTestServer::fromEnvironment();
        ASSERT_TRUE(m_server.has_value());
        m_before = m_server->messageCount();
        app().state().serverSettings.smtpServer = m_server->address();
        app().state().serverSettings.mailAddress = kSender;
    }

    WriteForm *compose(const QString &to, const QString &subject, const QString &body)
    {
        WriteForm *w = open();
        w->ToText()->setPlainText(to);
        w->SubjectText()->setText(subject);
        w->BodyText()->setPlainText(body);
        return w;
    }

    // Presses 送信 and waits until the run has ended: the window closed, or its status line
    // says how it ended.
    void sendAndWait()
    {
        form()->Label7()->clear();
        click(u"Command1");
        ASSERT_TRUE(QTest::qWaitFor(
            [this] {
                return !isOpen() ||
                       (!form()->findChild<QObject *>(QStringLiteral("SendProgress")) &&
                        !form()->Label7()->text().contains(u"送信中"));
            },
            20000));
    }

    // A bulk send to three rows, of which the server refuses the second.
    void composeBulkWithARefusedMiddleRow()
    {
        addToAddressBook(QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp"));
        addToAddressBook(QStringLiteral("拒否"), m_server->rejectedRecipient());
        addToAddressBook(QStringLiteral("三郎"), QStringLiteral("saburo@example.jp"));
        compose(QString(), QStringLiteral("お知らせ"), QStringLiteral("本文"));
        click(u"Command4");
        form()->recipients().Option2()->click();
    }

    QString label7() { return form()->Label7()->text(); }

    std::vector<Arrived> arrived()
    {
        std::vector<Arrived> all;
        for (const ReceivedMail &mail : m_server->messagesSince(m_before)) {
            Arrived one{mail, {}, {}, {}};
            QTemporaryDir folder;
            mime::expandMessage(mail.data, folder.path(), one.fields, one.body, nullptr);
            if (one.body.endsWith(u"\r\n"))
                one.body.chop(2);
            one.attachmentNames = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
            all.push_back(one);
        }
        return all;
    }

    std::vector<MailRecord> sentRecords()
    {
        std::vector<MailRecord> records;
        MailRecord buffer;
        EXPECT_TRUE(MailStore::SentStore(app().appDir())
                        .ReadAll(buffer, [&](int, const MailRecord &r) { records.push_back(r); })
                        .ok());
        return records;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_files.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    std::optional<SmtpTestServer> m_server;
    int m_before = 0;
    QTemporaryDir m_files;
};

TEST_F(ComposeSend, AnAcceptedMessageIsRecordedSentAndTheWindowCloses)
{
    compose(QStringLiteral("suzuki@example.jp"), QStringLiteral("  会議①のお知らせ"),
            QStringLiteral("明日は10時～です。\n〜と～\n.\n以上"));
    const QString pdf = writeFile(QStringLiteral("見積書①.pdf"), "%PDF-1.4 data");
    const QString zip = writeFile(QStringLiteral("a.zip"), QByteArray(5000, '\x01'));
    form()->attachments().AttachText()->setText(pdf + u',' + zip);
    sendAndWait();

    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(boxTexts().empty());
    const std::vector<Arrived> mails = arrived();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mail.recipients, QStringList{QStringLiteral("suzuki@example.jp")});
    EXPECT_EQ(mails[0].mail.mailFrom, kSender);
    EXPECT_EQ(text(mails[0].fields.subject), "  会議①のお知らせ") << "sent with its blanks";
    // JIS has one wave dash for both; it reads back as code page 932 reads it.
    EXPECT_EQ(text(mails[0].body), "明日は10時～です。\r\n～と～\r\n.\r\n以上");
    EXPECT_EQ(mails[0].attachmentNames,
              (QStringList{QStringLiteral("a.zip"), QStringLiteral("見積書①.pdf")}));

    const std::vector<MailRecord> records = sentRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(text(displayField(records[0].subject())), "会議①のお知らせ");
    EXPECT_TRUE(records[0].subject().startsWith(u"会議")) << "stored without leading blanks";
    EXPECT_EQ(text(displayField(records[0].address())), "suzuki@example.jp");
    EXPECT_EQ(displayField(records[0].date()), clockText(fixture().clock->time));
    EXPECT_FALSE(displayField(records[0].date()).isEmpty());
    EXPECT_TRUE(records[0].body().startsWith(u"明日は10時～です。\r\n"));
    EXPECT_EQ(app().state().sentBuffer, records[0]);
}

TEST_F(ComposeSend, JapaneseGoesOutIso2022JpWhenItFitsAndUtf8Otherwise)
{
    struct Case {
        const char *name;
        QString subject, body;
        const char *charset;
        const char *storedBody;
    };
    const Case cases[] = {
        {"fits JIS", QStringLiteral("ご報告"), QStringLiteral("よろしくお願いします。"),
         "iso-2022-jp", "よろしくお願いします。"},
        {"beyond code page 932", QStringLiteral("価格€"), QStringLiteral("😀 と €100"), "utf-8",
         "〓 と 〓100"},
    };
    for (const Case &c : cases) {
        m_before = m_server->messageCount();
        compose(QStringLiteral("sato@example.jp"), c.subject, c.body);
        sendAndWait();
        ASSERT_FALSE(isOpen()) << c.name;
        const std::vector<Arrived> mails = arrived();
        ASSERT_EQ(mails.size(), 1u) << c.name;
        EXPECT_EQ(mails[0].fields.subject, c.subject) << c.name;
        EXPECT_EQ(mails[0].body, c.body) << c.name << " goes out intact";
        EXPECT_TRUE(mails[0].mail.data.toLower().contains(QByteArray("charset=") + c.charset))
            << c.name;
        EXPECT_TRUE(sentRecords().back().body().startsWith(QString::fromUtf8(c.storedBody)))
            << c.name;
    }
}

TEST_F(ComposeSend, ARefusedMessageStaysInTheWindowWithEverythingTyped)
{
    compose(m_server->rejectedRecipient(), QStringLiteral("件名"), QStringLiteral("大事な本文"));
    form()->Check1()->setChecked(true);
    form()->attachments().AttachText()->setText(writeFile(QStringLiteral("a.txt"), "a"));
    sendAndWait();

    ASSERT_TRUE(isOpen());
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(fixture().messageBoxes->shown[0].title, u"送信エラー");
    EXPECT_TRUE(fixture().messageBoxes->shown[0].text.contains(m_server->rejectedRecipient()));
    EXPECT_EQ(fixture().messageBoxes->shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(text(label7()), "1件中1件のメールが送信されていません。");
    EXPECT_EQ(form()->ToText()->toPlainText(), m_server->rejectedRecipient());
    EXPECT_EQ(text(form()->SubjectText()->text()), "件名");
    EXPECT_EQ(text(form()->BodyText()->toPlainText()), "大事な本文") << "no fortune left behind";
    EXPECT_TRUE(form()->attachments().attachmentList().endsWith(u"a.txt"));
    EXPECT_TRUE(form()->Check1()->isChecked());
    EXPECT_TRUE(sentRecords().empty()) << "what did not go leaves no record";
    EXPECT_TRUE(arrived().empty());
}

TEST_F(ComposeSend, TheFortuneGoesOutOnceAndIsNeverStored)
{
    struct Case {
        const char *name;
        QString body;
        bool fortune;
    };
    const Case cases[] = {
        {"unchecked", QStringLiteral("ABC"), false},
        {"checked", QStringLiteral("ABC"), true},
        {"checked, empty body", QString(), true},
    };
    for (const Case &c : cases) {
        m_before = m_server->messageCount();
        fixture().random->values = {4};
        compose(QStringLiteral("sato@example.jp"), QStringLiteral("占い"), c.body);
        form()->Check1()->setChecked(c.fortune);
        sendAndWait();
        ASSERT_FALSE(isOpen()) << c.name;
        const std::vector<Arrived> mails = arrived();
        ASSERT_EQ(mails.size(), 1u) << c.name;
        EXPECT_EQ(mails[0].body, c.fortune ? bodyWithFortune(c.body, 5) : c.body) << c.name;
        EXPECT_EQ(displayField(sentRecords().back().body()), c.body) << c.name;
    }
}

TEST_F(ComposeSend, BulkSendsEachRowItsOwnMessageRecordAndFortune)
{
    addToAddressBook(QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp"));
    addToAddressBook(QStringLiteral("花子"), QStringLiteral("花子<hanako@example.jp>   "));
    addToAddressBook(QStringLiteral("三郎"), QStringLiteral("saburo@example.jp"));
    compose(QStringLiteral("typed@example.jp"), QStringLiteral("お知らせ"), QStringLiteral("本文"));
    click(u"Command4");
    form()->recipients().Option2()->click();
    form()->Check1()->setChecked(true);
    fixture().random->values = {0, 5, 11, 2};
    // The address book changes after the list was shown: the book as it stands at 送信 decides.
    addToAddressBook(QStringLiteral("四郎"), QStringLiteral("shiro@example.jp"));
    sendAndWait();

    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(boxTexts().empty());
    const std::vector<Arrived> mails = arrived();
    ASSERT_EQ(mails.size(), 4u);
    const QStringList expected = {
        QStringLiteral("ichiro@example.jp"), QStringLiteral("hanako@example.jp"),
        QStringLiteral("saburo@example.jp"), QStringLiteral("shiro@example.jp")};
    const int fortunes[] = {1, 6, 12, 3};
    const std::vector<MailRecord> records = sentRecords();
    ASSERT_EQ(records.size(), 4u);
    const char *recordAddresses[] = {"ichiro@example.jp", "花子<hanako@example.jp>",
                                     "saburo@example.jp", "shiro@example.jp"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(mails[i].mail.recipients, QStringList{expected[i]}) << i;
        EXPECT_EQ(mails[i].body, bodyWithFortune(QStringLiteral("本文"), fortunes[i])) << i;
        EXPECT_EQ(text(displayField(records[i].address())), recordAddresses[i]) << i;
        EXPECT_EQ(text(displayField(records[i].body())), "本文") << i;
    }
}

// The next message waits behind a refused one until its box is closed, then goes.
TEST_F(ComposeSend, ABulkRunGoesOnAfterARefusedMessageOnlyOnceItsBoxIsClosed)
{
    composeBulkWithARefusedMiddleRow();
    std::vector<size_t> arrivedWhileShown;
    fixture().messageBoxes->whileShown = [&](const MessageBoxRequest &) {
        QTest::qWait(300);
        arrivedWhileShown.push_back(arrived().size());
    };
    sendAndWait();

    ASSERT_TRUE(isOpen());
    EXPECT_EQ(arrivedWhileShown, std::vector<size_t>{1});
    EXPECT_TRUE(label7().startsWith(u"3件中1件のメールが送信されていません。"));
    const std::vector<Arrived> mails = arrived();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[1].mail.recipients, QStringList{QStringLiteral("saburo@example.jp")});
    const std::vector<MailRecord> records = sentRecords();
    ASSERT_EQ(records.size(), 2u) << "the refused message leaves no record";
    EXPECT_EQ(text(displayField(records[0].address())), "ichiro@example.jp");
    EXPECT_EQ(text(displayField(records[1].address())), "saburo@example.jp");
}

// The window goes while a refused message's box is up: the message waiting behind it neither
// goes out nor keeps a record.
TEST_F(ComposeSend, AWindowGoneDuringARunLeavesNoRecordOfWhatNeverWent)
{
    composeBulkWithARefusedMiddleRow();
    fixture().messageBoxes->whileShown = [this](const MessageBoxRequest &) { delete form(); };
    click(u"Command1");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !isOpen(); }, 20000));

    QTest::qWait(300);
    EXPECT_EQ(arrived().size(), 1u);
    EXPECT_EQ(sentRecords().size(), 1u) << "only the sent message's record stands";
}

// A send that cannot reach the server leaves the attachments and their controls exactly as
// they were; the retry sends the one message once, with one record.
TEST_F(ComposeSend, AFailedSendKeepsTheAttachmentsAndItsRetryGoesOnceWithOneRecord)
{
    const QString a = writeFile(QStringLiteral("a.txt"), "a");
    const QString b = writeFile(QStringLiteral("見積書.pdf"), "%PDF-1.4");
    WriteForm *w = compose(QStringLiteral("suzuki@example.jp"), QStringLiteral("件名"),
                           QStringLiteral("本文"));
    AttachmentPanel &panel = w->attachments();
    fixture().fileDialogs->openAnswers = {a, b};
    panel.AttachCommand()->click();
    panel.Command9()->click(); // 追加
    const auto controls = [&panel] {
        return std::vector<bool>{panel.AttachCommand()->isEnabled(), panel.Command9()->isEnabled(),
                                 panel.Command10()->isEnabled(), panel.List2()->isVisible()};
    };
    const std::vector<bool> before = controls();
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    app().state().serverSettings.smtpServer =
        QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();

    sendAndWait();
    ASSERT_TRUE(isOpen());
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(controls(), before);
    EXPECT_EQ(panel.attachmentList(), a + u',' + b);
    EXPECT_EQ(panel.List2()->count(), 2);
    EXPECT_TRUE(sentRecords().empty()) << "a message that did not go leaves no record";

    app().state().serverSettings.smtpServer = m_server->address();
    sendAndWait();
    EXPECT_FALSE(isOpen());
    const std::vector<Arrived> mails = arrived();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].attachmentNames,
              (QStringList{QStringLiteral("a.txt"), QStringLiteral("見積書.pdf")}));
    EXPECT_EQ(sentRecords().size(), 1u);
}

// After a partial failure the window keeps only who did not get the message, shows them, and
// a second 送信 goes to them alone: nobody gets the message twice.
TEST_F(ComposeSend, ARetryAfterAPartialBulkFailureGoesOnlyToTheUnsent)
{
    composeBulkWithARefusedMiddleRow();
    sendAndWait();
    ASSERT_TRUE(isOpen());
    const QString rejected = m_server->rejectedRecipient();
    EXPECT_EQ(label7(),
              QStringLiteral("3件中1件のメールが送信されていません。 未送信: ") + rejected);
    const QListWidget *rows = form()->recipients().List1();
    ASSERT_EQ(rows->count(), 3);
    EXPECT_FALSE(rows->item(0)->text().startsWith(RecipientPanel::unsentMark()));
    EXPECT_TRUE(rows->item(1)->text().startsWith(RecipientPanel::unsentMark()));
    EXPECT_FALSE(rows->item(2)->text().startsWith(RecipientPanel::unsentMark()));
    ASSERT_EQ(arrived().size(), 2u);
    ASSERT_EQ(sentRecords().size(), 2u);

    sendAndWait(); // the retry, refused again by this server
    ASSERT_TRUE(isOpen());
    EXPECT_EQ(label7(),
              QStringLiteral("1件中1件のメールが送信されていません。 未送信: ") + rejected);
    std::map<QString, int> received;
    for (const Arrived &mail : arrived())
        for (const QString &recipient : mail.mail.recipients)
            ++received[recipient];
    EXPECT_EQ(received, (std::map<QString, int>{{QStringLiteral("ichiro@example.jp"), 1},
                                                {QStringLiteral("saburo@example.jp"), 1}}));
    EXPECT_EQ(sentRecords().size(), 2u) << "the refused retry left no record";
    EXPECT_EQ(boxTexts().size(), 2u) << "one refusal each time";

    // 取消 ends bulk mode: the marks and the retry list go.
    form()->recipients().Option1()->click();
    EXPECT_FALSE(rows->item(1)->text().startsWith(RecipientPanel::unsentMark()));
}

// The panel follows the address book while the window is open, and the bulk send reads the
// book as it stands: a contact deleted meanwhile gets nothing.
TEST_F(ComposeSend, AContactDeletedDuringComposeGetsNoBulkMessage)
{
    addToAddressBook(QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp"));
    addToAddressBook(QStringLiteral("二郎"), QStringLiteral("jiro@example.jp"));
    addToAddressBook(QStringLiteral("三郎"), QStringLiteral("saburo@example.jp"));
    compose(QString(), QStringLiteral("お知らせ"), QStringLiteral("本文"));
    click(u"Command4");
    form()->recipients().Option2()->click();
    ASSERT_EQ(form()->recipients().List1()->count(), 3);

    deleteFromAddressBook(2);
    EXPECT_TRUE(QTest::qWaitFor([this] { return form()->recipients().List1()->count() == 2; }))
        << "the panel reloads when the address book changes";
    sendAndWait();

    EXPECT_FALSE(isOpen());
    QStringList recipients;
    for (const Arrived &mail : arrived())
        recipients += mail.mail.recipients;
    EXPECT_EQ(recipients, (QStringList{QStringLiteral("ichiro@example.jp"),
                                       QStringLiteral("saburo@example.jp")}));
    EXPECT_EQ(sentRecords().size(), 2u);
}

TEST_F(ComposeSend, BulkWithoutRowsSendsNothingAndKeepsTheWindow)
{
    compose(QStringLiteral("typed@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"));
    click(u"Command4");
    form()->recipients().Option2()->click();
    click(u"Command1");
    ASSERT_TRUE(isOpen());
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_TRUE(boxTexts()[0].contains(u"一括送信の宛先がありません"));
    EXPECT_TRUE(sentRecords().empty());
    EXPECT_TRUE(arrived().empty());
    EXPECT_EQ(text(form()->BodyText()->toPlainText()), "本文");
}

TEST_F(ComposeSend, NothingGoesOutUnrecorded)
{
    // A full store: the 32,767th record is its last.
    QFile store(fixture().folder.file(QStringLiteral("\\★MAilData\\krvdata5.data")));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    ASSERT_TRUE(store.resize(qint64(MailRecord::kSize) * MailStore::kMaxRecords));
    store.close();
    compose(QStringLiteral("suzuki@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"));
    sendAndWait();

    ASSERT_TRUE(isOpen());
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_TRUE(boxTexts()[0].contains(u"0件を送信しました")) << text(boxTexts()[0]);
    EXPECT_TRUE(arrived().empty());
    EXPECT_EQ(text(form()->BodyText()->toPlainText()), "本文");
}

TEST_F(ComposeSend, StopEndsTheRunAfterTheMessageInProgress)
{
    for (const char *name : {"一郎", "二郎", "三郎"})
        addToAddressBook(QString::fromUtf8(name), QStringLiteral("someone@example.jp"));
    compose(QString(), QStringLiteral("件名"), QStringLiteral("本文"));
    click(u"Command4");
    form()->recipients().Option2()->click();
    click(u"Command1");
    auto *progress = form()->findChild<QProgressDialog *>(QStringLiteral("SendProgress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isModal());
    EXPECT_TRUE(progress->labelText().endsWith(u"1 / 3"));
    progress->findChild<QPushButton *>()->click(); // 中止
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return !isOpen() || label7().contains(u"送信されていません"); }, 20000));
    ASSERT_TRUE(isOpen());
    EXPECT_TRUE(label7().startsWith(u"3件中2件のメールが送信されていません。"));
    EXPECT_EQ(arrived().size(), 1u);
    EXPECT_EQ(sentRecords().size(), 1u);
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(ComposeSend, ASilentServerNeverFreezesTheWindows)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    app().state().serverSettings.smtpServer =
        QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
    compose(QStringLiteral("suzuki@example.jp"), QStringLiteral("件名"), QStringLiteral("本文"));
    click(u"Command1");
    ASSERT_TRUE(silent.waitForNewConnection(10000));
    QTcpSocket *connection = silent.nextPendingConnection();

    // The event loop keeps turning while the library waits for the server.
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(20);
    QTest::qWait(500);
    EXPECT_GE(turns, 10);
    EXPECT_TRUE(isOpen());
    EXPECT_TRUE(form()->findChild<QProgressDialog *>(QStringLiteral("SendProgress")));

    connection->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return !isOpen() || label7().contains(u"送信されていません"); }, 20000));
    ASSERT_TRUE(isOpen());
    EXPECT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(text(form()->BodyText()->toPlainText()), "本文");
}

TEST_F(ComposeSend, NoHeaderOrCommandCanBeInjected)
{
    addToAddressBook(QStringLiteral("悪"),
                     QStringLiteral("a@example.jp>\r\nRCPT TO:<evil@example.com"));
    struct Case {
        const char *name;
        QString to, subject;
        bool bulk;
    };
    const Case cases[] = {
        {"line break in the To field",
         QStringLiteral("ok@example.jp\r\nRCPT TO:<evil@example.com>"), QStringLiteral("件名"),
         false},
        {"line break in the subject", QStringLiteral("ok@example.jp"),
         QStringLiteral("件名\r\nBcc: evil@example.com"), false},
        {"line break in a bulk entry", QString(), QStringLiteral("件名"), true},
    };
    for (const Case &c : cases) {
        m_before = m_server->messageCount();
        fixture().messageBoxes->shown.clear();
        compose(c.to, c.subject, QStringLiteral("本文"));
        if (c.bulk) {
            click(u"Command4");
            form()->recipients().Option2()->click();
        }
        sendAndWait();
        for (const Arrived &mail : arrived()) {
            EXPECT_FALSE(mail.mail.recipients.join(u',').contains(u"evil")) << c.name;
            EXPECT_FALSE(mail.mail.data.contains("\r\nBcc:")) << c.name;
        }
        if (isOpen()) {
            closeAnswering(QMessageBox::Yes);
            ASSERT_TRUE(QTest::qWaitFor([this] { return !isOpen(); }));
        }
    }
}

} // namespace
} // namespace orv::test
