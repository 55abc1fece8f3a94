#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace orv::smtp {

// One message to send. An absent value differs from an empty text, as in the mail library.
struct SmtpRequest {
    std::optional<QString> server, to, cc, bcc, from, subject, body, extraHeader, attachments;
    QString userId, password;
};

// Keeps one libcurl handle (and so one connection) across sends to the same server, so a
// bulk send reuses it.
class SmtpClient {
public:
    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient &) = delete;
    SmtpClient &operator=(const SmtpClient &) = delete;

    // 0 when the server accepted the message, negative otherwise with `error` set to a
    // Japanese sentence naming the server and the cause.
    int send(const SmtpRequest &request, QString *error);
    // Closes the connection.
    void reset();
    // Trusts the certificate authorities in `caFile` (PEM) instead of the system's.
    void setCertificateAuthorities(const QString &caFile);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    QByteArray m_caFile;
};

} // namespace orv::smtp
