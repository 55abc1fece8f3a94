#include "ComposeFixture.h"

#include "composer/BackForm.h"
#include "composer/ReplyRules.h"
#include "store/MailStore.h"
#include "support/SmtpTestServer.h"
#include "transport/NMailFacade.h"
#include "transport/mime/MessageDecoder.h"
#include "ui/Clipboard.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace orv::test {
namespace {

TEST(ReplyLayout, FollowsTheWindowAndKeepsTheBodyHeightWhenLow)
{
    const ReplyLayout wide = replyLayout(6000, 3000, 2222, 360, 360, 360);
    EXPECT_EQ(wide.bodyWidth, 5940);
    EXPECT_EQ(wide.fieldWidth, 4200);
    EXPECT_EQ(wide.attachTextWidth, 2400);
    EXPECT_EQ(wide.attachCommandLeft, 3640);
    EXPECT_EQ(wide.command9Left, 4460);
    EXPECT_EQ(wide.command10Left, 5340);
    struct Case {
        int height;
        int bodyHeight;
    };
    const Case cases[] = {{3000, 2222}, {3500, 2222}, {3501, 3501 - 1080 - 1500}, {6615, 4035}};
    for (const Case &c : cases)
        EXPECT_EQ(replyLayout(6000, c.height, 2222, 360, 360, 360).bodyHeight, c.bodyHeight)
            << c.height;
}

TEST(ReplyRules, SubjectAndPastedBody)
{
    struct Case {
        QString subject;
        const char *reply;
    };
    const Case cases[] = {
        {QStringLiteral("予定"), "Re:  予定"},
        {QStringLiteral("Re:  予定"), "Re:  Re:  予定"},
        {QStringLiteral("   予定　 "), "Re:  予定　"},
        {QString(), "Re:  "},
    };
    for (const Case &c : cases)
        EXPECT_EQ(replySubject(c.subject).toStdString(), c.reply);
    EXPECT_EQ(bodyWithPastedText(QStringLiteral("XYZ"), QStringLiteral(" Hello ")),
              QStringLiteral("XYZ\r\n\r\n\r\n\rHello"));
    EXPECT_EQ(bodyWithPastedText(QString(), QStringLiteral("Hello")),
              QStringLiteral("\r\n\r\n\r\n\rHello"));
}

class Reply : public ComposeFixture {
protected:
    Reply() : ComposeFixture(std::make_unique<NMailFacade>(nullptr, pop3::Options())) {}

    void SetUp() override
    {
        m_server = SmtpTestServer::fromEnvironment();
        ASSERT_TRUE(m_server.has_value());
        m_before = m_server->messageCount();
        app().state().serverSettings.smtpServer = m_server->address();
        app().state().serverSettings.mailAddress = QStringLiteral("yamada@example.jp");
    }

    BackForm *openReply(const QString &subject, const QString &sender, const QString &body)
    {
        OpenReply(app(), nullptr, subject, sender, body);
        m_reply = app().forms().get<BackForm>();
        return m_reply;
    }

    void sendAndWait()
    {
        m_reply->Send();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] {
                return m_reply.isNull() ||
                       !m_reply->findChild<QObject *>(QStringLiteral("SendProgress"));
            },
            20000));
    }

    qint64 sentStoreSize()
    {
        return QFileInfo(MailStore::SentStore(app().appDir()).filePath()).size();
    }

    std::optional<SmtpTestServer> m_server;
    int m_before = 0;
    QPointer<BackForm> m_reply;
};

