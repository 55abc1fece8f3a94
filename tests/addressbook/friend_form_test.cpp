#include "AddressBookFixture.h"

#include "addressbook/AddressBookRules.h"
#include "ui/Clipboard.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>

namespace orv::test {
namespace {

const QString kBlank90(90, u' ');

// A pointer move over the window's own background, right of the list.
void moveOverBackground(QWidget &window)
{
    const QPointF local(window.width() - 3, window.height() / 2.0);
    ASSERT_EQ(window.childAt(local.toPoint()), nullptr);
    QMouseEvent move(QEvent::MouseMove, local, window.mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &move);
}

TEST_F(AddressBookTest, AnAbsentStoreOpensAsAnEmptyListAndIsCreated)
{
    ASSERT_FALSE(QFileInfo::exists(t.folder.file(kAddressStore)));

    EXPECT_EQ(form().windowTitle(), QStringLiteral("アドレス帳"));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(text("Text3"), QStringLiteral("0"));
    EXPECT_EQ(status(), QString());
    EXPECT_TRUE(QFileInfo::exists(t.folder.file(kAddressStore)));
    EXPECT_EQ(storeBytes(), QByteArray());
    EXPECT_EQ(list()->headerItem()->text(0), QStringLiteral("Address"));
    EXPECT_EQ(list()->headerItem()->text(1), QStringLiteral("Name"));
    EXPECT_TRUE(messagesShown().isEmpty());
}

TEST_F(AddressBookTest, TheListShowsEveryRecordInOrderWithItsPadding)
{
    writeStore({{QStringLiteral("山田"), QStringLiteral("yamada@example.jp")},
                {QStringLiteral("佐藤"), QStringLiteral("sato@example.jp")}});

    ASSERT_EQ(rowCount(), 2);
    EXPECT_EQ(text("Text3"), QStringLiteral("2"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("yamada@example.jp").leftJustified(90));
    EXPECT_EQ(cell(0, 1), QStringLiteral("山田").leftJustified(88));
    EXPECT_EQ(cell(1, 0).trimmed(), QStringLiteral("sato@example.jp"));
}

TEST_F(AddressBookTest, RegisteringBlankBoxesAppendsABlankRow)
{
    click("Command3");

    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(cell(0, 0), kBlank90);
    EXPECT_EQ(cell(0, 1), kBlank90);
    EXPECT_EQ(text("Text3"), QStringLiteral("1"));
    EXPECT_EQ(status(), QStringLiteral("　登録が完了しました。"));
    EXPECT_EQ(storeBytes(), addressStoreBytes({{QString(), QString()}}));
}

TEST_F(AddressBookTest, TheSameEntryTwiceGivesTwoRowsAndTheBoxesKeepTheirText)
{
    box("Text2")->setText(QStringLiteral("山田"));
    box("Text4")->setText(QStringLiteral("  yamada@example.jp "));
    click("Command3");
    click("Command3");

    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(text("Text3"), QStringLiteral("2"));
    EXPECT_EQ(text("Text4"), QStringLiteral("  yamada@example.jp "));
    // Registering stores the address untrimmed.
    const Entry entry{QStringLiteral("山田"), QStringLiteral("  yamada@example.jp ")};
    EXPECT_EQ(storeBytes(), addressStoreBytes({entry, entry}));
}

TEST_F(AddressBookTest, RegisteringRefusesWhatItsFieldWouldCut)
{
    const QString ninetyBytes = QString(45, u'あ');
    const struct {
        const char *name;
        QString nameText;
        QString addressText;
        bool stored;
    } cases[] = {
        {"a name of exactly 90 bytes", ninetyBytes, QStringLiteral("a@example.jp"), true},
        {"a name of 92 bytes", ninetyBytes + u'あ', QStringLiteral("a@example.jp"), false},
        {"a display form of 91 bytes", QStringLiteral("山田"),
         QString(30, u'山') + QStringLiteral("<") + QString(29, u'a') + QStringLiteral(">"), false},
        {"an address of 90 bytes", QString(), QString(90, u'a'), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        t.messageBoxes->shown.clear();
        form().Label7()->clear();
        const QByteArray before = storeBytes();
        box("Text2")->setText(c.nameText);
        box("Text4")->setText(c.addressText);

        click("Command3");

        if (c.stored) {
            EXPECT_TRUE(messagesShown().isEmpty());
            EXPECT_EQ(storeBytes(), before + addressStoreBytes({{c.nameText, c.addressText}}));
        } else {
            EXPECT_EQ(messagesShown(), QStringList{registrationProblem(c.nameText, c.addressText)});
            EXPECT_EQ(storeBytes(), before);
            EXPECT_EQ(status(), QString());
        }
    }
}

TEST_F(AddressBookTest, AStoreThatCannotTakeTheEntryIsReportedNotCompleted)
{
    form();
    // A store holding 32,767 records (as a sparse file) has no room for another.
    {
        QFile store(t.folder.file(kAddressStore));
        ASSERT_TRUE(store.open(QIODevice::ReadWrite));
        ASSERT_TRUE(store.resize(qint64(32767) * AddressRecord::kSize));
    }
    const QByteArray before = storeBytes();
    box("Text4")->setText(QStringLiteral("full@example.jp"));

    click("Command3");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(status(), QString());
    EXPECT_EQ(storeBytes(), before);
}

TEST(AddressBookWithoutDataFolder, OpeningAndRegisteringSayWhyNothingIsStored)
{
    TestApp t(false);
    FriendForm &form = *t.app->forms().get<FriendForm>();
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(QStringLiteral("Krvdata20.data")));
    EXPECT_EQ(form.Text3()->text(), QStringLiteral("0"));

    form.Text4()->setText(QStringLiteral("a@example.jp"));
    control<QPushButton>(&form, QStringLiteral("Command3"))->click();

    EXPECT_GE(t.messageBoxes->shown.size(), 2u);
    EXPECT_EQ(form.Label7()->text(), QString());
    EXPECT_FALSE(QDir(t.folder.path()).exists(QStringLiteral("★MAilData")));
}

TEST_F(AddressBookTest, BusinessCardInsertionWrapsTheTrimmedAddress)
{
    const struct {
        const char *name;
        QString address;
        QString cardName;
        QString result;  // Text4 afterwards
        QString message; // the box shown, if any
    } cases[] = {
        {"name and address",
         QStringLiteral("hanako@example.jp"),
         QStringLiteral("山田花子"),
         QStringLiteral("山田花子<hanako@example.jp>"),
         {}},
        {"blanks around the address go, the name stays as typed",
         QStringLiteral("  hanako@example.jp "),
         QStringLiteral(" 花子"),
         QStringLiteral(" 花子<hanako@example.jp>"),
         {}},
        {"a second press wraps again",
         QStringLiteral("花子<hanako@example.jp>"),
         QStringLiteral("花子"),
         QStringLiteral("花子<花子<hanako@example.jp>>"),
         {}},
        {"no address", QString(), QStringLiteral("花子"), QString(),
         QStringLiteral("メールアドレスが入力されていません")},
        {"no card name", QStringLiteral("hanako@example.jp"), QString(),
         QStringLiteral("hanako@example.jp"), QStringLiteral("名詞が入力されていません")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        t.messageBoxes->shown.clear();
        box("Text4")->setText(c.address);
        box("Text50")->setText(c.cardName);

        click("Command38");

        EXPECT_EQ(text("Text4"), c.result);
        EXPECT_EQ(messagesShown(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(text("Text50"), c.cardName);
    }
    EXPECT_EQ(storeBytes(), QByteArray()) << "insertion stores nothing";
}

TEST_F(AddressBookTest, BusinessCardNamesTheSendCannotParseAreRefused)
{
    for (const QString &cardName : {QStringLiteral("山田<花子"), QStringLiteral("花子>"),
                                    QStringLiteral("山田, 花子"), QStringLiteral("\"花子")}) {
        SCOPED_TRACE(cardName.toStdString());
        t.messageBoxes->shown.clear();
        box("Text4")->setText(QStringLiteral("hanako@example.jp"));
        box("Text50")->setText(cardName);

        click("Command38");

        EXPECT_EQ(messagesShown(), QStringList{businessCardNameProblem(cardName)});
        EXPECT_FALSE(messagesShown().constFirst().isEmpty());
        EXPECT_EQ(text("Text4"), QStringLiteral("hanako@example.jp"));
    }
}

TEST_F(AddressBookTest, PressingARowShowsItsEntryTrimmed)
{
    writeStore({{QStringLiteral(" 山田 "), QStringLiteral("yamada@example.jp")},
                {QStringLiteral("佐藤"), QStringLiteral("  sato@example.jp")}});
    form().show();

    pressRow(1);

    EXPECT_EQ(text("Text2"), QStringLiteral("佐藤"));
    EXPECT_EQ(text("Text4"), QStringLiteral("sato@example.jp"));
    EXPECT_EQ(status(), QStringLiteral("　選択しました。"));
}

// From the keyboard, Enter or Space on the selected row does what a press does, so that the
// entry can then be changed or deleted without the mouse.
TEST_F(AddressBookTest, EnterOrSpaceOnTheSelectedRowShowsItsEntry)
{
    writeStore({{QStringLiteral("山田"), QStringLiteral("yamada@example.jp")},
                {QStringLiteral("佐藤"), QStringLiteral("sato@example.jp")}});
    form().show();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        box("Text4")->clear();
        list()->setCurrentItem(list()->topLevelItem(0));
        QTest::keyClick(list(), Qt::Key_Down);
        QTest::keyClick(list(), key);
        EXPECT_EQ(text("Text4"), QStringLiteral("sato@example.jp")) << key;
        EXPECT_EQ(status(), QStringLiteral("　選択しました。"));
    }
}

TEST_F(AddressBookTest, PressingAnEmptyListDoesNothing)
{
    form().show();
    box("Text4")->setText(QStringLiteral("typed@example.jp"));

    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));

    EXPECT_EQ(text("Text4"), QStringLiteral("typed@example.jp"));
    EXPECT_EQ(status(), QString());
    EXPECT_TRUE(messagesShown().isEmpty());
}

TEST_F(AddressBookTest, DeleteAsksAndRemovesTheRowOnlyOnYes)
{
    const std::vector<Entry> entries = {
        {QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp")},
        {QStringLiteral("二郎"), QStringLiteral("jiro@example.jp")},
        {QStringLiteral("三郎"), QStringLiteral("saburo@example.jp")}};
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
        writeStore(entries);
        form().ReloadList();
        form().show();
        pressRow(1);
        box("Text2")->clear();
        t.messageBoxes->shown.clear();
        t.messageBoxes->answer(answer);

        click("Command4");

        ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
        const MessageBoxRequest &question = t.messageBoxes->shown[0];
        EXPECT_EQ(question.text,
                  QStringLiteral("選択された（行、青色）データを削除します。よろしいですか"));
        EXPECT_EQ(question.title, QStringLiteral("確認"));
        EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(question.icon, QMessageBox::Question);
        EXPECT_EQ(text("Text2"), QStringLiteral("二郎"));
        EXPECT_EQ(text("Text4"), QStringLiteral("jiro@example.jp"));
        if (answer == QMessageBox::Yes) {
            EXPECT_EQ(storeBytes(), addressStoreBytes({entries[0], entries[2]}));
            EXPECT_EQ(status(), QStringLiteral("削除が完了しました"));
            EXPECT_EQ(text("Text3"), QStringLiteral("2"));
        } else {
            EXPECT_EQ(storeBytes(), addressStoreBytes(entries));
            EXPECT_EQ(status(), QStringLiteral(" "));
            EXPECT_EQ(text("Text3"), QStringLiteral("3"));
        }
    }
}

TEST_F(AddressBookTest, DeletingTheOnlyEntryLeavesAnEmptyStore)
{
    writeStore({{QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp")}});
    form().show();
    pressRow(0);
    t.messageBoxes->answer(QMessageBox::Yes);

    click("Command4");

    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(text("Text3"), QStringLiteral("0"));
    EXPECT_TRUE(QFileInfo::exists(t.folder.file(kAddressStore)));
    EXPECT_EQ(QFileInfo(t.folder.file(kAddressStore)).size(), 0);
}

TEST_F(AddressBookTest, DeleteWithoutASelectionOrAnAddressAsksNothing)
{
    writeStore({{QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp")}});
    form().show();
    box("Text4")->setText(QStringLiteral("ichiro@example.jp"));
    click("Command4"); // no row selected

    pressRow(0);
    box("Text4")->clear();
    click("Command4"); // no address

    EXPECT_EQ(messagesShown(), QStringList(2, QStringLiteral("データが選択されていません")));
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(AddressBookTest, ADeletionThatCannotBeCompletedIsReported)
{
    writeStore({{QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp")}});
    form().show();
    pressRow(0);
    // The compaction cannot create its temporary file where a folder stands.
    ASSERT_TRUE(QDir().mkpath(t.folder.file(QStringLiteral("\\★MAilData\\KRVDATA20.TMP"))));
    t.messageBoxes->answer(QMessageBox::Yes);

    click("Command4");

    ASSERT_EQ(t.messageBoxes->shown.size(), 2u);
    EXPECT_EQ(t.messageBoxes->shown[1].icon, QMessageBox::Critical);
    EXPECT_NE(status(), QStringLiteral("削除が完了しました"));
}

TEST_F(AddressBookTest, TypingStopsAtTheLimitButTheProgramsTextIsKeptWhole)
{
    const QString longAddress =
        QStringLiteral("Yamada Taro, Planning Department <yamada.taro.planning@example.co.jp>");
    ASSERT_GT(longAddress.size(), 60);

    putOnClipboard(longAddress);
    click("Command1");
    EXPECT_EQ(text("Text4"), longAddress);

    box("Text4")->clear();
    QTest::keyClicks(box("Text4"), QString(70, u'a'));
    EXPECT_EQ(text("Text4"), QString(60, u'a'));
    QTest::keyClicks(box("Text2"), QString(40, u'b'));
    EXPECT_EQ(text("Text2"), QString(30, u'b'));
}

TEST_F(AddressBookTest, HelpTextsFollowThePointerOverTheButtons)
{
    form().show();
    QPlainTextEdit *help = control<QPlainTextEdit>(&form(), QStringLiteral("Text5"));
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->toPlainText(), QString());

    const std::pair<const char *, QString> helped[] = {{"Command1", addressbook::command1Help()},
                                                       {"Command3", addressbook::command3Help()},
                                                       {"Command4", addressbook::command4Help()},
                                                       {"Command38", addressbook::command38Help()}};
    for (const auto &[name, expected] : helped) {
        SCOPED_TRACE(name);
        moveOverBackground(form());
        EXPECT_FALSE(help->isVisible()) << "the background hides the help";
        movePointerOver(control<QWidget>(&form(), QLatin1String(name)));
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(help->toPlainText().replace(u'\n', QStringLiteral("\r\n")), expected);
        movePointerOver(list()->viewport());
        EXPECT_TRUE(help->isVisible()) << "the list leaves the help alone";
    }
    EXPECT_TRUE(addressbook::command38Help().contains(
        QStringLiteral("\r\n\r\n必要なければ挿入する必要はありません。")));
}

// Typing stops at the address box's limit: the window says so, and 登録 refuses the cut
// address instead of storing a 60-character piece of it.
TEST_F(AddressBookTest, AnAddressCutByTheTypingLimitIsShownFullAndNotRegistered)
{
    form().show();
    QLineEdit *address = box("Text4");
    const QString typed =
        QStringLiteral("taro.yamada.") + QString(55, u'x') + QStringLiteral("@ex.jp");
    ASSERT_GT(typed.size(), 60);
    QTest::keyClicks(address, typed);
    EXPECT_EQ(address->text(), typed.left(60));
    EXPECT_EQ(status(),
              QStringLiteral("メールアドレスは60文字までです。これ以上は入力できません。"));

    click("Command3");
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(storeBytes(), QByteArray()) << "nothing cut is stored";
    ASSERT_FALSE(messagesShown().isEmpty());
    EXPECT_TRUE(messagesShown().back().contains(u"60文字で切れている"));

    // An address the user puts right again registers.
    address->clear();
    QTest::keyClicks(address, QStringLiteral("taro@ex.jp"));
    click("Command3");
    EXPECT_EQ(rowCount(), 1);
}

// A long address handed over by the program is whole, and registering it is not typing.
TEST_F(AddressBookTest, ALongAddressSetByTheProgramIsNotTakenForACutOne)
{
    const QString handedOver = QString(70, u'a') + QStringLiteral("@example.jp");
    box("Text4")->setText(handedOver);
    QTest::keyClick(box("Text4"), Qt::Key_Return);
    click("Command3");
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(cell(0, 0).trimmed(), handedOver);
}

} // namespace
} // namespace orv::test
