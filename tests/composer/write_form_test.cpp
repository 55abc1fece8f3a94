#include "ComposeFixture.h"

#include "composer/BackForm.h"
#include "composer/WriteFormTexts.h"
#include "emoticons/KaoForm.h"
#include "ui/Clipboard.h"
#include "ui/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

namespace orv::test {
namespace {

class ComposeWindow : public ComposeFixture {};

TEST_F(ComposeWindow, OpensEmptyWithItsGreetingsAndHelpBox)
{
    WriteForm *w = open();
    EXPECT_EQ(text(w->windowTitle()), "新規作成・送信");
    EXPECT_EQ(w->width(), twipsToPixels(7100));
    EXPECT_EQ(w->height(), twipsToPixels(8200));
    EXPECT_TRUE(w->ToText()->toPlainText().isEmpty());
    EXPECT_TRUE(w->SubjectText()->text().isEmpty());
    EXPECT_TRUE(w->BodyText()->toPlainText().isEmpty());
    EXPECT_EQ(w->Combo1()->count(), 8);
    EXPECT_TRUE(w->Combo1()->currentText().isEmpty());
    EXPECT_TRUE(w->attachments().AttachText()->text().isEmpty());
    EXPECT_FALSE(w->attachments().Command9()->isEnabled());
    EXPECT_TRUE(w->attachments().Command10()->isEnabled());
    EXPECT_FALSE(w->attachments().List2()->isVisible());
    EXPECT_FALSE(w->Check1()->isChecked());
    EXPECT_FALSE(control<QPushButton>(u"Command2")->isVisible());
    EXPECT_FALSE(w->recipients().isVisible()) << "the address panel must be out of reach";
    EXPECT_FALSE(w->recipients().Option1()->isChecked());
    EXPECT_FALSE(w->recipients().Option2()->isChecked());

    auto *help = control<QPlainTextEdit>(u"Text14");
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().isEmpty());
    movePointerOver(control<QPushButton>(u"Command1"));
    EXPECT_EQ(help->toPlainText(), writeform::command1Help());
    movePointerOver(control<QPushButton>(u"Command8"));
    EXPECT_TRUE(help->toPlainText().startsWith(
        QStringLiteral("顔・絵文字の本文への挿入を行います。\n\n使用方法")));
    movePointerOver(control<QPushButton>(u"Command10"));
    EXPECT_TRUE(help->toPlainText().startsWith(u"顔・絵文字")) << "Command10 has no help";
    movePointerOver(w->BodyText()->viewport());
    EXPECT_FALSE(help->isVisible());
}

TEST_F(ComposeWindow, TypingStopsAtSixtyButTheProgramNeverCutsAnAddress)
{
    WriteForm *w = open();
    QTest::keyClicks(w->ToText(), QString(70, u'a'));
    EXPECT_EQ(w->ToText()->toPlainText(), QString(60, u'a'));

    const QString eighty = QString(69, u'b') + QStringLiteral("@example.jp");
    putOnClipboard(eighty);
    click(u"Command7");
    EXPECT_EQ(w->ToText()->toPlainText(), eighty);
    w->ToText()->moveCursor(QTextCursor::End);
    QTest::keyClick(w->ToText(), Qt::Key_Backspace);
    EXPECT_EQ(w->ToText()->toPlainText(), eighty.chopped(1)) << "deleting is still possible";
    QTest::keyClicks(w->ToText(), QStringLiteral("p"));
    EXPECT_EQ(w->ToText()->toPlainText(), eighty.chopped(1)) << "typing adds nothing past 60";

    putOnClipboard(QString());
    click(u"Command7");
    EXPECT_TRUE(w->ToText()->toPlainText().isEmpty());
}

TEST_F(ComposeWindow, ClipboardGoesToTheEndOfTheBodyAsOneUndoStep)
{
    WriteForm *w = open();
    w->BodyText()->setPlainText(QStringLiteral("ABC"));
    putOnClipboard(QStringLiteral("XYZ"));
    click(u"Command5");
    click(u"Command5");
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "ABCXYZXYZ");
    putOnClipboard(QString());
    click(u"Command5");
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "ABCXYZXYZ");
    putOnClipboard(QStringLiteral("一\r\n二"));
    click(u"Command5");
    EXPECT_EQ(text(w->bodyText()), "ABCXYZXYZ一\r\n二");
}

