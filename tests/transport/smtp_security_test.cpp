// What crosses the wire when TLS cannot be had: the test server logs every line a client
// sends, so a password or a message that leaks in the clear shows up here.
#include "support/SmtpTestServer.h"
#include "transport/smtp/HeloName.h"
#include "transport/smtp/SmtpClient.h"

#include <gtest/gtest.h>

namespace orv::smtp {
namespace {

using test::SmtpTestServer;
using test::WireLine;

std::string text(const QString &value)
{
    return value.toStdString();
}

class SmtpSecurity : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = SmtpTestServer::fromEnvironment();
        ASSERT_TRUE(m_server.has_value());
    }

    SmtpRequest request(const QString &server, const QString &to) const
    {
        SmtpRequest r;
        r.server = server;
        r.to = to;
        r.from = QStringLiteral("yamada@example.jp");
        r.subject = QStringLiteral("秘密の件名");
        r.body = QStringLiteral("秘密の本文");
        r.userId = m_server->user();
        r.password = m_server->password();
        return r;
    }

    // The lines one send put on the wire, and the send's result and failure text.
    struct Sent {
        int result = 0;
        QString error;
        QList<WireLine> wire;
        int delivered = 0;
    };

    Sent send(const QString &server, const QString &caFile,
              const QString &to = QStringLiteral("suzuki@example.jp"))
    {
        const int linesBefore = m_server->wireLineCount();
        const int messagesBefore = m_server->messageCount();
        Sent sent;
        {
            SmtpClient client;
            client.setCertificateAuthorities(caFile);
            sent.result = client.send(request(server, to), &sent.error);
        } // closes the connection: its QUIT is logged too
        sent.wire = m_server->wireLinesSince(linesBefore);
        sent.delivered = m_server->messagesSince(messagesBefore).size();
        return sent;
    }

    // The password in any form a client sends it: as it is, or inside a base64 word
    // (AUTH PLAIN, AUTH LOGIN).
    bool revealsPassword(const QByteArray &line) const
    {
        const QByteArray password = m_server->password().toUtf8();
        if (line.contains(password))
            return true;
        for (const QByteArray &word : line.split(' '))
            if (QByteArray::fromBase64(word).contains(password))
                return true;
        return false;
    }

    std::optional<SmtpTestServer> m_server;
};

