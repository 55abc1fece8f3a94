#include "store/RecordFile.h"

#include "store/FileWrites.h"

#include <QFile>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace orv {

namespace {

// Owns one file descriptor; close() reports what the final close says, because a write
// error can surface only there.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int close() { return ::close(std::exchange(m_fd, -1)); }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

Fd openFile(const QString &path, int flags)
{
    return Fd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0666));
}

// Opens `path` for a write at its end and holds its write lock. A writer that waited for
// the lock while a compaction renamed a new file over this one opens that one instead.
Status openLockedForAppend(const QString &path, Fd &file, std::optional<FileWriteLock> &lock,
                           qint64 &length)
{
    for (;;) {
        lock.reset();
        file.reset(
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
        if (!file.isOpen())
            return writeFailure(path, errno);
        lock.emplace(file.get());
        struct stat info;
        if (::fstat(file.get(), &info) != 0)
            return writeFailure(path, errno);
        if (info.st_nlink > 0) {
            length = info.st_size;
            return Status::success();
        }
    }
}

Status readFailure(const QString &path, int error)
{
    return fileFailure(path, QStringLiteral("読み込み"), systemReason(error));
}

Status endedEarly(const QString &path)
{
    return fileFailure(path, QStringLiteral("読み込み"),
                       QStringLiteral("ファイルが途中で終わっています"));
}

Status noSuchRecord(const QString &path, qint64 number)
{
    return fileFailure(path, QStringLiteral("読み込み"),
                       QStringLiteral("%1 件目の記録はありません").arg(number));
}

Status fileLength(int fd, const QString &path, qint64 &length)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return readFailure(path, errno);
    length = info.st_size;
    return Status::success();
}

enum class Access { Read, Write };

// Checks the file just opened (errno still tells why an open failed) and measures it.
Status measureOpened(const Fd &file, const QString &path, Access access, qint64 &length)
{
    if (!file.isOpen())
        return access == Access::Read ? readFailure(path, errno) : writeFailure(path, errno);
    return fileLength(file.get(), path, length);
}

Status readAt(int fd, const QString &path, char *data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, static_cast<size_t>(size), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return readFailure(path, errno);
        if (got == 0)
            return endedEarly(path);
        data += got;
        size -= got;
        offset += got;
    }
    return Status::success();
}

// copy_file_range refuses some pairs of files (other file systems on old kernels, devices);
// those are copied through memory instead.
bool kernelCannotCopy(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

struct FileRange {
    int from;
    int to;
    const QString &fromPath;
    const QString &toPath;
};

Status copyThroughMemory(const FileRange &files, qint64 fromOffset, qint64 toOffset, qint64 length)
{
    std::vector<char> chunk(static_cast<size_t>(std::min<qint64>(length, 1 << 20)));
    while (length > 0) {
        const qint64 size = std::min<qint64>(length, static_cast<qint64>(chunk.size()));
        if (Status read = readAt(files.from, files.fromPath, chunk.data(), size, fromOffset); !read)
            return read;
        if (Status written = writeAt(files.to, files.toPath, chunk.data(), size, toOffset);
            !written)
            return written;
        fromOffset += size;
        toOffset += size;
        length -= size;
    }
    return Status::success();
}

// The copy is sent to the disk piece by piece while copying goes on, so that the final sync
// finds little left to write.
constexpr qint64 kWritebackPiece = qint64(64) << 20;

// The kernel copies the bytes from file to file without passing them through this process.
Status copyRange(const FileRange &files, qint64 fromOffset, qint64 toOffset, qint64 length)
{
    while (length > 0) {
        loff_t in = fromOffset;
        loff_t out = toOffset;
        const auto piece = static_cast<size_t>(std::min(length, kWritebackPiece));
        const ssize_t copied = ::copy_file_range(files.from, &in, files.to, &out, piece, 0);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0 && kernelCannotCopy(errno))
            return copyThroughMemory(files, fromOffset, toOffset, length);
        if (copied < 0)
            return writeFailure(files.toPath, errno);
        if (copied == 0)
            return endedEarly(files.fromPath);
        ::sync_file_range(files.to, toOffset, copied, SYNC_FILE_RANGE_WRITE);
        fromOffset += copied;
        toOffset += copied;
        length -= copied;
    }
    return Status::success();
}

void stampInUse(char *record, const RecordLayout &layout, qint16 value)
{
    qToLittleEndian(value, record + layout.inUseOffset);
}

// Letting go of a replaced file costs the kernel about half a second per gigabyte (dropping
// its cached pages, freeing its blocks). The new content is complete and synced by then, so
// the last reference to the old file is dropped on a thread of its own instead of keeping
// the user waiting.
void releaseInBackground(Fd &file)
{
    const int fd = file.release();
    try {
        std::thread([fd] { ::close(fd); }).detach();
    } catch (const std::system_error &) {
        ::close(fd);
    }
}

} // namespace

