#include "transport/mime/QuotedPrintable.h"

namespace orv::mime {

namespace {

constexpr qsizetype kLineLength = 76;

bool standsForItself(unsigned char c, bool atLineEnd)
{
    return (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
}

} // namespace

QByteArray quotedPrintable(const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3 + 8);
    qsizetype lineLength = 0;
    // A soft break's "=" takes the last place of a line.
    const auto put = [&](const char *token, qsizetype size) {
        if (lineLength + size > kLineLength - 1) {
            out += "=\r\n";
            lineLength = 0;
        }
        out.append(token, size);
        lineLength += size;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += "\r\n";
            lineLength = 0;
            ++i;
            continue;
        }
        const bool atLineEnd = i + 1 == bytes.size() || bytes[i + 1] == '\r';
        if (standsForItself(c, atLineEnd)) {
            put(bytes.constData() + i, 1);
        } else {
            const char escaped[3] = {'=', hex[c >> 4], hex[c & 15]};
            put(escaped, 3);
        }
    }
    return out;
}

bool hasOverlongLine(const QByteArray &bytes)
{
    constexpr qsizetype kMaxLineBytes = 998;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\n')
            continue;
        if (i - lineStart > kMaxLineBytes)
            return true;
        lineStart = i + 1;
    }
    return false;
}

} // namespace orv::mime
