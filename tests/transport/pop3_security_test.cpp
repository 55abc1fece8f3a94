// A POP3 server that offers STLS and then refuses or fails it gets no password: the scripted
// server logs every command, so USER, PASS or APOP on the wire shows up here.
#include "support/ScriptedPop3Server.h"
#include "transport/NMailFacade.h"
#include "transport/ServerAddress.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::FaultLog;
using test::FaultScript;
using test::ScriptedPop3Server;

pop3::Options shortTimeouts()
{
    pop3::Options options;
    options.connectTimeoutMs = 2000;
    options.stallTimeoutMs = 2000;
    return options;
}

struct Attempt {
    int connected = 0;
    int authenticated = 0;
    std::string error;
    FaultLog log;
};

// Connects and logs in as the receive run does, with USER/PASS or with APOP.
Attempt logIn(FaultScript script, const QString &scheme, bool apop)
{
    script.messages = {"Subject: one\r\n\r\nfirst\r\n"};
    ScriptedPop3Server server(script);
    NMailFacade library(nullptr, shortTimeouts());
    Attempt attempt;
    attempt.connected = library.NMailPop3Connect(scheme + server.setting());
    attempt.error = library.NMailGetMessage().toStdString();
    attempt.authenticated =
        library.NMailPop3Authenticate(attempt.connected, u"user"_qs, u"secret"_qs, apop ? 1 : 0);
    library.NMailPop3Close(attempt.connected);
    attempt.log = server.finish();
    return attempt;
}

bool sentCredentials(const FaultLog &log)
{
    for (const QByteArray &command : log.commands) {
        const QByteArray verb = command.split(' ').value(0).toUpper();
        if (verb == "USER" || verb == "PASS" || verb == "APOP" || verb == "AUTH" ||
            command.contains("secret"))
            return true;
    }
    return false;
}

TEST(Pop3Security, AnStlsThatIsOfferedButFailsEndsTheSessionBeforeTheLogin)
{
    struct Case {
        const char *name;
        QByteArray stlsReply;
        const char *errorHolds;
    };
    const Case cases[] = {
        {"stls refused", "-ERR TLS not available right now", "暗号化通信を開始できません"},
        {"stls accepted, no tls follows", "+OK Begin TLS negotiation", "暗号化"},
    };
    for (const Case &c : cases) {
        for (const bool apop : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (apop ? ", apop" : ", user/pass"));
            FaultScript script;
            script.offerStls = true;
            script.stlsReply = c.stlsReply;
            // The plaintext form does not lift the rule: a server that offers STLS must use it.
            const Attempt attempt = logIn(script, QStringLiteral("pop3+plain://"), apop);
            EXPECT_LT(attempt.connected, 0);
            EXPECT_NE(attempt.error.find(c.errorHolds), std::string::npos) << attempt.error;
            EXPECT_LT(attempt.authenticated, 0);
            EXPECT_FALSE(sentCredentials(attempt.log)) << attempt.log.commands.join(", ").data();
            EXPECT_TRUE(attempt.log.commands.contains("STLS"));
        }
    }
}

// Loopback is this machine itself, and "pop3+plain://" is the user's knowing choice.
TEST(Pop3Security, ALoopbackServerWithoutStlsStillGetsTheLogin)
{
    for (const QString &scheme : {QString(), QStringLiteral("pop3+plain://")}) {
        SCOPED_TRACE(scheme.toStdString());
        const Attempt attempt = logIn(FaultScript(), scheme, false);
        EXPECT_GE(attempt.connected, 0) << attempt.error;
        EXPECT_EQ(attempt.authenticated, 1) << attempt.error;
        EXPECT_TRUE(attempt.log.commands.contains("PASS secret"));
    }
}

// No address but loopback exists to test on, so the rule that decides is tested here: it is
// what Session::open and SmtpClient::send ask before anything follows in the clear.
TEST(PlaintextRule, OnlyLoopbackOrThePlaintextFormMayGoUnencrypted)
{
    struct Case {
        const char *setting;
        const char *peer;
        bool allowed;
    };
    const Case cases[] = {
        {"127.0.0.1:110", "127.0.0.1", true},
        {"localhost", "127.0.0.1", true},
        {"127.8.9.10", "127.8.9.10", true},
        {"[::1]:110", "::1", true},
        {"localhost", "::ffff:127.0.0.1", true},
        {"pop.example.jp", "192.0.2.1", false},
        {"pop3://pop.example.jp", "192.0.2.1", false},
        {"pop.example.jp", "2001:db8::1", false},
        {"pop.example.jp", "128.0.0.1", false},
        {"pop.example.jp", "::2", false},
        {"pop.example.jp", "::ffff:192.0.2.1", false},
        {"pop.example.jp", "0.0.0.0", false},
        {"pop.example.jp", "", false},
        {"pop3+plain://pop.example.jp", "192.0.2.1", true},
        {"POP3+PLAIN://pop.example.jp:1110", "2001:db8::1", true},
    };
    for (const Case &c : cases) {
        const auto server = parseServerAddress(QString::fromUtf8(c.setting), MailProtocol::Pop3);
        ASSERT_TRUE(server) << c.setting;
        EXPECT_EQ(plaintextAllowed(*server, QHostAddress(QString::fromUtf8(c.peer))), c.allowed)
            << c.setting << " at " << c.peer;
    }
}

TEST(PlaintextRule, TheRefusalSaysHowToChoosePlaintext)
{
    const auto pop3 = parseServerAddress(u"pop.example.jp"_qs, MailProtocol::Pop3);
    const auto smtp = parseServerAddress(u"smtp.example.jp:587"_qs, MailProtocol::Smtp);
    const QString pop3Text = noTlsOfferedText(*pop3, MailProtocol::Pop3);
    const QString smtpText = noTlsOfferedText(*smtp, MailProtocol::Smtp);
    EXPECT_TRUE(pop3Text.contains(u"パスワードを送らずに")) << pop3Text.toStdString();
    EXPECT_TRUE(pop3Text.contains(u"「pop3+plain://pop.example.jp:110」"))
        << pop3Text.toStdString();
    EXPECT_TRUE(smtpText.contains(u"パスワードもメールも送らずに")) << smtpText.toStdString();
    EXPECT_TRUE(smtpText.contains(u"「smtp+plain://smtp.example.jp:587」"))
        << smtpText.toStdString();
}

} // namespace
} // namespace orv
