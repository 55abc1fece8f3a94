#include "transport/NMailFacade.h"

#include "core/Cp932.h"
#include "transport/ReceivedRecord.h"
#include "transport/ServerAddress.h"
#include "transport/mime/MessageDecoder.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace orv {

namespace {

// Built ahead while the messages before them go out: two is as far as a send run looks.
constexpr std::size_t kMaxPrepared = 2;
// A message built longer ago than this is built again, so that its Date says when it went.
constexpr std::chrono::seconds kPreparedLifetime{5};

// The header block without the empty line that ends it, and the body after that line.
// Views into the message: its body may be hundreds of megabytes.
std::pair<QByteArrayView, QByteArrayView> splitHeaderAndBody(const QByteArray &message)
{
    const QByteArrayView whole(message);
    if (whole.startsWith("\r\n"))
        return {QByteArrayView(), whole.sliced(2)};
    const qsizetype end = message.indexOf("\r\n\r\n");
    if (end < 0)
        return {whole, QByteArrayView()};
    return {whole.first(end + 2), whole.sliced(end + 4)};
}

QString decodeCp932(QByteArrayView bytes)
{
    return cp932::decode(bytes.data(), bytes.size());
}

} // namespace

NMailFacade::NMailFacade(Credentials credentials, pop3::Options pop3Options)
    : m_credentials(std::move(credentials)), m_pop3Options(std::move(pop3Options))
{
}

NMailFacade::~NMailFacade() = default;

void NMailFacade::NMailInitializeWinSock()
{
    m_lastFailure.clear();
}

// The only option the program sets is the size of its text buffers, which a QString
// does not need.
void NMailFacade::NMailSetOption(int, int) {}

int NMailFacade::fail(const QString &message)
{
    m_lastFailure = message;
    return nmail::kFailed;
}

bool NMailFacade::isCurrent(int handle)
{
    if (m_session && handle == m_handle)
        return true;
    fail(QStringLiteral("POP3サーバーに接続していません。"));
    return false;
}

int NMailFacade::NMailPop3Connect(const QString &server)
{
    m_session.reset();
    m_fetchedNumber = 0;
    QString reason;
    const std::optional<ServerAddress> address =
        parseServerAddress(server, MailProtocol::Pop3, &reason);
    if (!address)
        return fail(reason);
    auto session = std::make_unique<pop3::Session>(m_pop3Options);
    if (const Status opened = session->open(*address); !opened)
        return fail(opened.error());
    m_session = std::move(session);
    m_handle = m_nextHandle++;
    return m_handle;
}

int NMailFacade::NMailPop3Authenticate(int handle, const QString &userId, const QString &password,
                                       int apop)
{
    if (!isCurrent(handle))
        return nmail::kFailed;
    if (const Status loggedIn = m_session->login(userId, password, apop != 0); !loggedIn)
        return fail(loggedIn.error());
    return m_session->messageCount();
}

const QByteArray *NMailFacade::fetch(int handle, int number)
{
    if (!isCurrent(handle))
        return nullptr;
    if (m_fetchedNumber == number)
        return &m_fetchedMessage;
    m_fetchedNumber = 0;
    m_fetchedMessage.clear();
    if (const Status retrieved = m_session->retrieve(number, m_fetchedMessage); !retrieved) {
        fail(retrieved.error());
        return nullptr;
    }
    m_fetchedNumber = number;
    m_fetchedFields = mime::decodeHeaderFields(m_fetchedMessage);
    return &m_fetchedMessage;
}

bool NMailFacade::fetchWithFields(int handle, int number, MailHeaderFields &fields,
                                  QByteArrayView &text)
{
    const QByteArray *message = fetch(handle, number);
    if (!message)
        return false;
    const auto [header, body] = splitHeaderAndBody(*message);
    fields = m_fetchedFields;
    fields.header = decodeCp932(header);
    text = body;
    return true;
}

int NMailFacade::NMailPop3GetMailStatus(int handle, int number, MailHeaderFields &fields, int)
{
    const QByteArray *message = fetch(handle, number);
    if (!message)
        return nmail::kFailed;
    fields = m_fetchedFields;
    fields.header = decodeCp932(splitHeaderAndBody(*message).first);
    return nmail::kOk;
}

int NMailFacade::NMailPop3GetMailSize(int handle, int number)
{
    if (!isCurrent(handle))
        return nmail::kFailed;
    const qint64 size = m_session->messageSize(number);
    if (size < 0)
        return fail(QStringLiteral("メッセージ %1 はありません。").arg(number));
    return int(qMin<qint64>(size, std::numeric_limits<int>::max()));
}

int NMailFacade::NMailPop3GetUidl(int handle, int number, QString &uidl)
{
    if (!isCurrent(handle))
        return nmail::kFailed;
    if (m_session->messageSize(number) < 0)
        return fail(QStringLiteral("メッセージ %1 はありません。").arg(number));
    uidl = QString::fromLatin1(m_session->uniqueId(number));
    return nmail::kOk;
}

int NMailFacade::NMailPop3GetMail(int handle, int number, MailHeaderFields &fields, QString &body,
                                  int, int)
{
    QByteArrayView text;
    if (!fetchWithFields(handle, number, fields, text))
        return nmail::kFailed;
    body = decodeCp932(text);
    return nmail::kOk;
}

int NMailFacade::NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                                    bool &bodyMentionsAttachment, QString &wholeMessage)
{
    QByteArrayView text;
    if (!fetchWithFields(handle, number, fields, text))
        return nmail::kFailed;
    bodyMentionsAttachment = mentionsAttachment(text);
    wholeMessage.clear();
    return nmail::kOk;
}

