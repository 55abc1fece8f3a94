#include "transport/pop3/Pop3Session.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

namespace orv::pop3 {

namespace {

// Lists and capability blocks are small; a server sending more is not a POP3 server.
constexpr qsizetype kListLimit = 64 * 1024 * 1024;

// The longest a wait goes without looking whether the run was cancelled.
constexpr int kWaitSliceMs = 25;

// Received bytes are taken a slice at a time, and the socket keeps no more than a few slices
// unread. Taken all at once, what a fast server sent while the worker was busy is held three
// times over (the socket's buffer, the read and the parser's copy), megabytes each.
constexpr qint64 kReadSliceBytes = 256 * 1024;
constexpr qint64 kSocketBufferBytes = 4 * kReadSliceBytes;

// A message may arrive larger than LIST said (servers that count LF line ends), never
// without bound.
qsizetype retrieveLimit(qint64 listedSize)
{
    return qsizetype(listedSize * 2 + 1024 * 1024);
}

QString serverText(const Reply &reply)
{
    const QString indicator = reply.ok ? QStringLiteral("+OK") : QStringLiteral("-ERR");
    if (reply.text.isEmpty())
        return indicator;
    return indicator + u' ' + QString::fromUtf8(reply.text);
}

bool holdsLineBreakOrNul(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return true;
    }
    return false;
}

QByteArray apopTimestamp(const QByteArray &greeting)
{
    const qsizetype open = greeting.indexOf('<');
    const qsizetype close = open < 0 ? -1 : greeting.indexOf('>', open);
    if (close < 0 || !greeting.mid(open, close - open).contains('@'))
        return {};
    return greeting.mid(open, close - open + 1);
}

} // namespace

Session::Session(Options options) : m_options(std::move(options)) {}

Session::~Session()
{
    abort();
}

Status Session::open(const ServerAddress &address)
{
    abort();
    m_address = address;
    m_brokenReason.clear();
    if (const Status connected = connectSocket(address); !connected)
        return connected;

    Reply greeting;
    if (const Status greeted = awaitReply(expectGreeting(), greeting); !greeted)
        return greeted;
    if (!greeting.ok)
        return broken(serverRefused(QStringLiteral("接続を拒否されました"), greeting).error());
    m_apopTimestamp = apopTimestamp(greeting.text);

    if (const Status capabilities = readCapabilities(); !capabilities)
        return capabilities;
    if (address.tls == TlsMode::Implicit)
        return Status::success();
    // A missing STLS may be the server's or the work of someone on the path who removed it
    // from the list: either way the password must not follow in the clear.
    if (m_capabilities.contains("STLS"))
        return startTls();
    if (!plaintextAllowed(address, m_socket->peerAddress()))
        return broken(noTlsOfferedText(address, MailProtocol::Pop3));
    return Status::success();
}

Status Session::connectSocket(const ServerAddress &address)
{
    m_socket = std::make_unique<QSslSocket>();
    m_socket->setReadBufferSize(kSocketBufferBytes);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!m_options.caCertificates.isEmpty())
        configuration.addCaCertificates(m_options.caCertificates);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(address.host);

    if (address.tls == TlsMode::Implicit)
        m_socket->connectToHostEncrypted(address.host, address.port);
    else
        m_socket->connectToHost(address.host, address.port);
    const bool implicitTls = address.tls == TlsMode::Implicit;
    const bool ready = waitForSocket(
        [this, implicitTls] {
            return implicitTls ? m_socket->isEncrypted()
                               : m_socket->state() == QAbstractSocket::ConnectedState;
        },
        m_options.connectTimeoutMs);
    if (!ready)
        return interrupted() ? cancelledStatus()
                             : broken(QStringLiteral("POP3サーバー「%1」に接続できません。（%2）")
                                          .arg(address.host, connectionReason()));
    // Pipelined commands are small; waiting to coalesce them only adds round trips.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return Status::success();
}

Status Session::startTls()
{
    Reply reply;
    if (const Status sent = call("STLS", reply); !sent)
        return sent;
    if (!reply.ok)
        return broken(serverRefused(QStringLiteral("暗号化通信を開始できません"), reply).error());
    // Bytes sent before the handshake were not protected by it; a server that sends any is
    // either broken or someone is injecting replies.
    if (m_parser.pendingBytes() > 0 || m_socket->bytesAvailable() > 0)
        return broken(
            QStringLiteral("POP3サーバー「%1」が暗号化の開始前に余分なデータを送りました。")
                .arg(m_address.host));
    m_socket->startClientEncryption();
    if (!waitForSocket([this] { return m_socket->isEncrypted(); }, m_options.connectTimeoutMs))
        return interrupted()
                   ? cancelledStatus()
                   : broken(
                         QStringLiteral("POP3サーバー「%1」との暗号化通信を確立できません。（%2）")
                             .arg(m_address.host, connectionReason()));
    return readCapabilities();
}

