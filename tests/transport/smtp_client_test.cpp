#include "support/SmtpTestServer.h"
#include "transport/NMailFacade.h"
#include "transport/mime/MessageDecoder.h"
#include "transport/smtp/SmtpClient.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orv::smtp {
namespace {

using test::ReceivedMail;
using test::SmtpTestServer;

std::string text(const QString &value)
{
    return value.toStdString();
}

// A single-part message ends its text with a line end the sender did not type.
QString withoutFinalLineEnd(QString body)
{
    if (body.endsWith(u"\r\n"))
        body.chop(2);
    return body;
}

class SmtpSend : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = SmtpTestServer::fromEnvironment();
        ASSERT_TRUE(m_server.has_value());
        m_before = m_server->messageCount();
    }

    SmtpRequest request(const QString &to) const
    {
        SmtpRequest r;
        r.server = m_server->address();
        r.to = to;
        r.from = QStringLiteral("yamada@example.jp");
        r.subject = QStringLiteral("会議①のお知らせ");
        r.body = QStringLiteral("明日の会議は10時～です。\r\n.\r\n以上");
        r.attachments = QString();
        return r;
    }

    SmtpRequest authenticated(SmtpRequest r) const
    {
        r.userId = m_server->user();
        r.password = m_server->password();
        return r;
    }

    QString writeAttachment(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_files.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QList<ReceivedMail> delivered() const { return m_server->messagesSince(m_before); }

    std::optional<SmtpTestServer> m_server;
    int m_before = 0;
    QTemporaryDir m_files;
    SmtpClient m_client;
};

TEST_F(SmtpSend, DeliversJapaneseMailWithAndWithoutAuthOrAttachments)
{
    struct Case {
        const char *name;
        bool withAuth;
        bool withAttachments;
    };
    const Case cases[] = {
        {"plain, no auth", false, false},
        {"auth and two attachments", true, true},
    };
    const QString pdf = writeAttachment(QStringLiteral("見積書①.pdf"), "%PDF-1.4 data");
    const QString zip = writeAttachment(QStringLiteral("a.zip"), QByteArray(5000, '\x01'));
    for (const Case &c : cases) {
        const int before = m_server->messageCount();
        SmtpRequest r = request(QStringLiteral("鈴木花子<suzuki@example.jp>, sato@example.jp"));
        r.bcc = QStringLiteral("hidden@example.jp");
        if (c.withAuth)
            r = authenticated(r);
        if (c.withAttachments)
            r.attachments = pdf + u',' + zip;
        QString error;
        ASSERT_EQ(m_client.send(r, &error), 0) << c.name << ": " << text(error);

        const QList<ReceivedMail> mails = m_server->messagesSince(before);
        ASSERT_EQ(mails.size(), 1) << c.name;
        const ReceivedMail &mail = mails.first();
        EXPECT_EQ(mail.mailFrom, u"yamada@example.jp") << c.name;
        EXPECT_EQ(mail.recipients, QStringList({QStringLiteral("suzuki@example.jp"),
                                                QStringLiteral("sato@example.jp"),
                                                QStringLiteral("hidden@example.jp")}))
            << c.name;
        EXPECT_EQ(mail.login, c.withAuth ? m_server->user() : QString()) << c.name;
        EXPECT_FALSE(mail.data.contains("hidden@example.jp")) << "Bcc leaked into the message";

        QTemporaryDir folder;
        MailHeaderFields fields;
        QString body;
        const int expanded = mime::expandMessage(mail.data, folder.path(), fields, body, nullptr);
        EXPECT_EQ(expanded, c.withAttachments ? 1 : 0) << c.name;
        EXPECT_EQ(text(fields.subject), "会議①のお知らせ") << c.name;
        // The lone "." line survives: the client dot-stuffs, the server unstuffs.
        EXPECT_EQ(text(withoutFinalLineEnd(body)), "明日の会議は10時～です。\r\n.\r\n以上")
            << c.name;
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), c.withAttachments ? 2 : 0)
            << c.name;
    }
}

