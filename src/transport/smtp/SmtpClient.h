#pragma once

#include "transport/ServerAddress.h"
#include "transport/mime/Addresses.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace orv::smtp {

// One message to send. An absent value differs from an empty text, as in the mail library.
struct SmtpRequest {
    std::optional<QString> server, to, cc, bcc, from, subject, body, extraHeader, attachments;
    QString userId, password;

    bool operator==(const SmtpRequest &) const = default;
};

// A request checked and its message built: everything a send does before it connects.
struct PreparedMail {
    SmtpRequest request;
    int refused = 0; // negative when the request cannot be sent; `error` says why
    QString error;
    ServerAddress server;
    mime::Mailbox from;
    QList<mime::Mailbox> recipients;
    QByteArray message;
    std::chrono::steady_clock::time_point builtAt; // the message's Date is this moment
};

// Keeps one libcurl handle (and so one connection) across sends to the same server, so a
// bulk send reuses it. STARTTLS is required when the server offers it; a server that offers
// no TLS gets neither the password nor the message unless plaintext is allowed for it.
class SmtpClient {
public:
    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient &) = delete;
    SmtpClient &operator=(const SmtpClient &) = delete;

    // Any thread may prepare a message; the send may happen later on the client's thread.
    static PreparedMail prepare(const SmtpRequest &request);

    // 0 when the server accepted the message, negative otherwise with `error` set to a
    // Japanese sentence naming the server and the cause.
    int send(const SmtpRequest &request, QString *error) { return send(prepare(request), error); }
    int send(PreparedMail mail, QString *error);
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
