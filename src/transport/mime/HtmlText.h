#pragma once

#include <QString>

namespace orv::mime {

// Readable plain text from an HTML mail: tags go, block ends become line breaks, entities
// are resolved, scripts and styles are dropped. Lines end in CR LF.
QString htmlToPlainText(const QString &html);

} // namespace orv::mime
