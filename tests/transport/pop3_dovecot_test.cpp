// The POP3 engine and the mail library facade against the private Dovecot of
// scripts/peers/pop3.sh.
#include "core/Cp932.h"
#include "support/Pop3TestServer.h"
#include "transport/NMailFacade.h"
#include "transport/pop3/Pop3Session.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::Pop3TestServer;

const QByteArray kPlainMessage = "From: Taro <taro@example.jp>\r\n"
                                 "Subject: plain test\r\n"
                                 "Date: Wed, 09 Dec 2026 10:00:00 +0900\r\n"
                                 "\r\n"
                                 "Hello.\r\n"
                                 ".a line that starts with a dot\r\n"
                                 "..and one with two\r\n"
                                 ".\r\n"
                                 "the line above is a single dot\r\n";

QByteArray shiftJisMessage()
{
    return "From: hanako@example.jp\r\n"
           "Subject: sjis body\r\n"
           "Content-Type: text/plain; charset=Shift_JIS\r\n"
           "Content-Transfer-Encoding: 8bit\r\n"
           "\r\n" +
           cp932::encode(QStringLiteral("こんにちは、①㈱～のテストです。\r\n表示\r\n"));
}

// Long enough to span many reads, with lines the server has to dot-stuff.
QByteArray largeMessage(int number, int lines)
{
    QByteArray message =
        "From: bulk@example.jp\r\nSubject: bulk " + QByteArray::number(number) + "\r\n\r\n";
    for (int line = 0; line < lines; ++line)
        message +=
            (line % 7 == 0 ? "." : "") + QByteArray::number(line) + QByteArray(70, 'x') + "\r\n";
    return message;
}

std::pair<QByteArray, QByteArray> headerAndBody(const QByteArray &message)
{
    const qsizetype end = message.indexOf("\r\n\r\n");
    return {message.left(end + 2), message.mid(end + 4)};
}

class Pop3Dovecot : public testing::Test {
protected:
    void SetUp() override
    {
        QString problem;
        std::optional<Pop3TestServer> found = Pop3TestServer::fromEnvironment(&problem);
        if (!found)
            FAIL() << test::runThroughTestScript(problem).toStdString();
        server = *found;
        server.clear();
    }
    void TearDown() override
    {
        if (server.user().isEmpty())
            return;
        server.clear();
    }

    pop3::Options trusting() const
    {
        pop3::Options options;
        options.caCertificates = server.trustedCertificates();
        return options;
    }

    std::unique_ptr<NMailFacade> facade(pop3::Options options) const
    {
        return std::make_unique<NMailFacade>(nullptr, std::move(options));
    }

    Pop3TestServer server;
};

// The program's path through the library, trusting the test server's own authority.
TEST_F(Pop3Dovecot, FacadeGivesCountSizeStatusAndTheTextAsSent)
{
    const QList<QByteArray> sent = {kPlainMessage, shiftJisMessage(), largeMessage(3, 4000)};
    for (const QByteArray &message : sent)
        server.deliver(message);

    std::unique_ptr<MailLibrary> library = facade(trusting());
    const int handle = library->NMailPop3Connect(server.plainServer());
    ASSERT_GT(handle, 0) << library->NMailGetMessage().toStdString();
    ASSERT_EQ(library->NMailPop3Authenticate(handle, server.user(), server.password(), 0), 3)
        << library->NMailGetMessage().toStdString();

    for (int number = 1; number <= 3; ++number) {
        SCOPED_TRACE(number);
        const QByteArray &expected = sent[number - 1];
        MailHeaderFields status;
        EXPECT_EQ(library->NMailPop3GetMailStatus(handle, number, status, 0), 0);
        EXPECT_EQ(library->NMailPop3GetMailSize(handle, number), expected.size());

        MailHeaderFields fields;
        QString body;
        ASSERT_EQ(library->NMailPop3GetMail(handle, number, fields, body, 0, 0), 0)
            << library->NMailGetMessage().toStdString();
        const auto [header, text] = headerAndBody(expected);
        EXPECT_EQ(fields.header, cp932::decode(header));
        EXPECT_EQ(body, cp932::decode(text));
        EXPECT_EQ(status.header, fields.header);
    }
    MailHeaderFields fields;
    QString body;
    EXPECT_LT(library->NMailPop3GetMail(handle, 4, fields, body, 0, 0), 0);
    EXPECT_EQ(library->NMailPop3Close(handle), 0) << library->NMailGetMessage().toStdString();
    EXPECT_EQ(server.messages(), sent) << "nothing was deleted";
}

// 8-bit UTF-8 mail with an attachment: the text the program hands back has been through
// code page 932 (the emoji and the attachment name cannot survive that), so expansion must
// work from the bytes the server sent.
QByteArray utf8MessageWithAttachment()
{
    return "From: =?UTF-8?B?5bGx55Sw?= <yamada@example.jp>\r\n"
           "Subject: utf8 with attachment\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"sep\"\r\n"
           "\r\n"
           "--sep\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: 8bit\r\n"
           "\r\n" +
           QStringLiteral("絵文字😀と€のテキスト\r\n").toUtf8() +
           "--sep\r\n"
           "Content-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename*=UTF-8''%E2%82%AC.bin\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n"
           "AAECA/8=\r\n"
           "--sep--\r\n";
}

