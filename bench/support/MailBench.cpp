#include "support/MailBench.h"

#include "core/Cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace orv::bench {

namespace {

using Clock = std::chrono::steady_clock;
const auto kSegmentDelay = std::chrono::milliseconds(25);

QString peerScript()
{
    return QStringLiteral(ORVAINE_SOURCE_DIR "/scripts/peers/pop3.sh");
}

struct Segment {
    Clock::time_point due;
    QByteArray bytes; // empty: the sender closed its side
};
struct Direction {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Segment> queue;
};

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void pump(int from, int to)
{
    auto direction = std::make_shared<Direction>();
    std::thread([direction, from] {
        char buffer[65536];
        for (;;) {
            const ssize_t got = read(from, buffer, sizeof buffer);
            const std::lock_guard lock(direction->mutex);
            direction->queue.push_back(
                {Clock::now() + kSegmentDelay, got > 0 ? QByteArray(buffer, got) : QByteArray()});
            direction->ready.notify_one();
            if (got <= 0)
                return;
        }
    }).detach();
    std::thread([direction, from, to] {
        for (;;) {
            std::unique_lock lock(direction->mutex);
            direction->ready.wait(lock, [&] { return !direction->queue.empty(); });
            Segment segment = std::move(direction->queue.front());
            direction->queue.pop_front();
            lock.unlock();
            std::this_thread::sleep_until(segment.due);
            if (segment.bytes.isEmpty()) {
                shutdown(to, SHUT_WR);
                shutdown(from, SHUT_RD);
                return;
            }
            for (qsizetype sent = 0; sent < segment.bytes.size();) {
                const ssize_t wrote = write(to, segment.bytes.constData() + sent,
                                            size_t(segment.bytes.size() - sent));
                if (wrote <= 0)
                    return;
                sent += wrote;
            }
        }
    }).detach();
}

} // namespace

QByteArray base64Lines(const QByteArray &data)
{
    QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (qsizetype at = 0; at < encoded.size(); at += 76)
        lines += encoded.mid(at, 76) + "\r\n";
    return lines;
}

QByteArray benchMessage(int number)
{
    const QByteArray head = "From: sender" + QByteArray::number(number) +
                            "@example.jp\r\n"
                            "To: orvbench@example.jp\r\n"
                            "Date: Wed, 09 Dec 2026 10:00:00 +0900\r\n"
                            "Message-ID: <bench" +
                            QByteArray::number(number) +
                            "@example.jp>\r\n"
                            "MIME-Version: 1.0\r\n";
    switch (number % 3) {
    case 0:
        return head + "Subject: plain " + QByteArray::number(number) +
               "\r\n"
               "Content-Type: text/plain; charset=us-ascii\r\n\r\n" +
               QByteArray("A short plain message.\r\n").repeated(20 + number % 40);
    case 1:
        return head +
               "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\r\n"
               "Content-Type: text/plain; charset=Shift_JIS\r\n"
               "Content-Transfer-Encoding: 8bit\r\n\r\n" +
               cp932::encode(
                   QStringLiteral("日本語の本文です。①㈱～\r\n").repeated(30 + number % 50));
    default: {
        QByteArray attachment(8000 + (number * 37) % 30000, '\0');
        for (qsizetype i = 0; i < attachment.size(); ++i)
            attachment[i] = char((i * 131 + number) & 0xff);
        return head + "Subject: with attachment " + QByteArray::number(number) +
               "\r\n"
               "Content-Type: multipart/mixed; boundary=\"b-" +
               QByteArray::number(number) +
               "\"\r\n\r\n"
               "--b-" +
               QByteArray::number(number) +
               "\r\n"
               "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
               "See the attachment.\r\n"
               "--b-" +
               QByteArray::number(number) +
               "\r\n"
               "Content-Type: application/octet-stream\r\n"
               "Content-Disposition: attachment; filename=\"data" +
               QByteArray::number(number) +
               ".bin\"\r\n"
               "Content-Transfer-Encoding: base64\r\n\r\n" +
               base64Lines(attachment) + "--b-" + QByteArray::number(number) + "--\r\n";
    }
    }
}

void fill(const Pop3TestServer &server)
{
    server.clear();
    for (int number = 1; number <= kMessages; ++number)
        server.deliver(benchMessage(number));
}

[[noreturn]] void die(const QString &why)
{
    std::fprintf(stderr, "pop3_bench: %s\n", qPrintable(why));
    std::exit(1);
}

