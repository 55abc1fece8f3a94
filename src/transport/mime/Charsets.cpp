#include "transport/mime/Charsets.h"

#include "core/Iconv.h"
#include "transport/mime/CharsetReadings.h"

#include <QList>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>

namespace orv::mime::charsets {

namespace {

constexpr char16_t kGeta = u'\u3013';

std::optional<QString> strictly(const Reading &reading)
{
    return reading.isClean() ? std::optional(reading.text) : std::nullopt;
}

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
