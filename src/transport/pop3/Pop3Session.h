#pragma once

#include "core/Status.h"
#include "transport/ServerAddress.h"
#include "transport/pop3/Pop3Reply.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSslCertificate>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

class QSslSocket;

namespace orv::pop3 {

struct Options {
    // Reaching the server, TLS handshakes included.
    int connectTimeoutMs = 20000;
    // The longest silence while a reply is awaited or arriving.
    int stallTimeoutMs = 60000;
    // The slowest transfer a session accepts: fewer than `minimumBytesPerWindow` bytes in
    // `rateWindowMs` of waiting is a stall, however regularly the bytes trickle in.
    qint64 minimumBytesPerWindow = 1024;
    int rateWindowMs = 60000;
    // How long QUIT may wait after a cancel for the replies still in flight.
    int quitAfterCancelMs = 5000;
    // Trusted in addition to the system's certificate authorities.
    QList<QSslCertificate> caCertificates;
    // RETR commands kept in flight ahead of the message asked for (with PIPELINING).
    int pipelineWindow = 64;
    // Bytes of messages fetched ahead and not yet asked for, at most.
    qint64 prefetchBytes = 16 * 1024 * 1024;
};

// One POP3 session on one connection: greeting, CAPA, STLS, login, one LIST and UIDL,
// then messages by number until QUIT. Every call blocks until its reply is in or a
// timeout fires, so a session belongs on a worker thread: an interruption request to that
// thread ends any wait within a few tens of milliseconds (the call fails as cancelled and
// the session stays usable for QUIT). Any failure of the connection ends the session for
// good, so no command ever reaches a server with message numbers from an earlier
// connection.
class Session {
public:
    explicit Session(Options options = {});
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Connects, reads the greeting and the capabilities and switches to TLS when offered. A
    // refused or failed switch, or a server without STLS where plaintext is not allowed,
    // ends the session before any password could be sent.
    Status open(const ServerAddress &address);
    // APOP or USER/PASS, then the message list.
    Status login(const QString &user, const QString &password, bool apop);

    int messageCount() const { return int(m_sizes.size()); }
    // The size from LIST, or -1 when there is no such message.
    qint64 messageSize(int number) const;
    QByteArray uniqueId(int number) const { return m_uniqueIds.value(number); }

    // The message as the server holds it: CR LF line ends, dot-unstuffed.
    Status retrieve(int number, QByteArray &message);
    // DELE; the server removes the message only at a successful QUIT.
    Status markDeleted(int number);
    // QUIT: the deletions take effect. The connection is closed afterwards either way.
    Status quit();
    // Drops the connection without QUIT: nothing marked is deleted.
    void abort();

    bool isOpen() const;
    bool isEncrypted() const;
    bool pipelining() const { return m_capabilities.contains("PIPELINING"); }
    bool offersApop() const { return !m_apopTimestamp.isEmpty(); }
    // The last call failed because the thread was asked to stop.
    bool wasCancelled() const { return m_cancelled; }

private:
    enum class Kind { Greeting, Simple, Retr, Dele, Quit };
    struct Pending {
        quint64 id = 0;
        Kind kind = Kind::Simple;
        int number = 0;
        bool multiLine = false;
        qsizetype blockLimit = 0;
    };

    Status connectSocket(const ServerAddress &address);
    Status startTls();
    Status readCapabilities();
    Status loginWithApop(const QString &user, const QString &password);
    Status loginWithUserPass(const QString &user, const QString &password);
    Status readMessageList();

    quint64 send(const QByteArray &command, Kind kind, int number = 0, bool multiLine = false,
                 qsizetype blockLimit = 0);
    quint64 expectGreeting();
    Status call(const QByteArray &command, Reply &reply, bool multiLine = false);
    Status awaitReply(quint64 id, Reply &reply);
    Status readOneReply();
    Status waitForBytes();
    Status checkTransferRate();
    bool waitForSocket(const std::function<bool()> &done, int timeoutMs);
    bool interrupted() const;
    Status cancelledStatus();
    void deliver(const Pending &pending, Reply &&reply);
    void requestAhead(int number);
    qint64 bytesAhead() const;
    Status checkNumber(int number) const;
    Status checkComplete(int number, const Reply &reply) const;

    Status broken(const QString &message);
    Status notConnected() const;
    Status serverRefused(const QString &action, const Reply &reply) const;
    QString connectionReason() const;

    Options m_options;
    ServerAddress m_address;
    std::unique_ptr<QSslSocket> m_socket;
    ReplyParser m_parser;
    std::deque<Pending> m_inFlight;
    quint64 m_nextId = 1;
    QHash<quint64, Reply> m_simpleReplies;
    QHash<int, Reply> m_arrivedMessages;
    QSet<int> m_retrInFlight;
    QSet<int> m_markedDeleted;
    QStringList m_deleteFailures;
    QSet<QByteArray> m_capabilities;
    QByteArray m_apopTimestamp;
    QList<qint64> m_sizes;
    QHash<int, QByteArray> m_uniqueIds;
    QString m_brokenReason;
    // Waiting time and bytes of the current transfer-rate window.
    qint64 m_windowWaitedMs = 0;
    qint64 m_windowBytes = 0;
    bool m_cancelled = false;
    bool m_ignoreInterruption = false;
    qint64 m_quitDeadlineMs = -1;
};

} // namespace orv::pop3
