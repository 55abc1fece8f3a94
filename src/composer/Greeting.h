#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The ready-made first lines of the greeting box, in the order they are offered.
const QStringList &GreetingLines();

// One edit of a text: `length` characters from `start` become `text`.
struct TextEdit {
    int start = 0;
    int length = 0;
    QString text;

    bool operator==(const TextEdit &) const = default;
};

// What leaving the greeting box does to the body (line ends "\n"), or nothing. An empty box
// or the greeting already applied changes nothing; a new greeting replaces a body that is
// empty or holds nothing but the previous greeting, replaces the previous greeting where it
// still opens the body, and otherwise goes in front of the typed text on its own line, so
// that no typed text is ever lost to the greeting box.
std::optional<TextEdit> greetingEdit(const QString &body, const QString &appliedGreeting,
                                     const QString &greeting);

} // namespace orv
