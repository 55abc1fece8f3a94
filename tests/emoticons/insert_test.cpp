#include "PaletteFixture.h"

#include "composer/WriteForm.h"
#include "emoticons/PaletteEditing.h"
#include "ui/Clipboard.h"

namespace orv::test {
namespace {

class InsertTest : public PaletteTest {
protected:
    QPlainTextEdit *body() { return t.app->forms().get<WriteForm>()->BodyText(); }
};

TEST_F(InsertTest, TheSelectionGoesTrimmedIntoTheBodyAtItsCaretOrSelection)
{
    const struct {
        const char *name;
        QString boxText;
        int from, to; // the box's selection
        QString bodyText;
        int bodyFrom, bodyTo; // the body's selection (a caret when equal)
        QString bodyAfter;
        QString clipboard;
    } cases[] = {
        {"blanks around the selection go", QStringLiteral("xx  (^_^)  yy"), 2, 11,
         QStringLiteral("前後"), 1, 1, QStringLiteral("前(^_^)後"), QStringLiteral("  (^_^)  ")},
        {"line breaks at the ends stay", QStringLiteral("a\n(^_^)\nb"), 1, 8,
         QStringLiteral("前後"), 1, 1, QStringLiteral("前\n(^_^)\n後"),
         QStringLiteral("\n(^_^)\n")},
        {"the body's selection is replaced", QStringLiteral("(^o^)"), 0, 5,
         QStringLiteral("前XX後"), 1, 3, QStringLiteral("前(^o^)後"), QStringLiteral("(^o^)")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        box(0)->setPlainText(c.boxText);
        select(box(0), c.from, c.to);
        body()->setPlainText(c.bodyText);
        select(body(), c.bodyFrom, c.bodyTo);

        click(u"Command1");

        EXPECT_FALSE(t.app->forms().isLoaded<KaoForm>()) << "Insert closes the palette";
        EXPECT_EQ(body()->toPlainText(), c.bodyAfter);
        EXPECT_EQ(clipboardText(), c.clipboard);
    }
    EXPECT_EQ(pageFile(0), QByteArray("(^o^)\r\n")) << "closing saved the page";
}

// With nothing selected in the palette, an insert would have deleted the body's selection
// and emptied the clipboard: it changes neither, says what to select and stays open.
TEST_F(InsertTest, InsertWithNothingSelectedChangesNothingAndSaysWhatToSelect)
{
    palette().show();
    box(0)->setPlainText(QStringLiteral("(^o^)"));
    select(box(0), 3, 3);
    body()->setPlainText(QStringLiteral("ABCDEF"));
    select(body(), 2, 4);
    putOnClipboard(QStringLiteral("元のクリップボード"));

    click(u"Command1");

    EXPECT_EQ(body()->toPlainText(), QStringLiteral("ABCDEF"));
    EXPECT_EQ(body()->textCursor().selectedText(), QStringLiteral("CD"));
    EXPECT_EQ(clipboardText(), QStringLiteral("元のクリップボード"));
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(u"選択"));
    EXPECT_TRUE(t.app->forms().isLoaded<KaoForm>()) << "the palette waits for a selection";
}

TEST_F(InsertTest, InsertWithTheComposeWindowClosedShowsItAndInsertsThere)
{
    t.app->forms().get<WriteForm>()->close();
    ASSERT_FALSE(t.app->forms().isLoaded<WriteForm>());
    palette().show();
    box(3)->setPlainText(QStringLiteral("☆ミ"));
    select(box(3), 0, 2);

    click(u"Command7");

    ASSERT_TRUE(t.app->forms().isLoaded<WriteForm>());
    EXPECT_TRUE(t.app->forms().get<WriteForm>()->isVisible());
    EXPECT_EQ(body()->toPlainText(), QStringLiteral("☆ミ"));
}

TEST_F(InsertTest, TakingTheSelectionLeavesTheCaretAtItsEndOrTheStart)
{
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("abc def"));
    select(&box, 6, 4); // selected backwards

    EXPECT_EQ(TakeSelection(box), QStringLiteral("de"));
    EXPECT_FALSE(box.textCursor().hasSelection());
    EXPECT_EQ(box.textCursor().position(), 6);

    select(&box, 5, 5);
    EXPECT_EQ(TakeSelection(box), QString());
    EXPECT_EQ(box.textCursor().position(), 0);
    EXPECT_EQ(clipboardText(), QString());
}

TEST_F(InsertTest, AddPutsTheTrimmedClipboardInPlaceOfTheSelection)
{
    palette().show();
    box(2)->setPlainText(QStringLiteral("前XX後"));
    select(box(2), 1, 3);
    putOnClipboard(QStringLiteral("  ★彡  "));
    click(u"Command6");
    EXPECT_EQ(boxText(2), QStringLiteral("前★彡後"));

    select(box(2), 1, 3);
    putOnClipboard(QString());
    click(u"Command6");
    EXPECT_EQ(boxText(2), QStringLiteral("前後"));
    EXPECT_TRUE(t.app->forms().isLoaded<KaoForm>());
}

TEST_F(InsertTest, TwoFavouritesStandOneAfterTheOtherAtTheFavouritesCaret)
{
    writePageFile(11, "X\r\n");
    box(0)->setPlainText(QStringLiteral("(^_^) (T_T)"));
    box(1)->setPlainText(QStringLiteral("== (>_<) =="));
    select(box(0), 0, 5);
    click(u"Command27");
    select(box(1), 2, 9);
    click(u"Command28");

    EXPECT_EQ(boxText(11), QStringLiteral("(^_^)(>_<)X"));
    EXPECT_EQ(clipboardText(), QStringLiteral(" (>_<) "));
    EXPECT_EQ(box(1)->textCursor().position(), 9);

    closePalette();
    EXPECT_EQ(pageFile(11), QByteArray("(^_^)(>_<)X\r\n"));
}

} // namespace
} // namespace orv::test
