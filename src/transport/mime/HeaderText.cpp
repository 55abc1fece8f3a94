#include "transport/mime/HeaderText.h"

#include "transport/mime/Charsets.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

#include <map>

namespace orv::mime::headers {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray unfold(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '\r' && c != '\n')
            out += c;
    return out.trimmed();
}

// "%XX" and, for the Q encoding, "=XX"; a broken escape stays as it is.
QByteArray unescapeHex(const QByteArray &text, char escape, bool underscoreIsSpace)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == escape && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += (underscoreIsSpace && c == '_') ? ' ' : c;
    }
    return out;
}

struct EncodedWord {
    QByteArray charset;
    QByteArray bytes;
};

EncodedWord decodeEncodedWord(const QByteArray &charset, char encoding, const QByteArray &text)
{
    // RFC 2231 lets a language follow the charset: "ISO-2022-JP*ja".
    EncodedWord word{charset.split('*').first(), {}};
    if (encoding == 'B' || encoding == 'b')
        word.bytes = QByteArray::fromBase64(text);
    else
        word.bytes = unescapeHex(text, '=', true);
    return word;
}

const QRegularExpression &encodedWordPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?]*)\?=)"));
    return pattern;
}

} // namespace

namespace {

// "Name:" with a name of visible ASCII; anything else starts the text, not a header.
bool startsWithHeaderField(const QByteArray &rawMessage)
{
    for (qsizetype i = 0; i < rawMessage.size(); ++i) {
        const auto c = static_cast<unsigned char>(rawMessage[i]);
        if (c == ':')
            return i > 0;
        if (c <= ' ' || c > '~')
            return false;
    }
    return false;
}

} // namespace

QByteArray headerBlock(const QByteArray &rawMessage)
{
    if (!startsWithHeaderField(rawMessage))
        return {};
    qsizetype end = rawMessage.size();
    for (qsizetype i = 0; i < rawMessage.size(); ++i) {
        if (rawMessage[i] != '\n')
            continue;
        const qsizetype next = i + 1;
        if (next < rawMessage.size() && rawMessage[next] == '\n') {
            end = next;
            break;
        }
        if (next + 1 < rawMessage.size() && rawMessage[next] == '\r' &&
            rawMessage[next + 1] == '\n') {
            end = next;
            break;
        }
    }
    return rawMessage.left(end);
}

std::optional<QByteArray> fieldValue(const QByteArray &block, const QByteArray &name)
{
    const QByteArray wanted = name.toLower();
    const QList<QByteArray> lines = block.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != wanted)
            continue;
        QByteArray value = line.mid(colon + 1);
        while (i + 1 < lines.size() && !lines[i + 1].isEmpty() && isBlank(lines[i + 1][0]))
            value += '\n' + lines[++i];
        return unfold(value);
    }
    return std::nullopt;
}

QString decodeText(const QByteArray &rawValue)
{
    const QString latin = QString::fromLatin1(rawValue);
    QString text;
    QByteArray pendingCharset;
    QByteArray pendingBytes;
    const auto flushWords = [&] {
        if (!pendingBytes.isEmpty() || !pendingCharset.isEmpty())
            text += charsets::decode(pendingBytes, pendingCharset);
        pendingCharset.clear();
        pendingBytes.clear();
    };
    const auto appendPlain = [&](const QByteArray &plain) {
        if (!plain.isEmpty())
            text += charsets::decode(plain, QByteArray());
    };

    qsizetype position = 0;
    bool afterWord = false;
    auto matches = encodedWordPattern().globalMatch(latin);
    while (matches.hasNext()) {
        const auto match = matches.next();
        const QByteArray between = rawValue.mid(position, match.capturedStart() - position);
        // Blanks between two encoded words are folding, not text.
        const bool onlyBlanks = between.trimmed().isEmpty();
        const auto word =
            decodeEncodedWord(match.captured(1).toLatin1(), match.captured(2).at(0).toLatin1(),
                              match.captured(3).toLatin1());
        position = match.capturedEnd();
        if (!(afterWord && onlyBlanks)) {
            flushWords();
            appendPlain(between);
        }
        if (word.charset.toLower() != pendingCharset.toLower())
            flushWords();
        pendingCharset = word.charset;
        pendingBytes += word.bytes;
        afterWord = true;
    }
    flushWords();
    appendPlain(rawValue.mid(position));
    return text;
}

namespace {

bool isShiftJisLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(decoder(bytes));
    return !decoder.hasError();
}

