#pragma once

#include <QValidator>

namespace orv {

// Stops typing (and pasting by keyboard or mouse) at `maxLength` characters, while a text
// the program puts into the box with setText is kept whole. QLineEdit::setMaxLength would
// cut both.
class TypingLimit : public QValidator {
public:
    TypingLimit(int maxLength, QObject *parent) : QValidator(parent), m_maxLength(maxLength) {}

    State validate(QString &input, int &) const override
    {
        return input.size() > m_maxLength ? Invalid : Acceptable;
    }

private:
    int m_maxLength;
};

} // namespace orv
