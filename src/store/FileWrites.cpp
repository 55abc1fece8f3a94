#include "store/FileWrites.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace orv {

Status writeFailure(const QString &path, int error)
{
    return fileFailure(path, QStringLiteral("書き込み"), systemReason(error));
}

void EarlyWriteback::written(int fd, qint64 start, qint64 end)
{
    if (m_unstartedFrom < 0 || m_unstartedFrom > start)
        m_unstartedFrom = start;
    if (end - m_unstartedFrom < m_stretchBytes)
        return;
    ::sync_file_range(fd, m_unstartedFrom, end - m_unstartedFrom, SYNC_FILE_RANGE_WRITE);
    m_unstartedFrom = -1;
}

void EarlyWriteback::forgetFrom(qint64 from)
{
    if (m_unstartedFrom >= from)
        m_unstartedFrom = -1;
}

Status writeAt(int fd, const QString &path, const char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return writeFailure(path, put < 0 ? errno : ENOSPC);
        data += put;
        size -= put;
        offset += put;
    }
    return Status::success();
}

// A file system without flock support lets the write go on unlocked: the program folder's
// own lock still keeps a second run out.
FileWriteLock::FileWriteLock(int fd) : m_fd(fd)
{
    while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

FileWriteLock::~FileWriteLock()
{
    ::flock(m_fd, LOCK_UN);
}

Status syncFolderOf(const QString &path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && ::fsync(folder) == 0;
    const int error = errno;
    if (folder >= 0)
        ::close(folder);
    if (synced)
        return Status::success();
    return fileFailure(path, QStringLiteral("保存"), systemReason(error));
}

} // namespace orv
