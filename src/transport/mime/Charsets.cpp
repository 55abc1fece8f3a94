#include "transport/mime/Charsets.h"

#include "core/Iconv.h"

#include <QList>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>

namespace orv::mime::charsets {

namespace {

constexpr char kEscape = '\x1B';
constexpr char16_t kGeta = u'\u3013';
constexpr char kGetaUtf8[] = "\xE3\x80\x93";

// A lenient reading and how many sequences in it could not be read.
struct Reading {
    QString text;
    qsizetype unreadable = 0;

    bool isClean() const { return unreadable == 0; }
};

// ---------------------------------------------------------------------------------------
// Where a sequence that cannot be read ends: the next character boundary of its charset.

bool inRange(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

unsigned char byteAt(QByteArrayView rest, qsizetype i)
{
    return i < rest.size() ? static_cast<unsigned char>(rest[i]) : 0;
}

qsizetype shiftJisUnit(QByteArrayView rest)
{
    const unsigned char lead = byteAt(rest, 0);
    const unsigned char trail = byteAt(rest, 1);
    const bool isLead = inRange(lead, 0x81, 0x9F) || inRange(lead, 0xE0, 0xFC);
    const bool isTrail = inRange(trail, 0x40, 0x7E) || inRange(trail, 0x80, 0xFC);
    return isLead && isTrail ? 2 : 1;
}

bool isEucByte(unsigned char byte)
{
    return inRange(byte, 0xA1, 0xFE);
}

qsizetype eucJpUnit(QByteArrayView rest)
{
    const unsigned char lead = byteAt(rest, 0);
    if (lead == 0x8E)
        return inRange(byteAt(rest, 1), 0xA1, 0xDF) ? 2 : 1;
    if (lead == 0x8F)
        return isEucByte(byteAt(rest, 1)) && isEucByte(byteAt(rest, 2)) ? 3 : 1;
    return isEucByte(lead) && isEucByte(byteAt(rest, 1)) ? 2 : 1;
}

// GB 2312, GBK, KS C 5601, Big5 and their kin: a lead byte and one trail byte; GB 18030's
// four-byte form has a digit second.
qsizetype doubleByteUnit(QByteArrayView rest)
{
    const unsigned char lead = byteAt(rest, 0);
    const unsigned char second = byteAt(rest, 1);
    if (!inRange(lead, 0x81, 0xFE))
        return 1;
    if (inRange(second, 0x30, 0x39))
        return inRange(byteAt(rest, 2), 0x81, 0xFE) && inRange(byteAt(rest, 3), 0x30, 0x39) ? 4 : 1;
    return inRange(second, 0x40, 0xFE) && second != 0x7F ? 2 : 1;
}

// ---------------------------------------------------------------------------------------
// iconv readers: one descriptor per charset and thread, as a message converts many runs.

Iconv &readerOf(const char *charset)
{
    thread_local std::map<std::string, std::unique_ptr<Iconv>> readers;
    auto &reader = readers[charset];
    if (!reader)
        reader = std::make_unique<Iconv>("UTF-8", charset);
    return *reader;
}

bool knowsCharset(const char *charset)
{
    return readerOf(charset).isValid();
}

void readInto(Reading &reading, QByteArrayView bytes, const char *charset,
              Iconv::InvalidLength unit)
{
    if (bytes.isEmpty())
        return;
    qsizetype unreadable = 0;
    reading.text += QString::fromUtf8(
        readerOf(charset).convertLeniently(bytes, QByteArrayView(kGetaUtf8, 3), unit, &unreadable));
    reading.unreadable += unreadable;
}

Reading readWith(QByteArrayView bytes, const char *charset, Iconv::InvalidLength unit)
{
    Reading reading;
    readInto(reading, bytes, charset, unit);
    return reading;
}

std::optional<QString> strictly(const Reading &reading)
{
    return reading.isClean() ? std::optional(reading.text) : std::nullopt;
}

// ---------------------------------------------------------------------------------------
// Text made of runs in several charsets (ISO-2022-JP's designations, EUC-JP's planes):
// each run is converted as a whole when the charset changes.

enum class RunCharset { Cp932, EucJpMs, EucJis2004, Gb2312, Ksc5601, Latin1, Greek };

struct RunReader {
    const char *iconvName;
    Iconv::InvalidLength unit;
};

RunReader runReader(RunCharset charset)
{
    switch (charset) {
    case RunCharset::Cp932:
        return {"CP932", shiftJisUnit};
    case RunCharset::EucJpMs:
        return {"EUC-JP-MS", eucJpUnit};
    case RunCharset::EucJis2004:
        return {"EUC-JISX0213", eucJpUnit};
    case RunCharset::Gb2312:
        return {"EUC-CN", doubleByteUnit};
    case RunCharset::Ksc5601:
        return {"EUC-KR", doubleByteUnit};
    case RunCharset::Latin1:
        return {"ISO-8859-1", iconvOneByte};
    case RunCharset::Greek:
        return {"ISO-8859-7", iconvOneByte};
    }
    return {"CP932", shiftJisUnit};
}

class RunText {
public:
    void add(RunCharset charset, std::initializer_list<unsigned char> bytes)
    {
        if (charset != m_charset)
            flush();
        m_charset = charset;
        for (unsigned char byte : bytes)
            m_pending += static_cast<char>(byte);
    }

    void addUnreadable()
    {
        flush();
        m_reading.text += kGeta;
        ++m_reading.unreadable;
    }

    Reading finish()
    {
        flush();
        return std::move(m_reading);
    }

private:
    void flush()
    {
        const RunReader reader = runReader(m_charset);
        readInto(m_reading, m_pending, reader.iconvName, reader.unit);
        m_pending.clear();
    }

    Reading m_reading;
    RunCharset m_charset = RunCharset::Cp932;
    QByteArray m_pending;
};

// A JIS X 0208 pair as its code page 932 bytes; rows 13 and 89 to 92 land on the NEC and
// IBM extensions, which is what makes ① and 纊 come out right. Rows code page 932 leaves
// empty (carriers' pictographs, user-defined characters) stay unreadable there.
void addJisPairAsCp932(RunText &out, unsigned char j1, unsigned char j2)
{
    const auto s1 = static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    unsigned char s2;
    if (j1 & 1)
        s2 = static_cast<unsigned char>(j2 + (j2 >= 0x60 ? 0x20 : 0x1F));
    else
        s2 = static_cast<unsigned char>(j2 + 0x7E);
    out.add(RunCharset::Cp932, {s1, s2});
}

// ---------------------------------------------------------------------------------------
// ISO-2022-JP and its extensions.

enum class G0 { Ascii, Jis0208, Katakana, Jis0212, Jis0213Plane1, Jis0213Plane2, Gb2312, Ksc5601 };
enum class G2 { None, Latin1, Greek };

struct Designation {
    const char *sequence; // after ESC
    std::optional<G0> g0;
    std::optional<G2> g2;
};

const std::array<Designation, 18> &designations()
{
    static const std::array<Designation, 18> table = {{
        {"(B", G0::Ascii, {}},
        {"(J", G0::Ascii, {}},
        {"(I", G0::Katakana, {}},
        {"$B", G0::Jis0208, {}},
        {"$@", G0::Jis0208, {}},
        {"$(B", G0::Jis0208, {}},
        {"$(@", G0::Jis0208, {}},
        {"$A", G0::Gb2312, {}},
        {"$(A", G0::Gb2312, {}},
        {"$(C", G0::Ksc5601, {}},
        {"$(D", G0::Jis0212, {}},
        {"$(O", G0::Jis0213Plane1, {}},
        {"$(Q", G0::Jis0213Plane1, {}},
        {"$(P", G0::Jis0213Plane2, {}},
        {".A", {}, G2::Latin1},
        {".F", {}, G2::Greek},
        // JIS X 0208-1990's announcer: it changes nothing.
        {"&@", {}, {}},
        {"N", {}, {}}, // single shift 2, handled by the reader
    }};
    return table;
}

bool isDoubleByte(G0 set)
{
    return set != G0::Ascii && set != G0::Katakana;
}

bool isJisByte(unsigned char byte)
{
    return byte >= 0x21 && byte <= 0x7E;
}

class Iso2022JpReader {
public:
    explicit Iso2022JpReader(const QByteArray &bytes) : m_bytes(bytes) {}

    Reading read()
    {
        while (m_at < m_bytes.size()) {
            const auto byte = static_cast<unsigned char>(m_bytes[m_at]);
            if (byte == static_cast<unsigned char>(kEscape))
                readEscape();
            else if (byte >= 0x80)
                unreadable(1);
            else if (byte == 0x0E || byte == 0x0F)
                shift(byte == 0x0E);
            else if (byte == '\r' || byte == '\n')
                lineEnd(byte);
            else if (isDoubleByte(m_g0) && byte > 0x20)
                readPair(byte);
            else
                readSingle(byte);
        }
        return m_out.finish();
    }

private:
    unsigned char at(qsizetype i) const
    {
        return i < m_bytes.size() ? static_cast<unsigned char>(m_bytes[i]) : 0;
    }

    void unreadable(qsizetype length)
    {
        m_out.addUnreadable();
        m_at += length;
    }

    void shift(bool out)
    {
        m_shiftedOut = out;
        ++m_at;
    }

    // A line must end in ASCII; senders that forget it would garble the next line.
    void lineEnd(unsigned char byte)
    {
        m_g0 = G0::Ascii;
        m_g2 = G2::None;
        m_shiftedOut = false;
        m_out.add(RunCharset::Cp932, {byte});
        ++m_at;
    }

    void readEscape()
    {
        const QByteArrayView rest = QByteArrayView(m_bytes).sliced(m_at + 1);
        for (const Designation &designation : designations()) {
            if (!rest.startsWith(designation.sequence))
                continue;
            if (designation.sequence[0] == 'N')
                return readSingleShift();
            if (designation.g0)
                m_g0 = *designation.g0;
            if (designation.g2)
                m_g2 = *designation.g2;
            m_at += 1 + static_cast<qsizetype>(qstrlen(designation.sequence));
            return;
        }
        // An unknown sequence: ESC, its intermediate bytes and its final byte.
        qsizetype length = 1;
        while (inRange(at(m_at + length), 0x20, 0x2F))
            ++length;
        if (inRange(at(m_at + length), 0x30, 0x7E))
            ++length;
        unreadable(length);
    }

    // ESC N and one character of the set in G2.
    void readSingleShift()
    {
        const unsigned char byte = at(m_at + 2);
        const bool hasCharacter = inRange(byte, 0x20, 0x7F);
        if (m_g2 == G2::None || !hasCharacter)
            return unreadable(hasCharacter ? 3 : 2);
        const auto high = static_cast<unsigned char>(byte | 0x80);
        m_out.add(m_g2 == G2::Latin1 ? RunCharset::Latin1 : RunCharset::Greek, {high});
        m_at += 3;
    }

    void readPair(unsigned char first)
    {
        const unsigned char second = at(m_at + 1);
        if (!isJisByte(first) || !isJisByte(second))
            return unreadable(1);
        const auto high1 = static_cast<unsigned char>(first | 0x80);
        const auto high2 = static_cast<unsigned char>(second | 0x80);
        switch (m_g0) {
        case G0::Jis0208:
            addJisPairAsCp932(m_out, first, second);
            break;
        case G0::Jis0212:
            m_out.add(RunCharset::EucJpMs, {0x8F, high1, high2});
            break;
        case G0::Jis0213Plane1:
            m_out.add(RunCharset::EucJis2004, {high1, high2});
            break;
        case G0::Jis0213Plane2:
            m_out.add(RunCharset::EucJis2004, {0x8F, high1, high2});
            break;
        case G0::Gb2312:
            m_out.add(RunCharset::Gb2312, {high1, high2});
            break;
        case G0::Ksc5601:
            m_out.add(RunCharset::Ksc5601, {high1, high2});
            break;
        case G0::Ascii:
        case G0::Katakana:
            break;
        }
        m_at += 2;
    }

    void readSingle(unsigned char byte)
    {
        const bool katakana = m_g0 == G0::Katakana || m_shiftedOut;
        if (katakana && inRange(byte, 0x21, 0x5F))
            byte = static_cast<unsigned char>(byte + 0x80);
        m_out.add(RunCharset::Cp932, {byte});
        ++m_at;
    }

    const QByteArray &m_bytes;
    qsizetype m_at = 0;
    G0 m_g0 = G0::Ascii;
    G2 m_g2 = G2::None;
    bool m_shiftedOut = false; // SO/SI half-width katakana (CP50222)
    RunText m_out;
};

Reading readIso2022Jp(const QByteArray &bytes)
{
    return Iso2022JpReader(bytes).read();
}

// ---------------------------------------------------------------------------------------
// EUC-JP as web forms write it: the two-byte plane read as code page 932 (so the NEC row 13
// and the NEC-selected IBM rows of eucJP-ms and CP51932 come out, and user-defined rows
// become "〓"), JIS X 0212 and eucJP-ms' IBM extensions through glibc's EUC-JP-MS.

Reading readEucJp(const QByteArray &bytes)
{
    RunText out;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = eucJpUnit(QByteArrayView(bytes).sliced(i));
        if (lead < 0x80) {
            out.add(RunCharset::Cp932, {lead});
        } else if (length == 1) {
            out.addUnreadable();
        } else if (lead == 0x8E) {
            out.add(RunCharset::Cp932, {static_cast<unsigned char>(bytes[i + 1])});
        } else if (lead == 0x8F) {
            out.add(RunCharset::EucJpMs, {lead, static_cast<unsigned char>(bytes[i + 1]),
                                          static_cast<unsigned char>(bytes[i + 2])});
        } else {
            addJisPairAsCp932(out, lead & 0x7F, static_cast<unsigned char>(bytes[i + 1]) & 0x7F);
        }
        i += length;
    }
    return out.finish();
}

// ---------------------------------------------------------------------------------------
// Labels and the readings they stand for.

enum class Family { Cp932, ShiftJis2004, Iso2022Jp, EucJp, EucJis2004, Utf8, Unlabelled, Other };

QByteArray normalizedLabel(const QByteArray &charset)
{
    QByteArray label = charset.trimmed().toLower();
    if (label.size() >= 2 && label.startsWith('"') && label.endsWith('"'))
        label = label.mid(1, label.size() - 2).trimmed();
    return label;
}

Family familyOf(const QByteArray &label)
{
    static const std::array<const char *, 10> cp932Labels = {
        "shift_jis", "shift-jis", "sjis",     "x-sjis",     "windows-31j",
        "cp932",     "ms932",     "ms_kanji", "csshiftjis", "x-ms-cp932"};
    for (const char *name : cp932Labels)
        if (label == name)
            return Family::Cp932;
    if (label == "shift_jis-2004" || label == "shift_jisx0213" || label == "shift_jis-2000")
        return Family::ShiftJis2004;
    if (label.startsWith("iso-2022-jp") || label == "csiso2022jp" || label == "csiso2022jp2" ||
        label.startsWith("cp5022"))
        return Family::Iso2022Jp;
    if (label == "euc-jp" || label == "eucjp" || label == "x-euc-jp" || label == "euc-jp-ms" ||
        label == "eucjp-ms" || label == "eucjp-win" || label == "cp51932" ||
        label == "cseucpkdfmtjapanese")
        return Family::EucJp;
    if (label == "euc-jis-2004" || label == "euc-jisx0213" || label == "euc-jis-2000")
        return Family::EucJis2004;
    if (label == "utf-8" || label == "utf8")
        return Family::Utf8;
    if (label.isEmpty() || label == "us-ascii" || label == "ascii" || label == "unknown-8bit" ||
        label == "x-unknown" || label == "default")
        return Family::Unlabelled;
    return Family::Other;
}

bool isAscii(const QByteArray &bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool hasJisEscape(const QByteArray &bytes)
{
    return bytes.contains("\x1B$") || bytes.contains("\x1B(I") || bytes.contains("\x1B.");
}

std::optional<QString> utf8Strictly(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

Reading readUtf8(const QByteArray &bytes)
{
    if (auto text = utf8Strictly(bytes))
        return {*text, 0};
    return readWith(bytes, "UTF-8", iconvUtf8Sequence);
}

// Shift_JIS as Windows writes it; text that code page 932 cannot read but Shift_JIS-2004
// can (JIS X 0213 characters such as 﨑 at its own place) is Shift_JIS-2004.
Reading readCp932(const QByteArray &bytes)
{
    Reading cp932 = readWith(bytes, "CP932", shiftJisUnit);
    if (cp932.isClean())
        return cp932;
    if (Reading jis2004 = readWith(bytes, "SHIFT_JISX0213", shiftJisUnit); jis2004.isClean())
        return jis2004;
    return cp932;
}

Reading readEucJpOr2004(const QByteArray &bytes)
{
    Reading eucJp = readEucJp(bytes);
    if (eucJp.isClean())
        return eucJp;
    if (Reading jis2004 = readWith(bytes, "EUC-JISX0213", eucJpUnit); jis2004.isClean())
        return jis2004;
    return eucJp;
}

Iconv::InvalidLength unitOfLabel(const QByteArray &label)
{
    static const std::array<const char *, 12> doubleByteLabels = {
        "gb2312", "gbk",   "gb18030", "euc-cn", "cp936",          "x-gbk",
        "big5",   "cp950", "euc-kr",  "cp949",  "ks_c_5601-1987", "big5-hkscs"};
    for (const char *name : doubleByteLabels)
        if (label == name)
            return doubleByteUnit;
    return iconvOneByte;
}

Reading readLabelled(const QByteArray &bytes, Family family, const QByteArray &label)
{
    switch (family) {
    case Family::Cp932:
        return readCp932(bytes);
    case Family::ShiftJis2004:
        return readWith(bytes, "SHIFT_JISX0213", shiftJisUnit);
    case Family::Iso2022Jp:
        return readIso2022Jp(bytes);
    case Family::EucJp:
        return readEucJpOr2004(bytes);
    case Family::EucJis2004:
        return readWith(bytes, "EUC-JISX0213", eucJpUnit);
    case Family::Utf8:
        return readUtf8(bytes);
    case Family::Other:
        return readWith(bytes, label.constData(), unitOfLabel(label));
    case Family::Unlabelled:
        break;
    }
    return readCp932(bytes);
}

// C1 controls never appear in real text; a guess that yields them read the wrong charset.
std::optional<QString> withoutC1Controls(std::optional<QString> text)
{
    if (text)
        for (QChar c : *text)
            if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
                return std::nullopt;
    return text;
}

// EUC-JP kana and kanji bytes are valid code page 932 too, where they read as half-width
// katakana; text that is nothing but half-width katakana is far more likely EUC-JP.
bool onlyHalfWidthKatakana(const QString &text)
{
    bool any = false;
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            continue;
        if (c.unicode() < 0xFF61 || c.unicode() > 0xFF9F)
            return false;
        any = true;
    }
    return any;
}

// Readings that rarely succeed by accident: ISO-2022-JP (seven bits with its escapes) and
// UTF-8.
std::optional<QString> unmistakable(const QByteArray &bytes)
{
    if (isAscii(bytes) && hasJisEscape(bytes))
        if (auto text = decodeIso2022Jp(bytes))
            return text;
    if (!isAscii(bytes))
        return withoutC1Controls(utf8Strictly(bytes));
    return std::nullopt;
}

// The guesses for bytes whose label is missing or wrong, most specific first: code page
// 932 is what Japanese Windows writes.
std::optional<QString> guess(const QByteArray &bytes)
{
    if (auto text = unmistakable(bytes))
        return text;
    if (isAscii(bytes))
        return hasJisEscape(bytes) ? readIso2022Jp(bytes).text : QString::fromLatin1(bytes);
    auto cp932 = withoutC1Controls(strictly(readCp932(bytes)));
    if (cp932 && !onlyHalfWidthKatakana(*cp932))
        return cp932;
    if (auto eucJp = withoutC1Controls(strictly(readEucJpOr2004(bytes))))
        return eucJp;
    return cp932;
}

// When nothing reads the bytes cleanly, the reading that stumbles least.
QString bestLenientReading(const QByteArray &bytes)
{
    Reading best = readCp932(bytes);
    for (Reading other : {readUtf8(bytes), readEucJpOr2004(bytes), readIso2022Jp(bytes)})
        if (other.unreadable < best.unreadable)
            best = std::move(other);
    return best.text;
}

// A label is wrong rather than the text broken when more than one sequence and a quarter
// of what it reads is unreadable, or when it claims seven-bit ISO-2022-JP for eight-bit
// bytes. One bad sequence is a broken character, not a wrong charset.
bool labelIsWrong(const Reading &reading, Family family, const QByteArray &bytes)
{
    if (family == Family::Iso2022Jp && !isAscii(bytes))
        return true;
    return reading.unreadable > 1 && reading.unreadable * 4 > reading.text.size();
}

} // namespace

std::optional<QString> decodeIso2022Jp(const QByteArray &bytes)
{
    return strictly(readIso2022Jp(bytes));
}

std::optional<QString> decodeStrictly(const QByteArray &bytes, const QByteArray &charset)
{
    const QByteArray label = normalizedLabel(charset);
    const Family family = familyOf(label);
    if (family == Family::Unlabelled)
        return isAscii(bytes) && !hasJisEscape(bytes) ? std::optional(QString::fromLatin1(bytes))
                                                      : std::nullopt;
    if (family == Family::Other && !knowsCharset(label.constData()))
        return std::nullopt;
    return strictly(readLabelled(bytes, family, label));
}

QString decode(const QByteArray &bytes, const QByteArray &charset)
{
    const QByteArray label = normalizedLabel(charset);
    const Family family = familyOf(label);
    const bool trustworthy = family != Family::Unlabelled &&
                             (family != Family::Other || knowsCharset(label.constData()));
    if (!trustworthy) {
        if (auto text = guess(bytes))
            return *text;
        return bestLenientReading(bytes);
    }
    Reading reading = readLabelled(bytes, family, label);
    if (reading.isClean())
        return reading.text;
    if (auto text = unmistakable(bytes))
        return *text;
    if (labelIsWrong(reading, family, bytes))
        if (auto text = guess(bytes))
            return *text;
    return reading.text;
}

std::optional<QByteArray> encodeIso2022Jp(const QString &text)
{
    QString jisForms = text;
    static const std::array<std::pair<char16_t, char16_t>, 6> windowsToJis = {{
        {u'\uFF5E', u'\u301C'}, // ～ wave dash
        {u'\uFF0D', u'\u2212'}, // － minus
        {u'\u2225', u'\u2016'}, // ∥ double vertical line
        {u'\uFFE2', u'\u00AC'}, // ￢ not sign
        {u'\uFFE0', u'\u00A2'}, // ￠ cent
        {u'\uFFE1', u'\u00A3'}, // ￡ pound
    }};
    for (const auto &[windows, jis] : windowsToJis)
        jisForms.replace(QChar(windows), QChar(jis));

    // A subject is encoded once for every character it may end a word with, so opening the
    // converter would cost more than converting; each thread keeps one.
    thread_local Iconv toJis("ISO-2022-JP", "UTF-8");
    return toJis.convertStrictly(jisForms.toUtf8());
}

namespace {

bool isPrivateUse(char32_t c)
{
    return (c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000;
}

bool isVariationSelector(char32_t c)
{
    return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF);
}

// Characters that may join their neighbours into one visible character, or that code page
// 932's conversion would keep although they are nobody's text (private use).
bool needsFitting(QChar c)
{
    const char16_t u = c.unicode();
    if (c.isSurrogate() || isPrivateUse(u))
        return true;
    if ((u >= 0x1100 && u <= 0x11FF) || (u >= 0xA960 && u <= 0xA97F) ||
        (u >= 0xD7B0 && u <= 0xD7FF))
        return true; // Hangul jamo, which compose into syllables
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return true;
    default:
        return false;
    }
}

bool cp932Holds(const QString &text)
{
    for (char32_t c : text.toUcs4())
        if (isPrivateUse(c))
            return false;
    thread_local Iconv toCp932("CP932", "UTF-8");
    return toCp932.convertStrictly(text.toUtf8()).has_value();
}

QString fittedCluster(QStringView cluster)
{
    QString bare;
    for (char32_t c : cluster.toUcs4())
        if (!isVariationSelector(c))
            bare += QString::fromUcs4(&c, 1);
    const QString composed = bare.normalized(QString::NormalizationForm_C);
    if (composed.isEmpty() || cp932Holds(composed))
        return composed;
    // One code point that code page 932 lacks becomes "〓" in its conversion anyway.
    const bool single =
        composed.size() == 1 || (composed.size() == 2 && composed.front().isHighSurrogate());
    if (single && !isPrivateUse(composed.toUcs4().front()))
        return composed;
    return QString(QChar(kGeta));
}

} // namespace

QString fittedToCp932(const QString &text)
{
    if (std::none_of(text.begin(), text.end(), needsFitting))
        return text;
    QString fitted;
    fitted.reserve(text.size());
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = clusters.toNextBoundary();
        if (end <= start)
            end = text.size();
        const QStringView cluster = QStringView(text).sliced(start, end - start);
        if (std::none_of(cluster.begin(), cluster.end(), needsFitting))
            fitted += cluster;
        else
            fitted += fittedCluster(cluster);
        start = end;
    }
    return fitted;
}

} // namespace orv::mime::charsets
