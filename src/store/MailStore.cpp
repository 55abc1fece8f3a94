#include "store/MailStore.h"

#include "core/Cp932.h"

namespace orv {

namespace {

constexpr RecordLayout kMailLayout{MailRecord::kSize, MailRecord::kCrLfOffset,
                                   MailRecord::kInUseOffset};

QByteArray headerField(const char *header, qsizetype offset, qsizetype width)
{
    return QByteArray(header + offset, width);
}

} // namespace

MailStore::MailStore(AppDir appDir, QString storePath, QString temporaryPath)
    : m_appDir(std::move(appDir)), m_storePath(std::move(storePath)),
      m_temporaryPath(std::move(temporaryPath))
{
}

MailStore MailStore::ReceivedStore(const AppDir &appDir)
{
    return MailStore(appDir, QStringLiteral("\\★MAilData\\krvdata2.data"),
                     QStringLiteral("\\★MAilData\\KRVDATA2.TMP"));
}

MailStore MailStore::SentStore(const AppDir &appDir)
{
    return MailStore(appDir, QStringLiteral("\\★MAilData\\krvdata5.data"),
                     QStringLiteral("\\★MAilData\\KRVDATA5.TMP"));
}

QString MailStore::filePath() const
{
    return m_appDir.resolve(m_storePath);
}

QString MailStore::temporaryFilePath() const
{
    return m_appDir.resolve(m_temporaryPath);
}

RecordFile MailStore::recordFile() const
{
    return RecordFile(filePath(), temporaryFilePath(), kMailLayout, kMaxRecords);
}

Status MailStore::Append(MailRecord &record, int *number, Durability durability)
{
    return recordFile().append(record.data(), number, durability);
}

Status MailStore::Sync()
{
    return recordFile().sync();
}

Status MailStore::ReadAll(MailRecord &buffer,
                          const std::function<void(int number, const MailRecord &)> &each)
{
    return recordFile().readEach(buffer.data(), MailRecord::kSize,
                                 [&](int number) { each(number, buffer); });
}

Status MailStore::ReadBlocks(const std::function<bool(int, const char *, int)> &each)
{
    // A block of about a megabyte keeps the system calls few and the block in the cache
    // while it is looked at.
    constexpr int kRecordsPerBlock = 32;
    const std::size_t blockBytes = std::size_t(kRecordsPerBlock) * MailRecord::kSize;
    // Two blocks, taken in turn.
    std::vector<char> blocks(blockBytes * 2);
    int turn = 0;
    bool stopped = false;
    int next = 1;
    const Status read = recordFile().readBlocks(
        blocks.data(), kRecordsPerBlock,
        [&](int first, int count) {
            const char *block = blocks.data() + blockBytes * std::size_t(turn);
            turn = 1 - turn;
            next = first + count;
            stopped = !each(first, block, count);
            return !stopped;
        },
        [&] { return blocks.data() + blockBytes * std::size_t(turn); });
    if (!stopped)
        each(next, nullptr, 0);
    return read;
}

Status MailStore::ReadHeaders(std::vector<MailHeaderBytes> &headers, MailRecord &buffer)
{
    const RecordFile file = recordFile();
    headers.clear();
    headers.reserve(static_cast<size_t>(file.recordCount()));
    char header[MailRecord::kHeaderSize];
    const Status status = file.readEach(header, MailRecord::kHeaderSize, [&](int) {
        headers.push_back(
            {headerField(header, MailRecord::kSubjectOffset, MailRecord::kSubjectWidth),
             headerField(header, MailRecord::kAddressOffset, MailRecord::kAddressWidth),
             headerField(header, MailRecord::kDateOffset, MailRecord::kDateWidth)});
    });
    if (!status || headers.empty())
        return status;
    return file.read(static_cast<int>(headers.size()), buffer.data());
}

Status MailStore::Read(int number, MailRecord &buffer)
{
    return recordFile().read(number, buffer.data());
}

Status MailStore::MarkDeleted(int number, MailRecord &buffer)
{
    return recordFile().markDeleted(number, buffer.data());
}

Status MailStore::MarkAllDeletedAndCompact(int count, MailRecord &buffer)
{
    buffer.setInUse(0);
    return recordFile().compact(count, buffer.data());
}

Status MailStore::Compact(MailRecord &buffer)
{
    return recordFile().compact(0, buffer.data());
}

int MailStore::RecordCount() const
{
    return recordFile().recordCount();
}

QString listCell(const QByteArray &fieldBytes)
{
    return cutAtNul(cp932::decode(fieldBytes));
}

QString displayField(const QString &fieldText)
{
    return trimBlanks(fieldText);
}

} // namespace orv