Status Session::readCapabilities()
{
    m_capabilities.clear();
    Reply reply;
    if (const Status sent = call("CAPA", reply, true); !sent)
        return sent;
    if (!reply.ok)
        return Status::success(); // an RFC 1939 server without CAPA: plain, one command at a time
    for (const QByteArray &line : reply.block.split('\n')) {
        const QByteArray name = line.trimmed().split(' ').value(0).toUpper();
        if (!name.isEmpty())
            m_capabilities.insert(name);
    }
    return Status::success();
}

Status Session::login(const QString &user, const QString &password, bool apop)
{
    if (!isOpen())
        return notConnected();
    if (holdsLineBreakOrNul(user) || holdsLineBreakOrNul(password))
        return Status::failure(
            QStringLiteral("ユーザーIDまたはパスワードに改行などの使えない文字が含まれています。"));
    const Status loggedIn =
        apop ? loginWithApop(user, password) : loginWithUserPass(user, password);
    if (!loggedIn)
        return loggedIn;
    return readMessageList();
}

Status Session::loginWithApop(const QString &user, const QString &password)
{
    if (!offersApop())
        return Status::failure(QStringLiteral("POP3サーバー「%1」はAPOPに対応していません"
                                              "（挨拶にAPOP用のタイムスタンプがありません）。"
                                              "APOPの設定を外してください。")
                                   .arg(m_address.host));
    const QByteArray digest =
        QCryptographicHash::hash(m_apopTimestamp + password.toUtf8(), QCryptographicHash::Md5)
            .toHex();
    Reply reply;
    if (const Status sent = call("APOP " + user.toUtf8() + ' ' + digest, reply); !sent)
        return sent;
    if (!reply.ok)
        return serverRefused(QStringLiteral("認証に失敗しました"), reply);
    return Status::success();
}

Status Session::loginWithUserPass(const QString &user, const QString &password)
{
    if (!pipelining()) {
        Reply reply;
        if (const Status sent = call("USER " + user.toUtf8(), reply); !sent)
            return sent;
        if (reply.ok) {
            if (const Status sent = call("PASS " + password.toUtf8(), reply); !sent)
                return sent;
        }
        return reply.ok ? Status::success()
                        : serverRefused(QStringLiteral("認証に失敗しました"), reply);
    }
    // A PASS after a refused USER is refused in turn, so both may travel together.
    const quint64 userId = send("USER " + user.toUtf8(), Kind::Simple);
    const quint64 passId = send("PASS " + password.toUtf8(), Kind::Simple);
    Reply userReply;
    Reply passReply;
    if (const Status read = awaitReply(userId, userReply); !read)
        return read;
    if (const Status read = awaitReply(passId, passReply); !read)
        return read;
    const Reply &decisive = userReply.ok ? passReply : userReply;
    return decisive.ok ? Status::success()
                       : serverRefused(QStringLiteral("認証に失敗しました"), decisive);
}

Status Session::readMessageList()
{
    const quint64 listId = send("LIST", Kind::Simple, 0, true, kListLimit);
    Reply list;
    if (!pipelining()) {
        if (const Status listed = awaitReply(listId, list); !listed)
            return listed;
    }
    const quint64 uidlId = send("UIDL", Kind::Simple, 0, true, kListLimit);
    if (pipelining()) {
        if (const Status listed = awaitReply(listId, list); !listed)
            return listed;
    }
    Reply uidl;
    if (const Status listed = awaitReply(uidlId, uidl); !listed)
        return listed;
    if (!list.ok)
        return serverRefused(QStringLiteral("メールの一覧を取得できません"), list);

    m_sizes.clear();
    for (const QByteArray &line : list.block.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() < 2)
            continue;
        bool numberOk = false;
        bool sizeOk = false;
        const int number = words[0].toInt(&numberOk);
        const qint64 size = words[1].toLongLong(&sizeOk);
        if (!numberOk || !sizeOk || number != m_sizes.size() + 1 || size < 0)
            return broken(QStringLiteral("POP3サーバー「%1」のメール一覧を解釈できません。（%2）")
                              .arg(m_address.host, QString::fromUtf8(line.trimmed().left(200))));
        m_sizes.append(size);
    }
    // UIDL is optional in POP3; without it the session simply has no unique ids.
    m_uniqueIds.clear();
    if (uidl.ok) {
        for (const QByteArray &line : uidl.block.split('\n')) {
            const QList<QByteArray> words = line.trimmed().split(' ');
            if (words.size() >= 2)
                m_uniqueIds.insert(words[0].toInt(), words[1]);
        }
    }
    return Status::success();
}

