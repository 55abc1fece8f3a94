#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QString>

namespace orv::exchange {

// The whole of a file given to an import, read only when it is a regular file (through
// symlinks) of at most `maxBytes`: a FIFO or a device could hold the import for ever or
// without end. The open itself never waits.
Status readRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes);

} // namespace orv::exchange
