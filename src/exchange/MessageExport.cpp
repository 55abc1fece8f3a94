#include "exchange/MessageExport.h"

#include "core/Cp932.h"
#include "transport/mime/Charsets.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QTimeZone>

#include <array>
#include <cstdio>

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
const QByteArray kFold = "\r\n ";
// RFC 2047 allows 75 characters a word.
constexpr qsizetype kMaxEncodedWord = 75;
// RFC 5322 allows 998 bytes a line.
constexpr qsizetype kMaxLineBytes = 998;
constexpr qsizetype kQuotedPrintableLine = 76;
constexpr qsizetype kBase64Line = 76;
// Where no address is known: the group form RFC 6854 allows in From.
const QByteArray kNoAddress = "undisclosed-sender:;";
const char *const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isPlainAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    return !text.contains(QStringLiteral("=?"));
}

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

QList<QByteArray> encodedWords(const QString &text)
{
    const QByteArray prefix = "=?UTF-8?B?";
    const auto wordFor = [&](const QString &piece) {
        return prefix + piece.toUtf8().toBase64() + "?=";
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

// Splits an address field at the commas that separate entries (not those inside quotes or
// angle brackets); each piece keeps its own blanks, the separators are the commas.
QStringList addressEntries(const QString &text)
{
    QStringList entries;
    QString current;
    bool quoted = false;
    int angle = 0;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'<')
            ++angle;
        else if (!quoted && c == u'>' && angle > 0)
            --angle;
        if (c == u',' && !quoted && angle == 0) {
            entries.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    entries.append(current);
    return entries;
}

QByteArray leadingBlanks(const QString &text, qsizetype *count)
{
    qsizetype n = 0;
    while (n < text.size() && text[n] == u' ')
        ++n;
    *count = n;
    return QByteArray(n, ' ');
}

// One entry: the name encoded when it is not ASCII, "<address>" and the blanks as written.
QByteArray addressEntryValue(const QString &entry)
{
    if (isPlainAscii(entry))
        return entry.toLatin1();
    qsizetype lead = 0;
    const QByteArray before = leadingBlanks(entry, &lead);
    const QString rest = entry.mid(lead);
    const qsizetype open = rest.lastIndexOf(u'<');
    if (open < 0 || !isPlainAscii(rest.mid(open)))
        return before + encodedHeaderText(rest);
    QString name = rest.left(open);
    qsizetype gap = 0;
    while (gap < name.size() && name[name.size() - 1 - gap] == u' ')
        ++gap;
    name.chop(gap);
    return before + encodedHeaderText(name) + QByteArray(gap, ' ') + rest.mid(open).toLatin1();
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

bool hasLongLines(const QByteArray &bytes)
{
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

// Characters whose code page 932 form and JIS form differ in Unicode: readers that decode
// ISO-2022-JP by the JIS tables would show another character.
bool hasWindowsOnlyForms(const QString &text)
{
    static constexpr std::array<char16_t, 6> forms = {u'\uFF5E', u'\uFF0D', u'\u2225',
                                                      u'\uFFE2', u'\uFFE0', u'\uFFE1'};
    for (QChar c : text)
        for (char16_t form : forms)
            if (c.unicode() == form)
                return true;
    return false;
}

struct BodyPart {
    QByteArray charset;
    QByteArray encoding;
    QByteArray content;
};

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / kBase64Line * 2 + 2);
    for (qsizetype i = 0; i < encoded.size(); i += kBase64Line)
        lines += encoded.mid(i, kBase64Line) + kCrLf;
    return lines;
}

// Quoted-printable whose last line ends in a soft break: the text ends without a line end,
// and an mbox, which ends every message with one, cannot change that.
QByteArray quotedPrintable(const QByteArray &bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3 + 8);
    qsizetype lineLength = 0;
    const auto put = [&](const QByteArray &token) {
        if (lineLength + token.size() > kQuotedPrintableLine - 1) {
            out += "=\r\n";
            lineLength = 0;
        }
        out += token;
        lineLength += token.size();
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += kCrLf;
            lineLength = 0;
            ++i;
            continue;
        }
        const bool atLineEnd = i + 1 == bytes.size() || bytes[i + 1] == '\r';
        const bool literal =
            (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
        if (literal)
            put(QByteArray(1, static_cast<char>(c)));
        else
            put(QByteArray(1, '=') + hex[c >> 4] + hex[c & 15]);
    }
    out += "=\r\n";
    return out;
}

BodyPart bodyPart(const QString &text)
{
    BodyPart part;
    std::optional<QByteArray> jis;
    if (isAsciiText(text)) {
        part = {"us-ascii", {}, text.toLatin1()};
    } else if (!hasWindowsOnlyForms(text) && (jis = mime::charsets::encodeIso2022Jp(text))) {
        part = {"ISO-2022-JP", {}, *jis};
    } else {
        part = {"UTF-8", {}, text.toUtf8()};
    }
    // A received body that mentions "attachment" gets the attachment notice; an exported
    // one must not gain it when it is imported again.
    if (part.content.contains("attachment") || hasControlCharacters(text) ||
        hasLongLines(part.content)) {
        part.encoding = "base64";
        part.content = base64Lines(part.content);
    } else if (!part.content.isEmpty() && !part.content.endsWith(kCrLf)) {
        part.encoding = "quoted-printable";
        part.content = quotedPrintable(part.content);
    } else {
        part.encoding = isAscii(part.content) ? "7bit" : "8bit";
    }
    return part;
}

QByteArray messageId(const QString &subject, const QString &date, const QString &address,
                     const QString &body)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString *field : {&subject, &date, &address, &body}) {
        hash.addData(
            QByteArrayView(reinterpret_cast<const char *>(field->utf16()), field->size() * 2));
        hash.addData(QByteArrayView("\0\0", 2));
    }
    return '<' + hash.result().toHex().left(32) + "@orvaine.invalid>";
}

