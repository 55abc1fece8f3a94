#include "transport/smtp/SmtpClient.h"

#include "transport/MailLibrary.h"
#include "transport/ServerAddress.h"
#include "transport/mime/Addresses.h"
#include "transport/mime/MessageBuilder.h"
#include "transport/smtp/CurlLibrary.h"
#include "transport/smtp/HeloName.h"
#include "transport/smtp/SmtpFailure.h"

#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QStringList>
#include <QUrl>

#include <cstring>

namespace orv::smtp {

namespace {

constexpr int kRefusedInput = nmail::kSendRefused;
constexpr int kMessageNotBuilt = nmail::kSendNotBuilt;
constexpr int kNotDelivered = nmail::kSendNotDelivered;

constexpr long kConnectTimeoutSeconds = 30;
constexpr long kResponseTimeoutSeconds = 60;
// A transfer slower than one byte a second for a minute has stalled.
constexpr long kStallSeconds = 60;

struct Upload {
    const QByteArray *bytes = nullptr;
    qsizetype sent = 0;
};

size_t readChunk(char *buffer, size_t size, size_t count, void *userData)
{
    auto *upload = static_cast<Upload *>(userData);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype chunk = std::min(room, upload->bytes->size() - upload->sent);
    std::memcpy(buffer, upload->bytes->constData() + upload->sent, static_cast<size_t>(chunk));
    upload->sent += chunk;
    return static_cast<size_t>(chunk);
}

int recordDialogue(CURL *, curl_infotype type, char *data, size_t size, void *userData)
{
    // libcurl's own notes and the message's bytes are not part of the dialogue.
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    auto *dialogue = static_cast<Dialogue *>(userData);
    const QByteArray text = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
    if (type == CURLINFO_HEADER_IN)
        dialogue->replyReceived(text);
    else
        dialogue->commandSent(text);
    return 0;
}

// Only used once a send has found the library loaded.
const CurlLibrary &libcurl()
{
    return *curlLibrary();
}

struct SlistFree {
    void operator()(curl_slist *list) const { libcurl().slistFreeAll(list); }
};

std::optional<QList<mime::Mailbox>> addressesOf(const std::optional<QString> &field, QString *error)
{
    return field ? mime::parseAddressList(*field, error) : QList<mime::Mailbox>();
}

QStringList attachmentPaths(const std::optional<QString> &joined)
{
    QStringList paths;
    for (const QString &path : joined.value_or(QString()).split(u','))
        if (!path.trimmed().isEmpty())
            paths.append(path.trimmed());
    return paths;
}

int checkAndBuild(const SmtpRequest &request, PreparedMail &envelope, QString *error)
{
    const auto refuse = [error](const QString &reason) {
        if (error)
            *error = reason;
        return kRefusedInput;
    };
    if (request.server.value_or(QString()).trimmed().isEmpty())
        return refuse(QStringLiteral("SMTPサーバーが設定されていないため、送信しませんでした。"));
    QString reason;
    const auto server = parseServerAddress(*request.server, MailProtocol::Smtp, &reason);
    if (!server)
        return refuse(reason);
    envelope.server = *server;

    const auto from = addressesOf(request.from, &reason);
    if (!from)
        return refuse(reason);
    if (from->size() != 1)
        return refuse(
            QStringLiteral("差出人のメールアドレスを一つ設定してください。送信しませんでした。"));
    envelope.from = from->first();

    const auto to = addressesOf(request.to, &reason);
    const auto cc = to ? addressesOf(request.cc, &reason) : std::nullopt;
    const auto bcc = cc ? addressesOf(request.bcc, &reason) : std::nullopt;
    if (!bcc)
        return refuse(reason);
    envelope.recipients = *to + *cc + *bcc;
    if (envelope.recipients.isEmpty())
        return refuse(QStringLiteral("宛先が指定されていないため、送信しませんでした。"));

    mime::OutgoingMail mail;
    mail.from = envelope.from;
    mail.to = *to;
    mail.cc = *cc;
    mail.subject = request.subject.value_or(QString());
    mail.body = request.body.value_or(QString());
    mail.extraHeader = request.extraHeader.value_or(QString());
    mail.attachmentPaths = attachmentPaths(request.attachments);
    const Status built = mime::buildMessage(mail, envelope.message);
    if (!built) {
        if (error)
            *error = built.error() + QStringLiteral("送信しませんでした。");
        return kMessageNotBuilt;
    }
    return 0;
}

// The URL's path is the name libcurl gives in EHLO.
QByteArray serverUrl(const ServerAddress &server, const QByteArray &heloName)
{
    const QString host = server.host.contains(u':') ? u'[' + server.host + u']' : server.host;
    const QString scheme =
        server.tls == TlsMode::Implicit ? QStringLiteral("smtps") : QStringLiteral("smtp");
    return QStringLiteral("%1://%2:%3/").arg(scheme, host).arg(server.port).toUtf8() +
           QUrl::toPercentEncoding(QString::fromLatin1(heloName));
}

// The data libcurl points to during a send. It lives as long as the handle: closing the
// connection later (QUIT) still reports the dialogue.
struct Transfer {
    QByteArray url;
    // STARTTLS is required; without it only a server judged fit for plaintext gets anything,
    // and then at the address it was judged at ("host:port:address").
    bool plaintext = false;
    std::unique_ptr<curl_slist, SlistFree> pinnedAddress;
    QByteArray from;
    std::unique_ptr<curl_slist, SlistFree> recipients;
    QByteArray user;
    QByteArray password;
    QByteArray message;
    Upload upload;
    Dialogue dialogue;
    char curlError[CURL_ERROR_SIZE] = {};
};

void fillTransfer(Transfer &transfer, PreparedMail &envelope, const QByteArray &heloName)
{
    transfer.url = serverUrl(envelope.server, heloName);
    transfer.from = '<' + envelope.from.address.toUtf8() + '>';
    transfer.recipients.reset();
    for (const mime::Mailbox &recipient : envelope.recipients) {
        const QByteArray address = '<' + recipient.address.toUtf8() + '>';
        transfer.recipients.reset(
            libcurl().slistAppend(transfer.recipients.release(), address.constData()));
    }
    transfer.user = envelope.request.userId.toUtf8();
    transfer.password = envelope.request.password.toUtf8();
    transfer.message = std::move(envelope.message);
}

void restartTransfer(Transfer &transfer)
{
    transfer.upload = Upload{&transfer.message, 0};
    transfer.dialogue = Dialogue();
    transfer.curlError[0] = '\0';
}

void applyOptions(CURL *curl, Transfer &transfer, const QByteArray &caFile)
{
    const auto setopt = libcurl().easySetopt;
    setopt(curl, CURLOPT_URL, transfer.url.constData());
    // Never CURLUSESSL_TRY: it goes on in the clear when the server refuses STARTTLS.
    setopt(curl, CURLOPT_USE_SSL,
           static_cast<long>(transfer.plaintext ? CURLUSESSL_NONE : CURLUSESSL_ALL));
    if (transfer.pinnedAddress)
        setopt(curl, CURLOPT_RESOLVE, transfer.pinnedAddress.get());
    if (!caFile.isEmpty())
        setopt(curl, CURLOPT_CAINFO, caFile.constData());
    setopt(curl, CURLOPT_MAIL_FROM, transfer.from.constData());
    setopt(curl, CURLOPT_MAIL_RCPT, transfer.recipients.get());
    // Without a user ID libcurl sends unauthenticated; with one it uses AUTH when offered.
    if (!transfer.user.isEmpty()) {
        setopt(curl, CURLOPT_USERNAME, transfer.user.constData());
        setopt(curl, CURLOPT_PASSWORD, transfer.password.constData());
    }
    setopt(curl, CURLOPT_UPLOAD, 1L);
    setopt(curl, CURLOPT_READFUNCTION, readChunk);
    setopt(curl, CURLOPT_READDATA, &transfer.upload);
    setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(transfer.message.size()));
    setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutSeconds);
    setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    setopt(curl, CURLOPT_NOSIGNAL, 1L);
    setopt(curl, CURLOPT_ERRORBUFFER, transfer.curlError);
    setopt(curl, CURLOPT_DEBUGFUNCTION, recordDialogue);
    setopt(curl, CURLOPT_DEBUGDATA, &transfer.dialogue);
    setopt(curl, CURLOPT_VERBOSE, 1L);
}

