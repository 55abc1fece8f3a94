#include "transport/Receive.h"

#include "core/Cp932.h"
#include "core/ThreadHandOff.h"
#include "store/MailStore.h"
#include "store/RecordFileAppender.h"
#include "transport/ReceiveJournal.h"
#include "transport/ReceivedRecord.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QSet>

#include <memory>

namespace orv {

namespace {

const QString kAttachmentFolder = QStringLiteral("\\添付フォルダ\\");
const QString kTemporaryMessage = QStringLiteral("\\添付フォルダ\\0.txt");
const QString kMailStaysOnServer =
    QStringLiteral("\n受信を中止しました。このメールと残りのメールはサーバーに残っています。");
const QString kError = QStringLiteral("エラー");

using nmail::failed;

// The folder as a text handed to the library: the resolved folder with its closing separator.
QString folderText(const AppDir &appDir, const QString &programFolder)
{
    return appDir.resolve(programFolder) + QLatin1Char('/');
}

bool cancelRequested()
{
    return QThread::currentThread()->isInterruptionRequested();
}

// A refused login is a wrong account unless the server gave a response code (RFC 2449,
// RFC 3206) saying that the refusal passes: the mailbox is busy with another session, or
// the server has a problem of its own.
ReceiveFailure loginFailure(const QString &reason)
{
    for (const QLatin1String code : {QLatin1String("[IN-USE]"), QLatin1String("[SYS/TEMP]")}) {
        if (reason.contains(code))
            return ReceiveFailure::ServerUnreachable;
    }
    return ReceiveFailure::LoginRefused;
}

// The run as it goes on the worker thread: every call into the mail library, the store
// and the journal happens here; the windows hear of it through the controller's signals.
class WorkerRun {
public:
    WorkerRun(ReceiveRun &run, MailLibrary &mail, const ReceiveRequest &request,
              ReceiveOutcome &outcome)
        : m_run(run), m_mail(mail), m_request(request), m_outcome(outcome),
          m_store(MailStore::ReceivedStore(request.appDir)), m_journal(request.appDir),
          m_attachmentFolder(folderText(request.appDir, kAttachmentFolder)),
          m_temporaryMessage(request.appDir.resolve(kTemporaryMessage)),
          m_mailboxKey(
              QCryptographicHash::hash((request.userId + u'\n' + request.pop3Server).toUtf8(),
                                       QCryptographicHash::Sha1)
                  .toHex()
                  .left(16))
    {
    }

    void run()
    {
        if (m_request.pop3Server.isEmpty()) {
            m_outcome.failure = ReceiveFailure::SettingsMissing;
            return;
        }
        const int handle = m_mail.NMailPop3Connect(m_request.pop3Server);
        emit m_run.checkingMail();
        // An unreachable server is no "no new mail": the user is told why.
        if (failed(handle)) {
            if (!cancelRequested())
                fail(ReceiveFailure::ServerUnreachable, m_mail.NMailGetMessage(), kError);
            return;
        }
        m_handle = handle;
        receiveWithAccount();
        m_outcome.mailLeftOnServer = m_handled.size() < m_count;
        endSession();
    }

private:
    enum class Outcome { Continue, Stop };

    void receiveWithAccount()
    {
        emit m_run.accountInUse(m_request.userId, m_request.password);
        if (m_request.userId.isEmpty() || m_request.password.isEmpty()) {
            m_outcome.failure = ReceiveFailure::SettingsMissing;
            emit m_run.credentialsNeeded();
            return;
        }
        const int count =
            m_mail.NMailPop3Authenticate(m_handle, m_request.userId, m_request.password,
                                         m_request.apop ? nmail::kApop : nmail::kUserPass);
        if (failed(count)) {
            if (!cancelRequested()) {
                const QString reason = m_mail.NMailGetMessage();
                fail(loginFailure(reason), reason, kError);
            }
            return;
        }
        m_count = count;
        if (count > 0)
            receiveAll();
    }

