#pragma once

#include <QString>

namespace orv {

// Text boxes keep "\n" between lines; mail, records and the clipboard use CR LF, and a lone
// CR also ends a line.
inline QString withLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

inline QString withCrLf(QString text)
{
    return text.replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace orv
