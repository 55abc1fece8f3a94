#include "composer/WriteForm.h"
#include "shell/MainForm.h"
#include "shell/SetForm.h"
#include "shell/Startup.h"
#include "support/KeyboardWalk.h"
#include "support/TestApp.h"
#include "support/Widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::control;

// The main window as the program shows it: in front, with the keyboard's focus.
class MainFormKeyboard : public ::testing::Test {
protected:
    MainFormKeyboard()
    {
        fixture.folder.writeBytes(QStringLiteral("\\korvel.ini"), "POP3=pop.example.jp\r\n");
        form = std::make_unique<MainForm>(*fixture.app);
    }

    void showActive() { ASSERT_TRUE(test::showActive(form.get())); }
    ClickableLabel *label(const char *name)
    {
        return control<ClickableLabel>(form.get(), QLatin1String(name));
    }
    QString statusLine() { return control<QLabel>(form.get(), QStringLiteral("Label2"))->text(); }

    test::TestApp fixture;
    std::unique_ptr<MainForm> form;
};

// Down the launcher column, then the corner commands; Stop is disabled until Play, the title
// and the clock below the window's edge are no stops.
TEST_F(MainFormKeyboard, TabVisitsTheCommandsInTheirOrderAndComesRound)
{
    showActive();
    const QStringList round = {
        QStringLiteral("Label8"),  QStringLiteral("Label9"), QStringLiteral("Label10"),
        QStringLiteral("Label7"),  QStringLiteral("Label6"), QStringLiteral("Label13"),
        QStringLiteral("Label11"), QStringLiteral("Label4"), QStringLiteral("Label5")};
    const QStringList walked = test::tabWalk(form.get(), int(round.size()) * 2);
    const qsizetype start = round.indexOf(walked.first());
    ASSERT_GE(start, 0) << walked.join(u' ').toStdString();
    for (qsizetype press = 0; press < walked.size(); ++press)
        EXPECT_EQ(walked[press], round[(start + press) % round.size()])
            << walked.join(u' ').toStdString();

    label("Label13")->click(); // Play enables Stop, which joins the round after it
    ASSERT_TRUE(test::tabTo(form.get(), QStringLiteral("Label6")));
    EXPECT_EQ(test::tabWalk(form.get(), 2),
              (QStringList{QStringLiteral("Label14"), QStringLiteral("Label11")}));
}

struct FiringKey {
    const char *name;
    Qt::Key key;
};

