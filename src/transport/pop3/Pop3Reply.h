#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace orv::pop3 {

// One server reply: the status indicator, the rest of the status line and, for commands
// that answer with a multi-line block on success, the block's lines dot-unstuffed and
// joined with CR LF (the terminating "." line is not part of it).
struct Reply {
    bool ok = false;
    QByteArray text;
    QByteArray block;
    // Lines that arrived with a leading "." removed; a server may count those octets.
    qsizetype unstuffedLines = 0;
};

// Reads replies from the bytes of a POP3 connection as they arrive. Replies are taken in
// the order of the commands sent; the caller says for each whether a multi-line block
// follows a positive status line.
class ReplyParser {
public:
    enum class Result { Incomplete, Complete, Garbled };

    // Status lines longer than this are not POP3 (the protocol allows 512 octets).
    static constexpr qsizetype kMaxStatusLine = 8192;

    void append(QByteArrayView bytes);
    // Reads at most `maxBytes` of what `device` holds straight onto the bytes received;
    // what read() returned.
    qint64 readFrom(QIODevice &device, qint64 maxBytes);

    // Takes the next reply when it has arrived completely. A block growing beyond
    // `blockLimit` octets is Garbled, so a server that never ends a block cannot exhaust
    // memory. After Garbled the connection's state is unknown and the parser stays there.
    // `expectedBlock` is the size the server announced, room made for at once: a block
    // that grows step by step holds its old and its new copy at each step.
    Result take(bool multiLineOnSuccess, Reply &reply, qsizetype blockLimit,
                qsizetype expectedBlock = 0);

    // What made the last reply Garbled, for failure texts.
    const QByteArray &garbledReason() const { return m_garbledReason; }

    // Bytes received and not yet taken as part of a reply.
    qsizetype pendingBytes() const { return m_buffer.size() - m_position; }

private:
    bool nextLine(QByteArrayView &line);
    Result garbled(const char *reason);
    Result takeStatus(Reply &reply);
    Result takeBlock(Reply &reply, qsizetype blockLimit, qsizetype expectedBlock);
    void compact();

    QByteArray m_buffer;
    qsizetype m_position = 0;
    bool m_statusTaken = false;
    bool m_garbled = false;
    QByteArray m_garbledReason;
    Reply m_current;
};

} // namespace orv::pop3
