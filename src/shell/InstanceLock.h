#pragma once

#include <QLockFile>

namespace orv {

class App;

// One running copy per program folder: two copies would receive into, and compact, the
// same stores. The lock lives in the data folder; a lock left by a copy that died is taken
// over.
class InstanceLock {
public:
    explicit InstanceLock(const App &app);

    enum class Outcome { Acquired, HeldByAnotherCopy, Unavailable };
    Outcome acquire();

    static QString lockPath(const App &app);

private:
    QLockFile m_file;
};

// Takes the program folder's lock. When another copy holds it, tells the user and returns
// false: this copy must end. A folder that cannot hold a lock (read-only, missing) does not
// stop the program; its stores report their own failures.
bool claimProgramFolder(App &app, InstanceLock &lock);

} // namespace orv
