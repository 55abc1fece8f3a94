#include "store/AddressStore.h"

#include "core/Cp932.h"
#include "store/FileWrites.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

Status AddressStore::Rewrite(int number, const QString &name, const QString &address)
{
    AddressRecord record;
    record.setName(name);
    record.setAddress(address);
    const QString path = filePath();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return writeFailure(path, errno);
    Status status = Status::success();
    {
        // An append measures the end under this lock, so it never lands on the record
        // being corrected, nor this write on a record appended meanwhile.
        FileWriteLock lock(fd);
        struct stat info;
        if (::fstat(fd, &info) != 0)
            status = writeFailure(path, errno);
        else if (number < 1 || number > info.st_size / AddressRecord::kSize)
            status = Status::failure(
                QStringLiteral("アドレス帳に %1 番目の登録はありません。").arg(number));
        else
            status = writeAt(fd, path, record.data(), AddressRecord::kSize,
                             qint64(number - 1) * AddressRecord::kSize);
        if (status && ::fdatasync(fd) != 0)
            status = writeFailure(path, errno);
    }
    if (::close(fd) != 0 && status)
        status = writeFailure(path, errno);
    return status;
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
