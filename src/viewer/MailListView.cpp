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

void MailListView::mousePressEvent(QMouseEvent *event)
{
    m_leftButtonDown = event->button() == Qt::LeftButton;
    QTreeView::mousePressEvent(event);
}

void MailListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_leftButtonDown = false;
        emit clickedAnywhere();
    }
}

void MailListView::selectionChanged(const QItemSelection &selected,
                                    const QItemSelection &deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    if (!selected.isEmpty() && !m_leftButtonDown)
        emit selectionMoved();
}

} // namespace orv
