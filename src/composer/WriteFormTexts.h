#pragma once

#include <QString>

namespace orv {

// The compose window's help texts, shown in its help box while the pointer is over a button.
namespace writeform {
QString command1Help();
QString command3Help();
QString command4Help();
QString command5Help();
QString command6Help();
QString command7Help();
QString command8Help();
QString command9Help();
QString command11Help();
QString attachCommandHelp();
} // namespace writeform

} // namespace orv