TEST_F(Pop3Dovecot, AttachmentsAreExpandedFromTheBytesTheServerSent)
{
    server.deliver(utf8MessageWithAttachment());
    std::unique_ptr<NMailFacade> library = facade(trusting());
    const int handle = library->NMailPop3Connect(server.plainServer());
    ASSERT_EQ(library->NMailPop3Authenticate(handle, server.user(), server.password(), 0), 1);

    MailHeaderFields fields;
    QString body;
    ASSERT_EQ(library->NMailPop3GetMailStatus(handle, 1, fields, 0), 0);
    EXPECT_EQ(fields.subject, u"utf8 with attachment"_qs);
    ASSERT_EQ(library->NMailPop3GetMail(handle, 1, fields, body, 0, 0), 0);
    EXPECT_TRUE(library->NMailKeepsFetchedMessage()) << "the caller may skip the whole text";
    const QString wholeMessage =
        cp932::decode(cp932::encode(fields.header + u"\r\n"_qs + body + u"\r\n"_qs));

    QTemporaryDir folder;
    EXPECT_EQ(
        library->NMailAttachmentFileFirst(fields, body, folder.path(), QString(), wholeMessage), 1)
        << library->NMailGetMessage().toStdString();
    library->NMailAttachmentFileClose();
    EXPECT_TRUE(body.contains(u"絵文字😀と€のテキスト"_qs)) << body.toStdString();
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile attachment(QDir(folder.path()).filePath(files[0]));
    ASSERT_TRUE(attachment.open(QIODevice::ReadOnly));
    EXPECT_EQ(attachment.readAll(), QByteArray::fromHex("00010203ff"));
    EXPECT_EQ(library->NMailPop3Close(handle), 0);

    // With no message fetched, the text the program hands over is what gets decoded.
    EXPECT_FALSE(library->NMailKeepsFetchedMessage());
    QTemporaryDir otherFolder;
    const QString handedOver = u"Subject: handed over\r\n\r\nplain text\r\n"_qs;
    EXPECT_EQ(
        library->NMailAttachmentFileFirst(fields, body, otherFolder.path(), QString(), handedOver),
        0);
    EXPECT_EQ(fields.subject, u"handed over"_qs);
    EXPECT_TRUE(body.startsWith(u"plain text"_qs)) << body.toStdString();
}

struct LoginCase {
    const char *name;
    bool implicitTls;
    bool apop;
};

class Pop3DovecotLogin : public Pop3Dovecot, public testing::WithParamInterface<LoginCase> {};

TEST_P(Pop3DovecotLogin, LogsInOverTlsAndCounts)
{
    server.deliver(kPlainMessage);
    server.deliver(shiftJisMessage());
    const LoginCase &c = GetParam();
    const QString setting = c.implicitTls ? server.tlsServer() : server.plainServer();

    pop3::Session session(trusting());
    ASSERT_TRUE(session.open(*parseServerAddress(setting, MailProtocol::Pop3)));
    EXPECT_TRUE(session.isEncrypted()) << "STLS is offered, so it is used";
    const Status loggedIn = session.login(server.user(), server.password(), c.apop);
    ASSERT_TRUE(loggedIn) << loggedIn.error().toStdString();
    EXPECT_EQ(session.messageCount(), 2);
    EXPECT_FALSE(session.uniqueId(2).isEmpty());
    EXPECT_TRUE(session.quit());
}

INSTANTIATE_TEST_SUITE_P(Pop3, Pop3DovecotLogin,
                         testing::Values(LoginCase{"stls_user_pass", false, false},
                                         LoginCase{"stls_apop", false, true},
                                         LoginCase{"implicit_tls_user_pass", true, false},
                                         LoginCase{"implicit_tls_apop", true, true}),
                         [](const testing::TestParamInfo<LoginCase> &info) {
                             return std::string(info.param.name);
                         });

TEST_F(Pop3Dovecot, WrongPasswordIsRefusedWithTheServersReply)
{
    for (const int apop : {0, -1}) {
        SCOPED_TRACE(apop);
        std::unique_ptr<NMailFacade> library = facade(trusting());
        const int handle = library->NMailPop3Connect(server.plainServer());
        ASSERT_GT(handle, 0);
        EXPECT_LT(library->NMailPop3Authenticate(handle, server.user(), u"wrong"_qs, apop), 0);
        const QString text = library->NMailGetMessage();
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("POP3サーバー「%1」で認証に失敗しました。").arg(server.host())))
            << text.toStdString();
        EXPECT_TRUE(text.contains(u"サーバーの応答: -ERR"_qs)) << text.toStdString();
    }
}

