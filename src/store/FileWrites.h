#pragma once

#include "core/Status.h"

#include <QString>

namespace orv {

// The failure of writing `path`, with the system's reason for `error`.
Status writeFailure(const QString &path, int error);

// Writes all `size` bytes at `offset`, going on after a partial write or an interrupted call.
Status writeAt(int fd, const QString &path, const char *data, qint64 size, qint64 offset);

// Hands what was written to a file to the disk a stretch at a time while the writing goes
// on, so that the sync at its end waits for the last stretch only.
class EarlyWriteback {
public:
    explicit EarlyWriteback(qint64 stretchBytes) : m_stretchBytes(stretchBytes) {}

    // Bytes start..end of `fd` were written.
    void written(int fd, qint64 start, qint64 end);
    // Nothing written is waiting any more: it was synced, or cut off from `from` on.
    void forgetFrom(qint64 from);

private:
    qint64 m_stretchBytes;
    qint64 m_unstartedFrom = -1; // -1 when nothing waits
};

// The advisory lock (flock) of an open file, held while it lives: every writer of a store
// takes it for the measuring of the store's end and the write there, so that two processes
// never append at the same offset. It waits for a writer that holds it.
class FileWriteLock {
public:
    explicit FileWriteLock(int fd);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock &) = delete;
    FileWriteLock &operator=(const FileWriteLock &) = delete;

private:
    int m_fd;
};

// Puts the folder of `path` on disk, so that a new file's name survives a crash.
Status syncFolderOf(const QString &path);

} // namespace orv
