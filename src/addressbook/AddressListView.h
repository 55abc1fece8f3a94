#pragma once

#include <QTreeWidget>

namespace orv {

// The address book's list in report mode. It tells when a mouse button went down on it,
// after the list has moved its selection to the row under the pointer, and when Enter or
// Space is pressed on the selected row.
class AddressListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit AddressListView(QWidget *parent = nullptr);

    // The 1-based index of the selected row, which is its record number; 0 when none.
    int selectedRecordNumber() const;

signals:
    void pressed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace orv
