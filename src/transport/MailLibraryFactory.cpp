#include "transport/MailLibraryFactory.h"

#include "transport/MailLibrary.h"
#include "transport/MailModule.h"

#include <QList>

#include <mutex>

namespace orv {

namespace {

// The mail library as the program holds it from its start: the module behind it is loaded
// at the first call that talks to a server or reads a message. What start-up and shutdown
// ask of it (initialise, options, the end) waits for the module instead of loading it.
class LateMailLibrary : public MailLibrary {
public:
    explicit LateMailLibrary(MailModule::Credentials credentials)
        : m_credentials(std::move(credentials))
    {
    }

    void NMailInitializeWinSock() override
    {
        std::lock_guard lock(m_settingsLock);
        m_initialised = true;
        if (m_library)
            m_library->NMailInitializeWinSock();
    }

    void NMailSetOption(int option, int value) override
    {
        std::lock_guard lock(m_settingsLock);
        m_options.append({option, value});
        if (m_library)
            m_library->NMailSetOption(option, value);
    }

    int NMailPop3Connect(const QString &server) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3Connect(server) : nmail::kFailed;
    }

    int NMailPop3Authenticate(int handle, const QString &userId, const QString &password,
                              int apop) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3Authenticate(handle, userId, password, apop) : nmail::kFailed;
    }

    int NMailPop3GetMailStatus(int handle, int number, MailHeaderFields &fields, int flag) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3GetMailStatus(handle, number, fields, flag) : nmail::kFailed;
    }

    int NMailPop3GetMailSize(int handle, int number) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3GetMailSize(handle, number) : nmail::kFailed;
    }

    int NMailPop3GetUidl(int handle, int number, QString &uidl) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3GetUidl(handle, number, uidl) : nmail::kFailed;
    }

    int NMailPop3GetMail(int handle, int number, MailHeaderFields &fields, QString &body, int flag,
                         int option) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3GetMail(handle, number, fields, body, flag, option)
                    : nmail::kFailed;
    }

    int NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                           bool &bodyMentionsAttachment, QString &wholeMessage) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3FetchMail(handle, number, fields, bodyMentionsAttachment,
                                               wholeMessage)
                    : nmail::kFailed;
    }

    int NMailAttachmentFileFirst(MailHeaderFields &fields, QString &body,
                                 const QString &attachmentFolder, const QString &temporaryFile,
                                 const QString &wholeMessage) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailAttachmentFileFirst(fields, body, attachmentFolder, temporaryFile,
                                                     wholeMessage)
                    : nmail::kAttachmentNotWritten;
    }

    void NMailAttachmentFileClose() override
    {
        if (MailLibrary *mail = loadedLibrary())
            mail->NMailAttachmentFileClose();
    }

    QStringList NMailAttachmentFilesWritten() const override
    {
        const MailLibrary *mail = loadedLibrary();
        return mail ? mail->NMailAttachmentFilesWritten() : QStringList();
    }

    bool NMailKeepsFetchedMessage() const override
    {
        const MailLibrary *mail = library();
        return mail && mail->NMailKeepsFetchedMessage();
    }

    int NMailPop3DeleteMail(int handle, int number) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3DeleteMail(handle, number) : nmail::kFailed;
    }

    int NMailPop3Close(int handle) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailPop3Close(handle) : nmail::kFailed;
    }

    void NMailPop3Abort(int handle) override
    {
        if (MailLibrary *mail = loadedLibrary())
            mail->NMailPop3Abort(handle);
    }

    int NMailSmtpSendMail(const std::optional<QString> &server, const std::optional<QString> &to,
                          const std::optional<QString> &cc, const std::optional<QString> &bcc,
                          const std::optional<QString> &from, const std::optional<QString> &subject,
                          const std::optional<QString> &body,
                          const std::optional<QString> &extraHeader,
                          const std::optional<QString> &attachments, int flag) override
    {
        MailLibrary *mail = library();
        return mail ? mail->NMailSmtpSendMail(server, to, cc, bcc, from, subject, body, extraHeader,
                                              attachments, flag)
                    : nmail::kSendNotDelivered;
    }

    void NMailSmtpPrepareMail(const std::optional<QString> &server,
                              const std::optional<QString> &to, const std::optional<QString> &cc,
                              const std::optional<QString> &bcc, const std::optional<QString> &from,
                              const std::optional<QString> &subject,
                              const std::optional<QString> &body,
                              const std::optional<QString> &extraHeader,
                              const std::optional<QString> &attachments) override
    {
        if (MailLibrary *mail = library())
            mail->NMailSmtpPrepareMail(server, to, cc, bcc, from, subject, body, extraHeader,
                                       attachments);
    }

    QString NMailGetMessage() override
    {
        std::lock_guard lock(m_settingsLock);
        return m_library ? m_library->NMailGetMessage() : m_loadFailure;
    }

    void NMailEndWinSock() override
    {
        std::lock_guard lock(m_settingsLock);
        m_initialised = false;
        if (m_library)
            m_library->NMailEndWinSock();
    }

private:
    // The library, loading the module on the first call; null when it cannot be loaded.
    MailLibrary *library() const
    {
        std::call_once(m_loadOnce, [this] { load(); });
        return m_library.get();
    }

    // The library when it has been loaded already; never loads it.
    MailLibrary *loadedLibrary() const
    {
        std::lock_guard lock(m_settingsLock);
        return m_library.get();
    }

    void load() const
    {
        QString failure;
        const MailModule *module = mailModule(&failure);
        if (!module) {
            std::lock_guard lock(m_settingsLock);
            m_loadFailure = failure;
            return;
        }
        std::unique_ptr<MailLibrary> loaded = module->createMailLibrary(m_credentials);
        std::lock_guard lock(m_settingsLock);
        if (m_initialised)
            loaded->NMailInitializeWinSock();
        for (const auto &[option, value] : m_options)
            loaded->NMailSetOption(option, value);
        m_library = std::move(loaded);
    }

    MailModule::Credentials m_credentials;
    mutable std::once_flag m_loadOnce;
    // Guards what start-up and shutdown set, and the library or the failure that arrives.
    mutable std::mutex m_settingsLock;
    bool m_initialised = false;
    QList<std::pair<int, int>> m_options;
    mutable std::unique_ptr<MailLibrary> m_library;
    mutable QString m_loadFailure;
};

} // namespace

std::unique_ptr<MailLibrary>
createMailLibrary(std::function<std::pair<QString, QString>()> credentials)
{
    return std::make_unique<LateMailLibrary>(std::move(credentials));
}

} // namespace orv
