#pragma once

#include <QLineEdit>
#include <QValidator>

namespace orv {

// Stops typing (and pasting by keyboard or mouse) into its line edit at `maxLength`
// characters, while a text the program puts into the box with setText is kept whole.
// QLineEdit::setMaxLength would cut both. Typing it stops is reported, so the window can
// tell the user the box is full.
class TypingLimit : public QValidator {
    Q_OBJECT
public:
    TypingLimit(int maxLength, QLineEdit *box)
        : QValidator(box), m_box(box), m_maxLength(maxLength), m_length(box->text().size())
    {
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString &text) { m_length = text.size(); });
    }

    State validate(QString &input, int &) const override
    {
        if (input.size() <= m_maxLength)
            return Acceptable;
        // setText is looked at too, and a long text the program put there again on Enter:
        // only an edit that makes the text longer than the box holds is typing. validate()
        // is const for the box; the report is not.
        if (m_box->isModified() && input.size() > m_length)
            emit const_cast<TypingLimit *>(this)->typingRefused();
        return Invalid;
    }

signals:
    void typingRefused();

private:
    const QLineEdit *m_box;
    int m_maxLength;
    qsizetype m_length; // of the text the box holds
};

} // namespace orv