qint64 roundedRecordCount(qint64 length, qsizetype recordSize)
{
    const qint64 whole = length / recordSize;
    const qint64 twiceRest = (length % recordSize) * 2;
    const bool roundUp = twiceRest > recordSize || (twiceRest == recordSize && whole % 2 == 1);
    return roundUp ? whole + 1 : whole;
}

RecordFile::RecordFile(QString path, QString temporaryPath, RecordLayout layout, int maxRecords)
    : m_path(std::move(path)), m_temporaryPath(std::move(temporaryPath)), m_layout(layout),
      m_maxRecords(maxRecords)
{
}

qint64 RecordFile::offsetOf(qint64 number) const
{
    return (number - 1) * m_layout.size;
}

qint64 RecordFile::lengthOnDisk() const
{
    struct stat info;
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0)
        return 0;
    return info.st_size;
}

int RecordFile::recordCount() const
{
    return static_cast<int>(roundedRecordCount(lengthOnDisk(), m_layout.size));
}

Status RecordFile::append(char *record, int *number, Durability durability) const
{
    Fd file(-1);
    std::optional<FileWriteLock> lock;
    qint64 length = 0;
    if (Status opened = openLockedForAppend(m_path, file, lock, length); !opened)
        return opened;
    const qint64 next = length / m_layout.size + 1;
    if (next > m_maxRecords)
        return fileFailure(m_path, QStringLiteral("追記"),
                           QStringLiteral("記録できるのは %1 件までです").arg(m_maxRecords));
    // A length that is no whole number of records ends in a write that a crash tore; the
    // message it held was never confirmed, so the torn bytes go rather than becoming a row.
    if (Status cut = cutTornTail(file.get(), length); !cut)
        return cut;
    record[m_layout.crLfOffset] = '\r';
    record[m_layout.crLfOffset + 1] = '\n';
    stampInUse(record, m_layout, 1);

    const qint64 offset = offsetOf(next);
    Status written = writeAt(file.get(), m_path, record, m_layout.size, offset);
    if (written && durability == Durability::Synced && ::fdatasync(file.get()) != 0)
        written = writeFailure(m_path, errno);
    if (!written) {
        // A half-written record would be taken for a torn one by the next append anyway;
        // cutting it now keeps the file whole for readers in between.
        if (::ftruncate(file.get(), offset) == 0)
            ::fdatasync(file.get());
        return written;
    }
    lock.reset();
    if (file.close() != 0)
        return writeFailure(m_path, errno);
    if (number)
        *number = static_cast<int>(next);
    return Status::success();
}

Status RecordFile::cutTornTail(int fd, qint64 length) const
{
    const qint64 whole = length - length % m_layout.size;
    if (whole == length)
        return Status::success();
    if (::ftruncate(fd, whole) != 0)
        return writeFailure(m_path, errno);
    return Status::success();
}

// The folder too: a store the run created is not found after a crash unless its name is
// on disk. A store that is gone is a failure, never created anew: an empty file synced in
// its place would pass for the records that went with it.
Status RecordFile::sync() const
{
    Fd file = openFile(m_path, O_WRONLY);
    if (!file.isOpen() || ::fdatasync(file.get()) != 0)
        return writeFailure(m_path, errno);
    if (file.close() != 0)
        return writeFailure(m_path, errno);
    return syncFolderOf(m_path);
}

Status RecordFile::read(int number, char *record) const
{
    Fd file = openFile(m_path, O_RDONLY | O_CREAT);
    qint64 length = 0;
    if (Status opened = measureOpened(file, m_path, Access::Read, length); !opened)
        return opened;
    if (number < 1 || number > length / m_layout.size)
        return noSuchRecord(m_path, number);
    return readAt(file.get(), m_path, record, m_layout.size, offsetOf(number));
}

Status RecordFile::markDeleted(int number, char *record) const
{
    Fd file = openFile(m_path, O_WRONLY | O_CREAT);
    qint64 length = 0;
    if (Status opened = measureOpened(file, m_path, Access::Write, length); !opened)
        return opened;
    if (number < 1 || number > roundedRecordCount(length, m_layout.size))
        return noSuchRecord(m_path, number);
    stampInUse(record, m_layout, 0);
    if (Status written = writeAt(file.get(), m_path, record, m_layout.size, offsetOf(number));
        !written)
        return written;
    if (file.close() != 0)
        return writeFailure(m_path, errno);
    return Status::success();
}