qint64 Session::messageSize(int number) const
{
    if (number < 1 || number > m_sizes.size())
        return -1;
    return m_sizes[number - 1];
}

Status Session::checkNumber(int number) const
{
    if (!isOpen())
        return notConnected();
    if (number < 1 || number > m_sizes.size())
        return Status::failure(QStringLiteral("POP3サーバー「%1」にメッセージ %2 はありません。")
                                   .arg(m_address.host)
                                   .arg(number));
    if (m_markedDeleted.contains(number))
        return Status::failure(QStringLiteral("メッセージ %1 は削除済みです。").arg(number));
    return Status::success();
}

Status Session::retrieve(int number, QByteArray &message)
{
    if (const Status valid = checkNumber(number); !valid)
        return valid;
    if (pipelining())
        requestAhead(number);
    else if (!m_arrivedMessages.contains(number))
        send("RETR " + QByteArray::number(number), Kind::Retr, number, true,
             retrieveLimit(messageSize(number)));

    while (!m_arrivedMessages.contains(number)) {
        if (const Status read = readOneReply(); !read)
            return read;
    }
    const Reply reply = m_arrivedMessages.take(number);
    if (!reply.ok)
        return serverRefused(QStringLiteral("メッセージ %1 を取得できません").arg(number), reply);
    if (const Status complete = checkComplete(number, reply); !complete)
        return complete;
    message = reply.block;
    return Status::success();
}

// Keeps RETR commands for the next messages in flight so that their replies stream in
// while the program handles the current one. Bounded by a command window and by the
// bytes held, and never past a message the program has marked.
void Session::requestAhead(int number)
{
    qint64 heldBytes = bytesAhead();
    for (int next = number; next <= messageCount(); ++next) {
        if (m_retrInFlight.size() >= m_options.pipelineWindow && next != number)
            return;
        if (m_markedDeleted.contains(next))
            continue;
        if (m_retrInFlight.contains(next) || m_arrivedMessages.contains(next))
            continue;
        const qint64 size = messageSize(next);
        if (next != number && heldBytes + size > m_options.prefetchBytes)
            return;
        send("RETR " + QByteArray::number(next), Kind::Retr, next, true, retrieveLimit(size));
        heldBytes += size;
    }
}

qint64 Session::bytesAhead() const
{
    qint64 total = 0;
    for (const int number : m_retrInFlight)
        total += messageSize(number);
    for (auto it = m_arrivedMessages.cbegin(); it != m_arrivedMessages.cend(); ++it)
        total += it.value().block.size();
    return total;
}

// LIST counts the message as stored, with CR LF line ends. Some servers also count the
// dots they add for transparency or a final line end the message lacked; anything shorter
// than that is a message cut off, never a success.
Status Session::checkComplete(int number, const Reply &reply) const
{
    const qint64 listed = messageSize(number);
    const qint64 received = reply.block.size();
    if (received + reply.unstuffedLines + 2 >= listed)
        return Status::success();
    return Status::failure(
        QStringLiteral("POP3サーバー「%1」から受け取ったメッセージ %2 が途中で切れています。"
                       "（%3 バイトのうち %4 バイト）")
            .arg(m_address.host)
            .arg(number)
            .arg(listed)
            .arg(received));
}

Status Session::markDeleted(int number)
{
    if (const Status valid = checkNumber(number); !valid)
        return valid;
    m_arrivedMessages.remove(number);
    const quint64 id = send("DELE " + QByteArray::number(number), Kind::Dele, number);
    m_markedDeleted.insert(number);
    if (pipelining())
        return Status::success(); // its reply is read with the next ones; QUIT reports failures
    Reply reply;
    if (const Status read = awaitReply(id, reply); !read)
        return read;
    if (!m_deleteFailures.isEmpty())
        return Status::failure(m_deleteFailures.takeLast());
    return Status::success();
}