QHostAddress connectedAddress(CURL *curl)
{
    const char *ip = nullptr;
    if (libcurl().easyGetinfo(curl, CURLINFO_PRIMARY_IP, &ip) != CURLE_OK || !ip)
        return QHostAddress();
    return QHostAddress(QString::fromLatin1(ip));
}

// The server turned out to offer no STARTTLS: nothing was sent but EHLO.
bool offeredNoStartTls(CURLcode code, const Transfer &transfer)
{
    return code == CURLE_USE_SSL_FAILED && !transfer.plaintext && !transfer.dialogue.startTlsSent;
}

} // namespace

struct SmtpClient::Connection {
    CURL *curl = libcurl().easyInit();
    Transfer transfer;
    // The server of this connection, once it was judged fit for plaintext, and where.
    QString plaintextServer;
    QByteArray plaintextAddress;
    // EHLO names by server: finding one may need the resolver.
    QHash<QString, QByteArray> heloNames;
    ~Connection() { libcurl().easyCleanup(curl); }

    CURLcode perform(const QByteArray &caFile);
    void allowPlaintext(const ServerAddress &server, const QHostAddress &peer);
    void usePlaintextIfAllowed(const ServerAddress &server);
    const QByteArray &heloNameFor(const ServerAddress &server);
};

