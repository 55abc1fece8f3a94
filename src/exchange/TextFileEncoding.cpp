#include "exchange/TextFileEncoding.h"

#include "core/Cp932.h"
#include "transport/mime/Charsets.h"

#include <QStringDecoder>

#include <optional>

namespace orv::exchange {

namespace {

const QByteArray kUtf8Bom = "\xEF\xBB\xBF";
const QByteArray kUtf16LeBom = "\xFF\xFE";
const QByteArray kUtf16BeBom = "\xFE\xFF";

std::optional<QString> strictly(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char byte : bytes)
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    return true;
}

int lineOfOffset(QByteArrayView bytes, qsizetype offset)
{
    return static_cast<int>(bytes.first(offset).count('\n')) + 1;
}

// The line number where the bytes first stop reading as `encoding`.
int firstUnreadableLine(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        if (!strictly(encoding, bytes.sliced(start, end - start)))
            return lineOfOffset(bytes, start);
        start = end;
    }
    return lineOfOffset(bytes, bytes.size());
}

Status refusedAt(int line, const QString &problem)
{
    return Status::failure(
        QStringLiteral("%1 行目で文字コードが合いません: %2").arg(line).arg(problem));
}

DecodedText utf16(QStringDecoder::Encoding encoding, QByteArrayView bytes)
{
    if (std::optional<QString> text = strictly(encoding, bytes))
        return {Status::success(), *text};
    return {Status::failure(
                QStringLiteral("UTF-16 の BOM がありますが、UTF-16 として読めない所があります。")),
            {}};
}

// Code page 932, the encoding of older Japanese programs, for a file that is not UTF-8.
// A line that is UTF-8 on its own means the file mixes the two, and a line that is not code
// page 932 either means it is neither.
DecodedText codePage932(QByteArrayView bytes)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const QByteArrayView line = bytes.sliced(start, end - start);
        if (!isAscii(line) && strictly(QStringDecoder::Utf8, line))
            return {refusedAt(lineOfOffset(bytes, start),
                              QStringLiteral("この行は UTF-8 で、ほかの行はシフトJIS "
                                             "(コードページ932) です。ファイル全体を一つの"
                                             "文字コードで保存し直して下さい。")),
                    {}};
        if (cp932::decode(line.data(), line.size()).contains(QChar::ReplacementCharacter))
            return {refusedAt(lineOfOffset(bytes, start),
                              QStringLiteral("UTF-8 としてもシフトJIS (コードページ932) として"
                                             "も読めないバイトがあります。")),
                    {}};
        start = end;
    }
    return {Status::success(), cp932::decode(bytes.data(), bytes.size())};
}

} // namespace

DecodedText decodeTextFile(const QByteArray &bytes)
{
    if (bytes.startsWith(kUtf16LeBom))
        return utf16(QStringDecoder::Utf16LE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith(kUtf16BeBom))
        return utf16(QStringDecoder::Utf16BE, QByteArrayView(bytes).sliced(2));
    if (bytes.startsWith(kUtf8Bom)) {
        const QByteArrayView rest = QByteArrayView(bytes).sliced(kUtf8Bom.size());
        if (std::optional<QString> text = strictly(QStringDecoder::Utf8, rest))
            return {Status::success(), *text};
        return {refusedAt(firstUnreadableLine(QStringDecoder::Utf8, rest),
                          QStringLiteral("UTF-8 の BOM がありますが、UTF-8 として読めないバイト"
                                         "があります。")),
                {}};
    }
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        return {refusedAt(lineOfOffset(bytes, nul),
                          QStringLiteral("NUL バイトがあります。BOM のない UTF-16 か、文字の"
                                         "ファイルではありません。UTF-8 か BOM 付きの UTF-16 "
                                         "で保存し直して下さい。")),
                {}};
    if (std::optional<QString> text = strictly(QStringDecoder::Utf8, bytes))
        return {Status::success(), *text};
    return codePage932(bytes);
}

QString decodeLabelledText(const QByteArray &bytes, const QByteArray &charset)
{
    if (!charset.isEmpty())
        return mime::charsets::decode(bytes, charset);
    if (std::optional<QString> text = strictly(QStringDecoder::Utf8, bytes))
        return *text;
    return cp932::decode(bytes);
}

} // namespace orv::exchange
