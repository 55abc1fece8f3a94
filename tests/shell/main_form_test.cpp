#include "composer/WriteForm.h"
#include "shell/MainForm.h"
#include "shell/OptionForm.h"
#include "shell/SetForm.h"
#include "store/Settings.h"
#include "support/TestApp.h"
#include "support/Widgets.h"
#include "ui/ClockText.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {
namespace {

using test::control;
using test::movePointerOver;

class MainFormTest : public ::testing::Test {
protected:
    void writeSettings(const QByteArray &text)
    {
        fixture.folder.writeBytes(QStringLiteral("\\korvel.ini"), text);
    }
    MainForm &start()
    {
        form = std::make_unique<MainForm>(*fixture.app);
        return *form;
    }
    QLabel *label(const QString &name) { return control<QLabel>(form.get(), name); }
    QString statusLine() { return label(QStringLiteral("Label2"))->text(); }
    test::UnreachableMailLibrary &mail()
    {
        return static_cast<test::UnreachableMailLibrary &>(fixture.app->mail());
    }

    test::TestApp fixture;
    std::unique_ptr<MainForm> form;
};

TEST_F(MainFormTest, CaptionsAreExactIncludingLeadingSpaces)
{
    start();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orvaine Ver 1.05"));
    const std::pair<const char *, QString> captions[] = {
        {"Label8", QString(8, u' ') + QStringLiteral("受信")},
        {"Label9", QString(5, u' ') + QStringLiteral("新規作成")},
        {"Label10", QString(3, u' ') + QStringLiteral("アドレス帳")},
        {"Label11", QString(26, u' ') + QStringLiteral("設定")},
        {"Label6", QString(5, u' ') + QStringLiteral("送信履歴")},
        {"Label7", QString(3, u' ') + QStringLiteral("着信履歴")},
        {"Label13", QString(5, u' ') + QStringLiteral("Play")},
        {"Label14", QString(5, u' ') + QStringLiteral("Stop")},
        {"Label4", QString(25, u' ') + QStringLiteral("Small")},
        {"Label5", QString(26, u' ') + QStringLiteral("HomePage")},
        {"Label1", QStringLiteral(" Orvaine Ver 1.05")},
        {"Label12", QString()},
        {"Label2", QString()},
    };
    for (const auto &[name, caption] : captions)
        EXPECT_EQ(label(QString::fromLatin1(name))->text(), caption) << name;
    const QList<QLabel *> mottos = form->findChildren<QLabel *>(QStringLiteral("Label3"));
    ASSERT_EQ(mottos.size(), 2);
    EXPECT_EQ(mottos[0]->text(), QStringLiteral("I will love you for ever"));
    EXPECT_EQ(mottos[1]->text(), QStringLiteral("What are you plans for the future?"));
}

TEST_F(MainFormTest, PointerMovesShowEachControlsHelpText)
{
    start();
    const std::pair<const char *, QString> helpTexts[] = {
        {"Label8", QStringLiteral("新着メールの受信を行います。")},
        {"Label9", QStringLiteral("メールの新規作成・送信を行います。")},
        {"Label10", QStringLiteral("アドレス帳への登録を行います。着信からの自動入力、送信時の一発"
                                   "入力が可能になります。")},
        {"Label11",
         QStringLiteral("ID,PASS,サーバーの設定。これを行わないと通信エラーになります。")},
        {"Label6", QStringLiteral(
                       "送信（送信履歴）したメールを見ます。画面はマウスでストレッチが出来ます。")},
        {"Label7", QStringLiteral(
                       "着信（着信履歴）したメールを見ます。画面はマウスでストレッチが出来ます。")},
        {"Label13", QStringLiteral("新着メール時に再生するMIDIの確認を行います。")},
        {"Label14", QStringLiteral("現在再生しているMIDIを停止します。")},
        {"Label4", QStringLiteral("フォーム（画面）を最小化します。")},
        {"Label5", QStringLiteral("メーラー専門店、作者のホームページです。")},
        {"Label1", QStringLiteral("夢は連鎖する、湖面の波紋のように・・・あなたにも・・・")},
        {"Image2", QStringLiteral("メールの新規作成・送信を行います。")},
    };
    for (const auto &[name, text] : helpTexts) {
        movePointerOver(label(QString::fromLatin1(name)));
        EXPECT_EQ(statusLine(), text) << name;
    }
}

TEST_F(MainFormTest, MovingFromReceiveToTheDecorationClearsTheStatusLine)
{
    start();
    movePointerOver(label(QStringLiteral("Label8")));
    EXPECT_EQ(statusLine(), QStringLiteral("新着メールの受信を行います。"));
    movePointerOver(label(QStringLiteral("Image1")));
    EXPECT_EQ(statusLine(), QString());
    // Controls without help text leave the line as it is.
    movePointerOver(label(QStringLiteral("Label9")));
    movePointerOver(label(QStringLiteral("Label12")));
    EXPECT_EQ(statusLine(), QStringLiteral("メールの新規作成・送信を行います。"));
}

TEST_F(MainFormTest, ReceiveShowsItsStatusBeforeTheRunStarts)
{
    start();
    QString statusWhenRunStarted;
    QObject::connect(form.get(), &MainForm::receiveRequested,
                     [&] { statusWhenRunStarted = statusLine(); });
    QTest::mouseClick(label(QStringLiteral("Label8")), Qt::LeftButton);
    EXPECT_EQ(statusWhenRunStarted, QStringLiteral("メールを受信します。"));
}

TEST_F(MainFormTest, PlayStopPlayStartsTheTuneFromTheBeginningAgain)
{
    start();
    QLabel *play = label(QStringLiteral("Label13"));
    QLabel *stop = label(QStringLiteral("Label14"));
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());

    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_FALSE(play->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_TRUE(fixture.tune->isOpen());

    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(play->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(fixture.tune->isOpen());

    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(fixture.tune->playsFromStart, 2);
    const QString tune = fixture.folder.file(QStringLiteral("\\Sound\\1.mid"));
    EXPECT_EQ(fixture.tune->calls,
              (QStringList{QStringLiteral("open ") + tune, QStringLiteral("play"),
                           QStringLiteral("close"), QStringLiteral("open ") + tune,
                           QStringLiteral("play")}));
}

TEST_F(MainFormTest, PlayWhileOpenActsOnTheTuneAlreadyOpen)
{
    start();
    form->Play();
    form->Play(); // as a receive run does while the tune is still open
    EXPECT_EQ(fixture.tune->playsFromStart, 1);
    EXPECT_TRUE(fixture.tune->isOpen());
}

// The settings come up over the main window once it has been drawn: it shows first.
TEST_F(MainFormTest, StartUpWithoutSettingsOpensTheServerDialog)
{
    start();
    EXPECT_FALSE(fixture.app->forms().isLoaded<OptionForm>());
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return fixture.app->forms().isLoaded<OptionForm>(); }));
    EXPECT_TRUE(fixture.app->forms().get<OptionForm>()->isVisible());
    EXPECT_EQ(fixture.app->state().serverSettings, ServerSettings());
    EXPECT_EQ(mail().calls, (QStringList{QStringLiteral("NMailInitializeWinSock"),
                                         QStringLiteral("NMailSetOption 1 8192")}));
}