QDateTime withCentury(QDateTime moment)
{
    // Two-digit years of short date formats are read as 19xx.
    if (moment.isValid() && moment.date().year() < 1970)
        moment = moment.addYears(100);
    return moment;
}

std::optional<QDateTime> receivedMoment(const QString &text)
{
    QString candidate = text.trimmed();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDateTime moment = QDateTime::fromString(candidate, Qt::RFC2822Date);
        if (moment.isValid())
            return moment;
        // A trailing zone comment, "(JST)", is common and harmless.
        const qsizetype comment = candidate.lastIndexOf(u'(');
        if (comment <= 0)
            break;
        candidate = candidate.left(comment).trimmed();
    }
    return std::nullopt;
}

QString clockTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return format.trimmed();
}

std::optional<QDateTime> sentMoment(const QString &text)
{
    const qsizetype gap = text.indexOf(QStringLiteral("  "));
    if (gap < 0)
        return std::nullopt;
    const QString datePart = text.left(gap).trimmed();
    const QString timePart = text.mid(gap + 2).trimmed();
    const QLocale system = QLocale::system();
    QDate date = system.toDate(datePart, QLocale::ShortFormat);
    for (const QString &format :
         {QStringLiteral("yyyy/MM/dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy-MM-dd"),
          QStringLiteral("M/d/yy"), QStringLiteral("M/d/yyyy"), QStringLiteral("d.M.yy")}) {
        if (date.isValid())
            break;
        date = QDate::fromString(datePart, format);
    }
    QTime time = system.toTime(timePart, clockTimeFormat());
    for (const QString &format :
         {QStringLiteral("H:mm:ss"), QStringLiteral("h:mm:ss AP"), QStringLiteral("H:mm")}) {
        if (time.isValid())
            break;
        time = QLocale::c().toTime(timePart, format);
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return withCentury(QDateTime(date, time));
}

QByteArray rfc5322Date(const QDateTime &moment)
{
    const int offset = moment.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return QLocale::c().toString(moment, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(magnitude / 60).rightJustified(2, '0') +
           QByteArray::number(magnitude % 60).rightJustified(2, '0');
}

QDateTime epoch()
{
    return QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc());
}

void header(QByteArray &message, const char *name, const QByteArray &value)
{
    message += name;
    message += ": ";
    message += value;
    message += kCrLf;
}

} // namespace

QString trimmedField(const char *bytes, qsizetype width)
{
    // A blank byte is never the second byte of a double-byte character, so trimming the
    // bytes trims the text.
    qsizetype begin = 0;
    qsizetype end = width;
    while (end > 0 && bytes[end - 1] == ' ')
        --end;
    while (begin < end && bytes[begin] == ' ')
        ++begin;
    return cp932::decode(bytes + begin, end - begin);
}

QByteArray encodedHeaderText(const QString &text)
{
    if (isPlainAscii(text))
        return text.toLatin1();
    return encodedWords(text).join(kFold);
}

QByteArray addressHeaderValue(const QString &text)
{
    QList<QByteArray> values;
    for (const QString &entry : addressEntries(text))
        values.append(addressEntryValue(entry));
    return values.join(',');
}

QString addrSpec(const QString &text)
{
    const qsizetype open = text.lastIndexOf(u'<');
    const qsizetype close = text.lastIndexOf(u'>');
    QString candidate =
        open >= 0 && close > open ? text.mid(open + 1, close - open - 1) : text.trimmed();
    candidate = candidate.trimmed();
    if (!candidate.contains(u'@') || !isPlainAscii(candidate) || candidate.contains(u' '))
        return {};
    return candidate;
}

