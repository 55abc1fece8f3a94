#include "core/Iconv.h"

#include <QString>

#include <gtest/gtest.h>

#include <optional>

namespace orv {
namespace {

QByteArray utf8(const char16_t *text)
{
    return QString::fromUtf16(text).toUtf8();
}

struct StrictCase {
    const char *name;
    QByteArray input;
    const char *to;
    const char *from;
    std::optional<QByteArray> expected;
};

TEST(Iconv, StrictModeConvertsAllOrNothing)
{
    const QByteArray longText = utf8(u"あ").repeated(5000);
    const StrictCase cases[] = {
        {"code page 932", utf8(u"①～表"), "CP932", "UTF-8", QByteArray("\x87\x40\x81\x60\x95\x5C")},
        {"a stateful charset ends in ASCII", utf8(u"あ"), "ISO-2022-JP", "UTF-8",
         QByteArray("\x1B$B$\"\x1B(B")},
        {"output larger than the first buffer", longText, "UTF-16LE", "UTF-8",
         QByteArray(reinterpret_cast<const char *>(QString::fromUtf8(longText).utf16()),
                    longText.size() / 3 * 2)},
        {"unmappable character", utf8(u"a😀b"), "CP932", "UTF-8", std::nullopt},
        {"input cut inside a character", QByteArray("\x82"), "UTF-8", "CP932", std::nullopt},
        {"unknown charset", QByteArray("abc"), "UTF-8", "NO-SUCH-CHARSET", std::nullopt},
        {"empty input", QByteArray(), "UTF-8", "CP932", QByteArray()},
    };
    for (const StrictCase &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(convertStrictly(c.input, c.to, c.from), c.expected);
    }
}

TEST(Iconv, LenientModeReplacesWhatDoesNotConvertAndGoesOn)
{
    Iconv toCp932("CP932", "UTF-8");
    const QByteArray geta("\x81\xAC");
    EXPECT_EQ(toCp932.convertLeniently(utf8(u"a😀b€"), geta, iconvUtf8Sequence),
              QByteArray("a") + geta + "b" + geta);
    // The descriptor starts afresh for every conversion.
    EXPECT_EQ(toCp932.convertLeniently(utf8(u"表"), geta, iconvUtf8Sequence),
              QByteArray("\x95\x5C"));

    Iconv fromCp932("UTF-8", "CP932");
    const QByteArray replacement = utf8(u"\uFFFD");
    EXPECT_EQ(fromCp932.convertLeniently(QByteArray("\xFF"
                                                    "a\x82\xA0\x82"),
                                         replacement, iconvOneByte),
              replacement + "a" + utf8(u"あ") + replacement)
        << "invalid byte, then a character cut off at the end";

    Iconv utf8("UTF-8", "UTF-8");
    qsizetype replaced = -1;
    EXPECT_EQ(utf8.convertLeniently(QByteArray("\xE3\x81"
                                               "a\xFF"),
                                    replacement, iconvUtf8Sequence, &replaced),
              replacement + "a" + replacement)
        << "a sequence cut short ends where its continuation bytes end";
    EXPECT_EQ(replaced, 2);

    Iconv unknown("UTF-8", "NO-SUCH-CHARSET");
    EXPECT_FALSE(unknown.isValid());
    EXPECT_EQ(unknown.convertLeniently("abc", replacement, iconvOneByte), QByteArray());
}

} // namespace
} // namespace orv
