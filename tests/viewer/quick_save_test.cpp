#include "viewer/ViewerFixture.h"

#include "core/Cp932.h"
#include "viewer/QuickSave.h"

#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QTextEdit>

namespace orv::test {
namespace {

const QString kQuickSaveFolder = QStringLiteral("\\■TextQuickSave");
const QString kOverwriteQuestion =
    QStringLiteral("同名のファイルが既に存在します。上書きしますか？ ");

class QuickSaveTest : public ViewerTest {
protected:
    // The received view with one message shown by a row click.
    void showMessage(const QString &subject)
    {
        writeStore(kReceivedStore,
                   {mailRecord(subject, QStringLiteral("a@example.jp"),
                               QStringLiteral("2026/12/09"), QStringLiteral("一行目\r\n二行目"))});
        open(ViewMode::Received);
        clickRow(0);
        form().Text7()->setText(subject); // the field may hold what the store cannot
    }

    QString savedPath(const QString &name) const
    {
        return t.folder.file(kQuickSaveFolder) + QLatin1Char('/') + name;
    }

    QByteArray saved(const QString &name) const
    {
        QFile file(savedPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList filesBelowProgramFolder() const
    {
        QStringList files;
        QDirIterator it(t.folder.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(t.folder.path()).relativeFilePath(it.next());
        return files;
    }
};

TEST_F(QuickSaveTest, SavesFourCp932LinesUnderTheSubjectAndPutsThemInFrontOfTheBody)
{
    showMessage(QStringLiteral("会議"));

    click("Command2");

    EXPECT_EQ(saved(QStringLiteral("会議.txt")),
              cp932::encode(QStringLiteral("Subject:  会議\r\nFrom:  a@example.jp\r\n"
                                           "Date:  2026/12/09\r\nBody:  一行目\r\n二行目\r\n")));
    EXPECT_EQ(body(),
              QStringLiteral("Subject:  会議\r\nFrom:  a@example.jp\r\nDate:  2026/12/09\r\n"
                             "Body:  一行目\r\n二行目"));
    EXPECT_EQ(text("Text5"), QString());
    EXPECT_TRUE(t.messageBoxes->shown.empty());

    click("Command2");
    EXPECT_EQ(messagesShown(), QStringList{QStringLiteral("データが選択されていません")});
}

TEST_F(QuickSaveTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysYes)
{
    showMessage(QStringLiteral("会議"));
    t.folder.writeBytes(kQuickSaveFolder + QStringLiteral("\\会議.txt"), "old");
    const QString shownBody = body();
    t.messageBoxes->answer(QMessageBox::No);

    click("Command2");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].text, kOverwriteQuestion);
    EXPECT_EQ(t.messageBoxes->shown[0].title, QStringLiteral("確認"));
    EXPECT_EQ(t.messageBoxes->shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(saved(QStringLiteral("会議.txt")), QByteArray("old"));
    EXPECT_EQ(body(), shownBody);
    EXPECT_EQ(text("Text5"), QString()) << "the marker is used up before the question";

    clickRow(0);
    form().Text7()->setText(QStringLiteral("会議"));
    t.messageBoxes->answer(QMessageBox::Yes);
    click("Command2");
    EXPECT_TRUE(saved(QStringLiteral("会議.txt"))
                    .startsWith(cp932::encode(QStringLiteral("Subject:  会議\r\n"))));
}

struct ExistingNameCase {
    const char *name;
    QString subject;
    QString existing;
    bool asks;       // the existing file is the one about to be written
    QString written; // the file the save writes, when it does not ask
};

class QuickSaveExistingTest : public QuickSaveTest,
                              public ::testing::WithParamInterface<ExistingNameCase> {};

// The question is about the file that will be written: letters match in any case, a
// bracket is only a bracket, and a wildcard in the subject is written as "_", so it never
// stands for another file.
TEST_P(QuickSaveExistingTest, AsksOnlyWhenTheFileToBeWrittenExists)
{
    const ExistingNameCase &c = GetParam();
    showMessage(c.subject);
    t.folder.writeBytes(kQuickSaveFolder + QLatin1Char('\\') + c.existing, "old");
    if (c.asks)
        t.messageBoxes->answer(QMessageBox::No);

    click("Command2");

    EXPECT_EQ(messagesShown(), c.asks ? QStringList{kOverwriteQuestion} : QStringList());
    EXPECT_EQ(saved(c.existing), QByteArray("old"));
    if (!c.asks) {
        EXPECT_TRUE(saved(c.written).startsWith(cp932::encode(QStringLiteral("Subject:  "))));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, QuickSaveExistingTest,
    ::testing::Values(
        ExistingNameCase{"QuestionMarkAnotherFile", QStringLiteral("a?c"),
                         QStringLiteral("abc.txt"), false, QStringLiteral("a_c.txt")},
        ExistingNameCase{"StarAnotherFile", QStringLiteral("会*"), QStringLiteral("会議.txt"),
                         false, QStringLiteral("会_.txt")},
        ExistingNameCase{
            "QuestionMarkSameFile", QStringLiteral("a?c"), QStringLiteral("a_c.txt"), true, {}},
        ExistingNameCase{
            "OtherCase", QStringLiteral("report"), QStringLiteral("REPORT.TXT"), true, {}},
        ExistingNameCase{
            "Brackets", QStringLiteral("[重要]連絡"), QStringLiteral("[重要]連絡.txt"), true, {}}),
    [](const auto &info) { return std::string(info.param.name); });

struct HostileSubjectCase {
    const char *name;
    QString subject;
    QString fileName;
};

class QuickSaveHostileTest : public QuickSaveTest,
                             public ::testing::WithParamInterface<HostileSubjectCase> {};

TEST_P(QuickSaveHostileTest, SavesInsideTheQuickSaveFolderUnderASafeName)
{
    showMessage(GetParam().subject);

    click("Command2");

    EXPECT_TRUE(t.messageBoxes->shown.empty());
    const QString expected = QStringLiteral("■TextQuickSave/") + GetParam().fileName;
    EXPECT_EQ(filesBelowProgramFolder().filter(QStringLiteral("■TextQuickSave")),
              QStringList{expected});
    EXPECT_TRUE(saved(GetParam().fileName)
                    .startsWith(cp932::encode(QStringLiteral("Subject:  ") + GetParam().subject)));
}

INSTANTIATE_TEST_SUITE_P(
    Subjects, QuickSaveHostileTest,
    ::testing::Values(
        HostileSubjectCase{"ParentFolders", QStringLiteral("../../evil"),
                           QStringLiteral(".._.._evil.txt")},
        HostileSubjectCase{"Backslashes", QStringLiteral("..\\..\\evil"),
                           QStringLiteral(".._.._evil.txt")},
        HostileSubjectCase{"DotsAlone", QStringLiteral(".."), QStringLiteral("...txt")},
        HostileSubjectCase{"ControlCharacters",
                           QStringLiteral("a\tb\x01"
                                          "c"),
                           QStringLiteral("a_b_c.txt")},
        HostileSubjectCase{"WindowsReserved", QStringLiteral("a:b<c>d|e\"f"),
                           QStringLiteral("a_b_c_d_e_f.txt")},
        HostileSubjectCase{"Wildcards", QStringLiteral("何*？?"), QStringLiteral("何_？_.txt")},
        HostileSubjectCase{"Empty", QString(), QStringLiteral("無題.txt")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(QuickSaveTest, AMissingFolderIsCreated)
{
    ASSERT_TRUE(QDir(t.folder.file(kQuickSaveFolder)).removeRecursively());
    showMessage(QStringLiteral("会議"));

    click("Command2");

    EXPECT_TRUE(t.messageBoxes->shown.empty());
    EXPECT_FALSE(saved(QStringLiteral("会議.txt")).isEmpty());
}

TEST_F(QuickSaveTest, AnOverlongSubjectIsCutToAFileNameTheSystemTakes)
{
    showMessage(QString(200, QChar(u'長')));

    click("Command2");

    EXPECT_TRUE(t.messageBoxes->shown.empty());
    const QStringList files = QDir(t.folder.file(kQuickSaveFolder)).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith(QStringLiteral(".txt")));
    EXPECT_LE(files[0].toUtf8().size(), 255);
}

TEST_F(QuickSaveTest, AFileThatCannotBeWrittenIsReportedAndTheBodyStays)
{
    showMessage(QStringLiteral("会議"));
    ASSERT_TRUE(QDir().mkpath(savedPath(QStringLiteral("会議.txt"))));
    const QString shownBody = body();

    click("Command2");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(QStringLiteral("会議.txt")));
    EXPECT_EQ(body(), shownBody);
}

TEST_F(QuickSaveTest, AddressBookAndReplyButtonsUseUpTheSelection)
{
    showMessage(QStringLiteral("会議"));
    for (const char *button : {"Command4", "Command5"}) {
        SCOPED_TRACE(button);
        t.messageBoxes->shown.clear();
        clickRow(0);
        click(button);
        EXPECT_EQ(text("Text5"), QString());
        click(button);
        EXPECT_EQ(messagesShown(), QStringList{QStringLiteral("データが選択されていません")});
    }
}

} // namespace
} // namespace orv::test
