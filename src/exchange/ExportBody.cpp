#include "exchange/ExportBody.h"

#include "transport/mime/MailCharset.h"
#include "transport/mime/QuotedPrintable.h"

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
constexpr qsizetype kBase64Line = 76;

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isAsciiText(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool hasControlCharacters(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == u'\t')
            continue;
        // Only CR LF pairs are line ends; a lone CR or LF would not survive LF mbox lines.
        if (u == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
            continue;
        }
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / kBase64Line * 2 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += kBase64Line)
        lines += encoded.mid(i, kBase64Line) + kCrLf;
    return lines;
}

} // namespace

BodyPart bodyPart(const QString &text)
{
    BodyPart part;
    if (isAsciiText(text)) {
        part = {"us-ascii", {}, text.toLatin1()};
    } else {
        mime::MailText inCharset = mime::inMailCharset(text, mime::WindowsForms::Kept);
        part = {std::move(inCharset.charset), {}, std::move(inCharset.bytes)};
    }
    // A received body that mentions "attachment" gets the attachment notice; an exported
    // one must not gain it when it is imported again.
    if (part.content.contains("attachment") || hasControlCharacters(text) ||
        mime::hasOverlongLine(part.content)) {
        part.encoding = "base64";
        part.content = base64Lines(part.content);
    } else if (!part.content.isEmpty() && !part.content.endsWith(kCrLf)) {
        // The last line ends in a soft break: the text ends without a line end, and an mbox,
        // which ends every message with one, cannot change that.
        part.encoding = "quoted-printable";
        part.content = mime::quotedPrintable(part.content) + "=\r\n";
    } else {
        part.encoding = isAscii(part.content) ? "7bit" : "8bit";
    }
    return part;
}

} // namespace orv::exchange
