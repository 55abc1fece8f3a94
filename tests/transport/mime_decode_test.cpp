#include "transport/mime/AttachmentFiles.h"
#include "transport/mime/Charsets.h"
#include "transport/mime/FlowedText.h"
#include "transport/mime/HeaderText.h"
#include "transport/mime/HtmlText.h"
#include "transport/mime/MessageDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

#include <gtest/gtest.h>

namespace orv::mime {
namespace {

QByteArray fixture(const char *name)
{
    QFile file(QStringLiteral(ORVAINE_SOURCE_DIR "/tests/transport/fixtures/") +
               QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

std::string text(const QString &value)
{
    return value.toStdString();
}

QStringList sortedEntries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct FixtureCase {
    const char *file;
    const char *subject;
    const char *from;
    std::vector<const char *> bodyHolds;
    std::vector<const char *> bodyLacks;
};

void PrintTo(const FixtureCase &c, std::ostream *out)
{
    *out << c.file;
}

class DecodesJapaneseMail : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(DecodesJapaneseMail, SubjectFromAndBodyComeOutReadable)
{
    const FixtureCase &c = GetParam();
    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    QString error;
    EXPECT_EQ(expandMessage(fixture(c.file), folder.path(), fields, body, &error), 0)
        << text(error);
    EXPECT_EQ(text(fields.subject), c.subject);
    EXPECT_EQ(text(fields.from), c.from);
    EXPECT_EQ(text(fields.date), "Wed, 09 Dec 2026 10:15:00 +0900");
    for (const char *expected : c.bodyHolds)
        EXPECT_TRUE(body.contains(QString::fromUtf8(expected))) << expected << " not in:\n"
                                                                << text(body);
    for (const char *unexpected : c.bodyLacks)
        EXPECT_FALSE(body.contains(QString::fromUtf8(unexpected))) << unexpected << " in:\n"
                                                                   << text(body);
    EXPECT_FALSE(body.contains(QChar::ReplacementCharacter)) << text(body);
    EXPECT_FALSE(body.contains(QRegularExpression(QStringLiteral("[^\\r]\\n")))) << "bare LF";
    EXPECT_TRUE(sortedEntries(folder.path()).isEmpty());
}

const char *const kYamada = "山田太郎 <yamada@example.jp>";

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecodesJapaneseMail,
    ::testing::Values(
        FixtureCase{"iso2022jp_windows_extras.eml",
                    "①㈱の会議",
                    kYamada,
                    {"①から⑳まで、㈱と№、纊と髙。\r\n～の波。\r\n半角ｶﾀｶﾅ"},
                    {}},
        FixtureCase{
            "shift_jis_cp932_extras.eml", "①髙﨑のお知らせ", kYamada, {"①髙﨑～－ の丸数字"}, {}},
        FixtureCase{"windows31j_base64.eml", "ⅰ㈱見積", kYamada, {"①髙﨑～－ の丸数字"}, {}},
        FixtureCase{"euc_jp_quoted_printable.eml", "日本語", kYamada, {"ＥＵＣの本文です。"}, {}},
        FixtureCase{"adjacent_words_with_padding.eml", "あaい", kYamada, {"x"}, {}},
        FixtureCase{"folded_long_subject.eml",
                    "長い件名が折り返されて複数の行と複数の符号化語にまたがっています",
                    kYamada,
                    {},
                    {}},
        FixtureCase{"multipart_alternative.eml",
                    "alternative",
                    kYamada,
                    {"プレーンテキストの本文"},
                    {"HTML"}},
        FixtureCase{"html_only.eml",
                    "html",
                    kYamada,
                    {"こんにちは&さようなら\r\n\r\n①行目\r\n２行目\r\n①<end>"},
                    {"<p", "<br", "alert", "color", "題"}}),
    [](const auto &info) {
        std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

TEST(DecodeHeaderFields, RawEightBitHeadersAreReadAsUtf8OrCp932)
{
    const MailHeaderFields fields = decodeHeaderFields(fixture("raw_8bit_headers.eml"));
    EXPECT_EQ(text(fields.subject), "生のUTF-8件名");
    EXPECT_EQ(text(fields.from), "髙橋 <takahashi@example.jp>");
    EXPECT_TRUE(fields.header.startsWith(QStringLiteral("Subject: 生のUTF-8件名\r\nFrom: 髙橋")));
    EXPECT_FALSE(fields.header.contains(u"本文"));
}

TEST(DecodeHeaderText, TolerantEncodedWords)
{
    struct Case {
        const char *name;
        QByteArray raw;
        const char *expected;
    };
    const Case cases[] = {
        {"plain ascii kept", "Re: hello  world", "Re: hello  world"},
        {"character split across words", "=?UTF-8?B?44E=?= =?UTF-8?B?gg==?=", "あ"},
        {"padded word between words",
         "=?UTF-8?B?44GC?=\r\n =?UTF-8?B?YQ==?= =?utf-8?B?44GE?=", "あaい"},
        {"text between words kept", "=?UTF-8?B?44GC?= and =?UTF-8?B?44GE?=", "あ and い"},
        {"word glued to text", "Re:=?ISO-2022-JP?B?GyRCJCIbKEI=?=", "Re:あ"},
        {"q encoding with underscore", "=?UTF-8?Q?a_b=E3=81=82?=", "a bあ"},
        {"jis row 13 in a word", "=?ISO-2022-JP?B?GyRCLSEbKEI=?=", "①"},
        {"charsets change between words", "=?UTF-8?B?44GC?= =?Shift_JIS?B?gqI=?=", "あい"},
        {"language after charset", "=?UTF-8*ja?B?44GC?=", "あ"},
        {"unknown charset read by guess", "=?x-unknown?B?44GC?=", "あ"},
        {"raw jis escapes", "\x1b$B$\"\x1b(B", "あ"},
        {"broken word left as text", "=?UTF-8?B?44GC", "=?UTF-8?B?44GC"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(headers::decodeText(c.raw)), c.expected) << c.name;
}

TEST(HeaderParameter, Rfc2231AndRfc2047Forms)
{
    struct Case {
        const char *name;
        QByteArray field;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"plain token", "attachment; filename=a.txt", "a.txt"},
        {"quoted with semicolon", "attachment; filename=\"a;b.txt\"; size=3", "a;b.txt"},
        {"escaped quote", "attachment; filename=\"a\\\"b\"", "a\"b"},
        {"rfc 2231 with charset", "attachment; filename*=UTF-8'ja'%E3%81%82.txt", "あ.txt"},
        {"rfc 2231 continuations", "attachment; filename*1*=%82.txt; filename*0*=UTF-8''%E3%81",
         "あ.txt"},
        {"mixed encoded and plain continuations",
         "attachment; filename*0*=UTF-8''%E3%81%82; filename*1=.txt", "あ.txt"},
        {"rfc 2231 wins over plain", "attachment; filename=old.txt; filename*=UTF-8''new.txt",
         "new.txt"},
        {"rfc 2047 inside quotes", "attachment; filename=\"=?Shift_JIS?B?gqA=?=.txt\"", "あ.txt"},
        {"rfc 2047 word split over rfc 2231 continuations",
         "attachment; filename*0=\"=?UTF-8?B?44\"; filename*1=\"GC?=.txt\"", "あ.txt"},
        {"name case ignored", "attachment; FileName=\"A.TXT\"", "A.TXT"},
        {"absent", "attachment; size=3", std::nullopt},
        {"prefix of another name", "attachment; filenames=x", std::nullopt},
        // Raw 8-bit names: a byte inside a double-byte character is never a quoting escape,
        // a closing quote or a separator.
        {"raw shift_jis whose second bytes are backslashes",
         "attachment; filename=\"\x83\x5c\x95\x5c.txt\"", "ソ表.txt"},
        {"raw shift_jis unquoted", "attachment; filename=\x83\x5c\x95\x5c.txt; size=3", "ソ表.txt"},
        {"raw iso-2022-jp holding a quote byte",
         "attachment; filename=\"\x1b$B$\"$$\x1b(B.txt\"; size=3", "あい.txt"},
        {"raw iso-2022-jp holding a semicolon byte", "attachment; filename=\"\x1b$B%;\x1b(B.txt\"",
         "セ.txt"},
        {"raw utf-8 keeps its escapes", "attachment; filename=\"\xe3\x81\x82\\\"b.txt\"",
         "あ\"b.txt"},
    };
    for (const Case &c : cases) {
        const auto value = headers::parameter(c.field, "filename");
        EXPECT_EQ(value ? std::optional(text(*value)) : std::nullopt, c.expected) << c.name;
    }
}

TEST(FlowedText, SoftLineBreaksJoinAsRfc3676Says)
{
    struct Case {
        const char *name;
        const char *flowed;
        bool deleteSpace;
        const char *joined;
    };
    const Case cases[] = {
        {"soft break keeps its space", "Hello \r\nworld\r\n", false, "Hello world\r\n"},
        {"DelSp removes the space", "こんにちは \r\n世界\r\n", true, "こんにちは世界\r\n"},
        {"hard break stays", "one\r\ntwo\r\n", false, "one\r\ntwo\r\n"},
        {"three lines in one paragraph", "a \r\nb \r\nc\r\nd\r\n", true, "abc\r\nd\r\n"},
        {"space stuffing undone", " From here\r\n", false, "From here\r\n"},
        {"quoted lines join at their depth", "> a \r\n> b\r\nc\r\n", false, "> a b\r\nc\r\n"},
        {"a change of depth ends the paragraph", "> a \r\n>> b\r\n", false, "> a \r\n>> b\r\n"},
        {"signature separator stays alone", "-- \r\nTaro\r\n", false, "-- \r\nTaro\r\n"},
        {"blank line between paragraphs", "a \r\nb\r\n\r\nc\r\n", false, "a b\r\n\r\nc\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(unflowed(QString::fromUtf8(c.flowed), c.deleteSpace)), c.joined) << c.name;
}

TEST(FlowedText, OnlyFlowedPlainTextIsJoined)
{
    QTemporaryDir folder;
    MailHeaderFields fields;
    QString body;
    const QByteArray flowed = "Subject: f\r\nContent-Type: text/plain; charset=UTF-8; "
                              "format=flowed; delsp=yes\r\n\r\n" +
                              QString::fromUtf8("お世話に \r\nなります。\r\n").toUtf8();
    expandMessage(flowed, folder.path(), fields, body, nullptr);
    EXPECT_EQ(text(body), "お世話になります。\r\n");
    const QByteArray fixed = "Subject: f\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n"
                             "a \r\nb\r\n";
    expandMessage(fixed, folder.path(), fields, body, nullptr);
    EXPECT_EQ(text(body), "a \r\nb\r\n");
}

TEST(HtmlText, TableCellsStandApartAndRowsBreakLines)
{
    struct Case {
        const char *name;
        const char *html;
        const char *plain;
    };
    const Case cases[] = {
        {"cells and rows",
         "<table><tr><td>店舗名</td><td>渋谷店</td></tr><tr><th>住所</th><td>東京都</td></tr>"
         "</table>",
         "店舗名\t渋谷店\r\n住所\t東京都"},
        {"cells without end tags", "<table><tr><td>a<td>b<tr><td>c<td>d</table>", "a\tb\r\nc\td"},
        {"blanks around a cell collapse into it", "<tr><td> a </td>  <td> b </td></tr>", "a\tb"},
        {"source tabs are blanks", "x\t\ty", "x y"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(htmlToPlainText(QString::fromUtf8(c.html))), c.plain) << c.name;
}

TEST(Iso2022Jp, DecodesWindowsExtensionsAndHalfWidthKatakana)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"nec row 13", "\x1b$B-!-b\x1b(B", "①№"},
        {"ibm extension rows", "\x1b$By!\x1b(B", "纊"},
        {"wave dash as windows shows it", "\x1b$B!A\x1b(B", "～"},
        {"half-width katakana", "\x1b(I1\x1b(B", "ｱ"},
        {"line without closing escape", "\x1b$B$\"\r\nab", "あ\r\nab"},
        {"eight-bit bytes are not iso-2022-jp", "\x82\xa0", std::nullopt},
        {"unknown escape", "\x1b$Z", std::nullopt},
    };
    for (const Case &c : cases) {
        const auto decoded = charsets::decodeIso2022Jp(c.bytes);
        EXPECT_EQ(decoded ? std::optional(text(*decoded)) : std::nullopt, c.expected) << c.name;
    }
}

TEST(Charsets, WrongLabelsAreNotTrusted)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QByteArray label;
        const char *expected;
    };
    const Case cases[] = {
        {"utf-8 labelled shift_jis", "\xe3\x81\x82", "Shift_JIS", "あ"},
        {"shift_jis labelled utf-8", "\x82\xa0", "UTF-8", "あ"},
        {"shift_jis labelled us-ascii", "\x82\xa0", "us-ascii", "あ"},
        {"quoted label", "\x82\xa0", "\"SHIFT_JIS\"", "あ"},
        {"unlabelled euc-jp hiragana", "\xa4\xa2\xa4\xa4\xa4\xa6", "", "あいう"},
        {"unlabelled cp932 kanji", "\x93\xfa\x96\x7b", "", "日本"},
        {"latin-1 label honoured", "caf\xe9", "iso-8859-1", "café"},
        {"nothing fits", "\x82", "UTF-8", "〓"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(charsets::decode(c.bytes, c.label)), c.expected) << c.name;
}

TEST(Iso2022Jp, EncodesWhatJisHoldsAndRefusesTheRest)
{
    struct Case {
        const char *name;
        QString text;
        bool fits;
    };
    const Case cases[] = {
        {"kanji and kana", QStringLiteral("日本語のテキスト"), true},
        {"windows wave dash", QStringLiteral("10～20"), true},
        {"jis wave dash", QStringLiteral("10〜20"), true},
        {"windows minus and parallel", QStringLiteral("－∥￢"), true},
        {"circled digit", QStringLiteral("①"), false},
        {"half-width katakana", QStringLiteral("ｱ"), false},
        {"emoji", QStringLiteral("😀"), false},
    };
    for (const Case &c : cases) {
        const auto encoded = charsets::encodeIso2022Jp(c.text);
        EXPECT_EQ(encoded.has_value(), c.fits) << c.name;
        if (encoded) {
            // What Windows mail programs show: the CP932 forms.
            QString expected = c.text;
            expected.replace(u'〜', u'～');
            EXPECT_EQ(text(*charsets::decodeIso2022Jp(*encoded)), text(expected)) << c.name;
        }
    }
}

TEST(SafeFileName, UntrustedNamesStayInsideTheFolder)
{
    struct Case {
        const char *name;
        QString untrusted;
        const char *expected;
    };
    const Case cases[] = {
        {"parent folders dropped", QStringLiteral("../../evil.txt"), "evil.txt"},
        {"windows path", QStringLiteral("C:\\Users\\a\\b.txt"), "C__Users_a_b.txt"},
        {"forbidden characters", QStringLiteral("a*b?c\"d<e>f|g:h.txt"), "a_b_c_d_e_f_g_h.txt"},
        {"control characters",
         QStringLiteral("a\nb\x01"
                        "c.txt"),
         "a_b_c.txt"},
        {"only dots", QStringLiteral(".."), "fallback.bin"},
        {"empty", QString(), "fallback.bin"},
        {"leading dot hidden file", QStringLiteral(".bashrc"), "bashrc"},
        {"trailing dots and blanks", QStringLiteral("report. . "), "report"},
        {"japanese kept", QStringLiteral("見積書①.pdf"), "見積書①.pdf"},
        {"nothing readable", QStringLiteral("\uFFFD\uFFFD.pdf"), "fallback.bin"},
        {"nothing readable but blanks", QStringLiteral("\uFFFD \uFFFD"), "fallback.bin"},
        {"what is readable stays", QStringLiteral("報告\uFFFD.pdf"), "報告.pdf"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(text(attachments::safeFileName(c.untrusted, QStringLiteral("fallback.bin"))),
                  c.expected)
            << c.name;

    const QString longName = QString(300, u'長') + QStringLiteral(".pdf");
    const QString cut = attachments::safeFileName(longName, QStringLiteral("x"));
    EXPECT_LE(cut.toUtf8().size(), 200);
    EXPECT_TRUE(cut.endsWith(u".pdf"));
}

class ExpandAttachments : public ::testing::Test {
protected:
    int expand(const char *fixtureName)
    {
        return expandMessage(fixture(fixtureName), folder(), fields, body, &error);
    }
    QString folder() const { return m_root.path() + QStringLiteral("/添付フォルダ"); }
    void SetUp() override
    {
        ASSERT_TRUE(QDir(m_root.path()).mkdir(QStringLiteral("添付フォルダ")));
    }

    QTemporaryDir m_root;
    MailHeaderFields fields;
    QString body;
    QString error;
};

TEST_F(ExpandAttachments, JapaneseNamesInEveryFormAndHostileNamesMadeSafe)
{
    ASSERT_EQ(expand("attachment_names.eml"), 1) << text(error);
    EXPECT_EQ(text(fields.subject), "添付ファイル");
    EXPECT_EQ(text(body), "添付を送ります。");
    // ".." leaves nothing of its name, so it gets a generated one.
    const QStringList expected = {QStringLiteral("evil.txt"),   QStringLiteral("添付ファイル6.bin"),
                                  QStringLiteral("見積書.pdf"), QStringLiteral("議事録.txt"),
                                  QStringLiteral("資料①.txt"),  QStringLiteral("髙橋.txt")};
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    EXPECT_EQ(sortedEntries(folder()), sortedExpected);
    EXPECT_EQ(readFile(folder() + QStringLiteral("/見積書.pdf")), "%PDF-1.4 mitsumori");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/evil.txt")), "evil");
    // Nothing lands above the attachment folder.
    EXPECT_EQ(sortedEntries(m_root.path()), QStringList());
}

TEST_F(ExpandAttachments, ExistingFilesAreNeverOverwritten)
{
    QFile mine(folder() + QStringLiteral("/evil.txt"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    ASSERT_EQ(expand("attachment_names.eml"), 1);
    ASSERT_EQ(expand("attachment_names.eml"), 1);
    EXPECT_EQ(readFile(folder() + QStringLiteral("/evil.txt")), "mine");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/evil(1).txt")), "evil");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/evil(2).txt")), "evil");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/見積書(1).pdf")), "%PDF-1.4 mitsumori");
}

TEST_F(ExpandAttachments, NumberingGoesOnFromTheLastNumberOfAName)
{
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(
            attachments::writeNewFile(folder(), QStringLiteral("同じ.txt"), QByteArray::number(i))
                .ok());
    // Someone else takes the next name: it is skipped, never overwritten.
    QFile other(folder() + QStringLiteral("/同じ(4).txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    QString path;
    ASSERT_TRUE(attachments::writeNewFile(folder(), QStringLiteral("同じ.txt"), "4", &path).ok());
    EXPECT_EQ(path, folder() + QStringLiteral("/同じ(5).txt"));
    EXPECT_EQ(readFile(folder() + QStringLiteral("/同じ.txt")), "0");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/同じ(3).txt")), "3");
    EXPECT_EQ(readFile(folder() + QStringLiteral("/同じ(4).txt")), "");
}

// Files may not grow past a few bytes while it lives, as on a disk that is full.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(ExpandAttachments, AFailedAttachmentTakesTheFilesOfItsMessageAway)
{
    const QByteArray raw = "Subject: two files\r\nMIME-Version: 1.0\r\n"
                           "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                           "--b\r\nContent-Type: text/plain\r\n\r\ntext\r\n"
                           "--b\r\nContent-Type: application/pdf; name=first.pdf\r\n\r\none\r\n"
                           "--b\r\nContent-Type: application/pdf; name=second.pdf\r\n\r\n" +
                           QByteArray(4096, 'x') + "\r\n--b--\r\n";
    int result = 0;
    {
        const FileSizeLimit full(1024);
        result = expandMessage(raw, folder(), fields, body, &error);
    }
    EXPECT_EQ(result, nmail::kAttachmentNotWritten);
    EXPECT_TRUE(error.contains(QStringLiteral("second.pdf"))) << text(error);
    EXPECT_EQ(sortedEntries(folder()), QStringList()) << "first.pdf went again";
    EXPECT_TRUE(body.startsWith(u"text")) << text(body);
}

TEST_F(ExpandAttachments, UnwritableFolderGivesMinusFiveAndKeepsTheText)
{
    // A file where the folder should be: no attachment can be created, whoever runs it.
    const QString notAFolder = m_root.path() + QStringLiteral("/plain-file");
    QFile file(notAFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(expandMessage(fixture("attachment_names.eml"), notAFolder, fields, body, &error),
              nmail::kAttachmentNotWritten);
    EXPECT_TRUE(error.startsWith(QStringLiteral("ファイル「"))) << text(error);
    EXPECT_TRUE(error.contains(QStringLiteral("できません"))) << text(error);
    EXPECT_EQ(text(fields.subject), "添付ファイル");
    EXPECT_EQ(text(body), "添付を送ります。");
}

TEST_F(ExpandAttachments, PartialMessageGivesMinusSixAndKeepsItsText)
{
    EXPECT_EQ(expand("message_partial.eml"), nmail::kSplitMessageIncomplete);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(text(fields.subject), "split");
    EXPECT_TRUE(body.contains(u"first half of the text")) << text(body);
    EXPECT_TRUE(sortedEntries(folder()).isEmpty());
}

TEST_F(ExpandAttachments, MessageWithoutStructureStillGivesItsText)
{
    struct Case {
        const char *name;
        QByteArray raw;
        const char *body;
    };
    const Case cases[] = {
        {"no header at all", "just text\n", "just text\r\n"},
        {"empty", "", ""},
        {"header only", "Subject: s\r\n", ""},
        {"multipart without boundary", "Content-Type: multipart/mixed\r\n\r\nhello\r\n",
         "hello\r\n"},
        {"unlabelled shift_jis body", "Subject: s\r\n\r\n\x82\xa0\n", "あ\r\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(expandMessage(c.raw, folder(), fields, body, &error), 0) << c.name;
        EXPECT_EQ(text(body), c.body) << c.name;
    }
}

} // namespace
} // namespace orv::mime
