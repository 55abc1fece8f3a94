#include "store/RecordFileAppender.h"

#include "store/FileWrites.h"
#include "store/MailRecord.h"
#include "store/MailStore.h"

#include <QFile>
#include <QHashFunctions>
#include <QSet>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>
#include <utility>

namespace orv {

namespace {

// A record appended by a run is looked for again only when its file was replaced; a fast
// 128-bit digest tells it apart from every other record as well as a cryptographic one.
QByteArray recordDigest(QByteArrayView record)
{
    const std::array<size_t, 2> halves = {qHashBits(record.data(), size_t(record.size()), 1),
                                          qHashBits(record.data(), size_t(record.size()), 2)};
    return QByteArray(reinterpret_cast<const char *>(halves.data()), sizeof halves);
}

} // namespace

RecordFileAppender::RecordFileAppender(QString path, RecordLayout layout, int maxRecords)
    : m_path(std::move(path)), m_layout(layout), m_maxRecords(maxRecords),
      // A megabyte at a time: a call for every record was a measurable part of a bulk
      // send's time.
      m_writeback(qint64(1) << 20)
{
}

RecordFileAppender::RecordFileAppender(const MailStore &store)
    : RecordFileAppender(
          store.filePath(),
          RecordLayout{MailRecord::kSize, MailRecord::kCrLfOffset, MailRecord::kInUseOffset},
          MailStore::kMaxRecords)
{
}

RecordFileAppender::~RecordFileAppender()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status RecordFileAppender::open()
{
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return writeFailure(m_path, errno);
    return Status::success();
}

Status RecordFileAppender::lost()
{
    m_lost = true;
    return fileFailure(m_path, QStringLiteral("保存"),
                       QStringLiteral("受信中にファイルが削除されたか置き換えられました"));
}

// The length of the file at its path. A file that was removed or replaced by another one
// has no name left; the file now at the path is taken instead, if it holds what was
// appended to the old one.
Status RecordFileAppender::measure(qint64 &length)
{
    if (m_lost)
        return lost();
    if (m_fd < 0) {
        if (Status opened = open(); !opened)
            return opened;
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return writeFailure(m_path, errno);
    if (info.st_nlink == 0) {
        if (Status followed = followReplacement(); !followed)
            return followed;
        if (::fstat(m_fd, &info) != 0)
            return writeFailure(m_path, errno);
    }
    length = info.st_size;
    return Status::success();
}

// A compaction keeps the records in use byte for byte and in order, so the records this
// appender wrote are among the last whole records of the new file unless someone removed
// one of them; then, or when the file is gone, they count as lost.
Status RecordFileAppender::followReplacement()
{
    ::close(std::exchange(m_fd, -1));
    m_writeback.forgetFrom(0);
    if (Status opened = open(); !opened)
        return opened;
    if (m_appended.isEmpty())
        return Status::success();
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return writeFailure(m_path, errno);
    const qint64 whole = info.st_size / m_layout.size;
    const int reader = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return lost();
    QSet<QByteArray> present;
    QByteArray record(m_layout.size, Qt::Uninitialized);
    for (qint64 number = qMax<qint64>(whole - m_appended.size(), 0) + 1; number <= whole;
         ++number) {
        if (::pread(reader, record.data(), size_t(m_layout.size), (number - 1) * m_layout.size) !=
            m_layout.size)
            break;
        present.insert(recordDigest(record));
    }
    ::close(reader);
    for (const QByteArray &digest : std::as_const(m_appended)) {
        if (!present.contains(digest))
            return lost();
    }
    // Every one of them has its place in the file at the path: that file carries them now.
    return Status::success();
}

// The length measured with the file's write lock held, so that no other process appends
// between the measuring and the write.
Status RecordFileAppender::measureLocked(std::optional<FileWriteLock> &lock, qint64 &length)
{
    for (;;) {
        if (Status measured = measure(length); !measured)
            return measured;
        lock.emplace(m_fd);
        struct stat info;
        if (::fstat(m_fd, &info) != 0)
            return writeFailure(m_path, errno);
        if (info.st_nlink > 0) {
            length = info.st_size;
            return Status::success();
        }
        lock.reset();
    }
}

Status RecordFileAppender::append(char *record, int *number)
{
    std::optional<FileWriteLock> lock;
    qint64 length = 0;
    if (Status measured = measureLocked(lock, length); !measured)
        return measured;
    const qint64 next = length / m_layout.size + 1;
    if (next > m_maxRecords)
        return fileFailure(m_path, QStringLiteral("追記"),
                           QStringLiteral("記録できるのは %1 件までです").arg(m_maxRecords));
    // A length that is no whole number of records ends in a write that a crash tore; the
    // message it held was never confirmed, so the torn bytes go rather than becoming a row.
    const qint64 offset = (next - 1) * m_layout.size;
    if (offset != length && ::ftruncate(m_fd, offset) != 0)
        return writeFailure(m_path, errno);
    record[m_layout.crLfOffset] = '\r';
    record[m_layout.crLfOffset + 1] = '\n';
    qToLittleEndian(qint16(1), record + m_layout.inUseOffset);

    m_appended.append(recordDigest(QByteArrayView(record, m_layout.size)));
    if (Status written = writeAt(m_fd, m_path, record, m_layout.size, offset); !written) {
        // A half-written record would be taken for a torn one by the next append anyway;
        // cutting it now keeps the file whole for readers in between.
        if (::ftruncate(m_fd, offset) == 0)
            ::fdatasync(m_fd);
        m_appended.removeLast();
        return written;
    }
    // The disk starts on the records while the run goes on with the network, so the sync
    // before QUIT finds little left to write (a run of 1,000 messages is 32 MB).
    m_writeback.written(m_fd, offset, offset + m_layout.size);
    if (number)
        *number = static_cast<int>(next);
    return Status::success();
}

Status RecordFileAppender::withdraw(int number)
{
    std::optional<FileWriteLock> lock;
    qint64 length = 0;
    if (Status measured = measureLocked(lock, length); !measured)
        return measured;
    const qint64 offset = qint64(number - 1) * m_layout.size;
    if (m_appended.isEmpty() || length != offset + m_layout.size)
        return fileFailure(m_path, QStringLiteral("取り消し"),
                           QStringLiteral("ファイルが途中で書き換えられました"));
    if (::ftruncate(m_fd, offset) != 0)
        return writeFailure(m_path, errno);
    m_appended.removeLast();
    m_writeback.forgetFrom(offset);
    return Status::success();
}

// The folder too: a store the run created is not found after a crash unless its name is
// on disk. A file replaced while its data went to the disk is looked at again: what
// matters is the file at the path.
Status RecordFileAppender::sync()
{
    for (;;) {
        qint64 length = 0;
        if (Status measured = measure(length); !measured)
            return measured;
        if (::fdatasync(m_fd) != 0)
            return writeFailure(m_path, errno);
        m_writeback.forgetFrom(0);
        struct stat info;
        if (::fstat(m_fd, &info) != 0)
            return writeFailure(m_path, errno);
        if (info.st_nlink > 0)
            return syncFolderOf(m_path);
    }
}

} // namespace orv