Status Session::quit()
{
    if (!isOpen())
        return Status::failure(notConnected().error() +
                               QStringLiteral("削除の指示は反映されていません。"));
    // After a cancel the replies still in flight are read to reach QUIT's, within a short
    // deadline: a cancelled run must end soon, and without QUIT nothing is deleted.
    const bool afterCancel = interrupted();
    m_ignoreInterruption = true;
    m_quitDeadlineMs = afterCancel ? m_options.quitAfterCancelMs : -1;
    Reply reply;
    const Status sent = awaitReply(send("QUIT", Kind::Quit), reply);
    m_ignoreInterruption = false;
    m_quitDeadlineMs = -1;
    if (m_socket)
        m_socket->disconnectFromHost();
    abort();
    if (!sent)
        return Status::failure(sent.error() + QStringLiteral("削除の指示は反映されていません。"));
    if (!reply.ok)
        return serverRefused(QStringLiteral("メールの削除を確定できません"), reply);
    if (!m_deleteFailures.isEmpty())
        return Status::failure(m_deleteFailures.join(u'\n'));
    return Status::success();
}

void Session::abort()
{
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
    m_parser = ReplyParser();
    m_inFlight.clear();
    m_simpleReplies.clear();
    m_arrivedMessages.clear();
    m_retrInFlight.clear();
    m_markedDeleted.clear();
    m_deleteFailures.clear();
    m_sizes.clear();
    m_uniqueIds.clear();
    m_capabilities.clear();
    m_apopTimestamp.clear();
    m_windowWaitedMs = 0;
    m_windowBytes = 0;
}

bool Session::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool Session::isEncrypted() const
{
    return m_socket && m_socket->isEncrypted();
}

quint64 Session::send(const QByteArray &command, Kind kind, int number, bool multiLine,
                      qsizetype blockLimit)
{
    const quint64 id = m_nextId++;
    m_inFlight.push_back(Pending{id, kind, number, multiLine, blockLimit});
    if (kind == Kind::Retr)
        m_retrInFlight.insert(number);
    m_socket->write(command + "\r\n");
    // Deletions travel together with whatever goes out next: one write for many of them.
    if (kind != Kind::Dele)
        m_socket->flush();
    return id;
}

quint64 Session::expectGreeting()
{
    const quint64 id = m_nextId++;
    m_inFlight.push_back(Pending{id, Kind::Greeting, 0, false, 0});
    return id;
}

Status Session::call(const QByteArray &command, Reply &reply, bool multiLine)
{
    if (!isOpen())
        return notConnected();
    return awaitReply(send(command, Kind::Simple, 0, multiLine, kListLimit), reply);
}

Status Session::awaitReply(quint64 id, Reply &reply)
{
    while (!m_simpleReplies.contains(id)) {
        if (m_inFlight.empty() || m_inFlight.front().id > id)
            break; // a Retr or Dele reply, delivered elsewhere
        if (const Status read = readOneReply(); !read)
            return read;
    }
    reply = m_simpleReplies.take(id);
    return Status::success();
}

Status Session::readOneReply()
{
    if (!m_brokenReason.isEmpty())
        return Status::failure(m_brokenReason);
    if (m_inFlight.empty())
        return broken(
            QStringLiteral("POP3サーバー「%1」への要求の順序が崩れました。").arg(m_address.host));
    const Pending pending = m_inFlight.front();
    const qsizetype expectedBlock = pending.kind == Kind::Retr ? messageSize(pending.number) : 0;
    Reply reply;
    for (;;) {
        const ReplyParser::Result result =
            m_parser.take(pending.multiLine, reply, pending.blockLimit, expectedBlock);
        if (result == ReplyParser::Result::Complete)
            break;
        if (result == ReplyParser::Result::Garbled)
            return broken(
                QStringLiteral("POP3サーバー「%1」から解釈できない応答を受け取りました。（%2）")
                    .arg(m_address.host, QString::fromUtf8(m_parser.garbledReason())));
        if (const Status arrived = waitForBytes(); !arrived)
            return arrived;
    }
    m_inFlight.pop_front();
    deliver(pending, std::move(reply));
    return Status::success();
}

