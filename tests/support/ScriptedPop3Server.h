#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orv::test {

// A POP3 server in a thread of the test, for what real servers will not do on demand:
// dropping or stalling in the middle of a message, garbled replies, no PIPELINING.
struct FaultScript {
    QByteArray greeting = "+OK scripted server ready <1234.5678@orvaine.test>";
    bool pipelining = true;
    bool uidl = true;
    QList<QByteArray> messages;
    bool stallGreeting = false;
    int dropDuringRetrOf = 0;
    int stallDuringRetrOf = 0;
    int shortRetrOf = 0;
    // Sends half of this message, then one byte every `trickleIntervalMs`.
    int trickleDuringRetrOf = 0;
    int trickleIntervalMs = 100;
    QByteArray garbleReplyTo;
    // Holds back the first RETR reply, so that pipelined commands are surely waiting.
    int firstRetrDelayMs = 0;
    // Lists STLS among the capabilities and answers it with `stlsReply`; after a "+OK" the
    // server speaks no TLS but closes, so the handshake fails.
    bool offerStls = false;
    QByteArray stlsReply = "-ERR TLS not available right now";
};

struct FaultLog {
    QList<QByteArray> commands;
    int connections = 0;
    // A command arrived before the reply to the previous one was sent.
    bool overlapped = false;
    // Deletions the server carried out (at QUIT).
    QList<int> deleted;
};

class ScriptedPop3Server {
public:
    // Waits on a mutex rather than a std::future: libstdc++ signals a future inside its own
    // uninstrumented code, so ThreadSanitizer would see the hand-over as a race.
    explicit ScriptedPop3Server(FaultScript script) : m_script(std::move(script))
    {
        m_thread = std::thread([this] { run(); });
        std::unique_lock lock(m_portLock);
        m_portKnown.wait(lock, [this] { return m_port != 0; });
    }
    ~ScriptedPop3Server() { finish(); }

    QString setting() const
    {
        return QStringLiteral("127.0.0.1:") + QString::number(m_port.load());
    }

    FaultLog finish()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_log;
    }

private:
    void run()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        {
            const std::lock_guard lock(m_portLock);
            m_port = server.serverPort();
        }
        m_portKnown.notify_one();
        while (!m_stop) {
            if (!server.waitForNewConnection(20))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            ++m_log.connections;
            serve(*socket);
        }
    }

    void serve(QTcpSocket &socket)
    {
        QList<int> marked;
        if (m_script.stallGreeting)
            return waitUntilStopped(socket);
        reply(socket, m_script.greeting + "\r\n");
        while (!m_stop && socket.state() == QAbstractSocket::ConnectedState) {
            if (!socket.canReadLine()) {
                socket.waitForReadyRead(20);
                continue;
            }
            const QByteArray command = socket.readLine().trimmed();
            m_log.commands.append(command);
            if (socket.bytesAvailable() > 0)
                m_log.overlapped = true;
            const QByteArray verb = command.split(' ').value(0).toUpper();
            const int number = command.split(' ').value(1).toInt();
            if (verb == m_script.garbleReplyTo) {
                reply(socket, "HELLO, this is not POP3\r\n");
            } else if (verb == "CAPA") {
                reply(socket, "+OK\r\nUSER\r\n" + QByteArray(m_script.uidl ? "UIDL\r\n" : "") +
                                  QByteArray(m_script.pipelining ? "PIPELINING\r\n" : "") +
                                  QByteArray(m_script.offerStls ? "STLS\r\n" : "") + ".\r\n");
            } else if (verb == "STLS" && m_script.offerStls) {
                reply(socket, m_script.stlsReply + "\r\n");
                if (m_script.stlsReply.startsWith("+OK")) {
                    socket.disconnectFromHost();
                    return;
                }
            } else if (verb == "LIST") {
                QByteArray list = "+OK\r\n";
                for (int i = 0; i < m_script.messages.size(); ++i)
                    list += QByteArray::number(i + 1) + ' ' +
                            QByteArray::number(m_script.messages[i].size()) + "\r\n";
                reply(socket, list + ".\r\n");
            } else if (verb == "UIDL" && m_script.uidl) {
                QByteArray list = "+OK\r\n";
                for (int i = 1; i <= m_script.messages.size(); ++i)
                    list += QByteArray::number(i) + " uid" + QByteArray::number(i) + "\r\n";
                reply(socket, list + ".\r\n");
            } else if (verb == "RETR" && number >= 1 && number <= m_script.messages.size()) {
                if (!retrieve(socket, number))
                    return;
            } else if (verb == "DELE") {
                marked.append(number);
                reply(socket, "+OK marked\r\n");
            } else if (verb == "QUIT") {
                m_log.deleted = marked;
                reply(socket, "+OK bye\r\n");
                socket.disconnectFromHost();
                return;
            } else if (verb == "USER" || verb == "PASS" || verb == "APOP") {
                reply(socket, "+OK\r\n");
            } else {
                reply(socket, "-ERR unknown command\r\n");
            }
        }
    }

    // False when the script ends the connection here.
    bool retrieve(QTcpSocket &socket, int number)
    {
        if (std::exchange(m_script.firstRetrDelayMs, 0) > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const QByteArray message = m_script.messages[number - 1];
        const QByteArray half = "+OK\r\n" + message.left(message.size() / 2);
        if (number == m_script.dropDuringRetrOf) {
            reply(socket, half);
            socket.abort();
            return false;
        }
        if (number == m_script.stallDuringRetrOf) {
            reply(socket, half);
            waitUntilStopped(socket);
            return false;
        }
        if (number == m_script.trickleDuringRetrOf) {
            reply(socket, half);
            trickle(socket, message.mid(message.size() / 2));
            return false;
        }
        // A message ended early but properly terminated: only its header arrives.
        const QByteArray sent = number == m_script.shortRetrOf
                                    ? message.left(message.indexOf("\r\n\r\n") + 4)
                                    : message;
        reply(socket, "+OK\r\n" + sent + ".\r\n");
        return true;
    }

    static void reply(QTcpSocket &socket, const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.waitForBytesWritten(1000);
    }

    void trickle(QTcpSocket &socket, const QByteArray &rest)
    {
        for (qsizetype i = 0; !m_stop && socket.state() == QAbstractSocket::ConnectedState; ++i) {
            socket.waitForReadyRead(m_script.trickleIntervalMs);
            reply(socket, rest.mid(i % rest.size(), 1));
        }
    }

    void waitUntilStopped(QTcpSocket &socket)
    {
        while (!m_stop && socket.state() == QAbstractSocket::ConnectedState)
            socket.waitForReadyRead(20);
    }

    FaultScript m_script;
    FaultLog m_log;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_portLock;
    std::condition_variable m_portKnown;
    std::atomic<quint16> m_port{0};
};

} // namespace orv::test
