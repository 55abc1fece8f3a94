#include "composer/Recipients.h"

#include "store/AddressStore.h"

namespace orv {

std::vector<RecipientRow> recipientRows(const std::vector<AddressRecord> &records)
{
    const std::size_t count = std::min<std::size_t>(records.size(), AddressStore::kMaxRecords);
    std::vector<RecipientRow> rows;
    rows.reserve(count);
    for (std::size_t index = 0; index < count; ++index)
        rows.push_back({static_cast<int>(index) + 1, records[index]});
    return rows;
}

QList<qint16> rowToRecord(const std::vector<RecipientRow> &rows)
{
    QList<qint16> numbers;
    numbers.reserve(static_cast<qsizetype>(rows.size()) + 1);
    for (const RecipientRow &row : rows)
        numbers.append(static_cast<qint16>(row.recordNumber));
    numbers.append(0);
    return numbers;
}

QStringList bulkRecipients(const std::vector<RecipientRow> &rows)
{
    QStringList addresses;
    addresses.reserve(static_cast<qsizetype>(rows.size()));
    for (const RecipientRow &row : rows)
        addresses.append(bulkRecipientAddress(row.record));
    return addresses;
}

} // namespace orv
