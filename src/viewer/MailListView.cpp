#include "viewer/MailListView.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace orv {

MailListView::MailListView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // keeps scrolling through tens of thousands of rows cheap
    // Cells keep the padding spaces of their fields; an ellipsis would only mark the padding.
    setTextElideMode(Qt::ElideNone);
    setSortingEnabled(false); // a row's position is its record number
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    header()->setStretchLastSection(false);
}

void MailListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clickedAnywhere();
}

} // namespace orv