    void receiveAll()
    {
        if (const Status loaded = m_journal.load(m_store); !loaded) {
            stop(loaded.error() + kMailStaysOnServer);
            return;
        }
        deleteJournaledByUidl();
        for (int number = 1; number <= m_count; ++number) {
            if (m_handled.contains(number))
                continue;
            if (cancelRequested()) {
                m_outcome.cancelled = true;
                break;
            }
            emit m_run.progress(number, m_count);
            if (receiveOne(number) == Outcome::Stop)
                break;
        }
    }

    // Messages an earlier run stored but could not delete: known by their UIDL, they need
    // not even be fetched.
    void deleteJournaledByUidl()
    {
        for (int number = 1; number <= m_count; ++number) {
            QString uidl;
            if (failed(m_mail.NMailPop3GetUidl(m_handle, number, uidl)) || uidl.isEmpty())
                continue;
            m_uidls.insert(number, uidl);
            if (m_journal.holds(journalId(uidl, {}, 0)) && markDeleted(number) == Outcome::Stop)
                return;
        }
    }

    Outcome receiveOne(int number)
    {
        // The status call of old filled the same fields the fetch fills again; it is left
        // out, as decoding every header twice costs more than it is worth.
        MailHeaderFields fields;
        bool withNotice = false;
        QString wholeMessage;
        if (failed(m_mail.NMailPop3FetchMail(m_handle, number, fields, withNotice, wholeMessage))) {
            // A message that did not arrive whole (a dropped connection, a stall, a cancel)
            // ends the run; it stays on the server.
            if (cancelRequested())
                m_outcome.cancelled = true;
            else
                stop(m_mail.NMailGetMessage(), kError);
            return Outcome::Stop;
        }
        const QString uidl = m_uidls.value(number);
        // The header's bytes and the size name the message only on a server without UIDL.
        const QByteArray id =
            uidl.isEmpty() ? journalId(uidl, cp932::encode(fields.header),
                                       qMax(m_mail.NMailPop3GetMailSize(m_handle, number), 0))
                           : journalId(uidl, {}, 0);
        if (m_journal.holds(id))
            return markDeleted(number);

        QString body;
        const int attachments = m_mail.NMailAttachmentFileFirst(fields, body, m_attachmentFolder,
                                                                m_temporaryMessage, wholeMessage);
        const QStringList attachmentFiles = m_mail.NMailAttachmentFilesWritten();
        m_mail.NMailAttachmentFileClose();
        if (attachments == nmail::kAttachmentNotWritten) {
            stop(m_mail.NMailGetMessage() + kMailStaysOnServer);
            return Outcome::Stop;
        }
        if (attachments == nmail::kSplitMessageIncomplete)
            emit m_run.failed(QStringLiteral("分割されたメールが全て揃っていません"), QString());

        ReceivedMessage message{fields, stagedBody(body, withNotice), MailRecord()};
        message.record = receivedRecord(message.fields, message.body);
        if (store(id, message.record) == Outcome::Stop) {
            // The message stays on the server and comes again with its attachments.
            for (const QString &file : attachmentFiles)
                QFile::remove(file);
            return Outcome::Stop;
        }
        ++m_outcome.received;
        m_outcome.last = std::move(message);
        if (markDeleted(number) == Outcome::Stop)
            return Outcome::Stop;
        emit m_run.messageStored(number, m_count);
        return Outcome::Continue;
    }

    // A UIDL is unique on its server only: the mailbox is part of the id, so a journal left
    // by a run on another account can never make this one delete without storing.
    QByteArray journalId(const QString &uidl, const QByteArray &headerBytes, qint64 size) const
    {
        return m_mailboxKey + '/' + receiveId(uidl, headerBytes, size);
    }

    // The journal line goes first: a line whose record never arrived names nothing.
    Outcome store(const QByteArray &id, MailRecord &record)
    {
        // One open store for the whole run; records reach the disk at the sync before QUIT.
        if (!m_appender)
            m_appender = std::make_unique<RecordFileAppender>(m_store);
        Status stored = m_journal.add(id, record);
        if (stored)
            stored = m_appender->append(record.data());
        if (!stored) {
            stop(stored.error() + kMailStaysOnServer);
            return Outcome::Stop;
        }
        m_stored = true;
        return Outcome::Continue;
    }

