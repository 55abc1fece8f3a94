#include "exchange/Mbox.h"

#include <algorithm>

namespace orv::exchange {

namespace {

// Read a megabyte at a time: a message of hundreds of megabytes passes through a buffer of
// this size plus its own bytes.
constexpr qint64 kChunkBytes = qint64(1) << 20;

bool isFromLine(QByteArrayView line)
{
    return line.startsWith("From ");
}

// ">From ", ">>From "… were quoted by the writer; plain "From " lines open messages.
bool isQuotedFromLine(QByteArrayView line)
{
    qsizetype quotes = 0;
    while (quotes < line.size() && line[quotes] == '>')
        ++quotes;
    return quotes > 0 && line.sliced(quotes).startsWith("From ");
}

bool isBlank(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// The characters of a field name (RFC 5322 ftext): printable ASCII but the colon.
bool isFieldNameCharacter(char c)
{
    return c >= 33 && c <= 126 && c != ':';
}

// "Name:" followed by a blank or the line's end, as every real header writes it; a line such
// as "root:x:0:0" (a password file) is no field.
bool isFieldLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    if (!std::all_of(line.begin(), line.begin() + colon, isFieldNameCharacter))
        return false;
    return colon + 1 == line.size() || line[colon + 1] == ' ' || line[colon + 1] == '\t';
}

} // namespace

MailFileReader::MailFileReader(QIODevice &device) : m_device(device) {}

bool MailFileReader::fill()
{
    if (m_deviceEnded)
        return false;
    m_buffer.remove(0, m_position);
    m_position = 0;
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + kChunkBytes);
    const qint64 got = m_device.read(m_buffer.data() + had, kChunkBytes);
    m_buffer.resize(had + qMax<qint64>(got, 0));
    if (got < 0)
        m_status = Status::failure(
            QStringLiteral("ファイルを読み込めません。（%1）").arg(m_device.errorString()));
    if (got <= 0)
        m_deviceEnded = true;
    return got > 0;
}

// A line without its end; false at the end of the input.
bool MailFileReader::readLine(QByteArray &line)
{
    qsizetype scanned = 0; // the bytes after m_position known to hold no line end
    for (;;) {
        const char *begin = m_buffer.constData() + m_position;
        const char *end = m_buffer.constData() + m_buffer.size();
        const char *found =
            std::find_if(begin + scanned, end, [](char c) { return c == '\n' || c == '\r'; });
        // A CR at the buffer's end may be the first half of CR LF: the next chunk tells.
        const bool undecided = found != end && *found == '\r' && found + 1 == end && !m_deviceEnded;
        if (found != end && !undecided) {
            line = QByteArray(begin, found - begin);
            const bool crLf = *found == '\r' && found + 1 != end && found[1] == '\n';
            m_position += (found - begin) + (crLf ? 2 : 1);
            return true;
        }
        scanned = found - begin;
        if (fill() || undecided)
            continue;
        // The input ended: what is left is its last line, without a line end.
        const qsizetype rest = m_buffer.size() - m_position;
        if (rest == 0)
            return false;
        line = m_buffer.mid(m_position);
        m_position = m_buffer.size();
        return true;
    }
}

// Skips the byte order mark and the blank lines before the first line with text, which
// decides what kind of file this is.
bool MailFileReader::findFirstLine(QByteArray &line)
{
    bool first = true;
    while (readLine(line)) {
        if (first && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        first = false;
        if (!isBlank(line))
            return true;
    }
    return false;
}

bool MailFileReader::next(QByteArray &message)
{
    message.clear();
    if (m_atEnd || !m_status)
        return false;
    if (!m_started) {
        m_started = true;
        if (!findFirstLine(m_heldLine)) {
            m_atEnd = true;
            return false;
        }
        m_mbox = isFromLine(m_heldLine);
        m_holding = !m_mbox;
    }
    if (m_holding) {
        message += m_heldLine;
        message += "\r\n";
        m_holding = false;
    }
    bool lastWasEmpty = false;
    QByteArray line;
    while (readLine(line)) {
        if (m_mbox && isFromLine(line)) {
            if (lastWasEmpty)
                message.chop(2);
            return true;
        }
        if (m_mbox && isQuotedFromLine(line))
            line.remove(0, 1);
        message += line;
        message += "\r\n";
        lastWasEmpty = line.isEmpty();
    }
    m_atEnd = true;
    if (m_mbox && lastWasEmpty)
        message.chop(2);
    return m_status.ok();
}

qsizetype MailFileReader::countMessages(QIODevice &device)
{
    MailFileReader reader(device);
    QByteArray line;
    if (!reader.findFirstLine(line))
        return 0;
    if (!isFromLine(line))
        return 1;
    qsizetype count = 1;
    while (reader.readLine(line))
        if (isFromLine(line))
            ++count;
    return count;
}

bool hasHeaderBlock(const QByteArray &message)
{
    qsizetype start = 0;
    bool firstLine = true;
    bool anyField = false;
    while (start < message.size()) {
        qsizetype end = message.indexOf("\r\n", start);
        if (end < 0)
            end = message.size();
        const QByteArrayView line = QByteArrayView(message).sliced(start, end - start);
        if (line.isEmpty())
            break;
        const bool continuation = line[0] == ' ' || line[0] == '\t';
        // The first line names a field; later ones may be fields or their continuations.
        if (firstLine && (continuation || !line.contains(':')))
            return false;
        if (!continuation && !line.contains(':'))
            return false;
        anyField = anyField || isFieldLine(line);
        firstLine = false;
        start = end + 2;
    }
    return anyField;
}

} // namespace orv::exchange
