#include "exchange/MessageExport.h"

#include "core/Cp932.h"
#include "exchange/FieldBytes.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/MessageBuilder.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
const QByteArray kFold = "\r\n ";
// RFC 5322 allows 998 bytes a line.
constexpr qsizetype kMaxLineBytes = 998;
constexpr qsizetype kQuotedPrintableLine = 76;
constexpr qsizetype kBase64Line = 76;
// Where no address is known: the group form RFC 6854 allows in From.
const QByteArray kNoAddress = "undisclosed-sender:;";
// Fields of a record that the standard headers cannot carry as they stand travel in
// headers of our own, which an import reads back: a date text no RFC 5322 date can be made
// from, and an empty address (which a From header cannot be).
const char *const kOwnDateHeader = "X-Orvaine-Date";
const char *const kOwnAddressHeader = "X-Orvaine-From";
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

// A 128-bit fingerprint of byte strings, eight bytes at a time: the id only has to stay the
// same for the same record and differ between records, not to resist a forger.
class Fingerprint {
public:
    void add(QByteArrayView bytes)
    {
        qsizetype at = 0;
        for (; at + 8 <= bytes.size(); at += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + at, 8);
            mixIn(word);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, bytes.data() + at, size_t(bytes.size() - at));
        mixIn(tail);
        mixIn(std::uint64_t(bytes.size()));
    }

    QByteArray hex() const
    {
        const std::uint64_t halves[2] = {finish(m_a ^ m_b), finish(m_b + m_a)};
        return QByteArray(reinterpret_cast<const char *>(halves), sizeof halves).toHex();
    }

private:
    static std::uint64_t finish(std::uint64_t x)
    {
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDULL;
        x ^= x >> 33;
        x *= 0xC4CEB9FE1A85EC53ULL;
        return x ^ (x >> 33);
    }
    void mixIn(std::uint64_t word)
    {
        m_a = std::rotl((m_a ^ word) * 0x87C37B91114253D5ULL, 31) + m_b;
        m_b = std::rotl((m_b + word) * 0x4CF5AD432745937FULL, 33) ^ m_a;
    }

    std::uint64_t m_a = 0x9E3779B97F4A7C15ULL;
    std::uint64_t m_b = 0x2545F4914F6CDD1DULL;
};

QByteArrayView trimmedBytes(const char *bytes, qsizetype width)
{
    const char *end = endWithoutPadding(bytes, bytes + width);
    while (bytes < end && *bytes == ' ')
        ++bytes;
    return QByteArrayView(bytes, end - bytes);
}

// Derived from the stored bytes of the four fields, blanks around them left out, so every
// export of the record gives it.
QByteArray messageIdOf(QByteArrayView subject, QByteArrayView date, QByteArrayView address,
                       QByteArrayView body)
{
    Fingerprint fingerprint;
    for (const QByteArrayView field : {subject, date, address, body})
        fingerprint.add(field);
    return '<' + fingerprint.hex() + "@orvaine.invalid>";
}

QByteArray messageIdOf(const char *record)
{
    return messageIdOf(trimmedBytes(record + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth),
                       trimmedBytes(record + MailRecord::kDateOffset, MailRecord::kDateWidth),
                       trimmedBytes(record + MailRecord::kAddressOffset, MailRecord::kAddressWidth),
                       trimmedBytes(record + MailRecord::kBodyOffset, MailRecord::kBodyWidth));
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
    const QByteArrayView trimmed = trimmedBytes(bytes, width);
    return cp932::decode(trimmed.data(), trimmed.size());
}

