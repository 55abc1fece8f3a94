#pragma once

#include <QTreeView>

namespace orv {

// The list of messages. Any click on it counts, also one on the empty area below the rows
// or on an already selected row, so it reports clicks itself rather than item clicks.
class MailListView : public QTreeView {
    Q_OBJECT
public:
    explicit MailListView(QWidget *parent = nullptr);

signals:
    void clickedAnywhere();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace orv
