#include "transport/SendRun.h"

#include "core/Cp932.h"
#include "core/ThreadHandOff.h"
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
    m_delivered.assign(m_job.recipients.size(), false);
    m_worker.setObjectName(QStringLiteral("SendWorker"));
    m_workerContext = new CallTarget;
    m_workerContext->moveToThread(&m_worker);
    connect(&m_worker, &QThread::finished, m_workerContext, &QObject::deleteLater);
    m_worker.start();
}

SendRun::~SendRun()
{
    // Nothing waiting goes out once the run is gone, and a worker that waits for a refused
    // message's report is let go.
    m_stopSending = true;
    m_failureHandled.release();
    m_worker.quit();
    m_syncer.quit();
    m_worker.wait();
    m_syncer.wait();
    // Their reports will never be read: what the worker did not start, or what the mail
    // library refused, never went out.
    for (const Staged &staged : m_staged)
        if ((staged.index > m_lastStarted || staged.index == m_lastRefused) &&
            staged.recordNumber > 0)
            m_skippedRecords.push_back(staged.recordNumber);
    withdrawSkipped();
}

void SendRun::recordInto(MailStore sentStore, MailRecord &sentBuffer)
{
    m_appender = std::make_unique<RecordFileAppender>(sentStore);
    m_storeToSync = std::move(sentStore);
    m_sentBuffer = &sentBuffer;
    m_syncer.setObjectName(QStringLiteral("SentStoreSync"));
    m_syncerContext = new CallTarget;
    m_syncerContext->moveToThread(&m_syncer);
    connect(&m_syncer, &QThread::finished, m_syncerContext, &QObject::deleteLater);
    m_syncer.start();
    m_syncDelay.setSingleShot(true);
    connect(&m_syncDelay, &QTimer::timeout, this, &SendRun::syncWhenIdle);
}

void SendRun::start()
{
    if (m_outcome.count > 0)
        emit progress(1, m_outcome.count);
    // One message for the server and the next one waiting behind it.
    stageNext();
    stageNext();
    if (m_staged.empty())
        finishWhenSynced();
}

void SendRun::requestCancel()
{
    m_cancelRequested = true;
    stop();
}

// Nothing more is staged, and what waits behind the message in progress does not go out.
void SendRun::stop()
{
    m_stopping = true;
    m_stopSending = true;
}

void SendRun::stageNext()
{
    if (m_stopping || m_next >= m_outcome.count)
        return;
    const QString recipient = m_job.recipients.at(m_next);
    Staged staged;
    staged.index = m_next;
    // What is staged already still goes: its record is there.
    if (!record(recipient, staged)) {
        m_stopping = true;
        return;
    }
    const QString body = m_job.decorateBody ? m_job.decorateBody(m_job.body) : m_job.body;
    const bool behindAnother = !m_staged.empty();
    // Built here while the message before it is with the server. Attachments are read on
    // the worker, so a large file never holds up the windows.
    if (behindAnother && m_job.attachments.isEmpty())
        m_mail.NMailSmtpPrepareMail(m_job.server, recipient, std::nullopt, std::nullopt, m_job.from,
                                    m_job.subject, body, std::nullopt, m_job.attachments);
    m_staged.push_back(std::move(staged));
    sendOnWorker(m_next, recipient, body, behindAnother);
    ++m_next;
}

bool SendRun::record(const QString &recipient, Staged &staged)
{
    if (!m_appender)
        return true;
    staged.record = sentRecord(m_job.subject, m_job.clockText(), recipient, m_job.body);
    return appendRecord(staged);
}

bool SendRun::appendRecord(Staged &staged)
{
    const Status stored = m_appender->append(staged.record.data(), &staged.recordNumber);
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
    postCall(m_syncerContext, [this] {
        const Status synced = m_storeToSync->Sync();
        postCall(&m_home, [this, synced] { onSynced(synced); });
    });
}

