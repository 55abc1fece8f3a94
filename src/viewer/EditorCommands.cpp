#include "viewer/EditorCommands.h"

#include "core/Cp932.h"
#include "core/TextFile.h"
#include "ui/App.h"
#include "ui/Clipboard.h"
#include "ui/PrintModule.h"
#include "viewer/HistoryView.h"
#include "viewer/QuickSave.h"
#include "viewer/TyakuForm.h"

#include <QFile>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include <algorithm>

namespace orv {

namespace {

const QString kNewFileName = QStringLiteral("新規作成.TXT");
const QString kCrLf = QStringLiteral("\r\n");

FileDialogRequest textFileDialog()
{
    return {QStringLiteral("txtファイル(*.txt *.ini)"), true};
}

Status writeTextFile(const QString &path, const QString &text)
{
    return writeFileAtomically(path, cp932::encode(text));
}

// The save dialog, then the text of rtfEd followed by CR LF. False when nothing was saved:
// the dialog was cancelled or the file could not be written (the user has been told).
bool saveThroughDialog(App &app, TyakuForm &form)
{
    const QString path = app.fileDialogs().saveFileName(&form, textFileDialog());
    if (path.isEmpty())
        return false;
    form.setWindowTitle(path);
    if (const Status status = writeTextFile(path, editorText(*form.rtfEd()) + kCrLf); !status) {
        showFailure(app, &form, status);
        return false;
    }
    return true;
}

// New runs before the editor has a file of its own (afterwards it does nothing), so typed
// text would be lost: the user decides first. False when the text must stay.
bool keepTypedText(App &app, TyakuForm &form)
{
    QTextEdit &editor = *form.rtfEd();
    // Text the program put there (a message shown) counts as typed only once it was edited.
    if (!editor.document()->isModified() || editor.document()->isEmpty())
        return true;
    const MessageBoxRequest question{
        QStringLiteral("編集中の文章はファイルに保存されていません。保存しますか？\n"
                       "「いいえ」を選ぶと文章は破棄されます。"),
        QStringLiteral("新規作成"), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
        QMessageBox::Question};
    switch (app.showMessage(&form, question)) {
    case QMessageBox::Yes:
        return saveThroughDialog(app, form);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

QString selectedText(const QTextCursor &cursor)
{
    return cursor.selection().toPlainText();
}

void selectRange(QTextEdit &editor, qsizetype start, qsizetype length)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(static_cast<int>(start));
    cursor.setPosition(static_cast<int>(start + length), QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

void placeInsertionPoint(QTextEdit &editor, qsizetype position)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(static_cast<int>(position));
    editor.setTextCursor(cursor);
}

// Finds the search text from the 1-based position `start` on and selects the hit.
void findFrom(App &app, TyakuForm &form, qsizetype start)
{
    QTextEdit &editor = *form.rtfEd();
    const QString needle = form.Text1()->text();
    const qsizetype index = editor.toPlainText().indexOf(needle, std::max<qsizetype>(start, 1) - 1);
    app.state().editor.lastFoundPos = static_cast<qint32>(index + 1);
    if (index < 0)
        return;
    editor.setFocus();
    selectRange(editor, index, needle.size());
}

qint16 &toggleCounter(EditorState &editor, TextStyle style)
{
    switch (style) {
    case TextStyle::Italic:
        return editor.italicToggle;
    case TextStyle::Underline:
        return editor.underlineToggle;
    case TextStyle::Bold:
        break;
    }
    return editor.boldToggle;
}

void setStyle(QFont &font, TextStyle style, bool on)
{
    switch (style) {
    case TextStyle::Bold:
        font.setBold(on);
        break;
    case TextStyle::Italic:
        font.setItalic(on);
        break;
    case TextStyle::Underline:
        font.setUnderline(on);
        break;
    }
}

} // namespace

QString editorText(const QTextEdit &editor)
{
    return editor.toPlainText().replace(QLatin1Char('\n'), kCrLf);
}

void setEditorText(QTextEdit &editor, const QString &text)
{
    editor.setPlainText(text);
}

QString DirectoryPart(const QString &path)
{
    const qsizetype separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? path : path.left(separator + 1);
}

Status readTextFile(const QString &path, QString &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(path, QStringLiteral("開く"), file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fileFailure(path, QStringLiteral("読み込み"), file.errorString());
    text = cp932::decode(bytes);
    return Status::success();
}

void New(App &app, TyakuForm &form)
{
    EditorState &state = app.state().editor;
    if (state.editorFile.contains(kNewFileName))
        return;
    if (state.editorModified && !keepTypedText(app, form))
        return;
    setEditorText(*form.rtfEd(), QString());
    state.editorFile = DirectoryPart(state.editorFile) + kNewFileName;
    // The empty file only marks the new document; the editor works on without it, so a
    // failure to create it is passed over.
    (void)writeTextFile(state.editorFile, QString());
    state.editorModified = false;
    form.setWindowTitle(kNewFileName + QStringLiteral("      ") + state.editorFile);
}

void OpenDialog(App &app, TyakuForm &form)
{
    const QString path = app.fileDialogs().openFileName(&form, textFileDialog());
    if (path.isNull())
        return;
    if (path.isEmpty()) {
        form.setWindowTitle(QStringLiteral("notitle"));
        return;
    }
    form.setWindowTitle(path);
    QString text;
    if (const Status status = readTextFile(path, text); !status) {
        showFailure(app, &form, status);
        return;
    }
    setEditorText(*form.rtfEd(), joinLinesWithCrLf(text));
}

void SaveAsDialog(App &app, TyakuForm &form)
{
    (void)saveThroughDialog(app, form);
}

void putHeaderBlockInFront(TyakuForm &form)
{
    setEditorText(*form.rtfEd(), headerBlockForEditor(shownHeaderFields(form)));
}

void Print(App &app, TyakuForm &form)
{
    QString unavailable;
    const PrintModule *printing = printModule(&unavailable);
    if (!printing) {
        app.messageBoxes().show(
            &form, {unavailable, App::applicationTitle(), QMessageBox::Ok, QMessageBox::Warning});
        return;
    }
    const QTextEdit &editor = *form.rtfEd();
    const QTextCursor cursor = editor.textCursor();
    printing->print(&form, app.printDialogs(), editor.toPlainText(),
                    cursor.hasSelection() ? std::optional(selectedText(cursor)) : std::nullopt,
                    editor.font());
}

void Search(App &app, TyakuForm &form)
{
    findFrom(app, form, 1);
}

void SearchNext(App &app, TyakuForm &form)
{
    findFrom(app, form, app.state().editor.lastFoundPos + form.Text1()->text().size());
}

void Cut(QTextEdit &editor)
{
    QTextCursor cursor = editor.textCursor();
    putOnClipboard(selectedText(cursor));
    cursor.removeSelectedText();
    editor.setTextCursor(cursor);
    editor.setFocus();
}

void Copy(QTextEdit &editor)
{
    const QTextCursor cursor = editor.textCursor();
    putOnClipboard(selectedText(cursor));
    placeInsertionPoint(editor, cursor.hasSelection() ? cursor.selectionEnd() : 0);
    editor.setFocus();
}

void Paste(QTextEdit &editor)
{
    editor.setFocus();
    QTextCursor cursor = editor.textCursor();
    cursor.insertText(trimBlanks(clipboardText()));
    editor.setTextCursor(cursor);
    editor.setFocus();
}

void selectAll(QTextEdit &editor)
{
    editor.selectAll();
}

void jumpToStart(QTextEdit &editor)
{
    placeInsertionPoint(editor, 0);
    editor.setFocus();
}

void jumpToEnd(QTextEdit &editor)
{
    QTextCursor cursor = editor.textCursor();
    cursor.movePosition(QTextCursor::End);
    editor.setTextCursor(cursor);
    editor.setFocus();
}

void toggleStyle(App &app, TyakuForm &form, TextStyle style)
{
    qint16 &counter = toggleCounter(app.state().editor, style);
    const bool switchOn = counter % 2 == 0;
    counter = switchOn ? 1 : 2;
    QFont font = form.rtfEd()->font();
    setStyle(font, style, switchOn);
    form.rtfEd()->setFont(font);
}

} // namespace orv