TEST_F(MainFormTest, StartUpReadsSettingsClearsTheFortuneBoxAndShowsThePicture)
{
    writeSettings("APOP=1\r\nPOP3=pop.example.jp\r\n");
    start();
    EXPECT_FALSE(fixture.app->forms().isLoaded<OptionForm>());
    EXPECT_EQ(fixture.app->state().serverSettings.pop3Server, QStringLiteral("pop.example.jp"));
    EXPECT_EQ(fixture.app->state().serverSettings.apop, 1);

    // The compose window is loaded hidden once the main window has been drawn.
    EXPECT_FALSE(fixture.app->forms().isLoaded<WriteForm>());
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return fixture.app->forms().isLoaded<WriteForm>(); }));
    EXPECT_FALSE(fixture.app->forms().isLoaded<OptionForm>());
    WriteForm *compose = fixture.app->forms().get<WriteForm>();
    EXPECT_FALSE(compose->isVisible());
    EXPECT_FALSE(compose->Check1()->isChecked());

    EXPECT_FALSE(label(QStringLiteral("Image2"))->pixmap().isNull());
}

TEST_F(MainFormTest, ClockTicksEverySecondWithDateAndTimeJoinedByTwoSpaces)
{
    start();
    auto *clock = control<QLineEdit>(form.get(), QStringLiteral("Text2"));
    auto *timer = control<QTimer>(form.get(), QStringLiteral("Timer2"));
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    QSignalSpy ticks(timer, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_EQ(clock->text(), clockText(fixture.clock->time));
    EXPECT_TRUE(clock->text().contains(QStringLiteral("  ")));
    EXPECT_TRUE(clock->text().contains(QStringLiteral("05:07")) ||
                clock->text().contains(QStringLiteral("5:07")))
        << clock->text().toStdString();
    EXPECT_GE(clock->y() * 15, 6120 - 15); // below the visible area
}

TEST_F(MainFormTest, SmallHomePageAndSettingsLabels)
{
    start();
    form->show();
    QTest::mouseClick(label(QStringLiteral("Label5")), Qt::LeftButton);
    ASSERT_EQ(fixture.browser->opened.size(), 1u);
    EXPECT_TRUE(QFile::exists(fixture.browser->opened.front().toLocalFile()));

    QTest::mouseClick(label(QStringLiteral("Label11")), Qt::LeftButton);
    EXPECT_TRUE(fixture.app->forms().get<SetForm>()->isVisible());

    QTest::mouseClick(label(QStringLiteral("Label4")), Qt::LeftButton);
    EXPECT_TRUE(form->windowState() & Qt::WindowMinimized);
}

// A double click is one click: one browser tab, one receive run, one minimise.
TEST_F(MainFormTest, ADoubleClickOnACommandLabelRunsItsCommandOnce)
{
    start();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QSignalSpy receives(form.get(), &MainForm::receiveRequested);
    QSignalSpy composes(form.get(), &MainForm::composeRequested);
    // Through the window, as a mouse double-clicks: press, release, press, double click,
    // release.
    for (const char16_t *name : {u"Label5", u"Label8", u"Label9"}) {
        QLabel *command = label(QString::fromUtf16(name));
        QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, command->geometry().center());
    }
    EXPECT_EQ(fixture.browser->opened.size(), 1u);
    EXPECT_EQ(receives.count(), 1);
    EXPECT_EQ(composes.count(), 1);

    // A plain click after the double click still runs its command.
    QTest::mouseClick(label(QStringLiteral("Label8")), Qt::LeftButton);
    EXPECT_EQ(receives.count(), 2);
}

