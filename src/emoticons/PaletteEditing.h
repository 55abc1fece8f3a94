#pragma once

#include <QString>

class QPlainTextEdit;

namespace orv {

// Sends the box's selected text through the system clipboard (which keeps it, untrimmed),
// leaves the box's caret where the selection ended (at the start of the box when nothing
// was selected), gives the box the focus, and returns the clipboard's text without blanks
// at both ends.
QString TakeSelection(QPlainTextEdit &box);

// Puts `text` in place of the box's selection, or at its caret; the caret ends after it.
void ReplaceSelection(QPlainTextEdit &box, const QString &text);

} // namespace orv
