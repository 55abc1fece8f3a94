#include "transport/smtp/SmtpClient.h"

#include "transport/ServerAddress.h"
#include "transport/mime/Addresses.h"
#include "transport/mime/MessageBuilder.h"
#include "transport/smtp/SmtpFailure.h"

#include <curl/curl.h>

#include <QFile>
#include <QStringList>

#include <cstring>

namespace orv::smtp {

namespace {

constexpr int kRefusedInput = -1;
constexpr int kMessageNotBuilt = -2;
constexpr int kNotDelivered = -3;

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
    auto *dialogue = static_cast<Dialogue *>(userData);
    const QByteArray text = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
    if (type == CURLINFO_HEADER_IN)
        dialogue->replyReceived(text);
    else if (type == CURLINFO_HEADER_OUT)
        dialogue->commandSent(text);
    return 0;
}

struct SlistFree {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

// Everything a send needs, checked before a byte goes to the server.
struct Envelope {
    ServerAddress server;
    mime::Mailbox from;
    QList<mime::Mailbox> recipients;
    QByteArray message;
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

int prepare(const SmtpRequest &request, Envelope &envelope, QString *error)
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

QByteArray serverUrl(const ServerAddress &server)
{
    const QString host = server.host.contains(u':') ? u'[' + server.host + u']' : server.host;
    const QString scheme =
        server.tls == TlsMode::Implicit ? QStringLiteral("smtps") : QStringLiteral("smtp");
    return QStringLiteral("%1://%2:%3").arg(scheme, host).arg(server.port).toUtf8();
}

} // namespace

struct SmtpClient::Connection {
    CURL *curl = curl_easy_init();
    ~Connection() { curl_easy_cleanup(curl); }
};

SmtpClient::SmtpClient()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

SmtpClient::~SmtpClient()
{
    connection_.reset();
    curl_global_cleanup();
}

void SmtpClient::reset()
{
    connection_.reset();
}

void SmtpClient::setCertificateAuthorities(const QString &caFile)
{
    caFile_ = QFile::encodeName(caFile);
}

int SmtpClient::send(const SmtpRequest &request, QString *error)
{
    Envelope envelope;
    if (const int refused = prepare(request, envelope, error); refused < 0)
        return refused;
    if (!connection_)
        connection_ = std::make_unique<Connection>();
    CURL *curl = connection_->curl;
    curl_easy_reset(curl);

    const QByteArray url = serverUrl(envelope.server);
    const QByteArray from = '<' + envelope.from.address.toUtf8() + '>';
    std::unique_ptr<curl_slist, SlistFree> recipients;
    for (const mime::Mailbox &recipient : envelope.recipients)
        recipients.reset(curl_slist_append(
            recipients.release(), QByteArray('<' + recipient.address.toUtf8() + '>').constData()));
    const QByteArray user = request.userId.toUtf8();
    const QByteArray password = request.password.toUtf8();
    Upload upload{&envelope.message, 0};
    Dialogue dialogue;
    char curlError[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    if (!caFile_.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    if (!request.userId.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readChunk);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE,
                     static_cast<curl_off_t>(envelope.message.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, recordDialogue);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);

    const CURLcode code = curl_easy_perform(curl);
    // Options point into this frame; nothing may outlive it.
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (code == CURLE_OK)
        return 0;
    if (error) {
        const QString detail = curlError[0] ? QString::fromUtf8(curlError)
                                            : QString::fromUtf8(curl_easy_strerror(code));
        *error = failureText(envelope.server.display(), code, dialogue, detail);
    }
    return kNotDelivered;
}

} // namespace orv::smtp