QByteArray encodedHeaderText(const QString &text)
{
    if (isPlainAscii(text))
        return text.toLatin1();
    return mime::utf8EncodedWords(text).join(kFold);
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
        id = messageIdOf(data);
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
    if (context.history == History::Received && text.address.isEmpty())
        header(message, kOwnAddressHeader, QByteArray());
    header(message, "Subject", encodedHeaderText(text.subject));
    header(message, "Date", dateValue(text, context.history));
    if (!text.moment)
        header(message, kOwnDateHeader, encodedHeaderText(text.date));
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

// ---------------------------------------------------------------------------------------------
// The quick way for the common record: straight from its code page 932 bytes to the mbox,
// without a detour through QString. Anything out of the ordinary (an unusual byte, a control
// character, a long line, a body that needs base64 or quoted-printable, a date that is not
// plainly RFC 5322) goes the careful way above, so both ways give the same bytes.

namespace {

enum class CodeKind : unsigned char { Ascii, Jis, NotJis, Unusual };

// What one code page 932 character becomes: its ISO-2022-JP pair when JIS X 0208 holds it,
// and its UTF-8 bytes.
struct Code {
    CodeKind kind = CodeKind::Unusual;
    unsigned char utf8Size = 0;
    char jis[2] = {};
    char utf8[3] = {};
};

void setUtf8(Code &code, const QString &character)
{
    const QByteArray utf8 = character.toUtf8();
    code.utf8Size = static_cast<unsigned char>(utf8.size());
    std::memcpy(code.utf8, utf8.constData(), size_t(utf8.size()));
}

bool isPrivateUse(QChar c)
{
    return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF;
}

// Every character code page 932 has, decoded once by the program's own decoder and encoded
// by the careful way's own ISO-2022-JP encoder, so the quick way cannot disagree with it.
class CodeTable {
public:
    CodeTable() : m_pairs(size_t(1) << 16)
    {
        for (int byte = 0; byte < 0x100; ++byte)
            m_lead[byte] = cp932::isLeadByte(static_cast<unsigned char>(byte));
        for (int byte = 0; byte < 0x100; ++byte)
            if (!cp932::isLeadByte(static_cast<unsigned char>(byte)))
                fillSingle(static_cast<unsigned char>(byte));
        for (int lead = 0x81; lead < 0x100; ++lead)
            if (cp932::isLeadByte(static_cast<unsigned char>(lead)))
                fillRow(static_cast<unsigned char>(lead));
    }

    const Code &single(unsigned char byte) const { return m_single[byte]; }
    bool isLead(unsigned char byte) const { return m_lead[byte]; }
    const Code &pair(unsigned char lead, unsigned char trail) const
    {
        return m_pairs[size_t(lead) << 8 | trail];
    }

private:
    void fillSingle(unsigned char byte)
    {
        const char bytes[1] = {static_cast<char>(byte)};
        const QString text = cp932::decode(bytes, 1);
        if (text.size() != 1 || text[0] == QChar::ReplacementCharacter ||
            (byte < 0x80 && text[0].unicode() != byte))
            return;
        m_single[byte].kind = byte < 0x80 ? CodeKind::Ascii : CodeKind::NotJis;
        setUtf8(m_single[byte], text);
    }

    static std::vector<unsigned char> trails()
    {
        std::vector<unsigned char> all;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                all.push_back(static_cast<unsigned char>(trail));
        return all;
    }

    // One row at once: the decoder and the encoder run once a row unless a row holds a
    // character either refuses.
    void fillRow(unsigned char lead)
    {
        const std::vector<unsigned char> row = trails();
        QByteArray bytes;
        for (unsigned char trail : row)
            bytes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
        QString text = cp932::decode(bytes);
        const bool whole =
            text.size() == qsizetype(row.size()) && !text.contains(QChar::ReplacementCharacter) &&
            std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
        QString jisCandidates;
        std::vector<unsigned char> candidateTrails;
        for (size_t i = 0; i < row.size(); ++i) {
            const QString character =
                whole ? QString(text[qsizetype(i)]) : cp932::decode(bytes.constData() + 2 * i, 2);
            if (character.size() != 1 || character[0] == QChar::ReplacementCharacter ||
                character[0].isSurrogate() || character[0].unicode() < 0x80)
                continue;
            Code &code = m_pairs[size_t(lead) << 8 | row[i]];
            code.kind = CodeKind::NotJis;
            setUtf8(code, character);
            if (!hasWindowsOnlyForms(character) && !isPrivateUse(character[0])) {
                jisCandidates += character;
                candidateTrails.push_back(row[i]);
            }
        }
        if (candidateTrails.empty())
            return;
        const std::optional<QByteArray> jis = mime::charsets::encodeIso2022Jp(jisCandidates);
        const qsizetype pairs = qsizetype(candidateTrails.size()) * 2;
        if (jis && jis->size() == pairs + 6 && jis->startsWith("\x1B$B") &&
            jis->endsWith("\x1B(B") && !jis->mid(3, pairs).contains('\x1B')) {
            for (size_t i = 0; i < candidateTrails.size(); ++i)
                markJis(lead, candidateTrails[i], jis->constData() + 3 + 2 * i);
            return;
        }
        for (size_t i = 0; i < candidateTrails.size(); ++i) {
            const std::optional<QByteArray> one =
                mime::charsets::encodeIso2022Jp(QString(jisCandidates[qsizetype(i)]));
            if (!one)
                continue;
            if (one->size() == 8 && one->startsWith("\x1B$B") && one->endsWith("\x1B(B"))
                markJis(lead, candidateTrails[i], one->constData() + 3);
            else
                m_pairs[size_t(lead) << 8 | candidateTrails[i]].kind = CodeKind::Unusual;
        }
    }

    void markJis(unsigned char lead, unsigned char trail, const char *jis)
    {
        Code &code = m_pairs[size_t(lead) << 8 | trail];
        code.kind = CodeKind::Jis;
        code.jis[0] = jis[0];
        code.jis[1] = jis[1];
    }

    std::array<Code, 256> m_single{};
    std::array<bool, 256> m_lead{};
    std::vector<Code> m_pairs;
};

const CodeTable &codeTable()
{
    static const CodeTable table;
    return table;
}

// Longer lines could pass 998 bytes once encoded; they go the careful way.
constexpr qsizetype kQuickLineBytes = 300;

bool isPlainAsciiBytes(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    return !bytes.contains("=?");
}

// The UTF-8 form of code page 932 bytes; false for a byte sequence the table does not know.
bool appendUtf8(QByteArray &out, QByteArrayView bytes, const CodeTable &table)
{
    const auto *at = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = at + bytes.size();
    while (at < end) {
        const Code *code = &table.single(*at);
        if (table.isLead(*at)) {
            if (end - at < 2)
                return false;
            code = &table.pair(at[0], at[1]);
            at += 2;
        } else {
            ++at;
        }
        if (code->kind == CodeKind::Unusual)
            return false;
        out.append(code->utf8, code->utf8Size);
    }
    return true;
}

std::optional<QString> quickText(QByteArrayView bytes, const CodeTable &table)
{
    QByteArray utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    if (!appendUtf8(utf8, bytes, table))
        return std::nullopt;
    return QString::fromUtf8(utf8);
}

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

// The body's mbox lines and charset, or nothing when it goes the careful way.
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

// A plainly written RFC 5322 date: "[Ddd, ]D Mon YYYY HH:MM:SS +HHMM", a zone comment
// allowed after it. Anything else is left to the full parser.
struct PlainDate {
    int year, month, day, hour, minute, second, offsetMinutes;
};

qint64 daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Monday 0 … Sunday 6.
int weekdayOf(qint64 days)
{
    return int(((days % 7) + 7 + 3) % 7);
}

class DateReader {
public:
    explicit DateReader(QByteArrayView text) : m_at(text.data()), m_end(text.data() + text.size())
    {
    }

    bool number(int digitsMin, int digitsMax, int &value)
    {
        value = 0;
        int digits = 0;
        while (m_at < m_end && *m_at >= '0' && *m_at <= '9' && digits < digitsMax) {
            value = value * 10 + (*m_at++ - '0');
            ++digits;
        }
        return digits >= digitsMin && (m_at == m_end || *m_at < '0' || *m_at > '9');
    }
    bool literal(char c)
    {
        if (m_at == m_end || *m_at != c)
            return false;
        ++m_at;
        return true;
    }
    int name(const char *const *names, int count)
    {
        if (m_end - m_at < 3)
            return -1;
        for (int i = 0; i < count; ++i)
            if (std::memcmp(m_at, names[i], 3) == 0) {
                m_at += 3;
                return i;
            }
        return -1;
    }
    bool startsWithLetter() const { return m_at < m_end && *m_at >= 'A' && *m_at <= 'Z'; }
    // Nothing more, or a zone comment of letters.
    bool endsHere()
    {
        if (m_at == m_end)
            return true;
        if (!literal(' ') || !literal('('))
            return false;
        const char *letters = m_at;
        while (m_at < m_end && *m_at >= 'A' && *m_at <= 'Z')
            ++m_at;
        return m_at > letters && literal(')') && m_at == m_end;
    }

private:
    const char *m_at;
    const char *m_end;
};

std::optional<PlainDate> plainDate(QByteArrayView text)
{
    DateReader reader(text);
    int weekday = -1;
    if (reader.startsWithLetter()) {
        weekday = reader.name(kWeekdays, 7);
        if (weekday < 0 || !reader.literal(',') || !reader.literal(' '))
            return std::nullopt;
    }
    PlainDate date{};
    int zone = 0;
    if (!reader.number(1, 2, date.day) || !reader.literal(' '))
        return std::nullopt;
    date.month = reader.name(kMonths, 12) + 1;
    const bool fields = date.month > 0 && reader.literal(' ') && reader.number(4, 4, date.year) &&
                        reader.literal(' ') && reader.number(2, 2, date.hour) &&
                        reader.literal(':') && reader.number(2, 2, date.minute) &&
                        reader.literal(':') && reader.number(2, 2, date.second) &&
                        reader.literal(' ');
    if (!fields)
        return std::nullopt;
    const int sign = reader.literal('+') ? 1 : reader.literal('-') ? -1 : 0;
    if (sign == 0 || !reader.number(4, 4, zone) || !reader.endsHere())
        return std::nullopt;
    date.offsetMinutes = sign * (zone / 100 * 60 + zone % 100);
    const bool sensible = date.year >= 1970 && date.year <= 2999 && date.day >= 1 &&
                          date.day <= daysInMonth(date.year, date.month) && date.hour <= 23 &&
                          date.minute <= 59 && date.second <= 59 && zone / 100 <= 14 &&
                          zone % 100 <= 59;
    if (!sensible ||
        (weekday >= 0 && weekday != weekdayOf(daysFromCivil(date.year, date.month, date.day))))
        return std::nullopt;
    return date;
}

// The "From " line's time: the moment in UTC, as the careful way writes it.
QByteArray fromLineTime(const PlainDate &date)
{
    const qint64 local = daysFromCivil(date.year, date.month, date.day) * 86400 + date.hour * 3600 +
                         date.minute * 60 + date.second;
    const qint64 utc = local - qint64(date.offsetMinutes) * 60;
    const qint64 days = utc >= 0 ? utc / 86400 : (utc - 86399) / 86400;
    const qint64 seconds = utc - days * 86400;
    // Civil date from days (the inverse of daysFromCivil).
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(yearOfEra + era * 400 + (month <= 2));
    char when[40];
    std::snprintf(when, sizeof when, "%s %s %2d %02d:%02d:%02d %d", kWeekdays[weekdayOf(days)],
                  kMonths[month - 1], day, int(seconds / 3600), int(seconds / 60 % 60),
                  int(seconds % 60), year);
    return QByteArray(when);
}

void appendHeader(QByteArray &mbox, const char *name, QByteArrayView value)
{
    mbox += name;
    mbox += ": ";
    mbox += value;
    mbox += '\n';
}

// A header value built with CR LF folds, as an mbox line sequence.
QByteArray withLfFolds(QByteArray value)
{
    return value.replace("\r\n", "\n");
}

// Encoded-words of UTF-8 text, cut where the careful way (the message builder's) cuts: as
// many whole characters as fit 66 characters a word.
QByteArray encodedUtf8Words(QByteArrayView utf8)
{
    // "=?UTF-8?B?" and "?=" leave 54 characters of base64: 39 bytes.
    constexpr qsizetype kWordBytes = 39;
    QByteArray words;
    qsizetype start = 0;
    while (start < utf8.size()) {
        qsizetype end = start;
        while (end < utf8.size()) {
            qsizetype next = end + 1;
            while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80)
                ++next;
            if (next - start > kWordBytes && end > start)
                break;
            end = next;
        }
        if (!words.isEmpty())
            words += "\n ";
        words += "=?UTF-8?B?";
        words += utf8.sliced(start, end - start).toByteArray().toBase64();
        words += "?=";
        start = end;
    }
    return words;
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
    if (isPlainAsciiBytes(address)) {
        value = address.toByteArray();
        sender = addrSpec(QString::fromLatin1(address));
        return true;
    }
    const qsizetype open = address.lastIndexOf('<');
    const qsizetype close = address.lastIndexOf('>');
    const QByteArrayView angle = open >= 0 ? address.sliced(open) : QByteArrayView();
    if (open < 0 || close < open || address.contains(',') || address.contains('"') ||
        !isPlainAsciiBytes(angle)) {
        const std::optional<QString> text = quickText(address, table);
        if (!text)
            return false;
        value = withLfFolds(addressHeaderValue(*text));
        sender = addrSpec(*text);
        return true;
    }
    const QByteArrayView name = withoutTrailingBlanks(address.first(open));
    if (isPlainAsciiBytes(name)) {
        value = name.toByteArray();
    } else {
        QByteArray utf8;
        if (!appendUtf8(utf8, name, table))
            return false;
        value = encodedUtf8Words(utf8);
    }
    value += QByteArray(open - name.size(), ' ');
    value += angle;
    // The part between the angles alone gives addrSpec the same candidate.
    sender = addrSpec(QString::fromLatin1(angle.first(close - open + 1)));
    return true;
}

} // namespace

