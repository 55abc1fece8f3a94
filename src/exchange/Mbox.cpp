#include "exchange/Mbox.h"

namespace orv::exchange {

namespace {

bool isFromLine(const QByteArray &line)
{
    return line.startsWith("From ");
}

// ">From ", ">>From "… were quoted by the writer; plain "From " lines open messages.
bool isQuotedFromLine(const QByteArray &line)
{
    qsizetype quotes = 0;
    while (quotes < line.size() && line[quotes] == '>')
        ++quotes;
    return quotes > 0 && QByteArrayView(line).sliced(quotes).startsWith("From ");
}

void chopLineEnd(QByteArray &line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
}

} // namespace

MboxReader::MboxReader(QIODevice &device) : m_device(device) {}

bool MboxReader::readLine(QByteArray &line)
{
    if (m_device.atEnd())
        return false;
    line = m_device.readLine();
    if (line.isEmpty() && !m_device.atEnd()) {
        m_status = Status::failure(
            QStringLiteral("mboxファイルを読み込めません。（%1）").arg(m_device.errorString()));
        return false;
    }
    chopLineEnd(line);
    return true;
}

bool MboxReader::next(QByteArray &message)
{
    message.clear();
    if (m_atEnd || !m_status)
        return false;
    QByteArray line;
    while (!m_started) {
        if (!readLine(line)) {
            m_atEnd = true;
            return false;
        }
        m_started = isFromLine(line);
    }
    bool lastWasEmpty = false;
    while (readLine(line)) {
        if (isFromLine(line)) {
            if (lastWasEmpty)
                message.chop(2);
            return true;
        }
        if (isQuotedFromLine(line))
            line.remove(0, 1);
        message += line;
        message += "\r\n";
        lastWasEmpty = line.isEmpty();
    }
    m_atEnd = true;
    if (lastWasEmpty)
        message.chop(2);
    return m_status.ok();
}

bool looksLikeMbox(const QByteArray &start)
{
    return isFromLine(start);
}

qsizetype countMboxMessages(QIODevice &device)
{
    qsizetype count = 0;
    while (!device.atEnd())
        if (isFromLine(device.readLine()))
            ++count;
    return count;
}

QByteArray withCrLfLines(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 32);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            out += '\r';
        out += bytes[i];
    }
    return out;
}

} // namespace orv::exchange
