#include "addressbook/AddressListView.h"

#include "ui/ClickKeys.h"

namespace orv {

AddressListView::AddressListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);        // a row's position is its record number
    setTextElideMode(Qt::ElideNone); // the padding of a field is blank space, not cut text
}

int AddressListView::selectedRecordNumber() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? 0 : indexOfTopLevelItem(selected.first()) + 1;
}

void AddressListView::mousePressEvent(QMouseEvent *event)
{
    QTreeWidget::mousePressEvent(event);
    emit pressed();
}

void AddressListView::keyPressEvent(QKeyEvent *event)
{
    if (takeClickKey(event))
        emit pressed();
    else
        QTreeWidget::keyPressEvent(event);
}

} // namespace orv
