#include "transport/mime/Charsets.h"

#include "core/Cp932.h"
#include "core/Iconv.h"

#include <QStringDecoder>

#include <array>

namespace orv::mime::charsets {

namespace {

constexpr char kEscape = '\x1B';
// A byte that is never valid code page 932, so it comes out as "�".
constexpr char kInvalidCp932 = '\xFF';

enum class Family { Cp932, Iso2022Jp, EucJp, Utf8, Unlabelled, Other };

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
    if (label.startsWith("iso-2022-jp") || label == "csiso2022jp" || label.startsWith("cp5022"))
        return Family::Iso2022Jp;
    if (label == "euc-jp" || label == "eucjp" || label == "x-euc-jp" || label == "euc-jp-ms" ||
        label == "cseucpkdfmtjapanese")
        return Family::EucJp;
    if (label == "utf-8" || label == "utf8")
        return Family::Utf8;
    if (label.isEmpty() || label == "us-ascii" || label == "ascii" || label == "unknown-8bit" ||
        label == "x-unknown" || label == "default")
        return Family::Unlabelled;
    return Family::Other;
}

std::optional<QString> iconvStrictly(const QByteArray &bytes, const char *from)
{
    const auto utf8 = convertStrictly(bytes, "UTF-8", from);
    if (!utf8)
        return std::nullopt;
    return QString::fromUtf8(*utf8);
}

std::optional<QString> utf8Strictly(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
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
    return bytes.contains("\x1B$B") || bytes.contains("\x1B$@") || bytes.contains("\x1B(I");
}

std::optional<QString> eucJpStrictly(const QByteArray &bytes)
{
    // The Windows variant first: it holds the NEC extensions Windows senders use.
    if (auto text = iconvStrictly(bytes, "EUC-JP-MS"))
        return text;
    return iconvStrictly(bytes, "EUC-JP");
}

std::optional<QString> cp932Strictly(const QByteArray &bytes)
{
    return iconvStrictly(bytes, "CP932");
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

// The guesses for bytes whose label is missing or wrong, most specific first: ISO-2022-JP
// and UTF-8 rarely validate by accident, code page 932 is what Japanese Windows writes.
std::optional<QString> guess(const QByteArray &bytes)
{
    if (hasJisEscape(bytes))
        if (auto text = decodeIso2022Jp(bytes))
            return text;
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (auto text = withoutC1Controls(utf8Strictly(bytes)))
        return text;
    auto cp932 = withoutC1Controls(cp932Strictly(bytes));
    if (cp932 && !onlyHalfWidthKatakana(*cp932))
        return cp932;
    if (auto eucJp = withoutC1Controls(eucJpStrictly(bytes)))
        return eucJp;
    return cp932;
}

// A JIS X 0208 pair as its code page 932 bytes; rows 13 and 89 to 92 land on the NEC and
// IBM extensions, which is what makes ① and 纊 come out right.
void appendJisPairAsCp932(unsigned char j1, unsigned char j2, QByteArray &out)
{
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) {
        out += kInvalidCp932;
        return;
    }
    const unsigned char s1 =
        static_cast<unsigned char>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
    unsigned char s2;
    if (j1 & 1)
        s2 = static_cast<unsigned char>(j2 + (j2 >= 0x60 ? 0x20 : 0x1F));
    else
        s2 = static_cast<unsigned char>(j2 + 0x7E);
    out += static_cast<char>(s1);
    out += static_cast<char>(s2);
}

enum class JisMode { Ascii, Kanji, Katakana, UnsupportedDoubleByte };

// The mode an escape sequence at `bytes[i]` selects, and its length; nothing when it is
// not a sequence ISO-2022-JP uses.
std::optional<std::pair<JisMode, int>> escapeAt(const QByteArray &bytes, qsizetype i)
{
    const QByteArray rest = bytes.mid(i, 4);
    if (rest.startsWith("\x1B(B") || rest.startsWith("\x1B(J"))
        return std::pair{JisMode::Ascii, 3};
    if (rest.startsWith("\x1B$B") || rest.startsWith("\x1B$@"))
        return std::pair{JisMode::Kanji, 3};
    if (rest.startsWith("\x1B(I"))
        return std::pair{JisMode::Katakana, 3};
    // JIS X 0213 plane 1 shares its rows with JIS X 0208; JIS X 0212 has no CP932 form.
    if (rest == "\x1B$(Q" || rest == "\x1B$(O")
        return std::pair{JisMode::Kanji, 4};
    if (rest.startsWith("\x1B$(D") || rest.startsWith("\x1B$A") || rest.startsWith("\x1B$(C"))
        return std::pair{JisMode::UnsupportedDoubleByte, rest.startsWith("\x1B$A") ? 3 : 4};
    return std::nullopt;
}

} // namespace

std::optional<QString> decodeIso2022Jp(const QByteArray &bytes)
{
    QByteArray sjis;
    sjis.reserve(bytes.size());
    JisMode mode = JisMode::Ascii;
    bool shiftedOut = false; // SO/SI half-width katakana (CP50222)
    for (qsizetype i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80)
            return std::nullopt;
        if (byte == static_cast<unsigned char>(kEscape)) {
            const auto escape = escapeAt(bytes, i);
            if (!escape)
                return std::nullopt;
            mode = escape->first;
            i += escape->second;
            continue;
        }
        if (byte == 0x0E || byte == 0x0F) {
            shiftedOut = byte == 0x0E;
            ++i;
            continue;
        }
        if (byte == '\r' || byte == '\n') {
            // A line must end in ASCII; senders that forget it would garble the next line.
            mode = JisMode::Ascii;
            shiftedOut = false;
            sjis += static_cast<char>(byte);
            ++i;
            continue;
        }
        const bool katakana = mode == JisMode::Katakana || shiftedOut;
        if (katakana && byte >= 0x21 && byte <= 0x5F) {
            sjis += static_cast<char>(byte + 0x80);
            ++i;
        } else if ((mode == JisMode::Kanji || mode == JisMode::UnsupportedDoubleByte) &&
                   byte > 0x20) {
            const auto second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            if (mode == JisMode::Kanji)
                appendJisPairAsCp932(byte, second, sjis);
            else
                sjis += kInvalidCp932;
            i += 2;
        } else {
            sjis += static_cast<char>(byte);
            ++i;
        }
    }
    return cp932::decode(sjis);
}

std::optional<QString> decodeStrictly(const QByteArray &bytes, const QByteArray &charset)
{
    const QByteArray label = normalizedLabel(charset);
    switch (familyOf(label)) {
    case Family::Cp932:
        return cp932Strictly(bytes);
    case Family::Iso2022Jp:
        return decodeIso2022Jp(bytes);
    case Family::EucJp:
        return eucJpStrictly(bytes);
    case Family::Utf8:
        return utf8Strictly(bytes);
    case Family::Unlabelled:
        return isAscii(bytes) && !hasJisEscape(bytes) ? std::optional(QString::fromLatin1(bytes))
                                                      : std::nullopt;
    case Family::Other:
        return iconvStrictly(bytes, label.constData());
    }
    return std::nullopt;
}

QString decode(const QByteArray &bytes, const QByteArray &charset)
{
    if (auto text = decodeStrictly(bytes, charset))
        return *text;
    if (auto text = guess(bytes))
        return *text;
    return cp932::decode(bytes);
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

} // namespace orv::mime::charsets
