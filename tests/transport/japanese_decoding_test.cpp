#include "core/Cp932.h"
#include "core/Iconv.h"
#include "transport/ReceivedRecord.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/HtmlText.h"
#include "transport/mime/MessageDecoder.h"
#include "transport/mime/PartContent.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orv::mime {
namespace {

std::string text(const QString &value)
{
    return value.toStdString();
}

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(ORVAINE_SOURCE_DIR "/tests/transport/fixtures/") +
               QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QByteArray sjis(const char *utf8)
{
    return cp932::encode(QString::fromUtf8(utf8));
}

// ISO-2022-JP of JIS X 0208 text (no Windows extras) between ESC $ B and ESC ( B.
QByteArray jis(const QByteArray &utf8)
{
    return charsets::encodeIso2022Jp(QString::fromUtf8(utf8)).value_or("<not jis>");
}

QByteArray eucJp(const char *utf8)
{
    return convertStrictly(QByteArray(utf8), "EUC-JP", "UTF-8").value_or("<not euc-jp>");
}

// What a record keeps of decoded text: code page 932, as the decoder fits it.
std::string stored(const QString &decoded)
{
    return text(cp932::decode(cp932::encode(charsets::fittedToCp932(decoded))));
}

TEST(CharsetLayer, AnUnreadableUnitCostsOneGetaAndTheTextAfterItIsIntact)
{
    struct Case {
        const char *name;
        QByteArray label;
        QByteArray bytes;
        const char *expected;
    };
    const Case cases[] = {
        {"shift_jis: a pair neither cp932 nor shift_jis-2004 assigns", "Shift_JIS",
         "\x82\xFA" + sjis("のテキストです"), "〓のテキストです"},
        {"shift_jis: a lead byte before a line end", "Shift_JIS",
         "\x81\r\n" + sjis("のテキストです"), "〓\r\nのテキストです"},
        {"shift_jis: a byte no shift_jis uses", "Shift_JIS", "\xFD" + sjis("のテキストです"),
         "〓のテキストです"},
        {"shift_jis-2004", "Shift_JIS-2004", "\x82\xFA" + sjis("のテキストです"),
         "〓のテキストです"},
        {"iso-2022-jp: a pair no row holds", "ISO-2022-JP",
         "\x1B$B$|" + jis("のテキストです").mid(3), "〓のテキストです"},
        {"iso-2022-jp: an escape it does not know", "ISO-2022-JP", "\x1B$Z" + jis("のテキストです"),
         "〓のテキストです"},
        {"iso-2022-jp: an eight-bit byte", "ISO-2022-JP", "\x80" + jis("のテキストです"),
         "〓のテキストです"},
        {"iso-2022-jp-2: a gb 2312 pair it lacks", "ISO-2022-JP-2",
         "\x1B$A~~" + jis("のテキストです"), "〓のテキストです"},
        {"iso-2022-jp-2: a single shift with nothing in g2", "ISO-2022-JP-2",
         "\x1BNi" + jis("のテキストです"), "〓のテキストです"},
        {"iso-2022-jp-3: a plane 1 pair it lacks", "ISO-2022-JP-3",
         "\x1B$(Q$|" + jis("のテキストです"), "〓のテキストです"},
        {"euc-jp: a pair no row holds", "EUC-JP", "\xA4\xFC" + eucJp("のテキストです"),
         "〓のテキストです"},
        {"euc-jp: a lead byte before ascii", "EUC-JP",
         "\xA4"
         "abc" +
             eucJp("のテキストです"),
         "〓abcのテキストです"},
        {"euc-jis-2004", "EUC-JIS-2004", "\xA4\xFC" + eucJp("のテキストです"), "〓のテキストです"},
        {"utf-8: a sequence cut short", "UTF-8", "\xE3\x81" + QByteArray("のテキストです"),
         "〓のテキストです"},
        {"utf-8: a byte that starts nothing", "UTF-8", "\xFF" + QByteArray("のテキストです"),
         "〓のテキストです"},
        {"utf-8: an encoded surrogate", "UTF-8", "\xED\xA0\x80" + QByteArray("のテキストです"),
         "〓のテキストです"},
        {"gb 2312", "GB2312", "\xFE\xFE" + convertStrictly("中文", "GB2312", "UTF-8").value(),
         "〓中文"},
        {"euc-kr", "EUC-KR",
         "\xFE\xFE"
         "abcdef",
         "〓abcdef"},
        {"big5", "Big5",
         "\xFE\xFE"
         "abcdef",
         "〓abcdef"},
        {"windows-1252", "windows-1252",
         "\x81"
         "abcdef",
         "〓abcdef"},
        {"unlabelled", "", "\x82\xFA" + sjis("のテキストです"), "〓のテキストです"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(stored(charsets::decode(c.bytes, c.label)), c.expected) << c.name;
}

struct FaultFixture {
    const char *file;
    const char *fault;
    const char *subject;
    const char *from;
    const char *bodyFragment;
    const char *attachment;
};

void PrintTo(const FaultFixture &c, std::ostream *out)
{
    *out << c.file;
}

class JapaneseDecoderFault : public ::testing::TestWithParam<FaultFixture> {};

TEST_P(JapaneseDecoderFault, StoresWhatTheSenderWrote)
{
    const FaultFixture &c = GetParam();
    SCOPED_TRACE(c.fault);
    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    QString error;
    expandMessage(fixture(c.file), folder.path(), fields, body, &error);
    const MailRecord record = receivedRecord(fields, body);
    EXPECT_EQ(text(trimBlanks(record.subject())), c.subject);
    EXPECT_EQ(text(trimBlanks(record.address())), c.from);
    EXPECT_TRUE(record.body().contains(QString::fromUtf8(c.bodyFragment)))
        << c.bodyFragment << " not in:\n"
        << text(trimBlanks(record.body()));
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    EXPECT_EQ(files, *c.attachment ? QStringList{QString::fromUtf8(c.attachment)} : QStringList());
}

const char *const kYamada = "山田太郎 <yamada@example.jp>";

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JapaneseDecoderFault,
    ::testing::Values(
        FaultFixture{"shift_jis_2004_under_shift_jis_label.eml",
                     "a JIS X 0213 character under a Shift_JIS label damaged its neighbours",
                     "山﨑です", "山﨑 <yamazaki@example.jp>", "山﨑です。よろしく。", ""},
        FaultFixture{"euc_jis_2004.eml", "EUC-JIS-2004 was not read", "﨑と〓", kYamada,
                     "﨑と〓の本文。", ""},
        FaultFixture{"iso2022jp_2004.eml",
                     "ISO-2022-JP-3 and -2004 text was stored as escape codes", "山﨑です", kYamada,
                     "山﨑です。〓も。", ""},
        FaultFixture{"iso2022jp2_designations.eml",
                     "ISO-2022-JP-2 designations and single shifts were stored as escape codes",
                     "caf〓", kYamada, "日本語〓α中文〓〓です。", ""},
        FaultFixture{"eucjp_nec_ibm_rows.eml",
                     "EUC-JP's NEC and IBM rows were dropped without a geta", "髙﨑㈱", kYamada,
                     "髙﨑㈱と髙﨑です。", ""},
        FaultFixture{"carrier_pictographs_shift_jis.eml",
                     "a pictograph in Shift_JIS damaged the text after it", "天気〓です", kYamada,
                     "今日は〓晴れ、〓明日も。", ""},
        FaultFixture{"carrier_pictographs_iso2022jp.eml",
                     "a pictograph beyond JIS X 0208 damaged the text after it", "〓晴", kYamada,
                     "今日は〓晴れ〓です", ""},
        FaultFixture{"carrier_pictographs_utf8.eml", "an emoji sequence cost more than one geta",
                     "祝〓〓了", kYamada, "A〓B〓C〓D〓E〓F〓G", ""},
        FaultFixture{"qp_soft_break_with_blanks.eml",
                     "a quoted-printable soft break followed by blanks was kept as text", "qp",
                     kYamada, "送信しました。次の行", ""},
        FaultFixture{"alternative_with_empty_plain.eml",
                     "an empty text alternative hid the HTML alternative's text", "alternative",
                     kYamada, "HTMLだけの本文", ""},
        FaultFixture{"decomposed_subject_and_name.eml",
                     "decomposed text lost its voiced marks, and its name stayed decomposed",
                     "データ送付", "ポール <paul@example.jp>", "デジタルの本文", "データ.txt"}),
    [](const auto &info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST(FittedToCp932, OneGetaForEachVisibleCharacterCodePage932Lacks)
{
    struct Case {
        const char *name;
        QString text;
        const char *expected;
    };
    const Case cases[] = {
        {"decomposed kana composed", QStringLiteral("テ\u3099ータ"), "データ"},
        {"decomposed latin composed, then left to the conversion", QStringLiteral("e\u0301"), "é"},
        {"an emoji family joined by zwj", QStringLiteral("a👨\u200D👩\u200D👧b"), "a〓b"},
        {"a flag", QStringLiteral("🇯🇵"), "〓"},
        {"a skin tone", QStringLiteral("👍🏽"), "〓"},
        {"a keycap", QStringLiteral("1\uFE0F\u20E3"), "〓"},
        {"a variation selector on a character cp932 holds", QStringLiteral("☆\uFE0E"), "☆"},
        {"private use", QStringLiteral("a\uE63Eb"), "a〓b"},
        {"a lone emoji is left for the conversion", QStringLiteral("😀"), "😀"},
        {"hangul jamo composed, then left to the conversion", QStringLiteral("\u1112\u1161\u11AB"),
         "한"},
        {"the angstrom sign cp932 holds stays", QStringLiteral("\u212B"), "\u212B"},
        {"line ends stay", QStringLiteral("a\r\nb"), "a\r\nb"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(charsets::fittedToCp932(c.text)), c.expected) << c.name;
}

TEST(QuotedPrintable, SoftBreaksWithBlanksAndBrokenEscapes)
{
    struct Case {
        const char *name;
        QByteArray encoded;
        QByteArray decoded;
    };
    const Case cases[] = {
        {"soft break", "ab=\r\ncd", "abcd"},
        {"soft break with a bare line feed", "ab=\ncd", "abcd"},
        {"soft break followed by blanks", "ab= \t \r\ncd", "abcd"},
        {"soft break at the very end", "ab=", "ab"},
        {"soft break with blanks at the very end", "ab=  ", "ab"},
        {"escapes in either case", "=E3=81=82=e3=81=84", "\xE3\x81\x82\xE3\x81\x84"},
        {"broken escape stays", "a=G1b=", "a=G1b"},
        {"an equals sign before text stays", "a= b\r\n", "a= b\r\n"},
        {"hard line ends and their blanks stay", "a \r\nb\n", "a \r\nb\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(quotedPrintableDecoded(c.encoded), c.decoded) << c.name;
}

TEST(HtmlText, ACompleteStartEndsOutsideTagsAndHiddenBlocks)
{
    struct Case {
        const char *name;
        const char *html;
        const char *complete;
    };
    const Case cases[] = {
        {"whole text", "<p>a</p>b", "<p>a</p>b"},
        {"a tag cut off", "<p>a</p><a hr", "<p>a</p>"},
        {"a script not closed", "a<script>x</script>b<script>if (1<2)", "a<script>x</script>b"},
        {"a comment not closed", "a<!-- x", "a"},
        {"a closed comment holding an opening", "a<!-- <style> -->b", "a<!-- <style> -->b"},
        {"a less-than sign with no tag after it", "a < b", "a "},
    };
    for (const Case &c : cases) {
        const QString html = QString::fromUtf8(c.html);
        EXPECT_EQ(text(html.left(completeHtmlLength(html))), c.complete) << c.name;
    }
}

// Long messages are decoded only as far as the record's body field reaches; what the record
// keeps must be what decoding all of it would have kept.
class LongBody : public ::testing::Test {
protected:
    static QString lines(const char *line, int count)
    {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QString::fromUtf8(line) + QString::number(i) + QStringLiteral("\r\n");
        return text;
    }

    static QByteArray message(const QByteArray &contentType, const QByteArray &encoding,
                              const QByteArray &content)
    {
        return "Subject: long\r\nContent-Type: " + contentType +
               "\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" + content;
    }

    static QByteArray base64Lines(const QByteArray &bytes)
    {
        QByteArray out;
        const QByteArray encoded = bytes.toBase64();
        for (qsizetype i = 0; i < encoded.size(); i += 76)
            out += encoded.mid(i, 76) + "\r\n";
        return out;
    }

    static QByteArray quotedPrintable(const QByteArray &bytes)
    {
        QByteArray out;
        int column = 0;
        for (char c : bytes) {
            if (c == '\r' || c == '\n') {
                out += c;
                column = 0;
                continue;
            }
            if (column > 70) {
                out += "= \r\n";
                column = 0;
            }
            const QByteArray piece = (c & 0x80) || c == '='
                                         ? "=" + QByteArray(1, c).toHex().toUpper()
                                         : QByteArray(1, c);
            out += piece;
            column += static_cast<int>(piece.size());
        }
        return out;
    }

    static MailRecord decoded(const QByteArray &raw)
    {
        QTemporaryDir folder;
        MailHeaderFields fields;
        QString body;
        expandMessage(raw, folder.path(), fields, body, nullptr);
        return receivedRecord(fields, body);
    }

    static MailRecord expected(const QString &body)
    {
        MailHeaderFields fields;
        fields.subject = QStringLiteral("long");
        return receivedRecord(fields, body);
    }
};

TEST_F(LongBody, KeepsTheRecordDecodingAllOfItWouldKeep)
{
    const QString japanese = lines("長い本文の行です、番号", 12000);
    const QString blanksFirst = QString(200000, u' ') + japanese;
    QString oneLine;
    for (int i = 0; i < 100000; ++i)
        oneLine += QStringLiteral("一行");
    const QString script = QStringLiteral("<script>") + QStringLiteral("if(a<b)").repeated(30000) +
                           QStringLiteral("</script>");
    const QString html = QStringLiteral("<p>前</p>") + script + QStringLiteral("<p>") +
                         lines("HTMLの行<br>", 60000) + QStringLiteral("</p>");
    QString flowed;
    for (int i = 0; i < 30000; ++i)
        flowed += QStringLiteral("流れる文 \r\nの続き%1\r\n").arg(i);
    const QString joined = QString(flowed).replace(QStringLiteral(" \r\n"), QString());

    struct Case {
        const char *name;
        QByteArray raw;
        QString body;
    };
    const Case cases[] = {
        {"utf-8, eight bits", message("text/plain; charset=UTF-8", "8bit", japanese.toUtf8()),
         japanese},
        {"shift_jis in base64",
         message("text/plain; charset=Shift_JIS", "base64", base64Lines(cp932::encode(japanese))),
         japanese},
        {"iso-2022-jp", message("text/plain; charset=ISO-2022-JP", "7bit", jis(japanese.toUtf8())),
         japanese},
        {"utf-8 in quoted-printable",
         message("text/plain; charset=UTF-8", "quoted-printable",
                 quotedPrintable(japanese.toUtf8())),
         japanese},
        {"many blanks first", message("text/plain; charset=UTF-8", "8bit", blanksFirst.toUtf8()),
         blanksFirst},
        {"one line without a line end",
         message("text/plain; charset=UTF-8", "8bit", oneLine.toUtf8()), oneLine},
        {"html with a long script across the first cut",
         message("text/html; charset=UTF-8", "8bit", html.toUtf8()), htmlToPlainText(html)},
        {"flowed text",
         message("text/plain; charset=UTF-8; format=flowed; delsp=yes", "8bit", flowed.toUtf8()),
         joined},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(decoded(c.raw).body()), text(expected(c.body).body())) << c.name;
}

TEST_F(LongBody, TextPartsAfterAFullBodyAreLeftAndAttachmentsStillWritten)
{
    const QString first = lines("最初の部分", 20000);
    const QByteArray raw =
        "Subject: long\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: text/plain; charset=UTF-8\r\n\r\n" +
        first.toUtf8() +
        "\r\n--b\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nsecond\r\n--b\r\n"
        "Content-Type: application/octet-stream\r\nContent-Disposition: attachment; "
        "filename=a.bin\r\n\r\nbytes\r\n--b--\r\n";
    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    EXPECT_EQ(expandMessage(raw, folder.path(), fields, body, nullptr), 1);
    EXPECT_FALSE(body.contains(QStringLiteral("second")));
    EXPECT_EQ(text(receivedRecord(fields, body).body()), text(expected(first).body()));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.bin")});
}

} // namespace
} // namespace orv::mime
