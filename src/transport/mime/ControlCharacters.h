#pragma once

#include <QChar>

namespace orv::mime {

// Characters that break a line or a protocol when they reach a header, a command or a
// file name: C0 and C1 controls, DEL and the Unicode line and paragraph separators.
inline bool isControlCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

} // namespace orv::mime
