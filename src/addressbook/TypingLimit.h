#pragma once

#include <QLineEdit>
#include <QValidator>

namespace orv {

// Stops typing (and pasting by keyboard or mouse) at `maxLength` characters, while a text
// the program puts into the box with setText is kept whole. QLineEdit::setMaxLength would
// cut both. Typing it stops is reported, so the window can tell the user the box is full.
class TypingLimit : public QValidator {
    Q_OBJECT
public:
    TypingLimit(int maxLength, QObject *parent) : QValidator(parent), m_maxLength(maxLength) {}

    int maxLength() const { return m_maxLength; }

    State validate(QString &input, int &) const override
    {
        if (input.size() <= m_maxLength)
            return Acceptable;
        // A long text the program put there is looked at again on Enter: only text that
        // would grow is typing. validate() is const for the line edit; the report is not.
        const auto *box = qobject_cast<const QLineEdit *>(parent());
        if (!box || input.size() > box->text().size())
            emit const_cast<TypingLimit *>(this)->typingRefused();
        return Invalid;
    }

signals:
    void typingRefused();

private:
    int m_maxLength;
};

} // namespace orv
