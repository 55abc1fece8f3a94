#pragma once

#include "store/InstanceLock.h"

namespace orv {

class App;

// Takes the program folder's lock for the windows. When another run holds it, tells the
// user and returns false: this copy must end. A folder that cannot hold a lock (read-only,
// missing) does not stop the program; its stores report their own failures.
bool claimProgramFolder(App &app, InstanceLock &lock);

} // namespace orv
