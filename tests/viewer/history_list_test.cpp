#include "viewer/ViewerFixture.h"

#include "ui/Clipboard.h"
#include "ui/Twips.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace orv::test {
namespace {

using HistoryListTest = ViewerTest;

class EmptyStoreTest : public ViewerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EmptyStoreTest, ListsNothingAndLeavesFieldsAndClipboard)
{
    const bool absent = GetParam();
    if (!absent)
        t.folder.writeBytes(kReceivedStore, {});
    form().Text7()->setText(QStringLiteral("前の件名"));
    form().Text8()->setText(QStringLiteral("前の差出人"));
    form().Text9()->setText(QStringLiteral("前の日付"));
    form().rtfEd()->setPlainText(QStringLiteral("前の本文"));
    putOnClipboard(QStringLiteral("クリップボード"));

    open(ViewMode::Received);

    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(text("Text2"), QStringLiteral("0"));
    EXPECT_EQ(body(), QString());
    EXPECT_EQ(text("Text7"), QStringLiteral("前の件名"));
    EXPECT_EQ(text("Text8"), QStringLiteral("前の差出人"));
    EXPECT_EQ(text("Text9"), QStringLiteral("前の日付"));
    EXPECT_EQ(clipboardText(), QStringLiteral("クリップボード"));
    const QFileInfo store(t.folder.file(kReceivedStore));
    EXPECT_TRUE(store.exists());
    EXPECT_EQ(store.size(), 0);
    EXPECT_TRUE(t.messageBoxes->shown.empty());
}

INSTANTIATE_TEST_SUITE_P(AbsentAndEmpty, EmptyStoreTest, ::testing::Values(true, false),
                         [](const auto &info) {
                             return std::string(info.param ? "Absent" : "Empty");
                         });

TEST_F(HistoryListTest, FillListsWholeRecordsPaddedAndShowsTheLastOneTrimmed)
{
    MailRecord nulLed = mailRecord(QStringLiteral("二通目"), QString(), QStringLiteral("日付2"),
                                   QStringLiteral("本文2"));
    nulLed.data()[MailRecord::kAddressOffset] = '\0';
    const MailRecord last =
        mailRecord(QStringLiteral(" 三通目 "), QStringLiteral(" c@example.jp "),
                   QStringLiteral(" 日付3 "), QStringLiteral("  最後の本文\r\n二行目  "));
    writeStore(kReceivedStore,
               {mailRecord(QStringLiteral("Hello"), QStringLiteral("a@example.jp"),
                           QStringLiteral("日付1"), QStringLiteral("本文1")),
                nulLed, last},
               QByteArray(100, 'x'));

    open(ViewMode::Received);

    ASSERT_EQ(rowCount(), 3); // the partial record at the end is not listed
    EXPECT_EQ(text("Text2"), QStringLiteral("3"));
    EXPECT_EQ(cell(0, 0), QStringLiteral("Hello") + QString(95, u' '));
    EXPECT_EQ(cell(0, 1), QStringLiteral("a@example.jp") + QString(78, u' '));
    EXPECT_EQ(cell(1, 1), QString()) << "a field led by NUL shows an empty cell";
    EXPECT_EQ(cell(1, 2), QStringLiteral("日付2") + QString(85, u' '));
    EXPECT_EQ(text("Text7"), QStringLiteral("三通目"));
    EXPECT_EQ(text("Text8"), QStringLiteral("c@example.jp"));
    EXPECT_EQ(text("Text9"), QStringLiteral("日付3"));
    EXPECT_EQ(body(), QStringLiteral("最後の本文\r\n二行目"));
    EXPECT_EQ(clipboardText(), QStringLiteral("最後の本文\n二行目"));
    EXPECT_EQ(state().receivedBuffer, last) << "the buffer keeps the last record read";
    EXPECT_TRUE(state().editor.editorModified);
}

TEST_F(HistoryListTest, OpeningTheOtherViewSwitchesTheSameWindow)
{
    writeStore(kReceivedStore, numberedRecords(2));
    writeStore(kSentStore,
               {mailRecord(QStringLiteral("送った件名"), QStringLiteral("to@example.jp"),
                           QStringLiteral("2026/12/09  9:05:07"), QStringLiteral("送った本文"))});
    open(ViewMode::Received);
    EXPECT_EQ(form().windowTitle(), QStringLiteral("着信履歴"));
    EXPECT_EQ(state().viewMode, ViewMode::Received);
    EXPECT_EQ(list()->palette().color(QPalette::Base), QColor(210, 250, 250));
    TyakuForm *window = &form();
    form().Text1()->setText(QStringLiteral("探す"));
    clickRow(0);

    open(ViewMode::Sent);

    EXPECT_EQ(&form(), window);
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(form().windowTitle(), QStringLiteral("送信履歴"));
    EXPECT_EQ(state().viewMode, ViewMode::Sent);
    EXPECT_EQ(list()->palette().color(QPalette::Base), QColor(250, 250, 255));
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(cell(0, 1).trimmed(), QStringLiteral("to@example.jp")) << "From shows the recipient";
    EXPECT_EQ(text("Text8"), QStringLiteral("to@example.jp"));
    EXPECT_EQ(text("Text1"), QStringLiteral("探す"));
    EXPECT_EQ(text("Text5"), QStringLiteral("1"));
}