TEST_F(ComposeWindow, AGreetingNeverWipesTheBodyAndCanBeUndone)
{
    WriteForm *w = open();
    const auto leaveGreetingBox = [w] {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(w->Combo1(), &out);
    };
    w->BodyText()->setPlainText(QStringLiteral("本文です"));
    leaveGreetingBox();
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "本文です") << "an empty box changes nothing";

    w->Combo1()->setCurrentIndex(3);
    leaveGreetingBox();
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "いつもお世話になっております。\n本文です");
    leaveGreetingBox();
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "いつもお世話になっております。\n本文です");

    w->Combo1()->setCurrentIndex(0);
    leaveGreetingBox();
    EXPECT_EQ(text(w->BodyText()->toPlainText()),
              "御社益々ご清祥の事とお慶び申し上げます。\n本文です");
    w->BodyText()->undo();
    EXPECT_EQ(text(w->BodyText()->toPlainText()), "いつもお世話になっております。\n本文です");
}

TEST_F(ComposeWindow, TheAccessWordAloneOpensTheHiddenPasteMode)
{
    WriteForm *w = open();
    w->ToText()->setPlainText(QStringLiteral("qazu "));
    QTest::mouseDClick(w->Label7(), Qt::LeftButton);
    EXPECT_EQ(w->height(), twipsToPixels(8200));
    EXPECT_FALSE(control<QPushButton>(u"Command2")->isVisible());

    w->ToText()->setPlainText(QStringLiteral("qazu"));
    QTest::mouseDClick(w->Label7(), Qt::LeftButton);
    EXPECT_EQ(w->height(), twipsToPixels(8955));
    auto *command2 = control<QPushButton>(u"Command2");
    EXPECT_TRUE(command2->isVisible());
    EXPECT_TRUE(command2->isEnabled());
    EXPECT_GE(command2->x(), twipsToPixels(9840));
    putOnClipboard(QStringLiteral("メモ"));
    command2->click();
    EXPECT_EQ(text(control<QLineEdit>(u"Text4")->text()), "メモ");
}

TEST_F(ComposeWindow, WidenShowsTheAddressBookAndNarrowPutsItAway)
{
    addToAddressBook(QStringLiteral("ABC"), QStringLiteral("abc@example.jp"));
    addToAddressBook(QStringLiteral("鈴木"), QStringLiteral("鈴木<suzuki@example.jp>"));
    addToAddressBook(QStringLiteral("長い"), QString(70, u'x') + QStringLiteral("@example.jp"));
    WriteForm *w = open();
    RecipientPanel &panel = w->recipients();
    EXPECT_EQ(panel.List1()->count(), 0) << "the window loads the second address file";

    click(u"Command4");
    const QRect screen = w->screen()->geometry();
    EXPECT_EQ(w->width(), twipsToPixels(9700));
    EXPECT_EQ(w->x(), (screen.width() - w->width()) / 2);
    EXPECT_TRUE(panel.isVisible());
    ASSERT_EQ(panel.List1()->count(), 3);
    EXPECT_EQ(panel.List1()->item(0)->text(), QStringLiteral("ABC") + QString(87, u' '));
    EXPECT_EQ(text(panel.Text1()->text()), "3");
    EXPECT_EQ(panel.RowToRecord(), (QList<qint16>{1, 2, 3, 0}));

    panel.Option2()->click();
    EXPECT_EQ(panel.List1()->palette().color(QPalette::Base), QColor(0, 128, 0));
    click(u"Command6");
    EXPECT_EQ(w->width(), twipsToPixels(7100));
    EXPECT_EQ(w->x(), (screen.width() - w->width()) / 2);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_TRUE(panel.Option2()->isChecked()) << "bulk mode keeps its state";
    EXPECT_EQ(panel.List1()->palette().color(QPalette::Base), QColor(255, 255, 255));
}

