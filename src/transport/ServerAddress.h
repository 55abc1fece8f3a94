#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

namespace orv {

enum class MailProtocol { Pop3, Smtp };

enum class TlsMode {
    // Plain connection that switches to TLS (STLS / STARTTLS) when the server offers it. A
    // refused or failed switch ends the session; a server that offers no TLS gets neither a
    // password nor a message unless it is on loopback.
    StartTlsWhenOffered,
    // TLS from the first byte (pop3s://, smtps://).
    Implicit,
    // "pop3+plain://", "smtp+plain://": as StartTlsWhenOffered, except that the user chose to
    // let a server that offers no TLS have the password and the mail in the clear.
    StartTlsOrPlain,
};

// Where a server setting points: host, port and how TLS is reached.
struct ServerAddress {
    QString host;
    quint16 port = 0;
    TlsMode tls = TlsMode::StartTlsWhenOffered;

    // "host" or "host:port" as a person would write it, for failure texts.
    QString display() const;
};

// Reads a server setting: a bare host (the protocol's default port), "host:port",
// "[v6-address]:port", or a URL "pop3://", "pop3s://", "pop3+plain://", "smtp://",
// "smtps://", "smtp+plain://" with an optional port. Blanks around the text are ignored. Returns
// nothing and a Japanese reason in `error` when the text names no usable server.
std::optional<ServerAddress> parseServerAddress(const QString &text, MailProtocol protocol,
                                                QString *error = nullptr);

// 127.0.0.0/8 and ::1 (also written as an IPv4-mapped address): nobody but this machine can
// listen in there.
bool isLoopback(const QHostAddress &address);

// Whether `server`, reached at `peer` and offering no TLS, may get a password or a message
// in the clear: only on loopback, or when the user wrote the plaintext form of the name.
bool plaintextAllowed(const ServerAddress &server, const QHostAddress &peer);

// The failure text for a server that offers no TLS where plaintext is not allowed: what
// happened, and how to choose plaintext knowingly.
QString noTlsOfferedText(const ServerAddress &server, MailProtocol protocol);

} // namespace orv
