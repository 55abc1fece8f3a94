#include "emoticons/PaletteEditing.h"

#include "ui/Clipboard.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace orv {

QString TakeSelection(QPlainTextEdit &box)
{
    QTextCursor cursor = box.textCursor();
    const bool selected = cursor.hasSelection();
    const int end = selected ? cursor.selectionEnd() : 0;
    const QString text = PassThroughClipboard(cursor.selection().toPlainText());
    cursor.setPosition(end);
    box.setTextCursor(cursor);
    box.setFocus();
    return text;
}

void ReplaceSelection(QPlainTextEdit &box, const QString &text)
{
    QTextCursor cursor = box.textCursor();
    cursor.insertText(text);
    box.setTextCursor(cursor);
}

} // namespace orv
