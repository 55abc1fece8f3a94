#include "ComposeFixture.h"

#include "composer/WriteFormTexts.h"
#include "support/KeyboardWalk.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QPlainTextEdit>

namespace orv::test {
namespace {

class ComposeKeyboard : public ComposeFixture {
protected:
    WriteForm *openActive()
    {
        WriteForm *window = open();
        EXPECT_TRUE(showActive(window));
        return window;
    }
    QWidget *tabTo(const char16_t *name) { return test::tabTo(form(), QString::fromUtf16(name)); }
};

// A letter is written from the top down: the address, its paste button, the subject, the
// greeting, the attachment row, the body, the fortune box, then the commands in a row. Hidden
// and disabled controls (the paste row, 追加 before a first file) are no stops.
TEST_F(ComposeKeyboard, TabGoesFromTheAddressDownToTheCommandsAndRound)
{
    openActive();
    const QStringList round = {
        QStringLiteral("ToText"),    QStringLiteral("Command7"),      QStringLiteral("SubjectText"),
        QStringLiteral("Combo1"),    QStringLiteral("AttachCommand"), QStringLiteral("AttachText"),
        QStringLiteral("Command10"), QStringLiteral("BodyText"),      QStringLiteral("Check1"),
        QStringLiteral("Command1"),  QStringLiteral("Command3"),      QStringLiteral("Command4"),
        QStringLiteral("Command6"),  QStringLiteral("Command5"),      QStringLiteral("Command11"),
        QStringLiteral("Command8")};
    ASSERT_NE(tabTo(u"ToText"), nullptr);
    const QStringList walked = tabWalk(form(), int(round.size()));
    EXPECT_EQ(walked, round.mid(1) + round.mid(0, 1)) << walked.join(u' ').toStdString();
}

struct FiringKey {
    const char *name;
    Qt::Key key;
};

TEST_F(ComposeKeyboard, EnterAndSpaceFireTheFocusedButton)
{
    openActive();
    for (const FiringKey key :
         {FiringKey{"Return", Qt::Key_Return}, FiringKey{"Enter", Qt::Key_Enter},
          FiringKey{"Space", Qt::Key_Space}}) {
        SCOPED_TRACE(key.name);
        form()->SubjectText()->setText(QStringLiteral("会議の件"));
        QTest::keyClick(tabTo(u"Command11"), key.key); // クリア
        EXPECT_TRUE(form()->SubjectText()->text().isEmpty());

        QTest::keyClick(tabTo(u"Command4"), key.key); // アドレス帳: the wide window
        EXPECT_EQ(form()->width(), twipsToPixels(WriteForm::kWideWidthTwips));
        QTest::keyClick(tabTo(u"Command6"), key.key); // 元のサイズ
        EXPECT_EQ(form()->width(), twipsToPixels(WriteForm::kNormalWidthTwips));
    }
}

// Widened, the address panel joins the round after the commands, and a name is picked with
// Enter or Space as with a click. Narrowed again, the panel is out of the round.
TEST_F(ComposeKeyboard, TheWidenedPanelJoinsTheRoundAndEnterPicksAName)
{
    addToAddressBook(QStringLiteral("山田"), QStringLiteral("yamada@example.jp"));
    addToAddressBook(QStringLiteral("佐藤"), QStringLiteral("sato@example.jp"));
    openActive();
    QTest::keyClick(tabTo(u"Command4"), Qt::Key_Return);
    ASSERT_TRUE(form()->recipients().isVisible());

    ASSERT_NE(tabTo(u"Command8"), nullptr);
    const QStringList walked = tabWalk(form(), 4);
    EXPECT_EQ(walked, (QStringList{QStringLiteral("List1"), QStringLiteral("Text1"),
                                   QStringLiteral("Option1"), QStringLiteral("ToText")}))
        << walked.join(u' ').toStdString();

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        form()->ToText()->clear();
        QWidget *list = tabTo(u"List1");
        ASSERT_NE(list, nullptr);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, key);
        EXPECT_EQ(form()->ToText()->toPlainText(), QStringLiteral("sato@example.jp")) << key;
    }

    QTest::keyClick(tabTo(u"Command6"), Qt::Key_Return); // 元のサイズ
    EXPECT_EQ(tabTo(u"List1"), nullptr);
}

// The help box lies over the body: it shows a command's help while the focus is on the
// command and is out of the way once the focus moves on to the text.
TEST_F(ComposeKeyboard, TheFocusShowsACommandsHelpAndTheTextHidesIt)
{
    openActive();
    auto *help = control<QPlainTextEdit>(u"Text14");
    ASSERT_NE(tabTo(u"Command7"), nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->toPlainText(), writeform::command7Help());
    tabWalk(form(), 1);
    EXPECT_FALSE(help->isVisible()) << "the subject box has no help; the box is out of its way";

    ASSERT_NE(tabTo(u"Command1"), nullptr);
    EXPECT_EQ(help->toPlainText(), writeform::command1Help());
    ASSERT_NE(tabTo(u"BodyText"), nullptr);
    EXPECT_FALSE(help->isVisible());
}

} // namespace
} // namespace orv::test
