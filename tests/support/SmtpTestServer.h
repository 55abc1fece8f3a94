#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv::test {

// One message as the test SMTP server stored it.
struct ReceivedMail {
    QByteArray data; // exactly as received
    QString mailFrom;
    QStringList recipients;
    QString login;      // empty when the client did not authenticate
    int clientPort = 0; // equal for messages sent over one connection
    bool encrypted = false;
};

// One line a client sent, as the server's wire log holds it.
struct WireLine {
    quint16 port = 0; // the server's port it reached
    bool tls = false; // travelled inside TLS
    QByteArray line;
};

// The aiosmtpd server that scripts/peers/smtp.sh starts; its variables come from smtp.env.
class SmtpTestServer {
public:
    // The server of this test run; adds a test failure saying how to start it when its
    // variables are missing.
    static std::optional<SmtpTestServer> fromEnvironment();

    // "127.0.0.1:port", the form a user types into the settings.
    // The plain port: no STARTTLS offered.
    QString address() const { return m_host + u':' + QString::number(m_port); }
    // A plain port that offers STARTTLS, and the implicit-TLS port.
    quint16 startTlsPort() const { return m_startTlsPort; }
    quint16 tlsPort() const { return m_tlsPort; }
    // A plain port that offers STARTTLS and answers it with 454.
    quint16 startTlsRefusedPort() const { return m_startTlsRefusedPort; }
    // The authority that signed the server's certificate, and one that did not.
    QString caFile() const { return m_caFile; }
    QString untrustedCaFile() const { return m_untrustedCaFile; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // The recipient the server refuses with 550.
    QString rejectedRecipient() const { return m_rejected; }
    // The recipient the server refuses for now with 451.
    QString temporarilyRefusedRecipient() const { return m_temporary; }

    // Messages stored so far; tests share the server, so they compare counts.
    int messageCount() const;
    QList<ReceivedMail> messagesSince(int count) const;
    // Every line clients sent so far, on every port, in the order it arrived.
    int wireLineCount() const;
    QList<WireLine> wireLinesSince(int count) const;

private:
    QString m_host;
    int m_port = 0;
    quint16 m_startTlsPort = 0;
    quint16 m_tlsPort = 0;
    quint16 m_startTlsRefusedPort = 0;
    QString m_caFile;
    QString m_untrustedCaFile;
    QString m_user;
    QString m_password;
    QString m_rejected;
    QString m_temporary;
    QString m_spool;
    QString m_wireLog;
};

} // namespace orv::test
