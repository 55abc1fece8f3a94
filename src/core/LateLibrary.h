#pragma once

#include <QLibrary>

namespace orv {

// Points `function` at the library's function `name`; false when the library lacks it.
// For libraries loaded when first needed, so that the program does not load them at every
// start.
template <typename Function>
bool resolveFunction(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

} // namespace orv
