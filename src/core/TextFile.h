#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orv {

// Which characters end a line. Reading text back line by line ends lines at CR LF or a
// lone CR only (a lone LF stays inside its line); the settings files also accept LF so
// that a file edited on this platform still reads.
enum class LineEnds { CrOrCrLf, Any };

// Lines of a text; a final line end adds no line.
QStringList splitLines(const QString &text, LineEnds ends = LineEnds::Any);

// The text read line by line and joined again, each line followed by CR LF.
QString joinLinesWithCrLf(const QString &text);

enum class FileAccess { Default, OwnerOnly };

// Replaces the file's content as a whole: a crash leaves the old file or the new one.
Status writeFileAtomically(const QString &path, const QByteArray &bytes,
                           FileAccess access = FileAccess::Default);

} // namespace orv