TEST_F(ComposeWindow, APickPutsTheWholeAddressOfThatRow)
{
    const QString longAddress = QString(70, u'x') + QStringLiteral("@example.jp");
    addToAddressBook(QStringLiteral("ABC"), QStringLiteral("  abc@example.jp "));
    addToAddressBook(QStringLiteral("鈴木"), QStringLiteral("鈴木<suzuki@example.jp>"));
    addToAddressBook(QStringLiteral("長い"), longAddress);
    WriteForm *w = open();
    click(u"Command4");
    QListWidget *list = w->recipients().List1();

    QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                      QPoint(5, list->viewport()->height() - 5));
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_EQ(text(boxTexts().front()), "OrvaineMail: データが選択されていません");
    EXPECT_EQ(fixture().messageBoxes->shown.front().icon, QMessageBox::Warning);
    EXPECT_TRUE(w->ToText()->toPlainText().isEmpty());

    const auto pickRow = [&](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    pickRow(0);
    EXPECT_EQ(text(w->ToText()->toPlainText()), "abc@example.jp");
    pickRow(1);
    EXPECT_EQ(text(w->ToText()->toPlainText()), "鈴木<suzuki@example.jp>");
    pickRow(2);
    EXPECT_EQ(w->ToText()->toPlainText(), longAddress);

    // The row keeps the entry it showed even when the address book changes meanwhile.
    ASSERT_TRUE(AddressStore(app().appDir()).Compact().ok());
    AddressRecord first;
    ASSERT_TRUE(AddressStore(app().appDir()).Read(1, first).ok());
    ASSERT_TRUE(AddressStore(app().appDir()).MarkDeleted(1, first).ok());
    ASSERT_TRUE(AddressStore(app().appDir()).Compact().ok());
    pickRow(1);
    EXPECT_EQ(text(w->ToText()->toPlainText()), "鈴木<suzuki@example.jp>");

    w->recipients().Option1()->click();
    EXPECT_TRUE(w->ToText()->toPlainText().isEmpty());
    EXPECT_EQ(boxTexts().size(), 1u);
}