TEST_F(HistoryListTest, RowClickReadsTheRecordFromTheStoreNotTheList)
{
    writeStore(kReceivedStore, numberedRecords(5));
    open(ViewMode::Received);
    // The store changes behind the list, as receiving does.
    std::vector<MailRecord> changed = numberedRecords(5);
    changed[2] = mailRecord(QStringLiteral("  新しい三通目  "), QStringLiteral(" new@example.jp"),
                            QStringLiteral("日付 "), QStringLiteral("  新しい本文  "));
    writeStore(kReceivedStore, changed);

    clickRow(2);

    EXPECT_EQ(text("Text7"), QStringLiteral("新しい三通目"));
    EXPECT_EQ(text("Text8"), QStringLiteral("new@example.jp"));
    EXPECT_EQ(text("Text9"), QStringLiteral("日付"));
    EXPECT_EQ(body(), QStringLiteral("新しい本文"));
    EXPECT_EQ(clipboardText(), QStringLiteral("新しい本文"));
    EXPECT_EQ(text("Text2"), QStringLiteral("5"));
    EXPECT_EQ(text("Text5"), QStringLiteral("1"));
    EXPECT_EQ(state().receivedBuffer, changed[2]);
    EXPECT_TRUE(t.messageBoxes->shown.empty());
}

// Long subjects, senders and dates are read from their start, however they are set.
TEST_F(HistoryListTest, HeaderFieldsShowTheBeginningOfLongTexts)
{
    const QString subject =
        QStringLiteral("【重要】") + QString(60, u'長') + QStringLiteral("件名");
    const QString from =
        QStringLiteral("山田太郎 <") + QString(80, u'y') + QStringLiteral("@example.jp>");
    const QString date = QStringLiteral("Wed, 9 Dec 2026 09:05:07 +0900 (JST)") + QString(60, u' ');
    writeStore(kReceivedStore, {numberedRecord(1), mailRecord(subject, from, date, {})});
    form().show();
    const auto expectStart = [this](const char *when) {
        for (const char *field : {"Text7", "Text8", "Text9"})
            EXPECT_EQ(control<QLineEdit>(field)->cursorPosition(), 0) << field << ", " << when;
    };

    open(ViewMode::Received);
    expectStart("after the fill");
    clickRow(0);
    clickRow(1);
    expectStart("after a row click");
    form().Text7()->setText(subject + QStringLiteral("再"));
    expectStart("when set directly, as receiving does");

    QLineEdit *typed = control<QLineEdit>("Text7");
    typed->end(false);
    QTest::keyClicks(typed, QStringLiteral("re"));
    EXPECT_EQ(typed->cursorPosition(), typed->text().size()) << "typing keeps its cursor";
}

TEST_F(HistoryListTest, ClickOnAnEmptyListSaysSoAndStillSetsTheMarker)
{
    open(ViewMode::Received);

    clickBelowRows();

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].text, QStringLiteral("選択するデータがありません。"));
    EXPECT_EQ(t.messageBoxes->shown[0].title, QStringLiteral("OrvaineMail"));
    EXPECT_EQ(t.messageBoxes->shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(text("Text5"), QStringLiteral("1"));
}

TEST_F(HistoryListTest, ClickWithoutASelectedRowOnlySetsTheMarker)
{
    writeStore(kReceivedStore, numberedRecords(2));
    open(ViewMode::Received);
    form().Text7()->setText(QStringLiteral("そのまま"));

    clickBelowRows();

    EXPECT_EQ(text("Text5"), QStringLiteral("1"));
    EXPECT_EQ(text("Text7"), QStringLiteral("そのまま"));
    EXPECT_TRUE(t.messageBoxes->shown.empty());
}

TEST_F(HistoryListTest, ClickOnARecordTheStoreNoLongerHoldsShowsTheStoreError)
{
    writeStore(kReceivedStore, numberedRecords(3));
    open(ViewMode::Received);
    writeStore(kReceivedStore, numberedRecords(1));
    form().Text7()->setText(QStringLiteral("そのまま"));

    clickRow(2);

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_FALSE(t.messageBoxes->shown[0].text.isEmpty());
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(text("Text7"), QStringLiteral("そのまま"));
}

