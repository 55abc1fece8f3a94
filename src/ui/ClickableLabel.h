#pragma once

#include <QLabel>

namespace orv {

// A label that acts as a command: it reports left clicks and double clicks. A double click
// is one click: its first release reports `clicked`, the double click reports
// `doubleClicked`, and the second press and release report nothing, so a command runs once.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    explicit ClickableLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_endsDoubleClick = false;
    quint64 m_doubleClickTime = 0;
};

} // namespace orv