TEST_F(Reply, PasteQuotesTheMessageTheReplyWasOpenedForAndCanBeUndone)
{
    BackForm *reply = openReply(QStringLiteral("予定"), QStringLiteral("suzuki@example.jp"),
                                QStringLiteral("Hello"));
    // Another message read meanwhile must not be quoted.
    app().state().receivedBuffer.setBody(QStringLiteral("他人のメール"));
    reply->BodyText()->setPlainText(QStringLiteral("typed"));
    putOnClipboard(QStringLiteral("XYZ"));
    reply->PasteAboveQuote();
    EXPECT_EQ(reply->BodyText()->toPlainText(), QStringLiteral("XYZ\n\n\n\nHello"));
    EXPECT_EQ(clipboardText(), QStringLiteral("XYZ\r\n\r\n\r\n\rHello"));
    QTest::keyClick(reply->BodyText(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(reply->BodyText()->toPlainText(), QStringLiteral("typed")) << "Ctrl+Z brings it back";

    putOnClipboard(QString());
    reply->PasteAboveQuote();
    EXPECT_EQ(reply->BodyText()->toPlainText(), QStringLiteral("\n\n\n\nHello"));
}

TEST_F(Reply, ARepliedMessageArrivesReadableAndIsNotRecorded)
{
    BackForm *reply =
        openReply(QStringLiteral("来週の予定①"), QStringLiteral(" 鈴木 <suzuki@example.jp> "),
                  QStringLiteral("来週は忙しいです。"));
    EXPECT_EQ(reply->SubjectText()->text().toStdString(), "Re:  来週の予定①");
    EXPECT_EQ(reply->ToText()->text().toStdString(), "鈴木 <suzuki@example.jp>");
    EXPECT_TRUE(reply->attachments().Command9()->isEnabled());
    QTemporaryDir files;
    const QString attachment = files.path() + QStringLiteral("/議事録.txt");
    QFile file(attachment);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("minutes");
    file.close();
    reply->attachments().AttachText()->setText(attachment);
    reply->BodyText()->setPlainText(QStringLiteral("了解です。\n\n来週は忙しいです。"));
    const qint64 sentBefore = sentStoreSize();
    sendAndWait();

    EXPECT_TRUE(m_reply.isNull()) << "a sent reply closes its window";
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_EQ(sentStoreSize(), sentBefore);
    const QList<ReceivedMail> mails = m_server->messagesSince(m_before);
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(mails[0].recipients, QStringList{QStringLiteral("suzuki@example.jp")});
    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    EXPECT_EQ(mime::expandMessage(mails[0].data, folder.path(), fields, body, nullptr), 1);
    EXPECT_EQ(fields.subject.toStdString(), "Re:  来週の予定①");
    EXPECT_TRUE(body.startsWith(u"了解です。\r\n\r\n来週は忙しいです。"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("議事録.txt")});
}

TEST_F(Reply, ARefusedReplyKeepsTheWindowAndAnInjectedSenderReachesNoOne)
{
    BackForm *reply =
        openReply(QStringLiteral("件名"), m_server->rejectedRecipient(), QStringLiteral("本文"));
    reply->BodyText()->setPlainText(QStringLiteral("大事な返事"));
    sendAndWait();
    ASSERT_FALSE(m_reply.isNull());
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(fixture().messageBoxes->shown[0].title, u"送信エラー");
    EXPECT_EQ(reply->BodyText()->toPlainText(), u"大事な返事");

    fixture().messageBoxes->answer(QMessageBox::Yes);
    reply =
        openReply(QStringLiteral("件名"), QStringLiteral("ok@example.jp\r\nBcc: evil@example.com"),
                  QStringLiteral("本文"));
    sendAndWait();
    for (const ReceivedMail &mail : m_server->messagesSince(m_before)) {
        EXPECT_FALSE(mail.recipients.join(u',').contains(u"evil"));
        EXPECT_FALSE(mail.data.contains("\r\nBcc:"));
    }
}

TEST_F(Reply, ClosingAChangedReplyAsksAndNoKeepsIt)
{
    BackForm *reply =
        openReply(QStringLiteral("予定"), QStringLiteral("a@example.jp"), QStringLiteral("本文"));
    reply->BodyText()->setPlainText(QStringLiteral("書きかけの返事"));
    fixture().messageBoxes->answer(QMessageBox::No);
    QTest::mouseClick(test::control<QPushButton>(reply, QStringLiteral("Command3")),
                      Qt::LeftButton); // 送信中止
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(fixture().messageBoxes->shown[0].text,
              u"送信していない内容があります。破棄して閉じますか？");
    ASSERT_FALSE(m_reply.isNull());
    EXPECT_TRUE(reply->isVisible());
    EXPECT_EQ(reply->BodyText()->toPlainText(), u"書きかけの返事");

    fixture().messageBoxes->answer(QMessageBox::Yes);
    reply->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_reply.isNull(); }));
    EXPECT_FALSE(app().forms().isLoaded<BackForm>());

    openReply(QStringLiteral("予定"), QStringLiteral("a@example.jp"), QStringLiteral("本文"));
    m_reply->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_reply.isNull(); }));
    EXPECT_EQ(boxTexts().size(), 2u) << "an unchanged reply closes without asking";
}