CURLcode SmtpClient::Connection::perform(const QByteArray &caFile)
{
    // The handle forgets the last send's options (not its connection) before their data goes.
    libcurl().easyReset(curl);
    restartTransfer(transfer);
    applyOptions(curl, transfer, caFile);
    return libcurl().easyPerform(curl);
}

// Later sends to the same server go in the clear at once. A host name stays pinned to the
// address it was judged at, so a second lookup cannot send the password elsewhere.
void SmtpClient::Connection::allowPlaintext(const ServerAddress &server, const QHostAddress &peer)
{
    plaintextServer = server.display();
    plaintextAddress.clear();
    if (QHostAddress(server.host).isNull()) {
        const QString shownPeer = peer.protocol() == QAbstractSocket::IPv6Protocol
                                      ? u'[' + peer.toString() + u']'
                                      : peer.toString();
        plaintextAddress =
            QStringLiteral("%1:%2:%3").arg(server.host).arg(server.port).arg(shownPeer).toUtf8();
    }
    usePlaintextIfAllowed(server);
}

void SmtpClient::Connection::usePlaintextIfAllowed(const ServerAddress &server)
{
    transfer.plaintext = server.tls != TlsMode::Implicit && plaintextServer == server.display();
    const bool pinned = transfer.plaintext && !plaintextAddress.isEmpty();
    transfer.pinnedAddress.reset(
        pinned ? libcurl().slistAppend(nullptr, plaintextAddress.constData()) : nullptr);
}

const QByteArray &SmtpClient::Connection::heloNameFor(const ServerAddress &server)
{
    const QString key = server.display();
    if (!heloNames.contains(key))
        heloNames.insert(key, heloName(server.host, server.port));
    return heloNames[key];
}

SmtpClient::SmtpClient() = default;

SmtpClient::~SmtpClient() = default;

void SmtpClient::reset()
{
    m_connection.reset();
}

void SmtpClient::setCertificateAuthorities(const QString &caFile)
{
    m_caFile = QFile::encodeName(caFile);
}

PreparedMail SmtpClient::prepare(const SmtpRequest &request)
{
    PreparedMail mail;
    mail.request = request;
    mail.builtAt = std::chrono::steady_clock::now();
    mail.refused = checkAndBuild(request, mail, &mail.error);
    return mail;
}

int SmtpClient::send(PreparedMail envelope, QString *error)
{
    if (envelope.refused < 0) {
        if (error)
            *error = envelope.error;
        return envelope.refused;
    }
    if (!curlLibrary()) {
        if (error)
            *error =
                QStringLiteral("メールを送るためのライブラリ（libcurl）を読み込めませんでした。");
        return kNotDelivered;
    }
    if (!m_connection)
        m_connection = std::make_unique<Connection>();
    Connection &connection = *m_connection;
    const ServerAddress server = envelope.server;
    fillTransfer(connection.transfer, envelope, connection.heloNameFor(server));
    connection.usePlaintextIfAllowed(server);

    CURLcode code = connection.perform(m_caFile);
    if (offeredNoStartTls(code, connection.transfer)) {
        const QHostAddress peer = connectedAddress(connection.curl);
        if (!plaintextAllowed(server, peer)) {
            if (error)
                *error = noTlsOfferedText(server, MailProtocol::Smtp);
            return kNotDelivered;
        }
        connection.allowPlaintext(server, peer);
        code = connection.perform(m_caFile);
    }
    if (code == CURLE_OK)
        return 0;
    if (error) {
        const Transfer &transfer = connection.transfer;
        const QString detail = transfer.curlError[0]
                                   ? QString::fromUtf8(transfer.curlError)
                                   : QString::fromUtf8(libcurl().easyStrerror(code));
        *error = failureText(server.display(), code, transfer.dialogue, detail);
    }
    return kNotDelivered;
}

} // namespace orv::smtp