const FiringKey kFiringKeys[] = {
    {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Space", Qt::Key_Space}};

struct LabelCommand {
    const char *label;
    void (MainForm::*signal)();
};

const LabelCommand kLabelCommands[] = {
    {"Label8", &MainForm::receiveRequested},      {"Label9", &MainForm::composeRequested},
    {"Label10", &MainForm::addressBookRequested}, {"Label7", &MainForm::receivedHistoryRequested},
    {"Label6", &MainForm::sentHistoryRequested},
};

TEST_F(MainFormKeyboard, EnterAndSpaceRunTheFocusedCommandOnce)
{
    showActive();
    for (const LabelCommand &command : kLabelCommands) {
        for (const FiringKey &key : kFiringKeys) {
            SCOPED_TRACE(std::string(command.label) + " " + key.name);
            QWidget *focused = test::tabTo(form.get(), QLatin1String(command.label));
            ASSERT_NE(focused, nullptr);
            QSignalSpy fired(form.get(), command.signal);
            QTest::keyClick(focused, key.key);
            EXPECT_EQ(fired.count(), 1);
        }
    }
    // Play and Stop change places: each fires once and hands the focus round on.
    QTest::keyClick(test::tabTo(form.get(), QStringLiteral("Label13")), Qt::Key_Space);
    EXPECT_TRUE(fixture.tune->isOpen());
    QTest::keyClick(test::tabTo(form.get(), QStringLiteral("Label14")), Qt::Key_Return);
    EXPECT_FALSE(fixture.tune->isOpen());
    EXPECT_EQ(fixture.tune->playsFromStart, 1);
}

TEST_F(MainFormKeyboard, TabToNewThenEnterOpensTheComposeWindow)
{
    wireMainForm(*fixture.app, *form);
    showActive();
    QWidget *compose = test::tabTo(form.get(), QStringLiteral("Label9"));
    ASSERT_NE(compose, nullptr);
    QTest::keyClick(compose, Qt::Key_Return);
    EXPECT_TRUE(fixture.app->forms().get<WriteForm>()->isVisible());
}

struct Shortcut {
    const char *label;
    QKeySequence keys;
};

TEST_F(MainFormKeyboard, ShortcutsRunTheirCommandsWhileEnabled)
{
    showActive();
    const Shortcut shortcuts[] = {
        {"Label8", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"Label9", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"Label10", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {"Label7", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {"Label6", QKeySequence(Qt::CTRL | Qt::Key_O)},
    };
    for (const Shortcut &shortcut : shortcuts) {
        SCOPED_TRACE(shortcut.label);
        QSignalSpy clicks(label(shortcut.label), &ClickableLabel::clicked);
        QTest::keySequence(form.get(), shortcut.keys);
        EXPECT_EQ(clicks.count(), 1);
        EXPECT_EQ(label(shortcut.label)->shortcut(), shortcut.keys);
    }

    // Stop is disabled before Play: its keys do nothing until then.
    const QKeySequence stop(Qt::CTRL | Qt::Key_Period);
    QTest::keySequence(form.get(), stop);
    EXPECT_TRUE(fixture.tune->calls.isEmpty());
    QTest::keySequence(form.get(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(fixture.tune->isOpen());
    QTest::keySequence(form.get(), stop);
    EXPECT_FALSE(fixture.tune->isOpen());

    QTest::keySequence(form.get(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_TRUE(fixture.app->forms().get<SetForm>()->isVisible());
    QTest::keySequence(form.get(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(fixture.browser->opened.size(), 1u);
}

// What the pointer shows, the keyboard shows: each command's help text on the status line
// as Tab reaches it.
TEST_F(MainFormKeyboard, TheFocusShowsEachCommandsHelpText)
{
    showActive();
    test::tabWalk(form.get(), 1); // away from where the window's coming to the front left it
    const std::pair<const char *, QString> helpTexts[] = {
        {"Label9", QStringLiteral("メールの新規作成・送信を行います。")},
        {"Label13", QStringLiteral("新着メール時に再生するMIDIの確認を行います。")},
        {"Label11",
         QStringLiteral("ID,PASS,サーバーの設定。これを行わないと通信エラーになります。")},
        {"Label5", QStringLiteral("メーラー専門店、作者のホームページです。")},
        {"Label8", QStringLiteral("新着メールの受信を行います。")},
    };
    for (const auto &[name, text] : helpTexts) {
        ASSERT_NE(test::tabTo(form.get(), QLatin1String(name)), nullptr) << name;
        EXPECT_EQ(statusLine(), text) << name;
    }
}

// The frame shows where the keyboard is and goes with it; the caption does not move. A
// window coming to the front gives a command the focus but shows no frame.
TEST_F(MainFormKeyboard, TheFocusFrameShowsOnlyWhileTheKeyboardIsThere)
{
    showActive();
    ClickableLabel *receive = label("Label8");
    const QImage unfocused = receive->grab().toImage();
    test::tabWalk(form.get(), 1);
    EXPECT_EQ(receive->grab().toImage(), unfocused);
    ASSERT_EQ(test::tabTo(form.get(), QStringLiteral("Label8")), receive);
    const QImage focused = receive->grab().toImage();
    EXPECT_NE(focused, unfocused);
    // Only the rim changes: the middle, where the caption is, stays as it was.
    const QRect middle = receive->rect().adjusted(4, 4, -4, -4);
    EXPECT_EQ(focused.copy(middle), unfocused.copy(middle));

    test::tabWalk(form.get(), 1);
    EXPECT_EQ(receive->grab().toImage(), unfocused);
}

TEST(ClickableLabelAccess, ACommandIsAButtonNamedByItsCaptionThatPressesAsAClickDoes)
{
    QWidget window;
    auto *command = new ClickableLabel(QStringLiteral("     新規作成"), &window);
    auto *title = new ClickableLabel(QStringLiteral(" Orvaine Ver 1.05"), &window);
    title->setFocusPolicy(Qt::NoFocus);
    command->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));

    QAccessibleInterface *button = QAccessible::queryAccessibleInterface(command);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->role(), QAccessible::Button);
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("新規作成"));
    EXPECT_FALSE(button->text(QAccessible::Accelerator).isEmpty());
    QSignalSpy clicks(command, &ClickableLabel::clicked);
    ASSERT_NE(button->actionInterface(), nullptr);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 1);
    command->setEnabled(false);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicks.count(), 1) << "a disabled command does not run";

    QAccessibleInterface *text = QAccessible::queryAccessibleInterface(title);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->role(), QAccessible::StaticText);
    EXPECT_EQ(text->text(QAccessible::Name), QStringLiteral("Orvaine Ver 1.05"));
}

} // namespace
} // namespace orv
