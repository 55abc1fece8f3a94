#pragma once

#include <QString>

namespace orv::viewer {

// What the help box says while the pointer is over a control.
QString command1Help();
QString command2Help();
QString command3Help();
QString command4Help();
QString command5Help();
QString command6Help();
QString text1Help();

} // namespace orv::viewer