TEST_F(MainFormTest, ClosingClosesTheTuneReleasesTheLibraryAndUnloadsEveryWindow)
{
    writeSettings("POP3=pop.example.jp\r\n");
    start();
    form->show();
    form->Play();
    fixture.app->forms().show<SetForm>();
    form->close();
    EXPECT_FALSE(fixture.tune->isOpen());
    EXPECT_EQ(mail().calls.last(), QStringLiteral("NMailEndWinSock"));
    EXPECT_FALSE(fixture.app->forms().isLoaded<SetForm>());
    EXPECT_FALSE(fixture.app->forms().isLoaded<WriteForm>());
}

TEST_F(MainFormTest, RendersWithJapaneseGlyphs)
{
    start();
    form->show();
    // A font that holds the Japanese captions must be installed, or they render as boxes; the
    // program's own font holds them, so that no window searches for one.
    EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
    EXPECT_EQ(QFontInfo(form->font()).family(), QStringLiteral("IPAPGothic"));

    // The pictures come a moment after the first paint.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !label(QStringLiteral("Image1"))->pixmap().isNull(); }));
    const QPixmap shot = form->grab();
    const QString folder =
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + QStringLiteral("/MainForm.png")));
}

// The window's own colour shows until the picture comes, and where the picture is missing;
// it is the window's alone, not that of a box opened over it.
TEST_F(MainFormTest, WithoutItsPictureTheWindowIsNightBlueAndABoxOverItKeepsItsColours)
{
    ASSERT_TRUE(QFile::remove(fixture.folder.file(QStringLiteral("\\背景画像\\1.jpg"))));
    start();
    form->show();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !label(QStringLiteral("Image1"))->pixmap().isNull(); }));
    EXPECT_TRUE(label(QStringLiteral("Image2"))->pixmap().isNull());
    const QColor night(20, 40, 70);
    EXPECT_EQ(form->grab().toImage().pixelColor(480, 150), night) << "a free spot of the window";
    QMessageBox box(form.get());
    EXPECT_NE(box.palette().color(QPalette::Window), night);
}

// Every command label shows its whole caption at the designed size: what does not fit is
// leading blanks, never a word.
TEST_F(MainFormTest, EveryCaptionShowsWhole)
{
    start();
    form->show();
    for (const char *name : {"Label1", "Label8", "Label9", "Label10", "Label7", "Label6", "Label13",
                             "Label14", "Label11", "Label4", "Label5"}) {
        auto *label = control<QLabel>(form.get(), QLatin1String(name));
        const QString words = label->text().trimmed();
        const int room = label->contentsRect().width();
        const int needed = label->fontMetrics().horizontalAdvance(words);
        EXPECT_LE(needed, room) << name;
        if (label->fontMetrics().horizontalAdvance(label->text()) > room) {
            EXPECT_TRUE(label->alignment() & Qt::AlignRight) << name << " would cut its caption";
        }
    }
}

} // namespace
} // namespace orv
