#include "ui/TypingLimitedEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace orv {

TypingLimitedEdit::TypingLimitedEdit(int typingLimit, QWidget *parent)
    : QPlainTextEdit(parent), m_typingLimit(typingLimit)
{
}

qsizetype TypingLimitedEdit::length() const
{
    return document()->characterCount() - 1; // the document counts its closing separator
}

qsizetype TypingLimitedEdit::room() const
{
    const qsizetype selected = textCursor().selectedText().size();
    return qMax<qsizetype>(0, m_typingLimit - (length() - selected));
}

void TypingLimitedEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        QPlainTextEdit::keyPressEvent(event); // goes through insertFromMimeData
        return;
    }
    const QString typed = event->text();
    const bool addsText = (!typed.isEmpty() && typed.at(0).isPrint()) ||
                          event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (addsText && !(event->modifiers() & Qt::ControlModifier) && room() == 0) {
        event->accept();
        emit typingRefused();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TypingLimitedEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    if (commit.size() <= room()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(commit.left(room()), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    emit typingRefused();
}

void TypingLimitedEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    const QString text = source->text();
    const qsizetype room = this->room();
    insertPlainText(text.left(room));
    if (text.size() > room)
        emit typingRefused();
}

} // namespace orv
