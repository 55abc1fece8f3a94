#pragma once

#include <QKeyEvent>

namespace orv {

// The keys that do on a focused control what a click does: Enter, on either keypad, and Space.
inline bool isClickKey(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return true;
    default:
        return false;
    }
}

// Takes `event` when it is a click key, so that the control can act on it as on a click.
inline bool takeClickKey(QKeyEvent *event)
{
    if (!isClickKey(event))
        return false;
    event->accept();
    return true;
}

} // namespace orv
