#include "store/AddressStore.h"

#include "core/Cp932.h"

namespace orv {

namespace {

constexpr RecordLayout kAddressLayout{AddressRecord::kSize, AddressRecord::kCrLfOffset,
                                      AddressRecord::kInUseOffset};

Status readAllAddresses(const RecordFile &file, std::vector<AddressRecord> &records)
{
    records.clear();
    AddressRecord record;
    return file.readEach(record.data(), AddressRecord::kSize,
                         [&](int) { records.push_back(record); });
}

} // namespace

AddressStore::AddressStore(AppDir appDir) : m_appDir(std::move(appDir)) {}

QString AddressStore::filePath() const
{
    return m_appDir.resolve(QStringLiteral("\\★MAilData\\Krvdata20.data"));
}

QString AddressStore::temporaryFilePath() const
{
    return m_appDir.resolve(QStringLiteral("\\★MAilData\\KRVDATA20.TMP"));
}

RecordFile AddressStore::recordFile() const
{
    return RecordFile(filePath(), temporaryFilePath(), kAddressLayout, kMaxRecords);
}

Status AddressStore::Append(const QString &name, const QString &address, int *number)
{
    AddressRecord record;
    record.setName(name);
    record.setAddress(address);
    return recordFile().append(record.data(), number, Durability::Synced);
}

Status AddressStore::ReadAll(std::vector<AddressRecord> &records)
{
    return readAllAddresses(recordFile(), records);
}

Status AddressStore::Read(int number, AddressRecord &record)
{
    return recordFile().read(number, record.data());
}

Status AddressStore::MarkDeleted(int number, const AddressRecord &record)
{
    AddressRecord marked = record;
    return recordFile().markDeleted(number, marked.data());
}

Status AddressStore::Compact()
{
    return recordFile().compact(0, nullptr);
}

int AddressStore::RecordCount() const
{
    return recordFile().recordCount();
}

AddressMaster::AddressMaster(AppDir appDir) : m_appDir(std::move(appDir)) {}

QString AddressMaster::filePath() const
{
    return m_appDir.resolve(QStringLiteral("\\★MAilData\\KRVASTER20.INI"));
}

Status AddressMaster::ReadAll(std::vector<AddressRecord> &records)
{
    // Nothing writes this file, so it has no temporary file and no record limit.
    return readAllAddresses(RecordFile(filePath(), QString(), kAddressLayout, 0), records);
}

QString listCell(const QString &fieldText)
{
    return cutAtNul(fieldText);
}

QString bulkRecipientAddress(const AddressRecord &record)
{
    return trimTrailingBlanks(record.address());
}

} // namespace orv