TEST_F(HistoryListTest, HelpBoxShowsEachControlsTextAndOnlyTheListOrBodyHideIt)
{
    open(ViewMode::Received);
    auto *help = control<QPlainTextEdit>("Text4");
    EXPECT_FALSE(help->isVisible());
    const auto withLf = [](QString text) {
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    };
    const std::pair<const char *, QString> helped[] = {
        {"Command1",
         QStringLiteral(
             "本文以外のコピーに使用します。「Subject」「From」「Date」に表示されるデータをコピーし"
             "ます（貼り付けはメニューバー、ツールバーで出来ます）。Body（本文）はメニューバー、ツ"
             "ールバーからコピー・貼り付けが出来ます。\n\n "
             "本文への貼り付け（あるいは本ソフトでの貼り付け機能がある部分）、他のアプリケーション"
             "への貼り付けが可能です。\n\nコピーされる内容は右の欄に反映されます。")},
        {"Command2",
         QStringLiteral(
             "選択したデータをテキスト形式で本ソフト内の「TextQuickSave」フォルダ内に「Subject」「F"
             "rom」「Date」「Boby」で保存します。ファイル名は「Subject」が自動的に当てられます。同"
             "名のファイルが既に存在する場合は警告メッセージを出します。")},
        {"Command3", QStringLiteral("受信したメールを１件ずつ削除します。リストでメールを選択（クリ"
                                    "ック）してから実行して下さい。")},
        {"Command4", QStringLiteral("受信したメールをアドレス帳に登録します。リストからメールを選択"
                                    "（クリック）してから実行して下さい。")},
        {"Command5", QStringLiteral("受信したメールに返事を出します。リストからメールを選択（クリッ"
                                    "ク）してから実行して下さい。")},
        {"Command6", QStringLiteral("受信したメール全件削除します。")},
        {"Text1", QStringLiteral("検索したい文字を入力し、メニューバーから「検索」「次を検索」を選"
                                 "択し、検索したい文字を本文中(body)から検索します。")},
    };
    for (const auto &[name, expected] : helped) {
        SCOPED_TRACE(name);
        hover(name);
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(withLf(help->toPlainText()), expected);
    }

    hover("TyakuCanvas");
    EXPECT_TRUE(help->isVisible()) << "leaving a button for the background keeps the help";

    hover("rtfEd");
    EXPECT_FALSE(help->isVisible());
    EXPECT_FALSE(help->toPlainText().isEmpty()) << "the body hides the help without clearing it";

    hover("Command3");
    hover(list()->viewport());
    EXPECT_FALSE(help->isVisible());
    EXPECT_EQ(help->toPlainText(), QString());
}

TEST_F(HistoryListTest, CopyFieldTakesTheLastHoveredHeaderFieldAndCopyPutsItOnTheClipboard)
{
    writeStore(kReceivedStore, numberedRecords(1));
    open(ViewMode::Received);
    putOnClipboard(QStringLiteral("古い"));

    click("Command1");
    EXPECT_EQ(clipboardText(), QString()) << "nothing hovered yet: the empty copy field";

    form().Text8()->setText(QStringLiteral("手で直した差出人"));
    hover("Text7");
    hover("Text8");
    EXPECT_EQ(text("Text6"), QStringLiteral("手で直した差出人"));
    click("Command1");
    EXPECT_EQ(clipboardText(), QStringLiteral("手で直した差出人"));
    EXPECT_TRUE(t.messageBoxes->shown.empty()) << "copy needs no selection";
}

TEST_F(HistoryListTest, CopyControlsFollowThePointerBetweenStatusBarAndBottom)
{
    open(ViewMode::Received);
    auto *copyField = control<QLineEdit>("Text6");
    auto *copyButton = control<QWidget>("Command1");
    const int statusBarTop = control<QWidget>("StatusBar1")->y();
    const int outerHeightTwips = pixelsToTwips(form().frameGeometry().height());

    hover(list()->viewport());
    EXPECT_EQ(copyField->y(), twipsToPixels(outerHeightTwips - 1000));
    EXPECT_EQ(copyButton->y(), twipsToPixels(outerHeightTwips - 980));

    hover("TyakuCanvas");
    EXPECT_EQ(copyField->y(), twipsToPixels(pixelsToTwips(statusBarTop) + 80));
    EXPECT_EQ(copyButton->y(), twipsToPixels(pixelsToTwips(statusBarTop) + 80));
}

} // namespace
} // namespace orv::test
