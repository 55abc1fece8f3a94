#pragma once

// What the receive benchmarks share: the mixed mailbox they fill, mpop fetching it for
// comparison, a relay that delays every segment, and the private Dovecot they use.

#include "support/Pop3TestServer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

namespace orv::bench {

using test::Pop3TestServer;

constexpr int kMessages = 1000;

// Message `number` of the benchmark mailbox: plain, Japanese or with an attachment.
QByteArray benchMessage(int number);
// Empties the server's mailbox and delivers the kMessages messages.
void fill(const Pop3TestServer &server);

[[noreturn]] void die(const QString &why);

// Seconds mpop takes to fetch (and delete) the whole mailbox through `port`.
double fetchWithMpop(const Pop3TestServer &server, quint16 port);

double median(QList<double> values);

// Forwards TCP connections to a port, holding every segment back for a fixed time in each
// direction: a link with a round trip of twice that delay and ample bandwidth.
class DelayingRelay {
public:
    explicit DelayingRelay(quint16 targetPort);
    quint16 port() const { return m_port; }

private:
    void acceptLoop();

    quint16 m_targetPort;
    int m_listener = -1;
    quint16 m_port = 0;
};

// The test command sources pop3.env; run alone, a benchmark starts its own server.
class OwnServer {
public:
    OwnServer();
    ~OwnServer();

private:
    QString m_runDir;
};

// The server of the environment, with the benchmark's own mailbox.
Pop3TestServer benchServer();

// Seconds our side takes to receive the filled mailbox through the server setting given.
using Receiver = std::function<double(const Pop3TestServer &server, const QString &setting)>;

struct Medians {
    double ours = 0;
    double mpop = 0;
};

// Fills the mailbox and times `ours` and mpop in turn, `rounds` times, through `port`.
Medians compareWithMpop(const Pop3TestServer &server, quint16 port, const char *linkName,
                        int rounds, const Receiver &ours);

// The rounds asked for on the command line (default 3).
int roundsFromArguments(int argc, char **argv);

} // namespace orv::bench
