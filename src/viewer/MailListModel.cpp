#include "viewer/MailListModel.h"

namespace orv {

MailListModel::MailListModel(QObject *parent) : QAbstractTableModel(parent) {}

void MailListModel::setRows(std::vector<MailHeaderBytes> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void MailListModel::clear()
{
    setRows({});
}

int MailListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MailListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const QByteArray &MailListModel::cellBytes(const QModelIndex &index) const
{
    const MailHeaderBytes &row = m_rows[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case FromColumn:
        return row.address;
    case DateColumn:
        return row.date;
    default:
        return row.subject;
    }
}

QVariant MailListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return listCell(cellBytes(index));
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case SubjectColumn:
        return QStringLiteral("Subject");
    case FromColumn:
        return QStringLiteral("From");
    case DateColumn:
        return QStringLiteral("Date");
    default:
        return {};
    }
}

} // namespace orv
