#pragma once

#include <QString>

namespace orv {

// What a window needs of a window of another subsystem that it may not include. The shell
// binds each role to the window that plays it (Forms::bindRole).

// The compose window, as the emoticon palette writes into it.
class ComposeBodyRole {
public:
    // Puts `text` in place of the body's selection, or at its caret.
    virtual void insertIntoBody(const QString &text) = 0;

protected:
    ~ComposeBodyRole() = default;
};

// The emoticon palette, as the compose window opens it.
class EmoticonPaletteRole {
protected:
    ~EmoticonPaletteRole() = default;
};

// A window that may keep itself open when asked to close: one with work the user has not
// finished, which it asks about first.
class ClosingGuard {
public:
    // Whether the window may close now; it may ask the user.
    virtual bool mayClose() = 0;

protected:
    ~ClosingGuard() = default;
};

} // namespace orv
