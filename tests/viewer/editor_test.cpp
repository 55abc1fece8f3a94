#include "viewer/ViewerFixture.h"

#include "core/Cp932.h"
#include "ui/Clipboard.h"
#include "ui/PrintModule.h"
#include "viewer/EditorCommands.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>

namespace orv::test {
namespace {

class EditorTest : public ViewerTest {
protected:
    void trigger(const char *name)
    {
        QAction *action = form().findChild<QAction *>(QLatin1String(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    QTextEdit &editor() { return *form().rtfEd(); }
    QTextCursor cursor() { return editor().textCursor(); }
    void select(int start, int length)
    {
        QTextCursor c = cursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        editor().setTextCursor(c);
    }
    QString inFolder(const QString &name) const
    {
        return t.folder.path() + QLatin1Char('/') + name;
    }
    QByteArray fileBytes(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(EditorTest, MenusAndToolBarOfferEveryCommandUnderItsName)
{
    const std::pair<const char *, QString> items[] = {
        {"mnew", QStringLiteral("新規作成")},
        {"mopen", QStringLiteral("開く")},
        {"msave", QStringLiteral("名前を付けて保存")},
        {"mprint", QStringLiteral("印刷")},
        {"mend", QStringLiteral("終了")},
        {"mall", QStringLiteral("全て選択")},
        {"matamajump", QStringLiteral("文頭へジャンプ")},
        {"mbunmatujump", QStringLiteral("文末へジャンプ")},
        {"mkensaku", QStringLiteral("検索")},
        {"mtugikensaku", QStringLiteral("次を検索")},
        {"mcut", QStringLiteral("切り取り")},
        {"mcopy", QStringLiteral("コピー")},
        {"mpaste", QStringLiteral("貼付け")}};
    for (const auto &[name, caption] : items) {
        const QAction *item = form().findChild<QAction *>(QLatin1String(name));
        ASSERT_NE(item, nullptr) << name;
        EXPECT_EQ(item->text(), caption) << name;
    }
    for (const char *separator : {"mline", "mline2", "mline3"})
        EXPECT_TRUE(form().findChild<QAction *>(QLatin1String(separator))->isSeparator())
            << separator;
    EXPECT_EQ(control<QMenu>("mFile")->title(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(control<QMenu>("medit")->title(), QStringLiteral("編集"));

    QStringList keys, tips;
    for (const QAction *button : control<QToolBar>("tbToolBar")->actions()) {
        keys << button->objectName();
        tips << button->toolTip();
        EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();
    }
    EXPECT_EQ(keys,
              QStringList({QStringLiteral("New"), QStringLiteral("Open"), QStringLiteral("Save"),
                           QStringLiteral("Print"), QStringLiteral("Cut"), QStringLiteral("Copy"),
                           QStringLiteral("Paste"), QStringLiteral("Bold"),
                           QStringLiteral("Italic"), QStringLiteral("Underline")}));
    EXPECT_EQ(tips, QStringList({QStringLiteral("新規作成"), QStringLiteral("開く"),
                                 QStringLiteral("名前を付けて保存"), QStringLiteral("印刷"),
                                 QStringLiteral("切り取り"), QStringLiteral("ｺﾋﾟｰ"),
                                 QStringLiteral("貼り付け"), QStringLiteral("太字"),
                                 QStringLiteral("斜体"), QStringLiteral("下線")}));
}

TEST_F(EditorTest, SearchAndSearchNextWalkThroughTheHitsAndStartOverAfterAMiss)
{
    // "abc" at the 1-based positions 5 and 20
    editor().setPlainText(QStringLiteral("1234abc890123456789abc"));
    form().Text1()->setText(QStringLiteral("abc"));
    const auto selection = [this] {
        return std::pair(cursor().selectionStart(), cursor().selectionEnd());
    };

    trigger("mkensaku");
    EXPECT_EQ(state().editor.lastFoundPos, 5);
    EXPECT_EQ(selection(), std::pair(4, 7));

    trigger("mtugikensaku");
    EXPECT_EQ(state().editor.lastFoundPos, 20);
    EXPECT_EQ(selection(), std::pair(19, 22));

    trigger("mtugikensaku");
    EXPECT_EQ(state().editor.lastFoundPos, 0);
    EXPECT_EQ(selection(), std::pair(19, 22)) << "a miss leaves the selection";

    trigger("mtugikensaku"); // starts at the search text's length, 3
    EXPECT_EQ(state().editor.lastFoundPos, 5);
    EXPECT_EQ(selection(), std::pair(4, 7));
    EXPECT_TRUE(t.messageBoxes->shown.empty());
}

TEST_F(EditorTest, SearchFindsAndSelectsAHitBeyondSixteenBitPositions)
{
    editor().setPlainText(QString(40000, u'x') + QStringLiteral("見つけた"));
    form().Text1()->setText(QStringLiteral("見つけた"));

    trigger("mkensaku");

    EXPECT_EQ(state().editor.lastFoundPos, 40001);
    EXPECT_EQ(cursor().selectedText(), QStringLiteral("見つけた"));
}

TEST_F(EditorTest, CutCopyAndPasteGoThroughThePlainTextClipboard)
{
    editor().setPlainText(QStringLiteral("前半 後半"));
    putOnClipboard(QStringLiteral("古い"));

    trigger("mcopy"); // nothing selected
    EXPECT_EQ(clipboardText(), QString());
    EXPECT_EQ(cursor().position(), 0);

    select(3, 2);
    trigger("mcopy");
    EXPECT_EQ(clipboardText(), QStringLiteral("後半"));
    EXPECT_FALSE(cursor().hasSelection());
    EXPECT_EQ(cursor().position(), 5);

    select(0, 3);
    trigger("mcut");
    EXPECT_EQ(clipboardText(), QStringLiteral("前半 "));
    EXPECT_EQ(body(), QStringLiteral("後半"));

    putOnClipboard(QStringLiteral("  挿入 \t "));
    select(0, 1);
    trigger("mpaste");
    EXPECT_EQ(body(), QStringLiteral("挿入 \t半")) << "blanks go at both ends, a tab stays";
}

TEST_F(EditorTest, SelectAllAndJumps)
{
    editor().setPlainText(QStringLiteral("一行目\n二行目"));

    trigger("mall");
    EXPECT_EQ(cursor().selectionStart(), 0);
    EXPECT_EQ(cursor().selectionEnd(), 7);
    trigger("matamajump");
    EXPECT_EQ(cursor().position(), 0);
    EXPECT_FALSE(cursor().hasSelection());
    trigger("mbunmatujump");
    EXPECT_EQ(cursor().position(), 7);
}

TEST_F(EditorTest, OpenDialogEndsEveryLineWithCrLfAndCancelChangesNothing)
{
    const QString path = inFolder(QStringLiteral("二行.txt"));
    t.folder.writeBytes(QStringLiteral("\\二行.txt"),
                        cp932::encode(QStringLiteral("一行目\r二行目")));
    editor().setPlainText(QStringLiteral("元の本文"));
    t.fileDialogs->openAnswers = {QString(), path, QStringLiteral("")};

    trigger("mopen"); // cancelled
    EXPECT_EQ(body(), QStringLiteral("元の本文"));

    trigger("mopen");
    EXPECT_EQ(body(), QStringLiteral("一行目\r\n二行目\r\n"));
    EXPECT_EQ(form().windowTitle(), path);
    EXPECT_EQ(t.fileDialogs->requests[1].filter, QStringLiteral("txtファイル(*.txt *.ini)"));

    trigger("mopen"); // an empty name
    EXPECT_EQ(form().windowTitle(), QStringLiteral("notitle"));
    EXPECT_TRUE(t.messageBoxes->shown.empty());
}

TEST_F(EditorTest, SavingTwicePutsTwoHeaderBlocksInFrontAndWritesOneMoreLineEnd)
{
    form().Text7()->setText(QStringLiteral("件名"));
    form().Text8()->setText(QStringLiteral("a@example.jp"));
    form().Text9()->setText(QStringLiteral("日付"));
    editor().setPlainText(QStringLiteral("本文"));
    const QString path = inFolder(QStringLiteral("保存.txt"));
    t.fileDialogs->saveAnswers = {path, path};

    trigger("msave");
    form().dispatchToolbarKey(QStringLiteral("SaveAs"));

    const QString block =
        QStringLiteral("Subject:  件名\r\nFrom:  a@example.jp\r\nDate:  日付\r\nBody:  ");
    EXPECT_EQ(body(), block + block + QStringLiteral("本文"));
    EXPECT_EQ(fileBytes(path), cp932::encode(block + block + QStringLiteral("本文\r\n")));
    EXPECT_EQ(form().windowTitle(), path);
    EXPECT_TRUE(t.fileDialogs->requests[0].confirmOverwrite);
    EXPECT_EQ(state().editor.editorFile, QString());
}

TEST_F(EditorTest, SaveCancelledOrFailingWritesNothingAndFailureIsReported)
{
    editor().setPlainText(QStringLiteral("本文"));
    const QString unwritable = inFolder(QStringLiteral("無い/保存.txt"));
    t.fileDialogs->saveAnswers = {QString(), unwritable};

    trigger("msave");
    EXPECT_TRUE(t.messageBoxes->shown.empty());

    trigger("msave");
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(QFile::exists(unwritable));
}

TEST_F(EditorTest, NewActsOncePerRun)
{
    QTemporaryDir workingDir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(workingDir.path()));
    editor().setPlainText(QStringLiteral("書きかけ"));

    trigger("mnew");

    const QString name = QStringLiteral("新規作成.TXT");
    EXPECT_EQ(body(), QString());
    EXPECT_EQ(state().editor.editorFile, name);
    EXPECT_FALSE(state().editor.editorModified);
    EXPECT_EQ(form().windowTitle(), name + QStringLiteral("      ") + name);
    EXPECT_TRUE(QFile::exists(workingDir.filePath(name)));
    EXPECT_EQ(fileBytes(workingDir.filePath(name)), QByteArray());

    editor().setPlainText(QStringLiteral("次の文"));
    form().dispatchToolbarKey(QStringLiteral("New"));
    EXPECT_EQ(body(), QStringLiteral("次の文"));
    EXPECT_EQ(fileBytes(workingDir.filePath(name)), QByteArray()) << "a second New saves nothing";
    QDir::setCurrent(previous);
}

struct TypedTextCase {
    const char *name;
    QMessageBox::StandardButton answer;
    QString savePath; // the save dialog's answer after Yes; null: cancelled
    bool newRuns;     // the text was kept or discarded, and New went on
};

class EditorNewTypedTest : public EditorTest,
                           public ::testing::WithParamInterface<TypedTextCase> {};

// Typed text that no file holds is asked about before New replaces it.
TEST_P(EditorNewTypedTest, AsksBeforeDiscardingTypedText)
{
    const TypedTextCase &c = GetParam();
    QTemporaryDir workingDir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(workingDir.path()));
    editor().setPlainText(QStringLiteral("表示中のメール"));
    editor().moveCursor(QTextCursor::End);
    QTest::keyClicks(&editor(), QStringLiteral(" memo"));
    const QString typed = QStringLiteral("表示中のメール memo");
    ASSERT_EQ(body(), typed);
    t.messageBoxes->answer(c.answer);
    const QString savePath = c.savePath.isNull() ? QString() : inFolder(c.savePath);
    if (c.answer == QMessageBox::Yes)
        t.fileDialogs->saveAnswers = {savePath};

    trigger("mnew");

    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].buttons,
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Question);
    if (!savePath.isEmpty()) {
        EXPECT_EQ(fileBytes(savePath), cp932::encode(typed + QStringLiteral("\r\n")));
    }
    const QString newFile = QStringLiteral("新規作成.TXT");
    EXPECT_EQ(body(), c.newRuns ? QString() : typed);
    EXPECT_EQ(state().editor.editorFile, c.newRuns ? newFile : QString());
    EXPECT_EQ(QFile::exists(workingDir.filePath(newFile)), c.newRuns);
    QDir::setCurrent(previous);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EditorNewTypedTest,
    ::testing::Values(TypedTextCase{"SaveThenNew", QMessageBox::Yes, QStringLiteral("書きかけ.txt"),
                                    true},
                      TypedTextCase{"SaveDialogCancelled", QMessageBox::Yes, QString(), false},
                      TypedTextCase{"Discard", QMessageBox::No, QString(), true},
                      TypedTextCase{"Cancel", QMessageBox::Cancel, QString(), false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EditorTest, StyleTogglesSwitchTheWholeFontAndCountOnAcrossWindows)
{
    form().dispatchToolbarKey(QStringLiteral("Bold"));
    EXPECT_TRUE(editor().font().bold());
    form().dispatchToolbarKey(QStringLiteral("Bold"));
    EXPECT_FALSE(editor().font().bold());
    EXPECT_EQ(state().editor.boldToggle, 2);

    form().dispatchToolbarKey(QStringLiteral("Italic"));
    form().dispatchToolbarKey(QStringLiteral("Underline"));
    EXPECT_TRUE(editor().font().italic());
    EXPECT_TRUE(editor().font().underline());

    closeForm();
    EXPECT_FALSE(editor().font().italic()) << "a new window starts plain";
    form().dispatchToolbarKey(QStringLiteral("Italic")); // the counter is still odd
    EXPECT_FALSE(editor().font().italic());
    EXPECT_EQ(state().editor.italicToggle, 2);

    form().dispatchToolbarKey(QStringLiteral("Unknown"));
}

TEST_F(EditorTest, PrintGoesThroughThePrintDialogIntoAPdf)
{
    editor().setPlainText(QStringLiteral("印刷する\n本文"));
    t.printDialogs->outputPdf = inFolder(QStringLiteral("out.pdf"));

    trigger("mprint");                                  // the menu item has no action
    form().dispatchToolbarKey(QStringLiteral("Print")); // cancelled
    EXPECT_EQ(t.printDialogs->selectionOffered, std::vector<bool>{false});
    EXPECT_FALSE(QFile::exists(t.printDialogs->outputPdf));

    select(0, 6);
    t.printDialogs->answers = {PrintChoice{true, true, 2}};
    form().dispatchToolbarKey(QStringLiteral("Print"));
    EXPECT_EQ(t.printDialogs->selectionOffered, (std::vector<bool>{false, true}));
    const QByteArray pdf = fileBytes(t.printDialogs->outputPdf);
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "),
              2)
        << "one page for each copy";
}

// The print module is loaded from the program's folder; a test binary has none beside it,
// as a program folder that lost it has none.
TEST_F(EditorTest, WithoutThePrintModulePrintSaysWhyAndAsksNothing)
{
    useLinkedPrintModule(nullptr);
    editor().setPlainText(QStringLiteral("印刷する"));
    form().dispatchToolbarKey(QStringLiteral("Print"));
    useLinkedPrintModule(&printModuleTable());
    EXPECT_TRUE(t.printDialogs->selectionOffered.empty());
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(
        QStringLiteral("印刷に使うライブラリ（orvaine-print.so）を読み込めませんでした")))
        << t.messageBoxes->shown[0].text.toStdString();
}

TEST_F(EditorTest, LoadingTheWindowLoadsTheEditorFileOrOffersToRetry)
{
    t.folder.writeBytes(QStringLiteral("\\editor.txt"), cp932::encode(QStringLiteral("前回の文")));
    state().editor.editorFile = inFolder(QStringLiteral("editor.txt"));
    state().editor.editorModified = true;
    EXPECT_EQ(body(), QStringLiteral("前回の文"));
    EXPECT_FALSE(state().editor.editorModified);
    closeForm();

    state().editor.editorFile = inFolder(QStringLiteral("無いファイル.txt"));
    t.messageBoxes->answer(QMessageBox::Ok); // try again: fails again
    t.messageBoxes->answer(QMessageBox::Cancel);
    form();

    ASSERT_EQ(t.messageBoxes->shown.size(), 2u);
    for (const MessageBoxRequest &box : t.messageBoxes->shown) {
        EXPECT_EQ(box.text, QString());
        EXPECT_EQ(box.title, QStringLiteral("OrvaineMail  Form_LoadError"));
        EXPECT_EQ(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(box.icon, QMessageBox::Warning);
    }
    EXPECT_FALSE(state().editor.editorModified);
    EXPECT_TRUE(editor().isVisibleTo(&form()));
}

} // namespace
} // namespace orv::test