QString local(quint16 port)
{
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

TEST_F(SmtpSecurity, NoPasswordNorMessageGoesOutWhenTlsCannotBeHad)
{
    struct Case {
        const char *name;
        QString server;
        bool trusted;
        quint16 port;
        std::vector<const char *> errorHolds;
        const char *errorLacks;
    };
    const Case cases[] = {
        {"starttls answered 454",
         local(m_server->startTlsRefusedPort()),
         true,
         m_server->startTlsRefusedPort(),
         {"STARTTLS", "断った", "パスワードもメールも送らず", "454 4.7.0"},
         "証明書"},
        {"untrusted certificate on starttls",
         local(m_server->startTlsPort()),
         false,
         m_server->startTlsPort(),
         {"証明書を確認できません"},
         "TLSで応答しませんでした"},
        {"untrusted certificate on smtps",
         QStringLiteral("smtps://") + local(m_server->tlsPort()),
         false,
         m_server->tlsPort(),
         {"証明書を確認できません"},
         "TLSで応答しませんでした"},
        {"smtps on a port without tls",
         QStringLiteral("smtps://") + m_server->address(),
         true,
         static_cast<quint16>(m_server->address().section(u':', 1).toUInt()),
         {"TLSで応答しませんでした", "smtps://"},
         "証明書"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Sent sent =
            send(c.server, c.trusted ? m_server->caFile() : m_server->untrustedCaFile());
        EXPECT_LT(sent.result, 0);
        EXPECT_EQ(sent.delivered, 0);
        for (const char *part : c.errorHolds)
            EXPECT_TRUE(sent.error.contains(QString::fromUtf8(part))) << text(sent.error);
        EXPECT_FALSE(sent.error.contains(QString::fromUtf8(c.errorLacks))) << text(sent.error);
        for (const WireLine &line : sent.wire) {
            if (line.port != c.port)
                continue; // another test program's client
            const QByteArray verb = line.line.split(' ').value(0).toUpper();
            for (const char *forbidden : {"AUTH", "MAIL", "RCPT", "DATA"})
                EXPECT_NE(verb, forbidden) << line.line.toStdString();
            EXPECT_FALSE(revealsPassword(line.line)) << line.line.toStdString();
        }
    }
}

// Loopback is this machine itself, and "smtp+plain://" is the user's knowing choice: a
// server there that offers no STARTTLS still gets the mail, in the clear.
TEST_F(SmtpSecurity, PlaintextOnlyWhereItIsAllowed)
{
    for (const QString &server :
         {m_server->address(), QStringLiteral("smtp+plain://") + m_server->address()}) {
        SCOPED_TRACE(text(server));
        const Sent sent = send(server, m_server->caFile());
        EXPECT_EQ(sent.result, 0) << text(sent.error);
        EXPECT_EQ(sent.delivered, 1);
    }
}

TEST_F(SmtpSecurity, AStartTlsServerOnLoopbackIsStillUsedWithTls)
{
    const Sent sent =
        send(QStringLiteral("smtp+plain://") + local(m_server->startTlsPort()), m_server->caFile());
    ASSERT_EQ(sent.result, 0) << text(sent.error);
    for (const WireLine &line : sent.wire) {
        if (line.port == m_server->startTlsPort() && revealsPassword(line.line)) {
            EXPECT_TRUE(line.tls) << line.line.toStdString();
        }
    }
}

// Strict servers refuse a bare host name such as "vm" in EHLO.
TEST_F(SmtpSecurity, EhloNamesTheHostFullyOrByItsAddress)
{
    const Sent sent = send(m_server->address(), m_server->caFile());
    ASSERT_EQ(sent.result, 0) << text(sent.error);
    QList<QByteArray> names;
    for (const WireLine &line : sent.wire)
        if (line.line.toUpper().startsWith("EHLO "))
            names.append(line.line.mid(5));
    ASSERT_FALSE(names.isEmpty());
    for (const QByteArray &name : names) {
        const bool literal = name == "[127.0.0.1]";
        const bool qualified = name.contains('.') && !name.startsWith('[');
        EXPECT_TRUE(literal || qualified) << name.toStdString();
    }
}

TEST(HeloName, AFullNameHasADotAndIsNotLocalhostOtherwiseAnAddressLiteral)
{
    struct Case {
        const char *name;
        QList<QByteArray> candidates;
        QByteArray expected;
    };
    const Case names[] = {
        {"bare host name", {"vm"}, ""},
        {"resolver knows the full name", {"vm", "vm.example.jp"}, "vm.example.jp"},
        {"host name already full", {"mail.example.jp"}, "mail.example.jp"},
        {"localhost under a suffix", {"vm", "localhost.localdomain"}, ""},
        {"trailing dot only", {"vm."}, ""},
        {"nothing known", {}, ""},
    };
    for (const Case &c : names)
        EXPECT_EQ(fullyQualifiedName(c.candidates), c.expected) << c.name;

    const std::pair<const char *, const char *> literals[] = {
        {"192.0.2.1", "[192.0.2.1]"},
        {"::ffff:192.0.2.1", "[192.0.2.1]"},
        {"2001:db8::1", "[IPv6:2001:db8::1]"},
        {"::1", "[IPv6:::1]"},
    };
    for (const auto &[address, literal] : literals)
        EXPECT_EQ(addressLiteral(QHostAddress(QString::fromLatin1(address))), literal) << address;
}

TEST_F(SmtpSecurity, ATemporaryRefusalSaysTheMessageCanGoLater)
{
    const Sent sent =
        send(m_server->address(), m_server->caFile(), m_server->temporarilyRefusedRecipient());
    EXPECT_LT(sent.result, 0);
    EXPECT_TRUE(sent.error.contains(QStringLiteral("が宛先「%1」を一時的に受け付けませんでした")
                                        .arg(m_server->temporarilyRefusedRecipient())))
        << text(sent.error);
    EXPECT_TRUE(sent.error.contains(u"しばらくしてから送り直せます")) << text(sent.error);
    EXPECT_TRUE(sent.error.contains(u"（451 4.3.0")) << text(sent.error);
    EXPECT_FALSE(sent.error.contains(u"拒否")) << text(sent.error);
}

} // namespace
} // namespace orv::smtp