// Decodes from the bytes the server sent when the program hands over the message fetched
// last: its text went through code page 932 on the way, which would damage 8-bit mail in
// other charsets.
int NMailFacade::NMailAttachmentFileFirst(MailHeaderFields &fields, QString &body,
                                          const QString &attachmentFolder, const QString &,
                                          const QString &wholeMessage)
{
    m_attachmentsWritten.clear();
    const bool fetched = NMailKeepsFetchedMessage();
    const QByteArray raw = fetched ? m_fetchedMessage : cp932::encode(wholeMessage);
    QString error;
    // The header fields were decoded when the message arrived.
    const int result =
        mime::expandMessage(raw, attachmentFolder, fields, body, &error,
                            fetched ? &m_fetchedFields : nullptr, &m_attachmentsWritten);
    if (nmail::failed(result))
        m_lastFailure = error;
    return result;
}

void NMailFacade::NMailAttachmentFileClose()
{
    m_fetchedNumber = 0;
    m_fetchedMessage.clear();
    m_fetchedFields = MailHeaderFields();
}

QStringList NMailFacade::NMailAttachmentFilesWritten() const
{
    return m_attachmentsWritten;
}

bool NMailFacade::NMailKeepsFetchedMessage() const
{
    return m_fetchedNumber != 0;
}

int NMailFacade::NMailPop3DeleteMail(int handle, int number)
{
    if (!isCurrent(handle))
        return nmail::kFailed;
    if (const Status marked = m_session->markDeleted(number); !marked)
        return fail(marked.error());
    if (m_fetchedNumber == number)
        NMailAttachmentFileClose();
    return nmail::kOk;
}

int NMailFacade::NMailPop3Close(int handle)
{
    if (!isCurrent(handle))
        return nmail::kFailed;
    const Status closed = m_session->quit();
    m_session.reset();
    NMailAttachmentFileClose();
    return closed ? nmail::kOk : fail(closed.error());
}

void NMailFacade::NMailPop3Abort(int handle)
{
    if (!isCurrent(handle))
        return;
    m_session.reset();
    NMailAttachmentFileClose();
}

smtp::SmtpRequest
NMailFacade::smtpRequest(const std::optional<QString> &server, const std::optional<QString> &to,
                         const std::optional<QString> &cc, const std::optional<QString> &bcc,
                         const std::optional<QString> &from, const std::optional<QString> &subject,
                         const std::optional<QString> &body,
                         const std::optional<QString> &extraHeader,
                         const std::optional<QString> &attachments) const
{
    smtp::SmtpRequest request{server, to,          cc,          bcc,       from,     subject,
                              body,   extraHeader, attachments, QString(), QString()};
    if (m_credentials)
        std::tie(request.userId, request.password) = m_credentials();
    return request;
}

void NMailFacade::NMailSmtpPrepareMail(
    const std::optional<QString> &server, const std::optional<QString> &to,
    const std::optional<QString> &cc, const std::optional<QString> &bcc,
    const std::optional<QString> &from, const std::optional<QString> &subject,
    const std::optional<QString> &body, const std::optional<QString> &extraHeader,
    const std::optional<QString> &attachments)
{
    smtp::PreparedMail mail = smtp::SmtpClient::prepare(
        smtpRequest(server, to, cc, bcc, from, subject, body, extraHeader, attachments));
    const std::lock_guard lock(m_preparedLock);
    m_prepared.push_back(std::move(mail));
    if (m_prepared.size() > kMaxPrepared)
        m_prepared.pop_front();
}

// The message built ahead for exactly this request a moment ago, if there is one; those
// built before it were never asked for and go.
std::optional<smtp::PreparedMail> NMailFacade::takePrepared(const smtp::SmtpRequest &request)
{
    const std::lock_guard lock(m_preparedLock);
    const auto found =
        std::find_if(m_prepared.begin(), m_prepared.end(),
                     [&](const smtp::PreparedMail &mail) { return mail.request == request; });
    if (found == m_prepared.end())
        return std::nullopt;
    std::optional<smtp::PreparedMail> mail = std::move(*found);
    m_prepared.erase(m_prepared.begin(), found + 1);
    if (std::chrono::steady_clock::now() - mail->builtAt > kPreparedLifetime)
        return std::nullopt;
    return mail;
}

int NMailFacade::NMailSmtpSendMail(
    const std::optional<QString> &server, const std::optional<QString> &to,
    const std::optional<QString> &cc, const std::optional<QString> &bcc,
    const std::optional<QString> &from, const std::optional<QString> &subject,
    const std::optional<QString> &body, const std::optional<QString> &extraHeader,
    const std::optional<QString> &attachments, int)
{
    const smtp::SmtpRequest request =
        smtpRequest(server, to, cc, bcc, from, subject, body, extraHeader, attachments);
    std::optional<smtp::PreparedMail> prepared = takePrepared(request);
    if (!m_smtp)
        m_smtp = std::make_unique<smtp::SmtpClient>();
    QString error;
    const int result =
        m_smtp->send(prepared ? std::move(*prepared) : smtp::SmtpClient::prepare(request), &error);
    if (nmail::failed(result))
        m_lastFailure = error;
    return result;
}

QString NMailFacade::NMailGetMessage()
{
    return m_lastFailure;
}

// Ends the program's use of the network. A POP3 session still open is dropped without
// QUIT, so nothing is deleted that the program did not confirm with NMailPop3Close.
void NMailFacade::NMailEndWinSock()
{
    m_session.reset();
    NMailAttachmentFileClose();
    m_smtp.reset();
    const std::lock_guard lock(m_preparedLock);
    m_prepared.clear();
}

} // namespace orv
