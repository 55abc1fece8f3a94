#pragma once

#include "core/Status.h"

#include <QString>

class QTextEdit;

namespace orv {

class App;
class TyakuForm;

// The editor's text with CR LF line ends, as it is written to files.
QString editorText(const QTextEdit &editor);
void setEditorText(QTextEdit &editor, const QString &text);

// The path up to and including its last separator, or the whole path when it has none.
QString DirectoryPart(const QString &path);

// Reads a text file in code page 932.
Status readTextFile(const QString &path, QString &text);

// File menu and toolbar.
void New(App &app, TyakuForm &form);
void OpenDialog(App &app, TyakuForm &form);
void SaveAsDialog(App &app, TyakuForm &form);
void putHeaderBlockInFront(TyakuForm &form);
void Print(App &app, TyakuForm &form);

// Edit menu.
void Search(App &app, TyakuForm &form);
void SearchNext(App &app, TyakuForm &form);
void Cut(QTextEdit &editor);
void Copy(QTextEdit &editor);
void Paste(QTextEdit &editor);
void selectAll(QTextEdit &editor);
void jumpToStart(QTextEdit &editor);
void jumpToEnd(QTextEdit &editor);

// Bold, italic and underline switch for the whole text; the counters in the editor state
// remember the last switch across windows.
enum class TextStyle { Bold, Italic, Underline };
void toggleStyle(App &app, TyakuForm &form, TextStyle style);

} // namespace orv
