#pragma once

#include <QTreeView>

namespace orv {

// The list of messages. Any click on it counts, also one on the empty area below the rows
// or on an already selected row, so it reports clicks itself rather than item clicks. A
// highlight moved any other way (keys, a right click) is reported as it moves, so the
// message on screen and the highlighted row never part.
class MailListView : public QTreeView {
    Q_OBJECT
public:
    explicit MailListView(QWidget *parent = nullptr);

signals:
    void clickedAnywhere();
    void selectionMoved();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void selectionChanged(const QItemSelection &selected,
                          const QItemSelection &deselected) override;

private:
    bool m_leftButtonDown = false; // the release reports the click
};

} // namespace orv
