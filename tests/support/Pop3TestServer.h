#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include <optional>

namespace orv::test {

// The private Dovecot that scripts/peers/pop3.sh starts, seen through the variables of
// its pop3.env, and the Maildir of one of its users, which tests fill and inspect
// directly. Free of GoogleTest so the POP3 benchmark can use it too.
class Pop3TestServer {
public:
    // The server from the environment, or nothing with the reason in `problem`.
    static std::optional<Pop3TestServer> fromEnvironment(QString *problem);

    // Another user of the same server, with a mailbox of its own.
    Pop3TestServer forUser(const QString &user) const;

    const QString &host() const { return m_host; }
    quint16 plainPort() const { return m_plainPort; }
    quint16 tlsPort() const { return m_tlsPort; }
    const QString &user() const { return m_user; }
    const QString &password() const { return m_password; }
    QString caFile() const { return m_caFile; }
    QList<QSslCertificate> trustedCertificates() const;
    QList<QSslCertificate> untrustedCertificates() const;

    // "host:port" of the plain port, which offers STLS.
    QString plainServer() const;
    // "pop3s://host:port".
    QString tlsServer() const;

    // Removes every message of the user's mailbox.
    void clear() const;
    // Delivers a message (CR LF or LF line ends; stored with LF as a mail server does);
    // messages are numbered in delivery order.
    void deliver(const QByteArray &message) const;
    // The messages still in the mailbox, in delivery order, with CR LF line ends.
    QList<QByteArray> messages() const;

    // The Maildir of the user, owned by the server's mail user.
    QString maildir() const;

private:
    QString m_host;
    quint16 m_plainPort = 0;
    quint16 m_tlsPort = 0;
    QString m_user;
    QString m_password;
    QString m_mailRoot;
    QString m_caFile;
    QString m_untrustedCaFile;
};

// The failure text for a test that needs a server the environment does not describe.
QString runThroughTestScript(const QString &problem);

} // namespace orv::test
