#pragma once

#include <QString>

namespace orv::mime {

// Readable plain text from an HTML mail: tags go, block ends become line breaks, entities
// are resolved, scripts and styles are dropped. Lines end in CR LF.
QString htmlToPlainText(const QString &html);

// The length of the longest start of `html` that ends outside every tag and every hidden
// block (script, style, head, title, comment), so that its plain text is the start of the
// plain text of all of `html`.
qsizetype completeHtmlLength(const QString &html);

} // namespace orv::mime
