#pragma once

#include <QStringList>
#include <QWidget>

namespace orv::test {

// Shows `window` and makes it the active window, as the window system does when the user
// brings it to the front; false when it never became active.
bool showActive(QWidget *window);

// The objectNames of the controls the keyboard focus visits in `window` on `presses`
// presses of Tab, from wherever the focus is.
QStringList tabWalk(QWidget *window, int presses);

// The control of `window` holding the keyboard focus after Tab presses until one named
// `name` holds it; nullptr when a whole round of the window never reaches it.
QWidget *tabTo(QWidget *window, const QString &name);

} // namespace orv::test
