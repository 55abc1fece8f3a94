#pragma once

#include <QPlainTextEdit>

namespace orv {

// A text box whose typing stops at a number of characters, while text the program puts
// there with setPlainText is kept whole: a limit on typing must never cut an address.
// Keys, input-method commits, pastes and drops all count as typing.
class TypingLimitedEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    TypingLimitedEdit(int typingLimit, QWidget *parent = nullptr);

    int typingLimit() const { return m_typingLimit; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // How many characters typing may still add in place of the selection.
    qsizetype room() const;
    qsizetype length() const;

    int m_typingLimit;
};

} // namespace orv
