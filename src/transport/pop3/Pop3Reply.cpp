#include "transport/pop3/Pop3Reply.h"

#include <QIODevice>

namespace orv::pop3 {

namespace {

bool startsWithWord(QByteArrayView line, QByteArrayView word)
{
    return line.startsWith(word) && (line.size() == word.size() || line.at(word.size()) == ' ');
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

} // namespace

void ReplyParser::append(QByteArrayView bytes)
{
    m_buffer.append(bytes);
}

qint64 ReplyParser::readFrom(QIODevice &device, qint64 maxBytes)
{
    const qsizetype held = m_buffer.size();
    m_buffer.resize(held + maxBytes);
    const qint64 read = device.read(m_buffer.data() + held, maxBytes);
    m_buffer.resize(held + qMax<qint64>(read, 0));
    return read;
}

ReplyParser::Result ReplyParser::take(bool multiLineOnSuccess, Reply &reply, qsizetype blockLimit,
                                      qsizetype expectedBlock)
{
    if (m_garbled)
        return Result::Garbled;
    if (!m_statusTaken) {
        const Result status = takeStatus(m_current);
        if (status != Result::Complete)
            return status;
        m_statusTaken = true;
    }
    if (multiLineOnSuccess && m_current.ok) {
        const Result block = takeBlock(m_current, blockLimit, expectedBlock);
        if (block != Result::Complete)
            return block;
    }
    reply = std::move(m_current);
    m_current = Reply();
    m_statusTaken = false;
    compact();
    return Result::Complete;
}

bool ReplyParser::nextLine(QByteArrayView &line)
{
    const qsizetype end = m_buffer.indexOf('\n', m_position);
    if (end < 0)
        return false;
    line = withoutLineEnd(QByteArrayView(m_buffer).sliced(m_position, end - m_position));
    m_position = end + 1;
    return true;
}

ReplyParser::Result ReplyParser::garbled(const char *reason)
{
    m_garbled = true;
    m_garbledReason = reason;
    return Result::Garbled;
}

ReplyParser::Result ReplyParser::takeStatus(Reply &reply)
{
    QByteArrayView line;
    if (!nextLine(line)) {
        if (pendingBytes() > kMaxStatusLine)
            return garbled("status line too long");
        return Result::Incomplete;
    }
    if (line.size() > kMaxStatusLine)
        return garbled("status line too long");
    if (startsWithWord(line, "+OK")) {
        reply.ok = true;
        reply.text = line.sliced(3).trimmed().toByteArray();
    } else if (startsWithWord(line, "-ERR")) {
        reply.ok = false;
        reply.text = line.sliced(4).trimmed().toByteArray();
    } else {
        m_garbledReason = line.first(qMin<qsizetype>(line.size(), 200)).toByteArray();
        m_garbled = true;
        return Result::Garbled;
    }
    return Result::Complete;
}

ReplyParser::Result ReplyParser::takeBlock(Reply &reply, qsizetype blockLimit,
                                           qsizetype expectedBlock)
{
    // Room that is never written costs address space only; a server announcing a size past
    // any real message gets none reserved and grows the block as it comes.
    constexpr qsizetype kMostReserved = qsizetype(1) << 30;
    if (reply.block.isEmpty() && expectedBlock > 0 && expectedBlock <= kMostReserved)
        reply.block.reserve(expectedBlock);
    QByteArrayView line;
    while (nextLine(line)) {
        if (line == ".")
            return Result::Complete;
        if (line.startsWith('.')) {
            line = line.sliced(1);
            ++reply.unstuffedLines;
        }
        if (reply.block.size() + line.size() + 2 > blockLimit)
            return garbled("multi-line reply longer than announced");
        reply.block.append(line);
        reply.block.append("\r\n");
    }
    if (reply.block.size() + pendingBytes() > blockLimit)
        return garbled("multi-line reply longer than announced");
    compact();
    return Result::Incomplete;
}

void ReplyParser::compact()
{
    if (m_position == 0)
        return;
    if (m_position == m_buffer.size()) {
        m_buffer.clear();
        m_position = 0;
    } else if (m_position > 65536 && m_position * 2 > m_buffer.size()) {
        m_buffer.remove(0, m_position);
        m_position = 0;
    }
}

} // namespace orv::pop3
