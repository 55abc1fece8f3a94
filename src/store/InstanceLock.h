#pragma once

#include "core/AppDir.h"

#include <QString>

namespace orv {

// One writer per program folder: two runs would append to, and compact, the same stores.
// The windows and every command that writes hold it for as long as they run. The lock is
// the kernel's (flock on "★MAilData\orvaine.lock"), so it goes with the process that held
// it, however that process ends: a lock left by a copy that died is never in the way.
class InstanceLock {
public:
    explicit InstanceLock(const AppDir &appDir);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    enum class Outcome { Acquired, HeldByAnotherCopy, Unavailable };
    Outcome acquire();

    static QString lockPath(const AppDir &appDir);

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace orv
