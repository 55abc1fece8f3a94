#include "store/InstanceLock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace orv {

InstanceLock::InstanceLock(const AppDir &appDir) : m_path(lockPath(appDir)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

QString InstanceLock::lockPath(const AppDir &appDir)
{
    return appDir.resolve(QStringLiteral("\\★MAilData\\orvaine.lock"));
}

InstanceLock::Outcome InstanceLock::acquire()
{
    if (m_fd >= 0)
        return Outcome::Acquired;
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Outcome::Unavailable;
    int locked;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Outcome::HeldByAnotherCopy : Outcome::Unavailable;
    }
    // The holder's process id, for a person who wonders who holds the folder; the lock
    // holds without it.
    const QByteArray owner = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t noted =
            ::pwrite(fd, owner.constData(), size_t(owner.size()), 0);
    }
    m_fd = fd;
    return Outcome::Acquired;
}

} // namespace orv
