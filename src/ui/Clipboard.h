#pragma once

#include <QString>

namespace orv {

// Clears the system clipboard and puts `text` on it as plain text.
void putOnClipboard(const QString &text);

// The clipboard's plain text ("" when it holds none).
QString clipboardText();

// Sends a body text through the system clipboard as plain text and returns what comes
// back, with blanks removed at both ends; the clipboard keeps the text.
QString PassThroughClipboard(const QString &text);

} // namespace orv
