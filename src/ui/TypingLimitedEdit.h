#pragma once

#include <QPlainTextEdit>

namespace orv {

// A text box whose typing stops at a number of characters, while text the program puts
// there with setPlainText is kept whole: a limit on typing must never cut an address.
// Keys, input-method commits, pastes and drops all count as typing; typing that the limit
// stops or cuts is reported, so the window can tell the user the box is full.
class TypingLimitedEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    TypingLimitedEdit(int typingLimit, QWidget *parent = nullptr);

    int typingLimit() const { return m_typingLimit; }

signals:
    void typingRefused();

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
