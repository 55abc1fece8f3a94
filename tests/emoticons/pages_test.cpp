#include "PaletteFixture.h"

#include "core/Cp932.h"

#include <QDir>
#include <QFileInfo>

namespace orv::test {
namespace {

QByteArray sjis(const QString &text)
{
    return cp932::encode(text);
}

TEST(PageFileText, LoadingDropsExactlyTheOneLineEndThatSavingAdds)
{
    const struct {
        const char *name;
        QByteArray bytes;
        QString text;
        bool valid;
    } cases[] = {
        {"empty file", {}, {}, true},
        {"only the saved line end", "\r\n", {}, true},
        {"text and its line end", sjis(QStringLiteral("(^_^)\r\n顔\r\n")),
         QStringLiteral("(^_^)\r\n顔"), true},
        {"an empty last line stays", "a\r\n\r\n", QStringLiteral("a\r\n"), true},
        {"no line end", "a", QStringLiteral("a"), true},
        {"a lone LF is not the saved line end", "a\n", QStringLiteral("a\n"), true},
        {"half-width katakana", "\xB6\xC5", QStringLiteral("ｶﾅ"), true},
        {"a lead byte without its trail byte", "a\x81", QStringLiteral("a\uFFFD"), false},
        {"a byte that is never code page 932", "\xFF\r\n", QStringLiteral("\uFFFD"), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bool valid = !c.valid;
        EXPECT_EQ(pageTextFromBytes(c.bytes, &valid), c.text);
        EXPECT_EQ(valid, c.valid);
    }
}

TEST(PageFileText, SavingWritesCrLfLineBreaksAndOneCrLfAtTheEnd)
{
    const struct {
        const char *name;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"an emptied box", {}, "\r\n"},
        {"box line breaks", QStringLiteral("a\nb"), "a\r\nb\r\n"},
        {"CR LF line breaks", QStringLiteral("a\r\nb"), "a\r\nb\r\n"},
        {"an empty last line", QStringLiteral("a\n"), "a\r\n\r\n"},
        {"Japanese", QStringLiteral("顔文字（＾＿＾）"),
         sjis(QStringLiteral("顔文字（＾＿＾）\r\n"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pageBytesFromText(c.text), c.bytes);
    }
}

TEST_F(PaletteTest, TheTwelvePagesPairTabsBoxesFilesAndButtons)
{
    const struct {
        QString caption;
        const char16_t *box, *file, *insert, *add, *favourites;
    } expected[] = {
        {QStringLiteral("顔文字"), u"Kao1", u"Kao1.txt", u"Command1", u"Command2", u"Command27"},
        {QStringLiteral("飾りライン・抽象画"), u"Text1", u"Text1.txt", u"Command4", u"Command3",
         u"Command28"},
        {QStringLiteral("顔"), u"Text2", u"Text2.txt", u"Command5", u"Command6", u"Command29"},
        {QStringLiteral("春夏秋冬、年中行事"), u"Text3", u"Text3.txt", u"Command7", u"Command8",
         u"Command30"},
        {QStringLiteral("干支、星座、その他"), u"Text4", u"Text4.txt", u"Command10", u"Command9",
         u"Command31"},
        {QStringLiteral("乗り物、機械、昆虫、花"), u"Text5", u"Text5.txt", u"Command11",
         u"Command12", u"Command32"},
        {QStringLiteral("飲物、食べ物"), u"Text6", u"Text6.txt", u"Command14", u"Command13",
         u"Command33"},
        {QStringLiteral("衣料、雑貨、ゲーム、スポーツ"), u"Text7", u"Text7.txt", u"Command15",
         u"Command16", u"Command34"},
        {QStringLiteral("SF、場所、音楽"), u"Text8", u"Text8.txt", u"Command18", u"Command17",
         u"Command35"},
        {QStringLiteral("その他"), u"Text9", u"Text9.txt", u"Command19", u"Command20",
         u"Command25"},
        {QStringLiteral("動物、その他"), u"Text10", u"Text10.txt", u"Command22", u"Command21",
         u"Command26"},
        {QStringLiteral("○お気に入り"), u"Text11", u"Text11.txt", u"Command23", u"Command24",
         nullptr},
    };
    QTabWidget *tabs = palette().SSTab1();
    EXPECT_EQ(palette().windowTitle(), QStringLiteral("絵・顔文字"));
    ASSERT_EQ(tabs->count(), 12);
    EXPECT_EQ(tabs->currentIndex(), 3);
    for (int page = 0; page < 12; ++page) {
        const auto &e = expected[page];
        SCOPED_TRACE(e.caption.toStdString());
        QWidget *tab = tabs->widget(page);
        EXPECT_EQ(tabs->tabText(page), e.caption);
        EXPECT_EQ(box(page)->objectName(), QString::fromUtf16(e.box));
        EXPECT_EQ(box(page)->parentWidget(), tab);
        EXPECT_EQ(pagePath(page), QStringLiteral("\\顔文字データ\\") + QString::fromUtf16(e.file));
        const std::pair<const char16_t *, QString> buttons[] = {
            {e.insert, QStringLiteral("新規作成本文に挿入")},
            {e.add, QStringLiteral("追加（貼付）")},
            {e.favourites, QStringLiteral("お気に入りに追加")}};
        for (const auto &[name, caption] : buttons) {
            if (!name)
                continue;
            auto *button = control<QPushButton>(tab, QString::fromUtf16(name));
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), caption);
        }
        EXPECT_EQ(tab->findChildren<QPushButton *>().size(), e.favourites ? 3 : 2);
    }
}

TEST_F(PaletteTest, OpeningThenClosingChangesNoFile)
{
    QByteArrayList before;
    for (int page = 0; page < 12; ++page) {
        before << pageFile(page);
        ASSERT_FALSE(before.last().isEmpty());
    }
    for (int page = 0; page < 12; ++page) {
        SCOPED_TRACE(page);
        EXPECT_EQ(boxText(page).replace(u'\n', QStringLiteral("\r\n")),
                  cp932::decode(before[page].chopped(2)));
    }

    closePalette();

    for (int page = 0; page < 12; ++page)
        EXPECT_EQ(pageFile(page), before[page]) << page;
}

TEST_F(PaletteTest, EditedPagesSaveByteForByteUnderTheNamesThatExist)
{
    // The installed names begin with "Text"; saving must not add "text1.txt" beside them.
    for (int page = 0; page < 12; ++page) {
        box(page)->setPlainText(QStringLiteral("ページ%1\n(^_^)  ☆\n").arg(page));
    }
    box(5)->clear();

    closePalette();

    for (int page = 0; page < 12; ++page) {
        SCOPED_TRACE(page);
        const QByteArray expected =
            page == 5 ? QByteArray("\r\n")
                      : sjis(QStringLiteral("ページ%1\r\n(^_^)  ☆\r\n\r\n").arg(page));
        EXPECT_EQ(pageFile(page), expected);
    }
    const QDir folder(t.folder.file(QStringLiteral("\\顔文字データ")));
    EXPECT_EQ(folder.entryList(QDir::Files).size(), 12)
        << folder.entryList().join(u' ').toStdString();

    // And the saved pages load again as they were typed.
    EXPECT_EQ(boxText(7), QStringLiteral("ページ7\n(^_^)  ☆\n"));
    EXPECT_EQ(boxText(5), QString());
}

TEST_F(PaletteTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    const QByteArray notCp932("\x81\x20(^_^)\xFF\r\n");
    writePageFile(2, notCp932);
    const QString folderPath = t.folder.file(pagePath(6));
    ASSERT_TRUE(QFile::remove(folderPath));
    ASSERT_TRUE(QDir().mkpath(folderPath)); // a folder where the page's file should be

    palette();
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    const QString warning = t.messageBoxes->shown[0].text;
    EXPECT_TRUE(warning.contains(QStringLiteral("Text2.txt"))) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QStringLiteral("Text6.txt"))) << warning.toStdString();
    EXPECT_TRUE(box(2)->isReadOnly());
    EXPECT_FALSE(box(3)->isReadOnly());

