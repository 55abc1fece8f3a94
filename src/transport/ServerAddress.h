#pragma once

#include <QString>

#include <optional>

namespace orv {

enum class MailProtocol { Pop3, Smtp };

enum class TlsMode {
    // Plain connection that switches to TLS (STLS / STARTTLS) when the server offers it.
    StartTlsWhenOffered,
    // TLS from the first byte (pop3s://, smtps://).
    Implicit,
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
// "[v6-address]:port", or a URL "pop3://", "pop3s://", "smtp://", "smtps://" with an
// optional port. Blanks around the text are ignored. Returns nothing and a Japanese
// reason in `error` when the text names no usable server.
std::optional<ServerAddress> parseServerAddress(const QString &text, MailProtocol protocol,
                                                QString *error = nullptr);

} // namespace orv
