#pragma once

#include "store/AddressRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace orv {

// One row of the compose window's address list: the entry it was filled with, so that a
// pick or a bulk send reaches exactly the person the row shows, even when the address book
// changes while the window is open.
struct RecipientRow {
    int recordNumber = 0;
    AddressRecord record;

    QString name() const { return record.name(); } // the whole field, padding kept
};

// The rows for the records of an address file, in record order; record numbers are 16-bit,
// so at most 32,767 rows.
std::vector<RecipientRow> recipientRows(const std::vector<AddressRecord> &records);

// Element k is the record number of row k, followed by one spare 0.
QList<qint16> rowToRecord(const std::vector<RecipientRow> &rows);

// The recipients of a bulk send: one per row, in row order, trailing blanks removed.
QStringList bulkRecipients(const std::vector<RecipientRow> &rows);

} // namespace orv