TEST_F(ComposeWindow, AttachmentsJoinAndDropAsTheButtonsSay)
{
    WriteForm *w = open();
    AttachmentPanel &a = w->attachments();
    ScriptedFileDialogs &dialogs = *fixture().fileDialogs;

    dialogs.openAnswers = {QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b.txt")};
    a.AttachCommand()->click();
    EXPECT_EQ(text(a.AttachText()->text()), "/tmp/a.txt");
    EXPECT_EQ(a.List2()->count(), 1);
    EXPECT_FALSE(a.List2()->isVisible());
    EXPECT_TRUE(a.Command9()->isEnabled());
    EXPECT_FALSE(a.AttachCommand()->isEnabled());
    a.Command9()->click();
    EXPECT_EQ(text(a.attachmentList()), "/tmp/a.txt,/tmp/b.txt");
    EXPECT_TRUE(a.List2()->isVisible());
    EXPECT_EQ(a.List2()->count(), 2);

    dialogs.openAnswers = {QStringLiteral("/tmp/見積,改訂.pdf")};
    a.Command9()->click();
    EXPECT_EQ(text(a.attachmentList()), "/tmp/a.txt,/tmp/b.txt") << "a comma path is refused";
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_TRUE(boxTexts().front().contains(u"カンマ"));

    a.Command10()->click();
    EXPECT_TRUE(a.attachmentList().isEmpty());
    EXPECT_EQ(a.List2()->count(), 0);
    EXPECT_FALSE(a.List2()->isVisible());
    EXPECT_FALSE(a.Command9()->isEnabled());
    EXPECT_FALSE(a.Command10()->isEnabled());
    EXPECT_TRUE(a.AttachCommand()->isEnabled());

    // A cancelled first pick still disables 添付; 追加 with no list only shows the list.
    dialogs.openAnswers = {QString()};
    a.AttachCommand()->click();
    EXPECT_FALSE(a.AttachCommand()->isEnabled());
    const std::size_t asked = dialogs.requests.size();
    a.Command9()->click();
    EXPECT_TRUE(a.List2()->isVisible());
    EXPECT_EQ(dialogs.requests.size(), asked);

    a.AttachText()->setText(QStringLiteral("D:\\c.txt"));
    dialogs.openAnswers = {QStringLiteral("/tmp/a.txt")};
    a.Command9()->click();
    EXPECT_EQ(text(a.attachmentList()), "D:\\c.txt,/tmp/a.txt");
    EXPECT_EQ(a.List2()->count(), 1);
}

TEST_F(ComposeWindow, ResetClearsTheMessageButKeepsWidthGreetingsAndList)
{
    addToAddressBook(QStringLiteral("ABC"), QStringLiteral("abc@example.jp"));
    WriteForm *w = open();
    click(u"Command4");
    w->ToText()->setPlainText(QStringLiteral("abc@example.jp"));
    w->SubjectText()->setText(QStringLiteral("件名"));
    w->BodyText()->setPlainText(QStringLiteral("本文"));
    w->Check1()->setChecked(true);
    w->recipients().Option2()->click();
    fixture().fileDialogs->openAnswers = {QStringLiteral("/tmp/a.txt")};
    w->attachments().AttachCommand()->click();

    click(u"Command11");
    EXPECT_TRUE(w->ToText()->toPlainText().isEmpty());
    EXPECT_TRUE(w->SubjectText()->text().isEmpty());
    EXPECT_TRUE(w->BodyText()->toPlainText().isEmpty());
    EXPECT_FALSE(w->Check1()->isChecked());
    EXPECT_FALSE(w->recipients().Option1()->isChecked());
    EXPECT_FALSE(w->recipients().Option2()->isChecked());
    EXPECT_EQ(w->recipients().List1()->palette().color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_TRUE(w->attachments().attachmentList().isEmpty());
    EXPECT_TRUE(w->attachments().AttachCommand()->isEnabled());
    EXPECT_FALSE(w->attachments().Command10()->isEnabled());
    EXPECT_EQ(w->width(), twipsToPixels(9700));
    EXPECT_EQ(w->Combo1()->count(), 8);
    EXPECT_EQ(w->recipients().List1()->count(), 1);
}

TEST_F(ComposeWindow, TheEmoticonButtonOpensThePaletteBesideTheWindow)
{
    WriteForm *w = open();
    click(u"Command8");
    ASSERT_TRUE(app().forms().isLoaded<KaoForm>());
    KaoForm *palette = app().forms().get<KaoForm>();
    EXPECT_TRUE(palette->isVisible());
    EXPECT_FALSE(palette->isModal());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(ComposeWindow, ClosingWithUnsentTextAsksAndNoKeepsTheWindow)
{
    WriteForm *w = open();
    w->BodyText()->setPlainText(QStringLiteral("下書き"));
    fixture().messageBoxes->answer(QMessageBox::No);
    click(u"Command3");
    ASSERT_EQ(boxTexts().size(), 1u);
    const MessageBoxRequest &question = fixture().messageBoxes->shown.back();
    EXPECT_EQ(question.text, u"送信していない内容があります。破棄して閉じますか？");
    EXPECT_EQ(question.defaultButton, QMessageBox::No);
    EXPECT_TRUE(isOpen());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(app().forms().get<WriteForm>(), w) << "a kept window stays loaded";
    EXPECT_EQ(w->BodyText()->toPlainText(), u"下書き");

    // The close box asks the same question; Yes discards and a New starts afresh.
    fixture().messageBoxes->answer(QMessageBox::Yes);
    w->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !isOpen(); }));
    EXPECT_EQ(boxTexts().size(), 2u);
    EXPECT_TRUE(open()->BodyText()->toPlainText().isEmpty());
}

TEST_F(ComposeWindow, StopWithNothingTypedOrAfterClearClosesWithoutAsking)
{
    open();
    click(u"Command3");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !isOpen(); }));
    WriteForm *w = open();
    w->SubjectText()->setText(QStringLiteral("件名"));
    click(u"Command11"); // クリア
    click(u"Command3");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !isOpen(); }));
    EXPECT_TRUE(boxTexts().empty());
}

