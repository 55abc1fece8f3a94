#pragma once

#include "core/Status.h"

#include <QString>

namespace orv {

// The failure of writing `path`, with the system's reason for `error`.
Status writeFailure(const QString &path, int error);

// Writes all `size` bytes at `offset`, going on after a partial write or an interrupted call.
Status writeAt(int fd, const QString &path, const char *data, qint64 size, qint64 offset);

// Puts the folder of `path` on disk, so that a new file's name survives a crash.
Status syncFolderOf(const QString &path);

} // namespace orv