std::optional<QDateTime> recordMoment(const QString &dateText, History history)
{
    return history == History::Sent ? sentMoment(dateText) : receivedMoment(dateText);
}

QByteArray dateHeaderValue(const QString &dateText, History history)
{
    const std::optional<QDateTime> moment = recordMoment(dateText, history);
    if (!moment)
        return rfc5322Date(epoch());
    if (history == History::Received && isPlainAscii(dateText))
        return dateText.toLatin1();
    return rfc5322Date(*moment);
}

namespace {

// What an export takes from one record, read once.
struct RecordText {
    explicit RecordText(const MailRecord &record, History history)
    {
        const char *data = record.data();
        subject = trimmedField(data + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth);
        date = trimmedField(data + MailRecord::kDateOffset, MailRecord::kDateWidth);
        address = trimmedField(data + MailRecord::kAddressOffset, MailRecord::kAddressWidth);
        body = trimmedField(data + MailRecord::kBodyOffset, MailRecord::kBodyWidth);
        moment = recordMoment(date, history);
        id = messageId(subject, date, address, body);
    }

    QString subject, date, address, body;
    std::optional<QDateTime> moment;
    QByteArray id;
};

QByteArray dateValue(const RecordText &text, History history)
{
    if (!text.moment)
        return rfc5322Date(epoch());
    if (history == History::Received && isPlainAscii(text.date))
        return text.date.toLatin1();
    return rfc5322Date(*text.moment);
}

QByteArray message(const RecordText &text, const ExportContext &context)
{
    const bool ownKnown = !context.ownAddress.trimmed().isEmpty();
    const QByteArray own = ownKnown ? addressHeaderValue(context.ownAddress) : kNoAddress;
    const QByteArray other =
        text.address.isEmpty() ? QByteArray() : addressHeaderValue(text.address);
    const BodyPart part = bodyPart(text.body);

    QByteArray message;
    message.reserve(part.content.size() + 512);
    if (context.history == History::Sent) {
        header(message, "From", own);
        if (!other.isEmpty())
            header(message, "To", other);
    } else {
        header(message, "From", other.isEmpty() ? kNoAddress : other);
        if (ownKnown)
            header(message, "To", own);
    }
    header(message, "Subject", encodedHeaderText(text.subject));
    header(message, "Date", dateValue(text, context.history));
    header(message, "Message-ID", text.id);
    header(message, "MIME-Version", "1.0");
    header(message, "Content-Type", "text/plain; charset=" + part.charset);
    header(message, "Content-Transfer-Encoding", part.encoding);
    message += kCrLf;
    message += part.content;
    return message;
}

QByteArray fromLine(const RecordText &text, const ExportContext &context)
{
    const QString sender =
        addrSpec(context.history == History::Sent ? context.ownAddress : text.address);
    const QDateTime utc = (text.moment ? *text.moment : epoch()).toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    char when[32];
    std::snprintf(when, sizeof when, "%s %s %2d %02d:%02d:%02d %d", kWeekdays[day.dayOfWeek() - 1],
                  kMonths[day.month() - 1], day.day(), time.hour(), time.minute(), time.second(),
                  day.year());
    return "From " + (sender.isEmpty() ? QByteArray("MAILER-DAEMON") : sender.toLatin1()) + ' ' +
           when;
}

} // namespace

QByteArray messageFromRecord(const MailRecord &record, const ExportContext &context)
{
    return message(RecordText(record, context.history), context);
}

QByteArray mboxFromLine(const MailRecord &record, const ExportContext &context)
{
    return fromLine(RecordText(record, context.history), context);
}

void appendRecordAsMboxrd(QByteArray &mbox, const MailRecord &record, const ExportContext &context)
{
    const RecordText text(record, context.history);
    appendMboxrd(mbox, fromLine(text, context), message(text, context));
}

void appendMboxrd(QByteArray &mbox, const QByteArray &fromLine, const QByteArray &message)
{
    mbox += fromLine;
    mbox += '\n';
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf('\n', start);
        const bool complete = end >= 0;
        if (!complete)
            end = message.size();
        qsizetype lineEnd = end;
        if (complete && lineEnd > start && message[lineEnd - 1] == '\r')
            --lineEnd;
        qsizetype quotes = start;
        while (quotes < lineEnd && message[quotes] == '>')
            ++quotes;
        if (QByteArrayView(message).sliced(quotes, lineEnd - quotes).startsWith("From "))
            mbox += '>';
        mbox += QByteArrayView(message).sliced(start, lineEnd - start);
        mbox += '\n';
        start = end + 1;
    }
    mbox += '\n';
}

} // namespace orv::exchange
