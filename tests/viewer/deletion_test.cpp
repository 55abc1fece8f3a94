#include "viewer/ViewerFixture.h"

#include "ui/Clipboard.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTextEdit>

namespace orv::test {
namespace {

using DeletionTest = ViewerTest;

const QString kDeleteOneQuestion =
    QStringLiteral("選択された（行、青色）データを削除します。よろしいですか");
const QString kNothingSelected = QStringLiteral("データが選択されていません");

void expectQuestion(const MessageBoxRequest &box, const QString &question)
{
    EXPECT_EQ(box.text, question);
    EXPECT_EQ(box.title, QStringLiteral("確認"));
    EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.icon, QMessageBox::Question);
}

TEST_F(DeletionTest, DeleteOneYesRemovesTheRowsRecordAndShowsTheLastRecordAsStored)
{
    const std::vector<MailRecord> records = numberedRecords(5);
    writeStore(kReceivedStore, records);
    open(ViewMode::Received);
    clickRow(2);
    t.messageBoxes->answer(QMessageBox::Yes);

    click("Command3");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    expectQuestion(t.messageBoxes->shown[0], kDeleteOneQuestion);
    EXPECT_EQ(t.folder.readBytes(kReceivedStore),
              storeBytes({records[0], records[1], records[3], records[4]}));
    EXPECT_FALSE(QFile::exists(t.folder.file(kReceivedTemporary)));
    EXPECT_EQ(rowCount(), 4);
    EXPECT_EQ(text("Text2"), QStringLiteral("4"));
    EXPECT_EQ(text("Text7"), records[4].subject()) << "padding kept after a deletion";
    EXPECT_EQ(text("Text8"), records[4].address());
    EXPECT_EQ(text("Text9"), records[4].date());
    EXPECT_EQ(body(), QStringLiteral("本文5"));
    EXPECT_EQ(clipboardText(), records[4].body())
        << "the body went through the clipboard untrimmed";
    EXPECT_EQ(text("Text5"), QString());
}

TEST_F(DeletionTest, DeleteOneNoLeavesTheStoreAndClearsBodyAndMarker)
{
    writeStore(kReceivedStore, numberedRecords(5));
    const QByteArray before = t.folder.readBytes(kReceivedStore);
    open(ViewMode::Received);
    clickRow(2);
    t.messageBoxes->answer(QMessageBox::No);

    click("Command3");

    EXPECT_EQ(t.folder.readBytes(kReceivedStore), before);
    EXPECT_EQ(body(), QString());
    EXPECT_EQ(text("Text5"), QString());
    EXPECT_EQ(rowCount(), 5);
}

TEST_F(DeletionTest, DeleteOneWithoutAChosenRowSaysSoAndChangesNothing)
{
    writeStore(kReceivedStore, numberedRecords(3));
    const QByteArray before = t.folder.readBytes(kReceivedStore);
    open(ViewMode::Received);

    click("Command3"); // no click since the fill
    form().Text5()->setText(QStringLiteral("1"));
    click("Command3"); // marker set, but no row selected

    EXPECT_EQ(messagesShown(), QStringList({kNothingSelected, kNothingSelected}));
    EXPECT_EQ(t.folder.readBytes(kReceivedStore), before);
    EXPECT_EQ(rowCount(), 3);
    EXPECT_EQ(text("Text7"), QStringLiteral("件名3"));
}

struct HighlightMove {
    const char *name;
    void (*move)(QAbstractItemView &list);
};

// After a click on row 2 the highlight moves to row 3 without a left click: the message on
// screen follows it, and 一件削除 deletes that message.
const HighlightMove kHighlightMoves[] = {
    {"Down key", [](QAbstractItemView &list) { QTest::keyClick(&list, Qt::Key_Down); }},
    {"right click",
     [](QAbstractItemView &list) {
         const QRect row = list.visualRect(list.model()->index(2, 0));
         QTest::mouseClick(list.viewport(), Qt::RightButton, {}, row.center());
     }},
};

TEST_F(DeletionTest, DeleteOneDeletesTheMessageOnScreenAfterTheHighlightMoved)
{
    const std::vector<MailRecord> records = numberedRecords(4);
    for (const HighlightMove &move : kHighlightMoves) {
        SCOPED_TRACE(move.name);
        writeStore(kReceivedStore, records);
        open(ViewMode::Received);
        clickRow(1);
        ASSERT_EQ(text("Text7"), QStringLiteral("件名2"));

        move.move(*list());

        EXPECT_EQ(text("Text7"), QStringLiteral("件名3"));
        EXPECT_EQ(body(), QStringLiteral("本文3"));
        t.messageBoxes->answer(QMessageBox::Yes);
        click("Command3");
        EXPECT_EQ(t.folder.readBytes(kReceivedStore),
                  storeBytes({records[0], records[1], records[3]}));
        t.messageBoxes->shown.clear();
    }
}

TEST_F(DeletionTest, DeleteOneInTheSentViewAsksItsOwnQuestion)
{
    const std::vector<MailRecord> records = numberedRecords(2);
    writeStore(kSentStore, records);
    open(ViewMode::Sent);
    clickRow(0);
    t.messageBoxes->answer(QMessageBox::Yes);

    click("Command3");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    expectQuestion(t.messageBoxes->shown[0], kDeleteOneQuestion + QStringLiteral("?"));
    EXPECT_EQ(t.folder.readBytes(kSentStore), storeBytes({records[1]}));
}

struct DeleteAllCase {
    const char *name;
    QByteArray store;
    int rows;
};

class DeleteAllTest : public ViewerTest, public ::testing::WithParamInterface<DeleteAllCase> {};

TEST_P(DeleteAllTest, YesEmptiesStoreListAndFieldsButKeepsTheMarker)
{
    t.folder.writeBytes(kReceivedStore, GetParam().store);
    open(ViewMode::Received);
    ASSERT_EQ(rowCount(), GetParam().rows);
    form().Text5()->setText(QStringLiteral("1"));
    form().Text7()->setText(QStringLiteral("件名"));
    form().rtfEd()->setPlainText(QStringLiteral("本文"));
    t.messageBoxes->answer(QMessageBox::Yes);

    click("Command6");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    expectQuestion(t.messageBoxes->shown[0],
                   QStringLiteral("すべてのデータを削除して良いですか？"));
    EXPECT_TRUE(QFile::exists(t.folder.file(kReceivedStore)));
    EXPECT_EQ(t.folder.readBytes(kReceivedStore).size(), 0);
    EXPECT_FALSE(QFile::exists(t.folder.file(kReceivedTemporary)));
    EXPECT_EQ(rowCount(), 0);
    EXPECT_EQ(text("Text2"), QStringLiteral("0"));
    for (const char *field : {"Text7", "Text8", "Text9"})
        EXPECT_EQ(text(field), QString()) << field;
    EXPECT_EQ(body(), QString());
    EXPECT_EQ(text("Text5"), QStringLiteral("1"));
}

INSTANTIATE_TEST_SUITE_P(
    Stores, DeleteAllTest,
    ::testing::Values(DeleteAllCase{"ThreeRecords", storeBytes(numberedRecords(3)), 3},
                      DeleteAllCase{"Empty", QByteArray(), 0},
                      // 2.62 records count as 3, so the partial third is marked as well
                      DeleteAllCase{"TwoRecordsAndAPartOfAThird",
                                    storeBytes(numberedRecords(2)) + QByteArray(20000, 'x'), 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DeletionTest, DeleteAllDeclinedChangesNothing)
{
    writeStore(kReceivedStore, numberedRecords(2));
    const QByteArray before = t.folder.readBytes(kReceivedStore);
    open(ViewMode::Received);
    t.messageBoxes->answer(QMessageBox::No);

    click("Command6");

    EXPECT_EQ(t.folder.readBytes(kReceivedStore), before);
    EXPECT_EQ(rowCount(), 2);
    EXPECT_EQ(text("Text7"), QStringLiteral("件名2"));
}

// A folder where the compaction wants its temporary file makes every rewrite fail.
TEST_F(DeletionTest, AStoreThatCannotBeRewrittenIsReportedAndKeepsItsRecords)
{
    const std::vector<MailRecord> records = numberedRecords(3);
    writeStore(kReceivedStore, records);
    const QByteArray before = t.folder.readBytes(kReceivedStore);
    ASSERT_TRUE(QDir().mkpath(t.folder.file(kReceivedTemporary)));
    open(ViewMode::Received);

    t.messageBoxes->answer(QMessageBox::Yes);
    click("Command6");
    ASSERT_EQ(t.messageBoxes->shown.size(), 2u);
    EXPECT_EQ(t.messageBoxes->shown[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(t.messageBoxes->shown[1].text.contains(QStringLiteral("KRVDATA2.TMP")))
        << t.messageBoxes->shown[1].text.toStdString();
    EXPECT_EQ(t.folder.readBytes(kReceivedStore), before);
    EXPECT_EQ(rowCount(), 3);

    clickRow(1);
    t.messageBoxes->answer(QMessageBox::Yes);
    click("Command3");
    ASSERT_EQ(t.messageBoxes->shown.size(), 4u);
    EXPECT_EQ(t.messageBoxes->shown[3].icon, QMessageBox::Critical);
    const QByteArray after = t.folder.readBytes(kReceivedStore);
    ASSERT_EQ(after.size(), before.size()) << "no record is lost";
    // The chosen record stays whole, only marked; the others are untouched.
    EXPECT_EQ(after.left(MailRecord::kInUseOffset + MailRecord::kSize),
              before.left(MailRecord::kInUseOffset + MailRecord::kSize));
    EXPECT_EQ(after.mid(2 * MailRecord::kSize), before.mid(2 * MailRecord::kSize));
}

} // namespace
} // namespace orv::test
