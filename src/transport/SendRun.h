#pragma once

#include "store/MailRecord.h"
#include "store/MailStore.h"
#include "store/RecordFileAppender.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace orv {

class MailLibrary;

// What a send run sends, taken from the window when the send starts: later typing in the
// window cannot change a run that is under way.
struct SendJob {
    QString server;
    QString from;
    QString subject;        // as typed, leading blanks kept
    QString body;           // as typed, CR LF line ends
    QString attachments;    // full paths joined by ",", or empty
    QStringList recipients; // one message to each, in this order
    // The fortune step, given the typed body for every message; none when empty.
    std::function<QString(const QString &typedBody)> decorateBody;
    // The clock text of the moment a record is written.
    std::function<QString()> clockText;
};

struct SendOutcome {
    int count = 0;  // messages the run was to send
    int sent = 0;   // messages the server accepted
    int failed = 0; // messages the mail library refused
    bool cancelled = false;
    QString storeFailure; // why the sent store refused a record, when it did
    QString syncFailure;  // why the records of sent messages may not be on the disk

    int unsent() const { return count - sent; }
    bool allSent() const { return sent == count; }
};

// The sent-history record of one message: subject, recipient and body without blanks at
// either end; the body as typed, without the fortune that goes out with it.
MailRecord sentRecord(const QString &subject, const QString &date, const QString &address,
                      const QString &body);

// One send run: for every recipient the record is appended to the sent store first, when
// the run records (a message the store cannot take is not sent, and the run stops there),
// then the message goes to the mail library on a worker thread, so the windows keep
// painting while a server is slow. A refused message is reported and the run goes on with
// the next one once the report's handler returns. A cancel takes effect after the message
// in progress.
//
// The records reach the disk through syncs on a third thread that run beside the sending,
// at most one every tenth of a second, each covering every record appended before it
// began; a record is on the disk within a fraction of a second of its message going out,
// and the run ends only when the last one is. A failed sync stops the run.
class SendRun : public QObject {
    Q_OBJECT
public:
    SendRun(MailLibrary &mail, SendJob job, QObject *parent = nullptr);
    // Waits for the message in progress: the mail library is never left working alone.
    ~SendRun() override;

    // Every message of the run is first recorded in `sentStore` through `sentBuffer`, which
    // keeps the last record; without this call the run records nothing.
    void recordInto(MailStore sentStore, MailRecord &sentBuffer);

    void start();
    void requestCancel() { m_cancelRequested = true; }

signals:
    // Message `number` of `count` is about to go out.
    void progress(int number, int count);
    // The mail library refused a message; its own text says why.
    void messageFailed(const QString &libraryText);
    void finished(const SendOutcome &outcome);

private:
    void sendNext();
    bool record(const QString &recipient);
    void sendOnWorker(const QString &recipient, const QString &body);
    void onSent(int result, const QString &failureText);
    void syncWhenIdle();
    void onSynced(const Status &synced);
    void finishWhenSynced();

    MailLibrary &m_mail;
    std::unique_ptr<RecordFileAppender> m_appender; // open for the whole run
    std::optional<MailStore> m_storeToSync;         // the sync thread's own
    MailRecord *m_sentBuffer = nullptr;
    SendJob m_job;
    SendOutcome m_outcome;
    int m_next = 0;
    bool m_cancelRequested = false;
    bool m_ending = false;
    bool m_syncing = false;
    bool m_unsynced = false;
    QThread m_worker;
    QObject *m_workerContext = nullptr;
    QThread m_syncer;
    QObject *m_syncerContext = nullptr;
    QElapsedTimer m_sinceSyncStarted;
    QTimer m_syncDelay;
};

} // namespace orv