// The widget found at the centre of the shown list is the list: it is not behind the body.
void expectListOnTop(QWidget *window, QListWidget *list, const QString &picture)
{
    ASSERT_TRUE(list->isVisible());
    QWidget *hit = window->childAt(list->geometry().center());
    EXPECT_TRUE(hit == list || list->isAncestorOf(hit))
        << (hit ? hit->objectName().toStdString() : "nothing");
    EXPECT_TRUE(window->grab().save(picture));
}

TEST_F(ComposeWindow, TheAttachmentListLiesOnTopOfTheBodyInBothWindows)
{
    WriteForm *w = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    fixture().fileDialogs->openAnswers = {QStringLiteral("/tmp/見積書.pdf"),
                                          QStringLiteral("/tmp/b.txt")};
    w->attachments().AttachCommand()->click();
    w->attachments().Command9()->click(); // 追加
    EXPECT_EQ(w->attachments().List2()->count(), 2);
    expectListOnTop(w, w->attachments().List2(),
                    screenshot(QStringLiteral("WriteFormAttachments.png")));

    OpenReply(app(), nullptr, QStringLiteral("件名"), QStringLiteral("a@example.jp"),
              QStringLiteral("本文"));
    BackForm *reply = app().forms().get<BackForm>();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(reply));
    fixture().fileDialogs->openAnswers = {QStringLiteral("/tmp/a.txt"),
                                          QStringLiteral("/tmp/b.txt")};
    reply->attachments().AttachCommand()->click();
    reply->attachments().Command9()->click();
    expectListOnTop(reply, reply->attachments().List2(),
                    screenshot(QStringLiteral("BackFormAttachments.png")));
}

// A first file picked while files are attached would replace them all: it asks first.
TEST_F(ComposeWindow, PickingAFirstFileOverAttachedFilesAsksBeforeReplacingThem)
{
    WriteForm *w = open();
    AttachmentPanel &panel = w->attachments();
    fixture().fileDialogs->openAnswers = {
        QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b.txt"), QStringLiteral("/tmp/c.txt")};
    panel.AttachCommand()->click();
    panel.Command9()->click();
    ASSERT_EQ(panel.attachmentList(), u"/tmp/a.txt,/tmp/b.txt");
    // The controls as a send leaves them while it runs: the first-file button enabled.
    panel.prepareForSend();
    ASSERT_TRUE(panel.AttachCommand()->isEnabled());

    fixture().messageBoxes->answer(QMessageBox::No);
    panel.AttachCommand()->click();
    ASSERT_EQ(boxTexts().size(), 1u);
    EXPECT_TRUE(boxTexts()[0].contains(u"2 件"));
    EXPECT_EQ(fixture().messageBoxes->shown[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(panel.attachmentList(), u"/tmp/a.txt,/tmp/b.txt") << "No keeps them";
    EXPECT_EQ(fixture().fileDialogs->openAnswers.size(), 1u) << "no file dialog after No";

    fixture().messageBoxes->answer(QMessageBox::Yes);
    panel.AttachCommand()->click();
    EXPECT_EQ(panel.attachmentList(), u"/tmp/c.txt");
    EXPECT_EQ(panel.List2()->count(), 1);
}

// The To box stops typing at its limit, with a sound and a status line instead of silence.
TEST_F(ComposeWindow, TheFullToBoxSaysSo)
{
    WriteForm *w = open();
    QTest::keyClicks(w->ToText(), QString(60, u'a'));
    EXPECT_TRUE(w->Label7()->text().isEmpty());
    QTest::keyClicks(w->ToText(), QStringLiteral("@example.jp"));
    EXPECT_EQ(w->ToText()->toPlainText(), QString(60, u'a'));
    EXPECT_EQ(text(w->Label7()->text()), "宛先は60文字までです。これ以上は入力できません。");
}

} // namespace
} // namespace orv::test