void Session::deliver(const Pending &pending, Reply &&reply)
{
    switch (pending.kind) {
    case Kind::Retr:
        m_retrInFlight.remove(pending.number);
        m_arrivedMessages.insert(pending.number, std::move(reply));
        break;
    case Kind::Dele:
        if (!reply.ok)
            m_deleteFailures.append(
                serverRefused(QStringLiteral("メッセージ %1 を削除できません").arg(pending.number),
                              reply)
                    .error());
        break;
    case Kind::Greeting:
    case Kind::Simple:
    case Kind::Quit:
        m_simpleReplies.insert(pending.id, std::move(reply));
        break;
    }
}

Status Session::waitForBytes()
{
    m_cancelled = false;
    if (m_socket->bytesToWrite() > 0)
        m_socket->flush();
    QElapsedTimer silence;
    silence.start();
    while (m_socket->bytesAvailable() == 0) {
        if (interrupted())
            return cancelledStatus();
        QElapsedTimer slice;
        slice.start();
        const bool arrived = m_socket->waitForReadyRead(kWaitSliceMs);
        m_windowWaitedMs += slice.elapsed();
        if (arrived)
            break;
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            return broken(QStringLiteral("POP3サーバー「%1」との接続が切れました。（%2）")
                              .arg(m_address.host, m_socket->errorString()));
        const qint64 limit = m_quitDeadlineMs >= 0
                                 ? qMin<qint64>(m_quitDeadlineMs, m_options.stallTimeoutMs)
                                 : m_options.stallTimeoutMs;
        if (silence.elapsed() >= limit)
            return broken(QStringLiteral("POP3サーバー「%1」から %2 秒間応答がありません。")
                              .arg(m_address.host)
                              .arg(limit / 1000.0));
        if (const Status rate = checkTransferRate(); !rate)
            return rate;
    }
    m_windowBytes += qMax<qint64>(m_parser.readFrom(*m_socket, kReadSliceBytes), 0);
    return checkTransferRate();
}

// The rate is measured over the time spent waiting for the server only: the time the
// program takes to store a message is not the server's fault.
Status Session::checkTransferRate()
{
    if (m_windowWaitedMs < m_options.rateWindowMs)
        return Status::success();
    if (m_windowBytes < m_options.minimumBytesPerWindow)
        return broken(QStringLiteral("POP3サーバー「%1」からの受信が遅すぎるため中断しました。"
                                     "（%2 秒間に %3 バイト）")
                          .arg(m_address.host)
                          .arg(m_windowWaitedMs / 1000.0)
                          .arg(m_windowBytes));
    m_windowWaitedMs = 0;
    m_windowBytes = 0;
    return Status::success();
}

// Runs this thread's events until `done` holds, `timeoutMs` passes or the thread is asked
// to stop; Qt's own waitForConnected cannot be cut into slices, it gives up the attempt.
bool Session::waitForSocket(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(kWaitSliceMs);
    QEventLoop loop;
    while (!done()) {
        if (interrupted() || deadline.hasExpired() ||
            m_socket->state() == QAbstractSocket::UnconnectedState)
            return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool Session::interrupted() const
{
    return !m_ignoreInterruption && QThread::currentThread()->isInterruptionRequested();
}

Status Session::cancelledStatus()
{
    m_cancelled = true;
    return Status::failure(QStringLiteral("受信を中止しました。"));
}

Status Session::broken(const QString &message)
{
    m_brokenReason = message;
    if (m_socket)
        m_socket->abort();
    return Status::failure(message);
}

Status Session::notConnected() const
{
    if (m_brokenReason.isEmpty())
        return Status::failure(QStringLiteral("POP3サーバーに接続していません。"));
    return Status::failure(m_brokenReason);
}

Status Session::serverRefused(const QString &action, const Reply &reply) const
{
    return Status::failure(QStringLiteral("POP3サーバー「%1」で%2。サーバーの応答: %3")
                               .arg(m_address.host, action, serverText(reply)));
}

QString Session::connectionReason() const
{
    if (m_socket->error() == QAbstractSocket::SocketTimeoutError)
        return QStringLiteral("%1 秒以内に応答がありません")
            .arg(m_options.connectTimeoutMs / 1000.0);
    const QList<QSslError> sslErrors = m_socket->sslHandshakeErrors();
    if (!sslErrors.isEmpty()) {
        QStringList reasons;
        for (const QSslError &error : sslErrors)
            reasons.append(error.errorString());
        return QStringLiteral("証明書を確認できません: ") + reasons.join(QStringLiteral("、"));
    }
    return m_socket->errorString();
}

} // namespace orv::pop3