MboxWriter::MboxWriter(const ExportContext &context)
    : m_context(context), m_ownKnown(!context.ownAddress.trimmed().isEmpty()),
      m_ownHeader(m_ownKnown ? withLfFolds(addressHeaderValue(context.ownAddress)) : kNoAddress)
{
}

void MboxWriter::append(QByteArray &mbox, const char *record) const
{
    if (appendQuickly(mbox, record))
        return;
    MailRecord copy;
    std::memcpy(copy.data(), record, MailRecord::kSize);
    appendRecordAsMboxrd(mbox, copy, m_context);
}

bool MboxWriter::appendQuickly(QByteArray &mbox, const char *record) const
{
    if (m_context.history != History::Received)
        return false;
    const QByteArrayView subject =
        trimmedBytes(record + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth);
    const QByteArrayView date =
        trimmedBytes(record + MailRecord::kDateOffset, MailRecord::kDateWidth);
    const QByteArrayView address =
        trimmedBytes(record + MailRecord::kAddressOffset, MailRecord::kAddressWidth);
    const QByteArrayView body =
        trimmedBytes(record + MailRecord::kBodyOffset, MailRecord::kBodyWidth);

    const std::optional<PlainDate> moment = plainDate(date);
    if (!moment || address.isEmpty())
        return false;
    thread_local QByteArray bodyLines;
    BodyCharset charset = BodyCharset::Ascii;
    if (!quickBody(bodyLines, body, codeTable(), charset))
        return false;
    QByteArray subjectValue;
    if (isPlainAsciiBytes(subject)) {
        subjectValue = subject.toByteArray();
    } else {
        QByteArray utf8;
        if (!appendUtf8(utf8, subject, codeTable()))
            return false;
        subjectValue = encodedUtf8Words(utf8);
    }
    QByteArray addressValue;
    QString sender;
    if (!quickAddress(address, codeTable(), addressValue, sender))
        return false;

    mbox += "From ";
    mbox += sender.isEmpty() ? QByteArray("MAILER-DAEMON") : sender.toLatin1();
    mbox += ' ';
    mbox += fromLineTime(*moment);
    mbox += '\n';
    appendHeader(mbox, "From", addressValue);
    if (m_ownKnown)
        appendHeader(mbox, "To", m_ownHeader);
    appendHeader(mbox, "Subject", subjectValue);
    appendHeader(mbox, "Date", date);
    appendHeader(mbox, "Message-ID", messageIdOf(subject, date, address, body));
    mbox += "MIME-Version: 1.0\n";
    static const char *const charsets[] = {"us-ascii", "ISO-2022-JP", "UTF-8"};
    static const char *const encodings[] = {"7bit", "7bit", "8bit"};
    const int kind = static_cast<int>(charset);
    mbox += "Content-Type: text/plain; charset=";
    mbox += charsets[kind];
    mbox += "\nContent-Transfer-Encoding: ";
    mbox += encodings[kind];
    mbox += "\n\n";
    mbox += bodyLines;
    mbox += '\n';
    return true;
}

} // namespace orv::exchange