// Which bytes of a raw 8-bit value belong to a double-byte character: there a 0x5C is the
// second byte of "ソ" or "表" and a 0x22 or 0x3B half of a JIS character, never a quoting
// escape, a closing quote or a separator. Raw ISO-2022-JP is read with its shift state,
// raw text that is not UTF-8 as code page 932.
QList<bool> insideCharacters(const QByteArray &value)
{
    QList<bool> inside(value.size(), false);
    if (value.contains('\x1b')) {
        bool doubleByte = false;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\x1b' && i + 2 < value.size()) {
                if (value[i + 1] == '$')
                    doubleByte = true;
                else if (value[i + 1] == '(')
                    doubleByte = false;
                inside[i] = inside[i + 1] = inside[i + 2] = true;
                i += 2;
                if (value[i] == '(' && i + 1 < value.size())
                    inside[++i] = true; // ESC $ ( D
                continue;
            }
            inside[i] = doubleByte;
        }
        return inside;
    }
    const bool eightBit =
        std::any_of(value.begin(), value.end(), [](char c) { return (c & 0x80) != 0; });
    if (!eightBit || isValidUtf8(value))
        return inside;
    for (qsizetype i = 0; i + 1 < value.size(); ++i) {
        if (isShiftJisLeadByte(static_cast<unsigned char>(value[i]))) {
            inside[i] = inside[i + 1] = true;
            ++i;
        }
    }
    return inside;
}

// Splits "type/subtype; a=1; b=\"x;y\"" into its parameters, keeping quotes intact.
QList<QByteArray> splitParameters(const QByteArray &value)
{
    const QList<bool> inside = insideCharacters(value);
    QList<QByteArray> parts;
    QByteArray current;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (inside[i]) {
            current += c;
            continue;
        }
        if (quoted && c == '\\' && i + 1 < value.size()) {
            current += c;
            current += value[++i];
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            parts.append(current.trimmed());
            current.clear();
            continue;
        }
        current += c;
    }
    parts.append(current.trimmed());
    parts.removeFirst(); // the type itself
    return parts;
}

QByteArray unquote(const QByteArray &value)
{
    if (!value.startsWith('"'))
        return value;
    const QList<bool> inside = insideCharacters(value);
    QByteArray out;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (inside[i])
            out += c;
        else if (c == '"')
            break;
        else if (c == '\\' && i + 1 < value.size())
            out += value[++i];
        else
            out += c;
    }
    return out;
}

struct ExtendedSegment {
    QByteArray bytes;
    bool percentEncoded = false;
};

// RFC 2231 segments of one parameter, joined; the first encoded segment names the charset.
QString joinExtendedSegments(const std::map<int, ExtendedSegment> &segments)
{
    QByteArray charset;
    QByteArray bytes;
    bool anyEncoded = false;
    for (const auto &[index, segment] : segments) {
        QByteArray piece = segment.bytes;
        if (segment.percentEncoded) {
            if (!anyEncoded) {
                const QList<QByteArray> fields = piece.split('\'');
                if (fields.size() >= 3) {
                    charset = fields[0];
                    piece = piece.mid(fields[0].size() + fields[1].size() + 2);
                }
            }
            anyEncoded = true;
            piece = unescapeHex(piece, '%', false);
        }
        bytes += piece;
    }
    return anyEncoded ? charsets::decode(bytes, charset) : decodeText(bytes);
}

} // namespace

std::optional<QString> parameter(const QByteArray &rawFieldValue, const QByteArray &name)
{
    const QByteArray wanted = name.toLower();
    std::optional<QByteArray> plain;
    std::map<int, ExtendedSegment> extended;
    for (const QByteArray &part : splitParameters(unfold(rawFieldValue))) {
        const qsizetype equals = part.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = part.left(equals).trimmed().toLower();
        const QByteArray value = unquote(part.mid(equals + 1).trimmed());
        if (key == wanted) {
            plain = value;
            continue;
        }
        if (!key.startsWith(wanted + '*'))
            continue;
        QByteArray suffix = key.mid(wanted.size() + 1); // "", "0", "0*", "1"...
        const bool percentEncoded = suffix.isEmpty() || suffix.endsWith('*');
        if (suffix.endsWith('*'))
            suffix.chop(1);
        bool numbered = false;
        const int index = suffix.isEmpty() ? 0 : suffix.toInt(&numbered);
        if (!suffix.isEmpty() && (!numbered || index < 0))
            continue;
        extended[index] = ExtendedSegment{value, percentEncoded};
    }
    if (!extended.empty())
        return joinExtendedSegments(extended);
    if (plain)
        return decodeText(*plain);
    return std::nullopt;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace orv::mime::headers
