#include "core/Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace orv::cp932 {

namespace {

constexpr char kGeta[] = "\x81\xAC"; // "〓" in code page 932

// One iconv conversion descriptor per direction and thread: opening them costs more than
// converting a record, and iconv_t is not safe to share between threads.
class Converter {
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    iconv_t get()
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return m_cd;
    }

private:
    iconv_t m_cd;
};

iconv_t toCp932()
{
    thread_local Converter converter("CP932", "UTF-8");
    return converter.get();
}

iconv_t fromCp932()
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter.get();
}

int utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
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
    QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.resize(utf8.size() * 2 + 8);

    iconv_t cd = toCp932();
    char *in = utf8.data();
    size_t inLeft = static_cast<size_t>(utf8.size());
    char *outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
            continue;
        }
        // An unmappable or broken character: write the geta mark in its place.
        const int skip = std::min<int>(utf8SequenceLength(static_cast<unsigned char>(*in)),
                                       static_cast<int>(inLeft));
        in += skip;
        inLeft -= static_cast<size_t>(skip);
        if (outLeft < 2) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = static_cast<size_t>(out.size() - used);
        }
        std::memcpy(outPtr, kGeta, 2);
        outPtr += 2;
        outLeft -= 2;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(outPtr - out.data());
    return out;
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

    QByteArray utf8;
    utf8.resize(size * 3 + 8);
    iconv_t cd = fromCp932();
    char *in = const_cast<char *>(data);
    size_t inLeft = static_cast<size_t>(size);
    char *outPtr = utf8.data();
    size_t outLeft = static_cast<size_t>(utf8.size());
    static const char kReplacement[] = "\xEF\xBF\xBD";
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            const qsizetype used = outPtr - utf8.data();
            utf8.resize(utf8.size() * 2);
            outPtr = utf8.data() + used;
            outLeft = static_cast<size_t>(utf8.size() - used);
            continue;
        }
        // An invalid or truncated byte sequence: one replacement character per byte.
        ++in;
        --inLeft;
        if (outLeft < 3) {
            const qsizetype used = outPtr - utf8.data();
            utf8.resize(utf8.size() * 2);
            outPtr = utf8.data() + used;
            outLeft = static_cast<size_t>(utf8.size() - used);
        }
        std::memcpy(outPtr, kReplacement, 3);
        outPtr += 3;
        outLeft -= 3;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return QString::fromUtf8(utf8.constData(), outPtr - utf8.constData());
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
