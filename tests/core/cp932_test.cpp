#include "core/Cp932.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

struct RoundTrip {
    const char *name;
    const char *utf8;
    QByteArray cp932;
};

class Cp932RoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(Cp932RoundTrip, EncodesToWindowsBytesAndBack)
{
    const RoundTrip &row = GetParam();
    const QString text = QString::fromUtf8(row.utf8);
    EXPECT_EQ(cp932::encode(text).toHex(' '), row.cp932.toHex(' '));
    EXPECT_EQ(cp932::decode(row.cp932), text);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Cp932RoundTrip,
    ::testing::Values(RoundTrip{"ascii", "Subject: hello", QByteArray("Subject: hello")},
                      RoundTrip{"circled_one", "①", QByteArray("\x87\x40", 2)},
                      RoundTrip{"fullwidth_tilde", "～", QByteArray("\x81\x60", 2)},
                      RoundTrip{"fullwidth_minus", "－", QByteArray("\x81\x7C", 2)},
                      RoundTrip{"fullwidth_yen", "￥", QByteArray("\x81\x8F", 2)},
                      RoundTrip{"nec_kanji", "髙", QByteArray("\xFB\xFC", 2)},
                      RoundTrip{"ibm_kanji", "纊", QByteArray("\xFA\x5C", 2)},
                      RoundTrip{"kanji_with_backslash_trail", "表", QByteArray("\x95\x5C", 2)},
                      RoundTrip{"halfwidth_katakana", "ｱ", QByteArray("\xB1", 1)},
                      RoundTrip{"roman_numeral", "Ⅰ", QByteArray("\x87\x54", 2)}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Cp932, UnmappableCharactersBecomeGetaMarks)
{
    EXPECT_EQ(cp932::encode(QString::fromUtf8("a€b😀c")), QByteArray("a\x81\xAC"
                                                                    "b\x81\xAC"
                                                                    "c"));
}

TEST(Cp932, InvalidBytesDecodeAsReplacementCharacters)
{
    // A lone lead byte at the end and an undefined pair.
    EXPECT_EQ(cp932::decode(QByteArray("ab\x82", 3)), QString::fromUtf8("ab\uFFFD"));
    EXPECT_TRUE(cp932::decode(QByteArray("\x85\x40x", 3)).contains(QChar(0xFFFD)));
}

TEST(Cp932, YenSignIsWrittenAsBackslashByte)
{
    EXPECT_EQ(cp932::encode(QString::fromUtf8("¥")), QByteArray("\\"));
}

struct FieldCut {
    const char *name;
    const char *utf8;
    qsizetype width;
    QByteArray expected;
};

class Cp932FixedField : public ::testing::TestWithParam<FieldCut> {};

TEST_P(Cp932FixedField, PadsWithSpacesAndCutsAtCharacterBoundaries)
{
    const FieldCut &row = GetParam();
    const QByteArray field = cp932::fixedField(QString::fromUtf8(row.utf8), row.width);
    EXPECT_EQ(field.size(), row.width);
    EXPECT_EQ(field.toHex(' '), row.expected.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, Cp932FixedField,
    ::testing::Values(
        FieldCut{"padded", "abc", 5, QByteArray("abc  ")},
        FieldCut{"exact", "あい", 4, QByteArray("\x82\xA0\x82\xA2", 4)},
        FieldCut{"cut_between_characters", "あいう", 4, QByteArray("\x82\xA0\x82\xA2", 4)},
        FieldCut{"cut_would_split_kanji", "aあい", 4, QByteArray("a\x82\xA0 ", 4)},
        FieldCut{"half_width_katakana_is_one_byte", "ｱｲｳ", 2, QByteArray("\xB1\xB2", 2)},
        FieldCut{"empty", "", 3, QByteArray("   ")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Cp932, SixtyFullWidthCharactersCutToOneHundredBytes)
{
    const QString subject(60, QChar(0x3042)); // あ
    const QByteArray field = cp932::fixedField(subject, 100);
    EXPECT_EQ(cp932::decode(field), QString(50, QChar(0x3042)));
}

struct TextRule {
    const char *name;
    QString input;
    QString expected;
};

TEST(TextRules, CutAtNulAndBlankTrimming)
{
    const QString nul(QChar(u'\0'));
    const TextRule cutAtNulRows[] = {
        {"no_nul_keeps_spaces", QStringLiteral("abc  "), QStringLiteral("abc  ")},
        {"stops_at_first_nul", QStringLiteral("ab") + nul + QStringLiteral("cd"),
         QStringLiteral("ab")},
        {"nul_first_gives_empty", nul + QStringLiteral("abc"), QString()},
    };
    for (const TextRule &row : cutAtNulRows)
        EXPECT_EQ(cutAtNul(row.input), row.expected) << row.name;

    const TextRule trimRows[] = {
        {"spaces_both_ends", QStringLiteral(" hello "), QStringLiteral("hello")},
        {"tabs_and_line_ends_stay", QStringLiteral("\t a \r\n"), QStringLiteral("\t a \r\n")},
        {"full_width_space_stays", QString::fromUtf8("　a "), QString::fromUtf8("　a")},
        {"only_spaces", QStringLiteral("    "), QString()},
    };
    for (const TextRule &row : trimRows)
        EXPECT_EQ(trimBlanks(row.input), row.expected) << row.name;
    EXPECT_EQ(trimTrailingBlanks(QStringLiteral("  a b  ")), QStringLiteral("  a b"));
}

} // namespace
} // namespace orv
