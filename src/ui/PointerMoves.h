#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace orv {

// Calls `onMove` whenever the pointer moves over `widget` (its own area, not its children).
// Windows use it for controls that follow the pointer.
void onPointerMove(QWidget *widget, std::function<void()> onMove);

// Calls `onLeave` whenever `widget` loses the keyboard focus.
void onFocusOut(QWidget *widget, std::function<void()> onLeave);

// A control's help text: `show` gets it whenever the pointer moves over `control` and
// whenever the control gets the keyboard focus, and screen readers read it as the control's
// description.
void wireHelpText(QWidget *control, const QString &helpText,
                  std::function<void(const QString &)> show);

} // namespace orv