    Outcome markDeleted(int number)
    {
        if (failed(m_mail.NMailPop3DeleteMail(m_handle, number))) {
            stop(m_mail.NMailGetMessage(), kError);
            return Outcome::Stop;
        }
        m_handled.insert(number);
        m_deletionsMarked = true;
        return Outcome::Continue;
    }

    void stop(const QString &text, const QString &title = QString())
    {
        m_stopReported = true;
        fail(ReceiveFailure::Other, text, title);
    }

    void fail(ReceiveFailure kind, const QString &text, const QString &title)
    {
        m_outcome.failure = kind;
        emit m_run.failed(text, title);
    }

    // The server deletes at QUIT: every stored record and the journal must be on disk first.
    void endSession()
    {
        if (m_stored) {
            Status synced = m_appender->sync();
            if (synced)
                synced = m_journal.sync();
            if (!synced) {
                // Without QUIT the session is dropped and the server keeps every message.
                m_mail.NMailPop3Abort(m_handle);
                m_outcome.mailLeftOnServer = true;
                fail(ReceiveFailure::Other,
                     synced.error() + QStringLiteral("\nメールはサーバーに残っています。"),
                     QString());
                return;
            }
        }
        m_outcome.storeSynced = true;
        if (m_deletionsMarked)
            emit m_run.storeSynced();
        if (failed(m_mail.NMailPop3Close(m_handle))) {
            reportUnconfirmedDeletions();
            return;
        }
        if (m_deletionsMarked) {
            if (const Status cleared = m_journal.clear(); !cleared)
                emit m_run.failed(cleared.error(), QString());
        }
    }

    // The messages stored stay on the server until the next run, which deletes them
    // without storing them again; a session that already failed has said enough.
    void reportUnconfirmedDeletions()
    {
        if (!m_deletionsMarked || m_stopReported || m_outcome.cancelled)
            return;
        emit m_run.failed(m_mail.NMailGetMessage() +
                              QStringLiteral("\n受信したメールは保存しました。サーバーからは"
                                             "次回の受信のときに削除します。"),
                          kError);
    }

    ReceiveRun &m_run;
    MailLibrary &m_mail;
    const ReceiveRequest &m_request;
    ReceiveOutcome &m_outcome;
    MailStore m_store;
    std::unique_ptr<RecordFileAppender> m_appender;
    ReceiveJournal m_journal;
    // Resolved once: listing the folders again for every message costs more than a message.
    const QString m_attachmentFolder;
    const QString m_temporaryMessage;
    const QByteArray m_mailboxKey;
    int m_handle = nmail::kFailed;
    int m_count = 0;
    QHash<int, QString> m_uidls;
    QSet<int> m_handled;
    bool m_stored = false;
    bool m_deletionsMarked = false;
    bool m_stopReported = false;
};

} // namespace

ReceiveRun::ReceiveRun(MailLibrary &mail, ReceiveRequest request, QObject *parent)
    : QObject(parent), m_mail(mail), m_request(std::move(request))
{
    qRegisterMetaType<ReceiveOutcome>();
    m_thread.setObjectName(QStringLiteral("ReceiveRun"));
    connect(
        &m_thread, &QThread::started, &m_thread, [this] { work(); }, Qt::DirectConnection);
    connect(&m_thread, &QThread::finished, this, &ReceiveRun::onThreadFinished);
}

ReceiveRun::~ReceiveRun()
{
    m_thread.requestInterruption();
    m_thread.quit();
    m_thread.wait();
    markTakenOver(&m_outcome);
}

void ReceiveRun::start()
{
    if (m_started)
        return;
    m_started = true;
    m_thread.start();
}

void ReceiveRun::requestCancel()
{
    m_cancelRequested = true;
    m_thread.requestInterruption();
}

void ReceiveRun::work()
{
    WorkerRun(*this, m_mail, m_request, m_outcome).run();
    if (m_cancelRequested)
        m_outcome.cancelled = true;
    // The thread's end reaches this object's thread through Qt's own locks.
    markHandedOver(&m_outcome);
    m_thread.quit();
}

void ReceiveRun::onThreadFinished()
{
    markTakenOver(&m_outcome);
    emit finished(m_outcome);
}

} // namespace orv