    box(2)->setPlainText(QStringLiteral("replaced"));
    box(6)->setPlainText(QStringLiteral("replaced"));
    box(3)->setPlainText(QStringLiteral("edited"));
    closePalette();

    EXPECT_EQ(pageFile(2), notCp932);
    EXPECT_TRUE(QFileInfo(folderPath).isDir());
    EXPECT_EQ(pageFile(3), QByteArray("edited\r\n"));
}

TEST_F(PaletteTest, AnAbsentPageOpensEmptyAndIsCreatedWhenWritten)
{
    ASSERT_TRUE(QDir(t.folder.file(QStringLiteral("\\顔文字データ"))).removeRecursively());

    EXPECT_EQ(boxText(0), QString());
    EXPECT_TRUE(t.messageBoxes->shown.empty());
    box(0)->setPlainText(QStringLiteral("(^_^)"));
    closePalette();

    EXPECT_EQ(pageFile(0), QByteArray("(^_^)\r\n"));
    EXPECT_FALSE(QFileInfo::exists(t.folder.file(pagePath(1)))) << "untouched pages stay absent";
}

TEST_F(PaletteTest, WriteErrorsNameTheFile)
{
    box(4)->setPlainText(QStringLiteral("edited"));
    box(8)->setPlainText(QStringLiteral("edited"));
    const QString blocked = t.folder.file(pagePath(4));
    ASSERT_TRUE(QFile::remove(blocked));
    ASSERT_TRUE(QDir().mkpath(blocked));

    closePalette();

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(QStringLiteral("Text4.txt")));
    EXPECT_EQ(pageFile(8), QByteArray("edited\r\n")) << "one failure does not stop the others";
}

TEST_F(PaletteTest, ThePagesAreSavedWhenTheProgramEndsWithThePaletteOpen)
{
    palette().show();
    box(11)->setPlainText(QStringLiteral("お気に入り\n(^o^)"));

    t.app->forms().unloadAll();

    EXPECT_EQ(pageFile(11), sjis(QStringLiteral("お気に入り\r\n(^o^)\r\n")));
}

TEST_F(PaletteTest, RendersThePaletteWithJapaneseText)
{
    palette().show();
    const QString folder =
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(palette().grab().save(folder + QStringLiteral("/KaoForm.png")));
}

} // namespace
} // namespace orv::test
