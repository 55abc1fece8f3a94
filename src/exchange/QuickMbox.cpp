#include "exchange/QuickMbox.h"

#include "exchange/Cp932CodeTable.h"
#include "exchange/ExportHeaderValues.h"
#include "exchange/RecordFields.h"
#include "store/MailRecord.h"
#include "transport/mime/EncodedWords.h"
#include "transport/mime/MailDate.h"

#include <cstring>
#include <optional>

namespace orv::exchange {

namespace {

// Longer lines could pass 998 bytes once encoded; they go the careful way.
constexpr qsizetype kQuickLineBytes = 300;

enum class BodyCharset { Ascii, Jis, Utf8 };

// Whether a line (its code page 932 bytes) is one mboxrd quotes: any number of ">" and then
// "From ". Its first bytes are ASCII in every charset the body takes.
bool needsQuote(const unsigned char *line, const unsigned char *end)
{
    while (line < end && *line == '>')
        ++line;
    return end - line >= 5 && std::memcmp(line, "From ", 5) == 0;
}

// The body in one pass: its charset, and its bytes in that charset with LF lines and mboxrd
// quoting, when every line ends in CR LF, none is long, no control character occurs and every
// character is known. Written as ISO-2022-JP until a character JIS lacks turns up; then the
// caller asks again for UTF-8. Through a pointer into room made beforehand: no byte takes more
// than four (an ASCII byte after JIS text, with the escape), and a line one more for its quote.
enum class BodyPass { Written, WantsUtf8, Careful };

BodyPass writeQuickBody(QByteArray &out, QByteArrayView body, bool utf8, const CodeTable &table,
                        BodyCharset &charset)
{
    out.resize(body.size() * 5 + 8);
    char *to = out.data();
    const auto put = [&to](const char *bytes, size_t size) {
        std::memcpy(to, bytes, size);
        to += size;
    };
    const auto *at = reinterpret_cast<const unsigned char *>(body.data());
    const auto *end = at + body.size();
    const unsigned char *lineStart = at;
    bool inJis = false;
    bool anyJis = false;
    bool quoteChecked = false;
    while (at < end) {
        if (!quoteChecked && needsQuote(at, end))
            *to++ = '>';
        quoteChecked = true;
        const unsigned char byte = *at;
        if (byte < 0x80) {
            if (inJis) {
                put("\x1B(B", 3);
                inJis = false;
            }
            if (byte == '\r') {
                if (end - at < 2 || at[1] != '\n' || at - lineStart > kQuickLineBytes)
                    return BodyPass::Careful;
                *to++ = '\n';
                at += 2;
                lineStart = at;
                quoteChecked = false;
                continue;
            }
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
                return BodyPass::Careful;
            *to++ = static_cast<char>(byte);
            ++at;
            // The rest of a run of printable ASCII.
            while (at < end && *at >= 0x20 && *at < 0x7F)
                *to++ = static_cast<char>(*at++);
            continue;
        }
        const Code *code = &table.single(byte);
        if (table.isLead(byte)) {
            if (end - at < 2)
                return BodyPass::Careful;
            code = &table.pair(byte, at[1]);
            at += 2;
        } else {
            ++at;
        }
        if (code->kind == CodeKind::Unusual)
            return BodyPass::Careful;
        if (utf8) {
            put(code->utf8, code->utf8Size);
            continue;
        }
        if (code->kind != CodeKind::Jis)
            return BodyPass::WantsUtf8;
        if (!inJis) {
            put("\x1B$B", 3);
            inJis = true;
        }
        put(code->jis, 2);
        anyJis = true;
        // The rest of a run of JIS characters, without the checks the other bytes need.
        while (end - at >= 2 && table.isLead(*at)) {
            const Code &next = table.pair(at[0], at[1]);
            if (next.kind != CodeKind::Jis)
                break;
            to[0] = next.jis[0];
            to[1] = next.jis[1];
            to += 2;
            at += 2;
        }
    }
    if (inJis)
        put("\x1B(B", 3);
    out.resize(to - out.constData());
    charset = utf8 ? BodyCharset::Utf8 : anyJis ? BodyCharset::Jis : BodyCharset::Ascii;
    return BodyPass::Written;
}

// The body's mbox lines and charset, or false when it goes the careful way.
bool quickBody(QByteArray &out, QByteArrayView body, const CodeTable &table, BodyCharset &charset)
{
    if (!body.isEmpty() && !body.endsWith("\r\n"))
        return false;
    BodyPass pass = writeQuickBody(out, body, false, table, charset);
    if (pass == BodyPass::WantsUtf8)
        pass = writeQuickBody(out, body, true, table, charset);
    // A body that mentions "attachment" once encoded goes out as base64.
    return pass == BodyPass::Written &&
           !memmem(out.constData(), size_t(out.size()), "attachment", 10);
}

// A header value built with CR LF folds, as an mbox line sequence.
QByteArray withLfFolds(QByteArray value)
{
    return value.replace("\r\n", "\n");
}

// Header text as encodedHeaderText writes it, from code page 932 bytes.
std::optional<QByteArray> quickHeaderText(QByteArrayView cp932, const CodeTable &table)
{
    if (mime::isPlainHeaderText(cp932))
        return cp932.toByteArray();
    QByteArray utf8;
    if (!appendUtf8(utf8, cp932, table))
        return std::nullopt;
    return mime::utf8EncodedWords(QByteArrayView(utf8)).join("\n ");
}

QByteArrayView withoutTrailingBlanks(QByteArrayView bytes)
{
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    return bytes;
}

// The From header value and the "From " line's sender of an address field, as
// addressHeaderValue and addrSpec give them. The common single entry, "name <address>", is
// done on the bytes: '<', '>', ',' and '"' are never the second byte of a double-byte
// character. Other forms go through the text.
bool quickAddress(QByteArrayView address, const CodeTable &table, QByteArray &value,
                  QString &sender)
{
    if (mime::isPlainHeaderText(address)) {
        value = address.toByteArray();
        sender = addrSpec(QString::fromLatin1(address));
        return true;
    }
    const qsizetype open = address.lastIndexOf('<');
    const qsizetype close = address.lastIndexOf('>');
    const QByteArrayView angle = open >= 0 ? address.sliced(open) : QByteArrayView();
    if (open < 0 || close < open || address.contains(',') || address.contains('"') ||
        !mime::isPlainHeaderText(angle)) {
        const std::optional<QString> text = textOf(address, table);
        if (!text)
            return false;
        value = withLfFolds(addressHeaderValue(*text));
        sender = addrSpec(*text);
        return true;
    }
    const QByteArrayView name = withoutTrailingBlanks(address.first(open));
    const std::optional<QByteArray> nameValue = quickHeaderText(name, table);
    if (!nameValue)
        return false;
    value = *nameValue + QByteArray(open - name.size(), ' ') + angle.toByteArray();
    // The part between the angles alone gives addrSpec the same candidate.
    sender = addrSpec(QString::fromLatin1(angle.first(close - open + 1)));
    return true;
}

void appendHeader(QByteArray &mbox, const char *name, QByteArrayView value)
{
    mbox += name;
    mbox += ": ";
    mbox += value;
    mbox += '\n';
}

void appendContentHeaders(QByteArray &mbox, BodyCharset charset)
{
    static const char *const charsets[] = {"us-ascii", "ISO-2022-JP", "UTF-8"};
    static const char *const encodings[] = {"7bit", "7bit", "8bit"};
    const int kind = static_cast<int>(charset);
    mbox += "MIME-Version: 1.0\nContent-Type: text/plain; charset=";
    mbox += charsets[kind];
    mbox += "\nContent-Transfer-Encoding: ";
    mbox += encodings[kind];
    mbox += "\n\n";
}

} // namespace

bool appendQuickMboxMessage(QByteArray &mbox, const char *record, const QByteArray *ownHeader)
{
    const QByteArrayView subject =
        trimmedBytes(record + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth);
    const QByteArrayView date =
        trimmedBytes(record + MailRecord::kDateOffset, MailRecord::kDateWidth);
    const QByteArrayView address =
        trimmedBytes(record + MailRecord::kAddressOffset, MailRecord::kAddressWidth);
    const QByteArrayView body =
        trimmedBytes(record + MailRecord::kBodyOffset, MailRecord::kBodyWidth);

    if (address.isEmpty() || !mime::isPlainHeaderText(date))
        return false;
    const std::optional<QDateTime> moment = mime::readRfc5322Date(QString::fromLatin1(date));
    if (!moment)
        return false;
    const CodeTable &table = codeTable();
    thread_local QByteArray bodyLines;
    BodyCharset charset = BodyCharset::Ascii;
    if (!quickBody(bodyLines, body, table, charset))
        return false;
    const std::optional<QByteArray> subjectValue = quickHeaderText(subject, table);
    QByteArray addressValue;
    QString sender;
    if (!subjectValue || !quickAddress(address, table, addressValue, sender))
        return false;

    mbox += "From ";
    mbox += sender.isEmpty() ? QByteArray("MAILER-DAEMON") : sender.toLatin1();
    mbox += ' ';
    mbox += mime::mboxLineDate(*moment);
    mbox += '\n';
    appendHeader(mbox, "From", addressValue);
    if (ownHeader)
        appendHeader(mbox, "To", *ownHeader);
    appendHeader(mbox, "Subject", *subjectValue);
    appendHeader(mbox, "Date", date);
    appendHeader(mbox, "Message-ID", messageIdOf(subject, date, address, body));
    appendContentHeaders(mbox, charset);
    mbox += bodyLines;
    mbox += '\n';
    return true;
}

} // namespace orv::exchange