TEST_F(SmtpSend, RefusalsOfTheServerAreNegativeWithItsReply)
{
    struct Case {
        const char *name;
        SmtpRequest request;
        std::vector<std::string> errorHolds;
    };
    SmtpRequest wrongPassword = authenticated(request(QStringLiteral("suzuki@example.jp")));
    wrongPassword.password = QStringLiteral("wrong");
    const Case cases[] = {
        {"rejected recipient",
         request(QStringLiteral("ok@example.jp, ") + m_server->rejectedRecipient()),
         {"SMTPサーバー「" + text(m_server->address()) + "」が宛先「" +
              text(m_server->rejectedRecipient()) + "」を拒否しました。",
          "（550 5.1.1"}},
        {"wrong password", wrongPassword, {"ユーザー認証に失敗しました", "535"}},
    };
    for (const Case &c : cases) {
        QString error;
        EXPECT_LT(m_client.send(c.request, &error), 0) << c.name;
        for (const std::string &part : c.errorHolds)
            EXPECT_NE(text(error).find(part), std::string::npos) << c.name << ": " << text(error);
    }
    EXPECT_TRUE(delivered().isEmpty());
    // The connection is still good for the next message.
    QString error;
    EXPECT_EQ(m_client.send(request(QStringLiteral("ok@example.jp")), &error), 0) << text(error);
}

TEST_F(SmtpSend, BadInputIsRefusedBeforeAnythingIsSent)
{
    struct Case {
        const char *name;
        SmtpRequest request;
        const char *errorHolds;
    };
    const auto with = [this](auto change) {
        SmtpRequest r = request(QStringLiteral("suzuki@example.jp"));
        change(r);
        return r;
    };
    const Case cases[] = {
        {"crlf in to", with([](SmtpRequest &r) {
             r.to = QStringLiteral("a@example.jp>\r\nRCPT TO:<evil@example.com");
         }),
         "制御文字"},
        {"lf in cc",
         with([](SmtpRequest &r) { r.cc = QStringLiteral("a@example.jp\nb@example.jp"); }),
         "制御文字"},
        {"cr in bcc", with([](SmtpRequest &r) { r.bcc = QStringLiteral("a@example.jp\r"); }),
         "制御文字"},
        {"crlf in from",
         with([](SmtpRequest &r) { r.from = QStringLiteral("me@example.jp\r\nRSET"); }),
         "制御文字"},
        {"stray bracket", with([](SmtpRequest &r) { r.to = QStringLiteral("a@example.jp>"); }),
         "「<」「>」"},
        {"no recipient", with([](SmtpRequest &r) { r.to = QString(); }), "宛先が指定されていない"},
        {"absent recipient", with([](SmtpRequest &r) { r.to.reset(); }), "宛先が指定されていない"},
        {"no sender", with([](SmtpRequest &r) { r.from = QString(); }), "差出人"},
        {"no server", with([](SmtpRequest &r) { r.server = QString(); }),
         "SMTPサーバーが設定されていない"},
        {"missing attachment",
         with([](SmtpRequest &r) { r.attachments = QStringLiteral("/nonexistent/資料.pdf"); }),
         "/nonexistent/資料.pdf"},
    };
    for (const Case &c : cases) {
        QString error;
        EXPECT_LT(m_client.send(c.request, &error), 0) << c.name;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.errorHolds)))
            << c.name << ": " << text(error);
        EXPECT_TRUE(error.contains(u"送信しませんでした")) << c.name << ": " << text(error);
    }
    EXPECT_TRUE(delivered().isEmpty());
}

TEST_F(SmtpSend, BulkSendReusesOneConnectionUntilReset)
{
    QString error;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(m_client.send(authenticated(request(QStringLiteral("bulk%1@example.jp").arg(i))),
                                &error),
                  0)
            << text(error);
    m_client.reset();
    ASSERT_EQ(m_client.send(request(QStringLiteral("after@example.jp")), &error), 0) << text(error);

    const QList<ReceivedMail> mails = delivered();
    ASSERT_EQ(mails.size(), 4);
    EXPECT_EQ(mails[1].clientPort, mails[0].clientPort);
    EXPECT_EQ(mails[2].clientPort, mails[0].clientPort);
    EXPECT_NE(mails[3].clientPort, mails[0].clientPort);
    EXPECT_EQ(mails[2].recipients, QStringList(QStringLiteral("bulk2@example.jp")));
}

