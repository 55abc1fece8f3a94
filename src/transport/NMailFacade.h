#pragma once

#include "transport/MailLibrary.h"
#include "transport/pop3/Pop3Session.h"
#include "transport/smtp/SmtpClient.h"

#include <QByteArray>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace orv {

// The mail library over our POP3 engine, libcurl SMTP and the GMime decoder. One POP3
// session at a time; its handle is a number that changes with every connection, so a
// handle kept from an earlier connection is refused.
class NMailFacade : public MailLibrary {
public:
    using Credentials = std::function<std::pair<QString, QString>()>;

    NMailFacade(Credentials credentials, pop3::Options pop3Options);
    ~NMailFacade() override;

    void NMailInitializeWinSock() override;
    void NMailSetOption(int option, int value) override;

    int NMailPop3Connect(const QString &server) override;
    int NMailPop3Authenticate(int handle, const QString &userId, const QString &password,
                              int apop) override;
    int NMailPop3GetMailStatus(int handle, int number, MailHeaderFields &fields, int flag) override;
    int NMailPop3GetMailSize(int handle, int number) override;
    int NMailPop3GetUidl(int handle, int number, QString &uidl) override;
    int NMailPop3GetMail(int handle, int number, MailHeaderFields &fields, QString &body, int flag,
                         int option) override;
    int NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                           bool &bodyMentionsAttachment, QString &wholeMessage) override;
    int NMailAttachmentFileFirst(MailHeaderFields &fields, QString &body,
                                 const QString &attachmentFolder, const QString &temporaryFile,
                                 const QString &wholeMessage) override;
    void NMailAttachmentFileClose() override;
    QStringList NMailAttachmentFilesWritten() const override;
    bool NMailKeepsFetchedMessage() const override;
    int NMailPop3DeleteMail(int handle, int number) override;
    int NMailPop3Close(int handle) override;
    void NMailPop3Abort(int handle) override;

    int NMailSmtpSendMail(const std::optional<QString> &server, const std::optional<QString> &to,
                          const std::optional<QString> &cc, const std::optional<QString> &bcc,
                          const std::optional<QString> &from, const std::optional<QString> &subject,
                          const std::optional<QString> &body,
                          const std::optional<QString> &extraHeader,
                          const std::optional<QString> &attachments, int flag) override;

    void NMailSmtpPrepareMail(const std::optional<QString> &server,
                              const std::optional<QString> &to, const std::optional<QString> &cc,
                              const std::optional<QString> &bcc, const std::optional<QString> &from,
                              const std::optional<QString> &subject,
                              const std::optional<QString> &body,
                              const std::optional<QString> &extraHeader,
                              const std::optional<QString> &attachments) override;

    QString NMailGetMessage() override;
    void NMailEndWinSock() override;

private:
    bool isCurrent(int handle);
    int fail(const QString &message);
    smtp::SmtpRequest
    smtpRequest(const std::optional<QString> &server, const std::optional<QString> &to,
                const std::optional<QString> &cc, const std::optional<QString> &bcc,
                const std::optional<QString> &from, const std::optional<QString> &subject,
                const std::optional<QString> &body, const std::optional<QString> &extraHeader,
                const std::optional<QString> &attachments) const;
    std::optional<smtp::PreparedMail> takePrepared(const smtp::SmtpRequest &request);
    // The raw bytes of message `number`, fetched once and kept until the next message.
    const QByteArray *fetch(int handle, int number);
    // Fetches message `number`, fills its fields and gives a view of its text after the
    // header (valid until the next message is fetched). False on failure.
    bool fetchWithFields(int handle, int number, MailHeaderFields &fields, QByteArrayView &text);

    Credentials m_credentials;
    pop3::Options m_pop3Options;
    std::unique_ptr<pop3::Session> m_session;
    int m_handle = 0;
    int m_nextHandle = 1;
    int m_fetchedNumber = 0;
    QByteArray m_fetchedMessage;
    MailHeaderFields m_fetchedFields; // decoded once, when the message arrives
    QStringList m_attachmentsWritten;
    std::unique_ptr<smtp::SmtpClient> m_smtp;
    // Messages built ahead, oldest first; filled and taken from different threads.
    std::mutex m_preparedLock;
    std::deque<smtp::PreparedMail> m_prepared;
    QString m_lastFailure;
};

} // namespace orv
