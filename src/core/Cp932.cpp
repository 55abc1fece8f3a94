#include "core/Cp932.h"

#include "core/Iconv.h"

#include <cstring>

namespace orv::cp932 {

namespace {

constexpr char kGeta[] = "\x81\xAC";            // "〓" in code page 932
constexpr char kReplacement[] = "\xEF\xBF\xBD"; // "�" in UTF-8

// One descriptor per direction and thread: the stores convert every field of every record.
Iconv &toCp932()
{
    thread_local Iconv converter("CP932", "UTF-8");
    return converter;
}

Iconv &fromCp932()
{
    thread_local Iconv converter("UTF-8", "CP932");
    return converter;
}

} // namespace

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

QByteArray encode(const QString &text)
{
    if (text.isEmpty())
        return {};
    // An unmappable character becomes the geta mark.
    return toCp932().convertLeniently(text.toUtf8(), QByteArrayView(kGeta, 2), iconvUtf8Sequence);
}

QString decode(const char *data, qsizetype size)
{
    if (size <= 0)
        return {};
    // Pure ASCII is common (padding, headers) and needs no conversion.
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = static_cast<unsigned char>(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, size);
    // An invalid or truncated byte sequence: one replacement character per byte.
    return QString::fromUtf8(fromCp932().convertLeniently(
        QByteArrayView(data, size), QByteArrayView(kReplacement, 3), iconvOneByte));
}

QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

qsizetype boundaryCut(const QByteArray &bytes, qsizetype width)
{
    if (bytes.size() <= width)
        return bytes.size();
    qsizetype i = 0;
    while (i < width) {
        const qsizetype step = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + step > width)
            break;
        i += step;
    }
    return i;
}

void writeFixedField(const QString &text, char *out, qsizetype width)
{
    const QByteArray bytes = encode(text);
    const qsizetype used = boundaryCut(bytes, width);
    std::memcpy(out, bytes.constData(), static_cast<size_t>(used));
    std::memset(out + used, ' ', static_cast<size_t>(width - used));
}

QByteArray fixedField(const QString &text, qsizetype width)
{
    QByteArray field(width, ' ');
    writeFixedField(text, field.data(), width);
    return field;
}

} // namespace orv::cp932

namespace orv {

QString cutAtNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString trimTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.left(end);
}

} // namespace orv