// A send run builds the next message while the one before is with the server: what was
// built goes out only for exactly the arguments it was built from, and the checks hold.
TEST_F(SmtpSend, AMessageBuiltAheadGoesOnlyWhereItWasBuiltFor)
{
    NMailFacade library(nullptr, pop3::Options());
    const auto prepare = [&](const QString &to, const QString &body) {
        library.NMailSmtpPrepareMail(m_server->address(), to, std::nullopt, std::nullopt,
                                     QStringLiteral("yamada@example.jp"), QStringLiteral("件名"),
                                     body, std::nullopt, QString());
    };
    const auto send = [&](const QString &to, const QString &body) {
        return library.NMailSmtpSendMail(m_server->address(), to, std::nullopt, std::nullopt,
                                         QStringLiteral("yamada@example.jp"),
                                         QStringLiteral("件名"), body, std::nullopt, QString(), 0);
    };
    const QString injected = QStringLiteral("a@example.jp>\r\nRCPT TO:<evil@example.com");

    prepare(QStringLiteral("first@example.jp"), QStringLiteral("一通目"));
    EXPECT_EQ(send(QStringLiteral("other@example.jp"), QStringLiteral("一通目")), 0);
    prepare(QStringLiteral("second@example.jp"), QStringLiteral("占い付き"));
    EXPECT_EQ(send(QStringLiteral("second@example.jp"), QStringLiteral("別の占い")), 0);
    prepare(injected, QStringLiteral("本文"));
    EXPECT_LT(send(injected, QStringLiteral("本文")), 0);
    EXPECT_TRUE(library.NMailGetMessage().contains(u"制御文字")) << text(library.NMailGetMessage());
    prepare(QStringLiteral("third@example.jp"), QStringLiteral("三通目"));
    prepare(QStringLiteral("fourth@example.jp"), QStringLiteral("四通目"));
    EXPECT_EQ(send(QStringLiteral("third@example.jp"), QStringLiteral("三通目")), 0);
    EXPECT_EQ(send(QStringLiteral("fourth@example.jp"), QStringLiteral("四通目")), 0);

    const QList<ReceivedMail> mails = delivered();
    ASSERT_EQ(mails.size(), 4);
    const char *expected[][2] = {{"other@example.jp", "一通目"},
                                 {"second@example.jp", "別の占い"},
                                 {"third@example.jp", "三通目"},
                                 {"fourth@example.jp", "四通目"}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(mails[i].recipients, QStringList(QString::fromUtf8(expected[i][0]))) << i;
        MailHeaderFields fields;
        QString body;
        QTemporaryDir folder;
        mime::expandMessage(mails[i].data, folder.path(), fields, body, nullptr);
        EXPECT_TRUE(mails[i].data.contains(QByteArray("To: <") + expected[i][0] + ">")) << i;
        EXPECT_EQ(text(withoutFinalLineEnd(body)), expected[i][1]) << i;
    }
    EXPECT_FALSE(mails[0].data.contains("first@example.jp"));
}

TEST_F(SmtpSend, TlsWhenTheServerOffersItWithVerifiedCertificates)
{
    struct Case {
        const char *name;
        QString server;
        bool trusted;
        bool encrypted; // when delivered
    };
    const QString host = QStringLiteral("127.0.0.1");
    const QString startTls = QString::number(m_server->startTlsPort());
    const QString implicitTls = QString::number(m_server->tlsPort());
    const Case cases[] = {
        {"host:port offering starttls", host + u':' + startTls, true, true},
        {"smtp url offering starttls", QStringLiteral("smtp://") + host + u':' + startTls, true,
         true},
        {"smtps url", QStringLiteral("smtps://") + host + u':' + implicitTls, true, true},
        {"server without starttls stays plain", m_server->address(), true, false},
        {"untrusted certificate on starttls", host + u':' + startTls, false, false},
        {"untrusted certificate on smtps", QStringLiteral("smtps://") + host + u':' + implicitTls,
         false, false},
    };
    for (const Case &c : cases) {
        const int before = m_server->messageCount();
        SmtpClient client;
        client.setCertificateAuthorities(c.trusted ? m_server->caFile()
                                                   : m_server->untrustedCaFile());
        SmtpRequest r = authenticated(request(QStringLiteral("suzuki@example.jp")));
        r.server = c.server;
        QString error;
        const int result = client.send(r, &error);
        const QList<ReceivedMail> mails = m_server->messagesSince(before);
        if (!c.trusted) {
            EXPECT_LT(result, 0) << c.name;
            EXPECT_TRUE(error.contains(u"証明書")) << c.name << ": " << text(error);
            EXPECT_TRUE(mails.isEmpty()) << c.name;
            continue;
        }
        ASSERT_EQ(result, 0) << c.name << ": " << text(error);
        ASSERT_EQ(mails.size(), 1) << c.name;
        EXPECT_EQ(mails.first().encrypted, c.encrypted) << c.name;
        EXPECT_EQ(mails.first().login, m_server->user()) << c.name;
    }
}

TEST_F(SmtpSend, UnreachableServerIsNamedInTheFailure)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    SmtpRequest r = request(QStringLiteral("suzuki@example.jp"));
    r.server = address;
    QString error;
    EXPECT_LT(m_client.send(r, &error), 0);
    EXPECT_TRUE(error.startsWith(QStringLiteral("SMTPサーバー「") + address +
                                 QStringLiteral("」に接続できません。")))
        << text(error);
}

} // namespace
} // namespace orv::smtp
