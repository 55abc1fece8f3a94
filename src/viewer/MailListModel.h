#pragma once

#include "store/MailStore.h"

#include <QAbstractTableModel>

#include <vector>

namespace orv {

// The viewer's message list: row i is record i + 1 of the store read last. It keeps the
// header fields as stored bytes and decodes a cell only when the view asks for it, so a
// store of tens of thousands of records lists at once.
class MailListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SubjectColumn, FromColumn, DateColumn, ColumnCount };

    explicit MailListModel(QObject *parent = nullptr);

    void setRows(std::vector<MailHeaderBytes> rows);
    void clear();
    // The header fields of every row as stored, for filtering without decoding.
    const std::vector<MailHeaderBytes> &headerRows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const QByteArray &cellBytes(const QModelIndex &index) const;

    std::vector<MailHeaderBytes> m_rows;
};

} // namespace orv
