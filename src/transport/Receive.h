#pragma once

#include "core/AppDir.h"
#include "store/MailRecord.h"
#include "transport/MailLibrary.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <optional>

namespace orv {

// What a receive run needs, taken when it starts.
struct ReceiveRequest {
    AppDir appDir;
    QString pop3Server;
    bool apop = false;
    // The account as saved in the account file.
    QString userId;
    QString password;
};

// The last message a run stored, for the viewer and the reply window.
struct ReceivedMessage {
    MailHeaderFields fields; // decoded subject, date and sender
    QString body;            // the staged body, notice included
    MailRecord record;       // as appended to the received store
};

// Why a run stopped short, for a caller that acts on the kind rather than the text (a
// script waits and tries again later when the server is out of reach for now, but not when
// the password is wrong). Passing notices that do not stop the run leave it None.
enum class ReceiveFailure {
    None,
    SettingsMissing,   // no POP3 server set, or no saved user ID or password
    ServerUnreachable, // no connection now, or the server turned the login away for now
    LoginRefused,      // the server refused the user ID or the password
    Other,             // the run stopped later: a message, the store or the journal
};

struct ReceiveOutcome {
    int received = 0;              // messages stored by this run
    bool storeSynced = false;      // what was stored is on disk
    bool mailLeftOnServer = false; // the run stopped before every message was handled
    bool cancelled = false;
    ReceiveFailure failure = ReceiveFailure::None;
    std::optional<ReceivedMessage> last;

    // The tune, the count and the new-mail picture are for mail that is safely stored.
    bool announcesNewMail() const { return received > 0 && storeSynced; }
};

// One receive run. The GUI thread owns this controller; the run itself goes on a worker
// thread that owns the connection, so no window ever waits on the network. Every waiting
// message is fetched, its attachments expanded, its record appended to the received store
// and only then deleted on the server; the store and the receive journal are on disk before
// QUIT. A message that cannot be stored whole (its record or one of its attachments) stops
// the run and stays on the server with every later one. Everything the windows show comes
// through the signals.
class ReceiveRun : public QObject {
    Q_OBJECT
public:
    ReceiveRun(MailLibrary &mail, ReceiveRequest request, QObject *parent = nullptr);
    // Stops the run and waits for the worker: the mail library is never left working alone.
    ~ReceiveRun() override;

    void start();
    // Ends the run at once: a message in transfer stays on the server, what is stored is
    // deleted there.
    void requestCancel();
    bool isRunning() const { return m_thread.isRunning(); }

signals:
    // The connection was attempted (whatever its outcome): the main window says so.
    void checkingMail();
    // The saved account is now the one in use.
    void accountInUse(const QString &userId, const QString &password);
    // The saved account lacks a user ID or a password; nothing is fetched.
    void credentialsNeeded();
    // Message `number` of `count` is being received.
    void progress(int number, int count);
    // Message `number` is stored and marked for deletion.
    void messageStored(int number, int count);
    // The store and the journal are on disk; QUIT follows.
    void storeSynced();
    // Something the user must read; an empty title means the application title.
    void failed(const QString &text, const QString &title);
    void finished(const ReceiveOutcome &outcome);

private:
    void work();
    void onThreadFinished();

    MailLibrary &m_mail;
    ReceiveRequest m_request;
    ReceiveOutcome m_outcome;
    QThread m_thread;
    std::atomic<bool> m_cancelRequested{false};
    bool m_started = false;
};

} // namespace orv

Q_DECLARE_METATYPE(orv::ReceiveOutcome)