TEST_F(Reply, ASecondReplyAsksBeforeReplacingChangedText)
{
    BackForm *first =
        openReply(QStringLiteral("一"), QStringLiteral("a@example.jp"), QStringLiteral("本文一"));
    first->show();
    fixture().fileDialogs->openAnswers = {QStringLiteral("/tmp/a.txt")};
    first->attachments().AttachCommand()->click();
    first->BodyText()->setPlainText(QStringLiteral("書きかけ"));

    fixture().messageBoxes->answer(QMessageBox::No);
    openReply(QStringLiteral("二"), QStringLiteral("b@example.jp"), QStringLiteral("本文二"));
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(m_reply, first);
    EXPECT_EQ(first->BodyText()->toPlainText(), u"書きかけ");

    fixture().messageBoxes->answer(QMessageBox::Yes);
    BackForm *second =
        openReply(QStringLiteral("二"), QStringLiteral("b@example.jp"), QStringLiteral("本文二"));
    EXPECT_EQ(boxTexts().size(), 2u);
    EXPECT_EQ(second->ToText()->text(), u"b@example.jp");
    EXPECT_EQ(second->BodyText()->toPlainText(), u"本文二");
    EXPECT_TRUE(second->attachments().attachmentList().isEmpty()) << "no attachment carried over";

    openReply(QStringLiteral("三"), QStringLiteral("c@example.jp"), QStringLiteral("本文三"));
    EXPECT_EQ(boxTexts().size(), 2u) << "an unchanged reply is replaced without asking";
}

TEST_F(Reply, TheViewerHandsOverTheMessageOnDisplay)
{
    MailStore received = MailStore::ReceivedStore(app().appDir());
    MailRecord record;
    record.setSubject(QStringLiteral("Re:  予定"));
    record.setAddress(QString(50, u'x') + QStringLiteral(" <long.sender.name@example.jp>"));
    record.setDate(QStringLiteral("Wed, 9 Dec 2026 10:00:00 +0900"));
    record.setBody(QStringLiteral("  お元気ですか。  "));
    ASSERT_TRUE(received.Append(record).ok());
    OpenHistoryView(app(), ViewMode::Received);
    TyakuForm *viewer = app().forms().get<TyakuForm>();
    QAbstractItemView *list = viewer->mailListView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    test::control<QPushButton>(viewer, QStringLiteral("Command5"))->click();

    ASSERT_TRUE(app().forms().isLoaded<BackForm>());
    BackForm *reply = app().forms().get<BackForm>();
    EXPECT_TRUE(reply->isVisible());
    EXPECT_EQ(reply->SubjectText()->text().toStdString(), "Re:  Re:  予定");
    EXPECT_EQ(reply->ToText()->text(),
              QString(50, u'x') + QStringLiteral(" <long.sender.name@example.jp>"));
    EXPECT_EQ(reply->BodyText()->toPlainText().toStdString(), "お元気ですか。");
}

} // namespace
} // namespace orv::test