void SendRun::onSynced(const Status &synced)
{
    m_syncing = false;
    if (!synced && m_outcome.syncFailure.isEmpty()) {
        m_outcome.syncFailure = synced.error();
        stop();
    }
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
    const int done = m_outcome.sent + m_outcome.failed;
    m_outcome.cancelled = m_cancelRequested && done < m_outcome.count;
    m_outcome.unsentRecipients.clear();
    for (int index = 0; index < m_outcome.count; ++index)
        if (!m_delivered[static_cast<size_t>(index)])
            m_outcome.unsentRecipients.append(m_job.recipients.at(index));
    emit finished(m_outcome);
}

// A message staged behind another one is in progress only once that one is done: a stop
// before then keeps it back. The first in line is in progress from the start.
void SendRun::sendOnWorker(int index, const QString &recipient, const QString &body,
                           bool behindAnother)
{
    postCall(m_workerContext, [this, index, recipient, body, behindAnother, server = m_job.server,
                               from = m_job.from, subject = m_job.subject,
                               attachments = m_job.attachments] {
        if (behindAnother && m_stopSending) {
            postCall(&m_home, [this, index] { onSkipped(index); });
            return;
        }
        m_lastStarted = index;
        const int result =
            m_mail.NMailSmtpSendMail(server, recipient, std::nullopt, std::nullopt, from, subject,
                                     body, std::nullopt, attachments, 0);
        const QString failureText = result < 0 ? m_mail.NMailGetMessage() : QString();
        if (result < 0)
            m_lastRefused = index;
        postCall(&m_home,
                 [this, index, result, failureText] { onSent(index, result, failureText); });
        if (result < 0)
            m_failureHandled.acquire();
    });
}

SendRun::Staged SendRun::takeStaged(int index)
{
    Q_ASSERT(!m_staged.empty() && m_staged.front().index == index);
    Staged staged = std::move(m_staged.front());
    m_staged.pop_front();
    return staged;
}

void SendRun::onSent(int index, int result, const QString &failureText)
{
    const Staged staged = takeStaged(index);
    if (!m_staged.empty() && !m_stopping)
        emit progress(index + 2, m_outcome.count);
    if (result < 0) {
        ++m_outcome.failed;
        withdrawRefused(staged);
        // The handler shows a box; the run may be ended while it is open.
        const QPointer<SendRun> alive(this);
        emit messageFailed(failureText);
        if (!alive)
            return;
        m_failureHandled.release();
    } else {
        ++m_outcome.sent;
        m_delivered[static_cast<size_t>(index)] = true;
        if (m_sentBuffer)
            *m_sentBuffer = staged.record;
    }
    stageNext();
    if (m_staged.empty())
        finishWhenSynced();
}

void SendRun::onSkipped(int index)
{
    const Staged staged = takeStaged(index);
    if (staged.recordNumber > 0)
        m_skippedRecords.push_back(staged.recordNumber);
    if (!m_staged.empty())
        return;
    withdrawSkipped();
    finishWhenSynced();
}

// A refused message leaves no record. The record of the message staged behind it stands
// after the refused one's, so it comes off first and goes back on after: that message waits
// for this report before it goes, so it is not out yet.
void SendRun::withdrawRefused(const Staged &refused)
{
    if (refused.recordNumber == 0)
        return;
    Staged *behind = m_staged.empty() ? nullptr : &m_staged.front();
    if (behind && behind->recordNumber > 0) {
        if (const Status taken = m_appender->withdraw(behind->recordNumber); !taken) {
            m_outcome.withdrawFailure = taken.error();
            return;
        }
    }
    if (const Status taken = m_appender->withdraw(refused.recordNumber); !taken)
        m_outcome.withdrawFailure = taken.error();
    m_unsynced = true;
    if (behind && behind->recordNumber > 0 && !appendRecord(*behind)) {
        // Without its record the message behind does not go.
        behind->recordNumber = 0;
        stop();
    }
    syncWhenIdle();
}

// The records of messages that never went out go again, the last one first.
void SendRun::withdrawSkipped()
{
    for (auto number = m_skippedRecords.rbegin(); number != m_skippedRecords.rend(); ++number)
        if (m_appender->withdraw(*number))
            m_unsynced = true;
    m_skippedRecords.clear();
}

} // namespace orv
