#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The header values of one message as the mail library hands them out: subject, date and
// sender decoded to readable text, the header as the server sent it.
struct MailHeaderFields {
    QString subject;
    QString date;
    QString from;
    QString header;
};

// The results of the mail library's functions that the program tells apart. Every
// negative result is a failure whose text NMailGetMessage gives.
namespace nmail {
// Success of any call that reports nothing else (a text sent, a deletion marked, QUIT).
inline constexpr int kOk = 0;
// The call failed: no connection, refused, lost (NMailPop3Connect and the others).
inline constexpr int kFailed = -1;
// NMailPop3Authenticate's `apop` argument.
inline constexpr int kApop = -1;
inline constexpr int kUserPass = 0;
// NMailAttachmentFileFirst.
inline constexpr int kAttachmentsWritten = 1;
inline constexpr int kNoAttachments = 0;
inline constexpr int kAttachmentNotWritten = -5;
inline constexpr int kSplitMessageIncomplete = -6;
// NMailSmtpSendMail.
inline constexpr int kSent = 0;
inline constexpr int kSendRefused = -1;      // an argument it does not take (address, server)
inline constexpr int kSendNotBuilt = -2;     // the message could not be put together
inline constexpr int kSendNotDelivered = -3; // the server or the connection refused it

constexpr bool failed(int result)
{
    return result < 0;
}
} // namespace nmail

// The mail library's functions with the results the program relies on. The program calls
// them in the documented order from one thread at a time (the network runs call them on
// a worker thread); the real implementation is the POP3 engine, libcurl SMTP and GMime,
// tests may use a recording double.
class MailLibrary {
public:
    virtual ~MailLibrary() = default;

    virtual void NMailInitializeWinSock() = 0;
    virtual void NMailSetOption(int option, int value) = 0;

    // A connection handle, or -1 when the server cannot be reached.
    virtual int NMailPop3Connect(const QString &server) = 0;
    // The number of messages on the server; negative on failure (see NMailGetMessage).
    // `apop` is -1 for APOP, 0 for USER/PASS.
    virtual int NMailPop3Authenticate(int handle, const QString &userId, const QString &password,
                                      int apop) = 0;
    virtual int NMailPop3GetMailStatus(int handle, int number, MailHeaderFields &fields,
                                       int flag) = 0;
    // The message size in bytes, negative on failure.
    virtual int NMailPop3GetMailSize(int handle, int number) = 0;
    // The server's unique id of the message (UIDL); an empty text when the server keeps
    // none. Negative on failure.
    virtual int NMailPop3GetUidl(int handle, int number, QString &uidl) = 0;
    // Fills the fields and the body; the header and the body are the text as the server
    // sent it. Negative on failure.
    virtual int NMailPop3GetMail(int handle, int number, MailHeaderFields &fields, QString &body,
                                 int flag, int option) = 0;
    // Fetches a message for storing it: fills the fields (the header as the server sent it)
    // and tells whether the text after the header mentions an attachment. A library that
    // keeps the fetched message for NMailAttachmentFileFirst builds no text of the whole
    // body (it may be hundreds of megabytes); any other gives the whole message's text in
    // `wholeMessage`. Negative on failure.
    virtual int NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                                   bool &bodyMentionsAttachment, QString &wholeMessage);
    // Decodes the whole message, writes its attachments into `attachmentFolder` and
    // rewrites the fields and the body with the decoded text. 1 when attachments were
    // written, 0 when there were none, -5 when an attachment cannot be written, -6 for an
    // incomplete split message.
    virtual int NMailAttachmentFileFirst(MailHeaderFields &fields, QString &body,
                                         const QString &attachmentFolder,
                                         const QString &temporaryFile,
                                         const QString &wholeMessage) = 0;
    virtual void NMailAttachmentFileClose() = 0;
    // The attachment files the last NMailAttachmentFileFirst wrote, so that a message that
    // cannot be stored leaves none behind. A library that does not tell leaves them.
    virtual QStringList NMailAttachmentFilesWritten() const { return {}; }
    // Whether NMailAttachmentFileFirst decodes the message fetched last from the bytes the
    // server sent, so that the whole-message text it is handed goes unread.
    virtual bool NMailKeepsFetchedMessage() const { return false; }
    virtual int NMailPop3DeleteMail(int handle, int number) = 0;
    // QUIT: the deletions of the session take effect here and only here.
    virtual int NMailPop3Close(int handle) = 0;
    // Drops the connection without QUIT, so nothing marked is deleted. Called on the thread
    // that connected, which owns the connection.
    virtual void NMailPop3Abort(int handle) = 0;

    // An absent argument (std::nullopt) is a null pointer, which differs from an empty text.
    // Negative when the message was not sent.
    virtual int
    NMailSmtpSendMail(const std::optional<QString> &server, const std::optional<QString> &to,
                      const std::optional<QString> &cc, const std::optional<QString> &bcc,
                      const std::optional<QString> &from, const std::optional<QString> &subject,
                      const std::optional<QString> &body, const std::optional<QString> &extraHeader,
                      const std::optional<QString> &attachments, int flag) = 0;

    // May build now, on any thread, the message that a later NMailSmtpSendMail with the same
    // arguments (server, to, cc, bcc, from, subject, body, extra header, attachments) sends,
    // so that the send goes straight to the server. A library that does not build ahead
    // ignores it; the send is the same either way.
    virtual void
    NMailSmtpPrepareMail(const std::optional<QString> &, const std::optional<QString> &,
                         const std::optional<QString> &, const std::optional<QString> &,
                         const std::optional<QString> &, const std::optional<QString> &,
                         const std::optional<QString> &, const std::optional<QString> &,
                         const std::optional<QString> &)
    {
    }

    // The last failure as a sentence for the user.
    virtual QString NMailGetMessage() = 0;
    virtual void NMailEndWinSock() = 0;
};

} // namespace orv
