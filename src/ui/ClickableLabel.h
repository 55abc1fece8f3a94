#pragma once

#include <QKeySequence>
#include <QLabel>

class QPainter;
class QShortcut;

namespace orv {

// A label that acts as a command: it reports left clicks and double clicks. A double click
// is one click: its first release reports `clicked`, the double click reports
// `doubleClicked`, and the second press and release report nothing, so a command runs once.
//
// From the keyboard it is a button: Tab reaches it, a frame shows the focus, Enter or Space
// reports `clicked`, and screen readers announce it as a button named by its caption. A
// label that only shows text gives up the focus (setFocusPolicy(Qt::NoFocus)) and reads as
// text.
//
// Its caption is plain text, aligned in the label; it shows no picture and does not wrap.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(const QString &text, QWidget *parent = nullptr);

    // Whether the label takes part in the keyboard's command order.
    bool isCommand() const { return focusPolicy() & Qt::TabFocus; }
    // Runs the command as a click does, when the label is enabled.
    void click();
    // Keys that click the label from anywhere in its window.
    void setShortcut(const QKeySequence &keys);
    QKeySequence shortcut() const;
    // A rounded plate behind the caption, lit while the pointer is over the enabled label.
    void setPlate(const QColor &resting, const QColor &lit);

signals:
    void clicked();
    void doubleClicked();

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void drawPlate(QPainter &painter) const;
    void drawCaption(QPainter &painter) const;
    void drawFocusFrame(QPainter &painter) const;

    bool m_endsDoubleClick = false;
    quint64 m_doubleClickTime = 0;
    QShortcut *m_shortcut = nullptr;
    QColor m_plate;
    QColor m_litPlate;
};

} // namespace orv
