#include "transport/mime/CharsetReadings.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace orv::mime::charsets {

namespace {

constexpr char kEscape = '\x1B';
constexpr char16_t kGeta = u'\u3013';
constexpr char kGetaUtf8[] = "\xE3\x80\x93";

bool inRange(unsigned char byte, unsigned char low, unsigned char high)
{
    return byte >= low && byte <= high;
}

unsigned char byteAt(QByteArrayView rest, qsizetype i)
{
    return i < rest.size() ? static_cast<unsigned char>(rest[i]) : 0;
}

bool isEucByte(unsigned char byte)
{
    return inRange(byte, 0xA1, 0xFE);
}

// One descriptor per charset and thread, as a message converts many runs.
Iconv &readerOf(const char *charset)
{
    thread_local std::map<std::string, std::unique_ptr<Iconv>> readers;
    auto &reader = readers[charset];
    if (!reader)
        reader = std::make_unique<Iconv>("UTF-8", charset);
    return *reader;
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

} // namespace

qsizetype shiftJisUnit(QByteArrayView rest)
{
    const unsigned char lead = byteAt(rest, 0);
    const unsigned char trail = byteAt(rest, 1);
    const bool isLead = inRange(lead, 0x81, 0x9F) || inRange(lead, 0xE0, 0xFC);
    const bool isTrail = inRange(trail, 0x40, 0x7E) || inRange(trail, 0x80, 0xFC);
    return isLead && isTrail ? 2 : 1;
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

bool knowsCharset(const char *charset)
{
    return readerOf(charset).isValid();
}

Reading readWith(QByteArrayView bytes, const char *charset, Iconv::InvalidLength unit)
{
    Reading reading;
    readInto(reading, bytes, charset, unit);
    return reading;
}

namespace {

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

} // namespace

Reading readIso2022Jp(const QByteArray &bytes)
{
    return Iso2022JpReader(bytes).read();
}

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

} // namespace orv::mime::charsets