double fetchWithMpop(const Pop3TestServer &server, quint16 port)
{
    QTemporaryDir work;
    const QString maildir = work.filePath(u"Maildir"_qs);
    for (const char *sub : {"cur", "new", "tmp"})
        QDir().mkpath(maildir + u'/' + QLatin1String(sub));
    const QString config = work.filePath(u"mpoprc"_qs);
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        die(u"cannot write the mpop configuration"_qs);
    file.write(QStringLiteral("account bench\nhost %1\nport %2\nuser %3\npassword %4\nauth user\n"
                              "tls on\ntls_starttls on\ntls_trust_file %5\ndelivery maildir %6\n"
                              "keep off\nonly_new off\nuidls_file %7\n")
                   .arg(server.host())
                   .arg(port)
                   .arg(server.user(), server.password(), server.caFile(), maildir,
                        work.filePath(u"uidls"_qs))
                   .toUtf8());
    file.close();
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);

    QElapsedTimer timer;
    timer.start();
    QProcess mpop;
    mpop.start(u"mpop"_qs, {u"-q"_qs, u"-C"_qs, config, u"bench"_qs});
    if (!mpop.waitForFinished(600000) || mpop.exitCode() != 0)
        die(u"mpop failed: "_qs + QString::fromLocal8Bit(mpop.readAllStandardError()));
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (QDir(maildir + u"/new"_qs).entryList(QDir::Files).size() != kMessages)
        die(u"mpop did not deliver every message"_qs);
    return seconds;
}

DelayingRelay::DelayingRelay(quint16 targetPort) : m_targetPort(targetPort)
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    if (bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(m_listener, 16) != 0)
        die(u"relay cannot listen"_qs);
    socklen_t length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    std::thread([this] { acceptLoop(); }).detach();
}

void DelayingRelay::acceptLoop()
{
    for (;;) {
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in target = loopback(m_targetPort);
        if (connect(server, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
            close(client);
            close(server);
            continue;
        }
        for (const int fd : {client, server}) {
            const int on = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        }
        pump(client, server);
        pump(server, client);
    }
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

OwnServer::OwnServer()
{
    if (!qEnvironmentVariableIsEmpty("POP3_HOST"))
        return;
    m_runDir = QString::fromLocal8Bit(qgetenv("TMPDIR").isEmpty() ? "/tmp" : qgetenv("TMPDIR")) +
               u"/orvb."_qs + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(m_runDir);
    if (QProcess::execute(peerScript(), {u"start"_qs, m_runDir}) != 0)
        die(u"scripts/peers/pop3.sh start failed"_qs);
    QFile env(m_runDir + u"/pop3.env"_qs);
    if (!env.open(QIODevice::ReadOnly))
        die(u"no pop3.env"_qs);
    for (const QByteArray &line : env.readAll().split('\n')) {
        const QByteArray assignment = line.trimmed().mid(int(qstrlen("export ")));
        const qsizetype equals = assignment.indexOf('=');
        if (line.startsWith("export ") && equals > 0)
            qputenv(assignment.left(equals).constData(),
                    QByteArray(assignment.mid(equals + 1)).replace('"', ""));
    }
}

OwnServer::~OwnServer()
{
    if (!m_runDir.isEmpty()) {
        QProcess::execute(peerScript(), {u"stop"_qs, m_runDir});
        QDir(m_runDir).removeRecursively();
    }
}

Pop3TestServer benchServer()
{
    QString problem;
    const std::optional<Pop3TestServer> found = Pop3TestServer::fromEnvironment(&problem);
    if (!found)
        die(problem);
    return found->forUser(u"orvbench"_qs);
}

Medians compareWithMpop(const Pop3TestServer &server, quint16 port, const char *linkName,
                        int rounds, const Receiver &ours)
{
    QList<double> oursSeconds;
    QList<double> mpopSeconds;
    const QString setting = server.host() + u':' + QString::number(port);
    for (int round = 0; round < rounds; ++round) {
        fill(server);
        oursSeconds.append(ours(server, setting));
        fill(server);
        mpopSeconds.append(fetchWithMpop(server, port));
        std::fprintf(stderr, "%s round %d: ours %.3f s, mpop %.3f s\n", linkName, round + 1,
                     oursSeconds.last(), mpopSeconds.last());
    }
    return {median(oursSeconds), median(mpopSeconds)};
}

int roundsFromArguments(int argc, char **argv)
{
    return argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 3;
}

} // namespace orv::bench
