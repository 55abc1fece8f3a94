#include "transport/SendRun.h"

#include "core/Cp932.h"
#include "transport/MailLibrary.h"

#include <QPointer>

namespace orv {

namespace {

constexpr qint64 kSyncIntervalMs = 100;

} // namespace

MailRecord sentRecord(const QString &subject, const QString &date, const QString &address,
                      const QString &body)
{
    MailRecord record;
    record.setSubject(trimBlanks(subject));
    record.setDate(date);
    record.setAddress(trimBlanks(address));
    record.setBody(trimBlanks(body));
    return record;
}

SendRun::SendRun(MailLibrary &mail, SendJob job, QObject *parent)
    : QObject(parent), m_mail(mail), m_job(std::move(job))
{
    m_outcome.count = static_cast<int>(m_job.recipients.size());
    m_worker.setObjectName(QStringLiteral("SendWorker"));
    m_workerContext = new QObject;
    m_workerContext->moveToThread(&m_worker);
    connect(&m_worker, &QThread::finished, m_workerContext, &QObject::deleteLater);
    m_worker.start();
}

SendRun::~SendRun()
{
    m_worker.quit();
    m_syncer.quit();
    m_worker.wait();
    m_syncer.wait();
}

void SendRun::recordInto(MailStore sentStore, MailRecord &sentBuffer)
{
    m_appender = std::make_unique<RecordFileAppender>(sentStore);
    m_storeToSync = std::move(sentStore);
    m_sentBuffer = &sentBuffer;
    m_syncer.setObjectName(QStringLiteral("SentStoreSync"));
    m_syncerContext = new QObject;
    m_syncerContext->moveToThread(&m_syncer);
    connect(&m_syncer, &QThread::finished, m_syncerContext, &QObject::deleteLater);
    m_syncer.start();
    m_syncDelay.setSingleShot(true);
    connect(&m_syncDelay, &QTimer::timeout, this, &SendRun::syncWhenIdle);
}

void SendRun::start()
{
    sendNext();
}

void SendRun::sendNext()
{
    const bool syncFailed = !m_outcome.syncFailure.isEmpty();
    if (m_cancelRequested || syncFailed || m_next >= m_outcome.count) {
        m_outcome.cancelled = m_cancelRequested && m_next < m_outcome.count;
        finishWhenSynced();
        return;
    }
    const QString recipient = m_job.recipients.at(m_next);
    if (!record(recipient)) {
        finishWhenSynced();
        return;
    }
    const QString body = m_job.decorateBody ? m_job.decorateBody(m_job.body) : m_job.body;
    emit progress(m_next + 1, m_outcome.count);
    sendOnWorker(recipient, body);
}

bool SendRun::record(const QString &recipient)
{
    if (!m_appender)
        return true;
    *m_sentBuffer = sentRecord(m_job.subject, m_job.clockText(), recipient, m_job.body);
    const Status stored = m_appender->append(m_sentBuffer->data());
    if (!stored) {
        m_outcome.storeFailure = stored.error();
        return false;
    }
    m_unsynced = true;
    syncWhenIdle();
    return true;
}

void SendRun::syncWhenIdle()
{
    if (m_syncing || !m_unsynced)
        return;
    // Back-to-back syncs would keep the disk and a core busy for the whole run, slowing the
    // sending they run beside; a record waits for its sync a fraction of a second at most.
    const qint64 sinceSync =
        m_sinceSyncStarted.isValid() ? m_sinceSyncStarted.elapsed() : kSyncIntervalMs;
    if (!m_ending && sinceSync < kSyncIntervalMs) {
        if (!m_syncDelay.isActive())
            m_syncDelay.start(static_cast<int>(kSyncIntervalMs - sinceSync));
        return;
    }
    m_syncDelay.stop();
    m_sinceSyncStarted.start();
    m_syncing = true;
    m_unsynced = false;
    QMetaObject::invokeMethod(
        m_syncerContext,
        [this] {
            const Status synced = m_storeToSync->Sync();
            QMetaObject::invokeMethod(
                this, [this, synced] { onSynced(synced); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SendRun::onSynced(const Status &synced)
{
    m_syncing = false;
    if (!synced && m_outcome.syncFailure.isEmpty())
        m_outcome.syncFailure = synced.error();
    if (m_ending)
        finishWhenSynced();
    else
        syncWhenIdle();
}

void SendRun::finishWhenSynced()
{
    m_ending = true;
    if (m_syncing)
        return;
    if (m_unsynced && m_outcome.syncFailure.isEmpty()) {
        syncWhenIdle();
        return;
    }
    emit finished(m_outcome);
}

void SendRun::sendOnWorker(const QString &recipient, const QString &body)
{
    QMetaObject::invokeMethod(
        m_workerContext,
        [this, recipient, body, server = m_job.server, from = m_job.from, subject = m_job.subject,
         attachments = m_job.attachments] {
            const int result =
                m_mail.NMailSmtpSendMail(server, recipient, std::nullopt, std::nullopt, from,
                                         subject, body, std::nullopt, attachments, 0);
            const QString failureText = result < 0 ? m_mail.NMailGetMessage() : QString();
            QMetaObject::invokeMethod(
                this, [this, result, failureText] { onSent(result, failureText); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SendRun::onSent(int result, const QString &failureText)
{
    ++m_next;
    if (result < 0) {
        ++m_outcome.failed;
        // The handler shows a box; the run may be ended while it is open.
        const QPointer<SendRun> alive(this);
        emit messageFailed(failureText);
        if (!alive)
            return;
    } else {
        ++m_outcome.sent;
    }
    sendNext();
}

} // namespace orv