Status RecordFile::readEach(char *destination, qsizetype bytes,
                            const std::function<void(int)> &each) const
{
    Fd file = openFile(m_path, O_RDONLY | O_CREAT);
    qint64 length = 0;
    if (Status opened = measureOpened(file, m_path, Access::Read, length); !opened)
        return opened;
    const qint64 whole = length / m_layout.size;
    for (qint64 number = 1; number <= whole; ++number) {
        if (Status read = readAt(file.get(), m_path, destination, bytes, offsetOf(number)); !read)
            return read;
        each(static_cast<int>(number));
    }
    return Status::success();
}

Status RecordFile::readBlocks(char *destination, int recordsPerBlock,
                              const std::function<bool(int, int)> &each,
                              const std::function<char *()> &nextDestination) const
{
    Fd file = openFile(m_path, O_RDONLY | O_CREAT);
    qint64 length = 0;
    if (Status opened = measureOpened(file, m_path, Access::Read, length); !opened)
        return opened;
    const qint64 whole = length / m_layout.size;
    for (qint64 first = 1; first <= whole; first += recordsPerBlock) {
        const qint64 count = qMin<qint64>(recordsPerBlock, whole - first + 1);
        if (nextDestination)
            destination = nextDestination();
        if (Status read =
                readAt(file.get(), m_path, destination, count * m_layout.size, offsetOf(first));
            !read)
            return read;
        if (!each(static_cast<int>(first), static_cast<int>(count)))
            break;
    }
    return Status::success();
}

Status RecordFile::compact(int markedThrough, char *lastRecord) const
{
    Fd store = openFile(m_path, O_RDONLY | O_CREAT);
    qint64 length = 0;
    if (Status opened = measureOpened(store, m_path, Access::Read, length); !opened)
        return opened;
    const qint64 whole = length / m_layout.size;

    std::vector<Run> survivors;
    if (Status found = findSurvivors(store.get(), whole, markedThrough, survivors); !found)
        return found;
    if (lastRecord && whole > markedThrough) {
        if (Status read = readAt(store.get(), m_path, lastRecord, m_layout.size, offsetOf(whole));
            !read)
            return read;
    }
    qint64 surviving = 0;
    for (const Run &run : survivors)
        surviving += run.count;
    if (surviving == whole && length == whole * m_layout.size)
        return removeStaleTemporary();
    {
        // An append from elsewhere waits, then finds the new file.
        const FileWriteLock lock(store.get());
        if (Status replaced = replaceWithSurvivors(store.get(), survivors); !replaced)
            return replaced;
    }
    releaseInBackground(store);
    return Status::success();
}

Status RecordFile::findSurvivors(int store, qint64 whole, qint64 markedThrough,
                                 std::vector<Run> &survivors) const
{
    for (qint64 number = std::max<qint64>(markedThrough, 0) + 1; number <= whole; ++number) {
        char inUse[2];
        if (Status read = readAt(store, m_path, inUse, 2, offsetOf(number) + m_layout.inUseOffset);
            !read)
            return read;
        if (qFromLittleEndian<qint16>(inUse) == 0)
            continue;
        if (!survivors.empty() && survivors.back().first + survivors.back().count == number)
            ++survivors.back().count;
        else
            survivors.push_back({number, 1});
    }
    return Status::success();
}

Status RecordFile::replaceWithSurvivors(int store, const std::vector<Run> &survivors) const
{
    const QByteArray temporaryName = QFile::encodeName(m_temporaryPath);
    if (Status written = writeTemporary(store, survivors); !written) {
        ::unlink(temporaryName.constData());
        return written;
    }
    if (::rename(temporaryName.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        return fileFailure(m_path, QStringLiteral("更新"), systemReason(error));
    }
    return syncFolderOf(m_path);
}

Status RecordFile::writeTemporary(int store, const std::vector<Run> &survivors) const
{
    Fd temporary = openFile(m_temporaryPath, O_WRONLY | O_CREAT | O_TRUNC);
    if (!temporary.isOpen())
        return writeFailure(m_temporaryPath, errno);
    const FileRange files{store, temporary.get(), m_path, m_temporaryPath};
    qint64 written = 0;
    for (const Run &run : survivors) {
        const qint64 bytes = run.count * m_layout.size;
        if (Status copied = copyRange(files, offsetOf(run.first), written, bytes); !copied)
            return copied;
        written += bytes;
    }
    if (::fsync(temporary.get()) != 0 || temporary.close() != 0)
        return writeFailure(m_temporaryPath, errno);
    return Status::success();
}

Status RecordFile::removeStaleTemporary() const
{
    if (::unlink(QFile::encodeName(m_temporaryPath).constData()) == 0 || errno == ENOENT)
        return Status::success();
    const int error = errno;
    return fileFailure(m_temporaryPath, QStringLiteral("削除"), systemReason(error));
}

} // namespace orv