TEST_F(Pop3Dovecot, UntrustedCertificateMeansNoConnection)
{
    pop3::Options options;
    options.caCertificates = server.untrustedCertificates();
    for (const QString &setting : {server.plainServer(), server.tlsServer()}) {
        SCOPED_TRACE(setting.toStdString());
        std::unique_ptr<NMailFacade> library = facade(options);
        EXPECT_EQ(library->NMailPop3Connect(setting), -1);
        EXPECT_TRUE(library->NMailGetMessage().contains(u"証明書"_qs))
            << library->NMailGetMessage().toStdString();
    }
}

TEST_F(Pop3Dovecot, UnreachableServerIsMinusOneWithTheReason)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString closedPort = u"127.0.0.1:"_qs + QString::number(probe.serverPort());
    probe.close();

    for (const QString &setting : {closedPort, u"no-such-host.invalid"_qs, u"http://x"_qs}) {
        SCOPED_TRACE(setting.toStdString());
        std::unique_ptr<NMailFacade> library = facade(trusting());
        EXPECT_EQ(library->NMailPop3Connect(setting), -1);
        EXPECT_TRUE(library->NMailGetMessage().startsWith(u"POP3サーバー"_qs))
            << library->NMailGetMessage().toStdString();
    }
}

// Deletions are a promise until QUIT: a session that ends any other way leaves the
// mailbox as it was, and QUIT removes exactly the marked messages.
TEST_F(Pop3Dovecot, DeletionsTakeEffectAtQuitAndOnlyThen)
{
    const QList<QByteArray> sent = {kPlainMessage, shiftJisMessage(), largeMessage(3, 50),
                                    largeMessage(4, 10)};
    for (const QByteArray &message : sent)
        server.deliver(message);

    auto deleteFirstSecondAndFourth = [&](MailLibrary &library) {
        const int handle = library.NMailPop3Connect(server.plainServer());
        EXPECT_EQ(library.NMailPop3Authenticate(handle, server.user(), server.password(), -1), 4);
        for (const int number : {1, 2, 4}) {
            MailHeaderFields fields;
            QString body;
            EXPECT_EQ(library.NMailPop3GetMail(handle, number, fields, body, 0, 0), 0);
            EXPECT_EQ(library.NMailPop3DeleteMail(handle, number), 0);
        }
        return handle;
    };

    std::unique_ptr<NMailFacade> dropped = facade(trusting());
    deleteFirstSecondAndFourth(*dropped);
    dropped->NMailEndWinSock();
    EXPECT_EQ(server.messages(), sent);

    std::unique_ptr<NMailFacade> closed = facade(trusting());
    const int handle = deleteFirstSecondAndFourth(*closed);
    EXPECT_EQ(closed->NMailPop3Close(handle), 0) << closed->NMailGetMessage().toStdString();
    EXPECT_EQ(server.messages(), QList<QByteArray>{sent[2]});
}

struct WindowCase {
    const char *name;
    int pipelineWindow;
    qint64 prefetchBytes;
};

class Pop3DovecotReceiveLoop : public Pop3Dovecot,
                               public testing::WithParamInterface<WindowCase> {};

// The receive run's order (fetch i, delete i) over more messages than the window holds,
// with sizes on both sides of the prefetch bound.
TEST_P(Pop3DovecotReceiveLoop, FetchesEveryMessageInOrderAndEmptiesTheMailbox)
{
    QList<QByteArray> sent;
    for (int number = 1; number <= 25; ++number)
        sent.append(largeMessage(number, number == 9 ? 5000 : number * 3));
    for (const QByteArray &message : sent)
        server.deliver(message);

    pop3::Options options = trusting();
    options.pipelineWindow = GetParam().pipelineWindow;
    options.prefetchBytes = GetParam().prefetchBytes;
    pop3::Session session(options);
    ASSERT_TRUE(session.open(*parseServerAddress(server.plainServer(), MailProtocol::Pop3)));
    ASSERT_TRUE(session.login(server.user(), server.password(), false));
    ASSERT_TRUE(session.pipelining());
    ASSERT_EQ(session.messageCount(), 25);
    for (int number = 1; number <= 25; ++number) {
        QByteArray message;
        const Status fetched = session.retrieve(number, message);
        ASSERT_TRUE(fetched) << fetched.error().toStdString();
        ASSERT_EQ(message, sent[number - 1]) << number;
        ASSERT_TRUE(session.markDeleted(number));
    }
    const Status quit = session.quit();
    EXPECT_TRUE(quit) << quit.error().toStdString();
    EXPECT_TRUE(server.messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Pop3, Pop3DovecotReceiveLoop,
    testing::Values(WindowCase{"one_ahead", 1, 1 << 24},
                    WindowCase{"default_window", pop3::Options().pipelineWindow,
                               pop3::Options().prefetchBytes},
                    WindowCase{"byte_bound", 6, 2000}),
    [](const testing::TestParamInfo<WindowCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace orv
