#include "transport/ServerAddress.h"

namespace orv {

namespace {

struct Scheme {
    QLatin1StringView name;
    MailProtocol protocol;
    TlsMode tls;
    quint16 defaultPort;
};

constexpr Scheme kSchemes[] = {
    {QLatin1StringView("pop3"), MailProtocol::Pop3, TlsMode::StartTlsWhenOffered, 110},
    {QLatin1StringView("pop3s"), MailProtocol::Pop3, TlsMode::Implicit, 995},
    {QLatin1StringView("smtp"), MailProtocol::Smtp, TlsMode::StartTlsWhenOffered, 25},
    {QLatin1StringView("smtps"), MailProtocol::Smtp, TlsMode::Implicit, 465},
    {QLatin1StringView("pop3+plain"), MailProtocol::Pop3, TlsMode::StartTlsOrPlain, 110},
    {QLatin1StringView("smtp+plain"), MailProtocol::Smtp, TlsMode::StartTlsOrPlain, 25},
};

quint16 plainDefaultPort(MailProtocol protocol)
{
    return protocol == MailProtocol::Pop3 ? 110 : 25;
}

QString protocolName(MailProtocol protocol)
{
    return protocol == MailProtocol::Pop3 ? QStringLiteral("POP3") : QStringLiteral("SMTP");
}

std::optional<ServerAddress> fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return std::nullopt;
}

bool isValidHost(const QString &host)
{
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        if (c.unicode() <= 0x20 || c == u'/' || c == u'@' || c == u'?' || c == u'#' || c == u'\\' ||
            c.unicode() == 0x7f)
            return false;
    }
    return true;
}

struct HostAndPort {
    QString host;
    std::optional<QString> port; // present when the text has a port separator
};

// Splits "host", "host:port", "[v6]" or "[v6]:port".
std::optional<HostAndPort> splitHostPort(const QString &authority)
{
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        const QString rest = authority.mid(close + 1);
        if (rest.isEmpty())
            return HostAndPort{authority.mid(1, close - 1), std::nullopt};
        if (!rest.startsWith(u':'))
            return std::nullopt;
        return HostAndPort{authority.mid(1, close - 1), rest.sliced(1)};
    }
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon < 0)
        return HostAndPort{authority, std::nullopt};
    if (authority.indexOf(u':') != colon)
        return std::nullopt; // a bare IPv6 address needs brackets to carry a port
    return HostAndPort{authority.left(colon), authority.sliced(colon + 1)};
}

std::optional<quint16> parsePort(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535 || text.startsWith(u'+'))
        return std::nullopt;
    return quint16(value);
}

} // namespace

QString ServerAddress::display() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

std::optional<ServerAddress> parseServerAddress(const QString &text, MailProtocol protocol,
                                                QString *error)
{
    const QString trimmed = text.trimmed();
    const QString what = protocolName(protocol);
    if (trimmed.isEmpty())
        return fail(error, QStringLiteral("%1サーバーが設定されていません。").arg(what));

    ServerAddress address;
    address.port = plainDefaultPort(protocol);
    QString authority = trimmed;

    const qsizetype schemeEnd = trimmed.indexOf(QLatin1StringView("://"));
    if (schemeEnd >= 0) {
        const QString scheme = trimmed.left(schemeEnd).toLower();
        const Scheme *found = nullptr;
        for (const Scheme &candidate : kSchemes) {
            if (candidate.name == scheme && candidate.protocol == protocol)
                found = &candidate;
        }
        if (!found)
            return fail(error, QStringLiteral("%1サーバーの指定「%2」は%1のURLではありません。")
                                   .arg(what, trimmed));
        address.tls = found->tls;
        address.port = found->defaultPort;
        authority = trimmed.mid(schemeEnd + 3);
        if (authority.endsWith(u'/'))
            authority.chop(1);
    }

    const std::optional<HostAndPort> parts = splitHostPort(authority);
    if (!parts || !isValidHost(parts->host))
        return fail(error,
                    QStringLiteral("%1サーバーの指定「%2」を読み取れません。").arg(what, trimmed));
    address.host = parts->host;
    if (parts->port) {
        const std::optional<quint16> number = parsePort(*parts->port);
        if (!number)
            return fail(error,
                        QStringLiteral("%1サーバーの指定「%2」のポート番号が正しくありません。")
                            .arg(what, trimmed));
        address.port = *number;
    }
    return address;
}

bool isLoopback(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped)
        return (ipv4 >> 24) == 127;
    return address == QHostAddress(QHostAddress::LocalHostIPv6);
}

bool plaintextAllowed(const ServerAddress &server, const QHostAddress &peer)
{
    return server.tls == TlsMode::StartTlsOrPlain || isLoopback(peer);
}

QString noTlsOfferedText(const ServerAddress &server, MailProtocol protocol)
{
    if (protocol == MailProtocol::Pop3)
        return QStringLiteral(
                   "POP3サーバー「%1」は暗号化通信（STLS）に対応していないため、"
                   "パスワードを送らずに接続を切りました。暗号化なしで受信してよい"
                   "サーバーなら、サーバー名を「pop3+plain://%1」の形で設定してください。")
            .arg(server.display());
    return QStringLiteral("SMTPサーバー「%1」は暗号化通信（STARTTLS）に対応していないため、"
                          "パスワードもメールも送らずに接続を切りました。暗号化なしで送ってよい"
                          "サーバーなら、サーバー名を「smtp+plain://%1」の形で設定してください。")
        .arg(server.display());
}

} // namespace orv
