#include "transport/mime/EncodedWords.h"

#include "transport/mime/Charsets.h"
#include "transport/mime/MailCharset.h"

namespace orv::mime {

namespace {

// RFC 2047 allows 75 characters a word; shorter words keep "Subject: " and the first word
// within a 76-character line.
constexpr qsizetype kMaxEncodedWord = 66;
// "=?UTF-8?B?" and "?=" leave 54 characters of base64: 39 bytes.
constexpr qsizetype kUtf8WordBytes = 39;

bool isPlainHeaderCharacter(char16_t c)
{
    return c >= 0x20 && c <= 0x7E;
}

bool isUtf8Continuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Splits `text` into words that each hold whole characters in a complete charset state:
// every piece is encoded anew, as a stateful charset needs.
QList<QByteArray> statefulWords(const QString &text, const QByteArray &charset,
                                QByteArray (*encode)(const QString &))
{
    const QByteArray prefix = "=?" + charset + "?B?";
    const auto wordFor = [&](const QString &piece) {
        return prefix + encode(piece).toBase64() + "?=";
    };
    QList<QByteArray> words;
    QString piece;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString next = piece + text.mid(i, length);
        if (!piece.isEmpty() && wordFor(next).size() > kMaxEncodedWord) {
            words.append(wordFor(piece));
            piece.clear();
            continue;
        }
        piece = next;
        i += length;
    }
    if (!piece.isEmpty())
        words.append(wordFor(piece));
    return words;
}

// Only for text known to fit.
QByteArray inIso2022Jp(const QString &text)
{
    return charsets::encodeIso2022Jp(text).value_or(QByteArray());
}

} // namespace

bool isPlainHeaderText(const QString &text)
{
    for (QChar c : text)
        if (!isPlainHeaderCharacter(c.unicode()))
            return false;
    return !text.contains(QStringLiteral("=?"));
}

bool isPlainHeaderText(QByteArrayView bytes)
{
    for (char c : bytes)
        if (!isPlainHeaderCharacter(static_cast<unsigned char>(c)))
            return false;
    return !bytes.contains("=?");
}

QList<QByteArray> utf8EncodedWords(const QString &text)
{
    return utf8EncodedWords(QByteArrayView(text.toUtf8()));
}

QList<QByteArray> utf8EncodedWords(QByteArrayView utf8)
{
    QList<QByteArray> words;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = start;
        while (end < utf8.size()) {
            qsizetype next = end + 1;
            while (next < utf8.size() && isUtf8Continuation(utf8[next]))
                ++next;
            if (next - start > kUtf8WordBytes && end > start)
                break;
            end = next;
        }
        words.append("=?UTF-8?B?" + utf8.sliced(start, end - start).toByteArray().toBase64() +
                     "?=");
        start = end;
    }
    return words;
}

QList<QByteArray> encodedWords(const QString &text)
{
    if (inMailCharset(text, WindowsForms::AsJisForms).charset == kIso2022Jp)
        return statefulWords(text, kIso2022Jp, inIso2022Jp);
    return utf8EncodedWords(text);
}

FoldedValue::FoldedValue(const QByteArray &fieldName) : m_column(fieldName.size() + 1) {}

void FoldedValue::add(const QByteArray &piece)
{
    // An empty piece stands for a second blank in a row; folding there would leave a line of
    // nothing but blanks.
    if (m_column + 1 + piece.size() > kMaxHeaderLine && !piece.isEmpty()) {
        m_value += '\n';
        m_column = 0;
    }
    m_value += ' ' + piece;
    m_column += 1 + piece.size();
}

void FoldedValue::add(const QList<QByteArray> &pieces)
{
    for (const QByteArray &piece : pieces)
        add(piece);
}

} // namespace orv::mime
