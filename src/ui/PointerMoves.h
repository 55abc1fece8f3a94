#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace orv {

// Calls `onMove` whenever the pointer moves over `widget` (its own area, not its children).
// Windows use it for their help texts and for controls that follow the pointer.
void onPointerMove(QWidget *widget, std::function<void()> onMove);

} // namespace orv
