#pragma once

#include "core/ThreadHandOff.h"
#include "store/MailRecord.h"
#include "store/MailStore.h"
#include "store/RecordFileAppender.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
    // Why the record of a message that did not go could not be taken back, when it could not.
    QString withdrawFailure;
    QStringList unsentRecipients; // those the server did not take a message for, in order

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
// painting while a server is slow. A message that does not go, refused or never begun,
// takes its record back, so the sent history lists exactly what went.
//
// While one message is with the server the next one is already recorded, built (unless it
// carries attachments) and waiting on the worker, so the server never waits for this thread
// between two messages. The waiting one goes out only when the message before it is done
// and the run is still on: after a refused message it waits until the report's handler
// returns, and after a cancel it does not go at all and its record is taken back. A cancel
// takes effect after the message in progress.
//
// The records reach the disk through syncs on a third thread that run beside the sending,
// at most one every tenth of a second, each covering every record appended before it
// began; a record is on the disk within a fraction of a second of its message going out,
// and the run ends only when the last one is. A failed sync stops the run.
class SendRun : public QObject {
    Q_OBJECT
public:
    SendRun(MailLibrary &mail, SendJob job, QObject *parent = nullptr);
    // Waits for the message in progress: the mail library is never left working alone. The
    // records of messages that had not started are taken back.
    ~SendRun() override;

    // Every message of the run is first recorded in `sentStore`; `sentBuffer` gets the record
    // of each message that went to the server. Without this call the run records nothing.
    void recordInto(MailStore sentStore, MailRecord &sentBuffer);

    void start();
    void requestCancel();

signals:
    // Message `number` of `count` is about to go out.
    void progress(int number, int count);
    // The mail library refused a message; its own text says why.
    void messageFailed(const QString &libraryText);
    void finished(const SendOutcome &outcome);

private:
    // A message recorded and handed to the worker, not yet reported back.
    struct Staged {
        int index = 0;
        int recordNumber = 0; // 0 when the run records nothing
        MailRecord record;
    };

    void stageNext();
    bool record(const QString &recipient, Staged &staged);
    bool appendRecord(Staged &staged);
    void sendOnWorker(int index, const QString &recipient, const QString &body, bool behindAnother);
    void onSent(int index, int result, const QString &failureText);
    void onSkipped(int index);
    void withdrawRefused(const Staged &refused);
    Staged takeStaged(int index);
    void stop();
    void withdrawSkipped();
    void syncWhenIdle();
    void onSynced(const Status &synced);
    void finishWhenSynced();

    MailLibrary &m_mail;
    std::unique_ptr<RecordFileAppender> m_appender; // open for the whole run
    std::optional<MailStore> m_storeToSync;         // the sync thread's own
    MailRecord *m_sentBuffer = nullptr;
    SendJob m_job;
    SendOutcome m_outcome;
    int m_next = 0; // the next message to stage
    std::deque<Staged> m_staged;
    std::vector<int> m_skippedRecords; // numbers of records of messages that never went out
    bool m_cancelRequested = false;
    bool m_stopping = false;
    // Read by the worker before each message; set once the run is not to go on.
    std::atomic<bool> m_stopSending{false};
    std::atomic<int> m_lastStarted{-1}; // the last message the worker began to send
    std::atomic<int> m_lastRefused{-1}; // the last message the mail library refused
    std::vector<bool> m_delivered;      // one flag a recipient
    // Released once a refused message's report was handled: the next message waits for it.
    QSemaphore m_failureHandled;
    bool m_ending = false;
    bool m_syncing = false;
    bool m_unsynced = false;
    // Where the worker and the sync thread hand their reports back to this thread.
    CallTarget m_home;
    QThread m_worker;
    CallTarget *m_workerContext = nullptr;
    QThread m_syncer;
    CallTarget *m_syncerContext = nullptr;
    QElapsedTimer m_sinceSyncStarted;
    QTimer m_syncDelay;
};

} // namespace orv
