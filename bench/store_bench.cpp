// End-to-end timings of the mail history store at its limit of 32,767 records (1.06 GB).
// Prints one name=value line per figure; each figure is the median of several runs.
//
//   store_bench [folder]     (default: the system's temporary folder)

#include "store/MailStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace orv;

namespace {

constexpr int kRecords = MailStore::kMaxRecords;
constexpr qint64 kSize = MailRecord::kSize;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double millisecondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void check(const Status &status)
{
    if (!status) {
        std::fprintf(stderr, "%s\n", status.error().toUtf8().constData());
        std::exit(1);
    }
}

void require(bool ok, const char *what)
{
    if (!ok) {
        std::perror(what);
        std::exit(1);
    }
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    require(statm.open(QIODevice::ReadOnly), "/proc/self/statm");
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// Writes `count` distinct records in large blocks and syncs them, as a full store would be
// after months of receiving.
void writeStore(const QString &path, int count)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    require(fd >= 0, "create store");
    constexpr int kBlock = 64;
    std::vector<char> block(kBlock * kSize);
    MailRecord record;
    record.setDate(QStringLiteral("2026/12/09  9:05:07"));
    record.setAddress(QStringLiteral("差出人 <sender@example.jp>"));
    record.setBody(QString(8000, u'本'));
    for (int first = 1; first <= count; first += kBlock) {
        const int inBlock = std::min(kBlock, count - first + 1);
        for (int i = 0; i < inBlock; ++i) {
            record.setSubject(QStringLiteral("件名 %1").arg(first + i));
            std::copy_n(record.data(), kSize, block.data() + i * kSize);
        }
        const ssize_t size = inBlock * kSize;
        require(::write(fd, block.data(), size_t(size)) == size, "write store");
    }
    require(::fsync(fd) == 0 && ::close(fd) == 0, "sync store");
}

// The least any list can cost: one pread of the header fields per record.
double listFloorMs(const QString &path)
{
    return millisecondsOf([&] {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        require(fd >= 0, "open store");
        struct stat info;
        require(::fstat(fd, &info) == 0, "stat store");
        char header[MailRecord::kHeaderSize];
        for (qint64 offset = 0; offset + kSize <= info.st_size; offset += kSize)
            require(::pread(fd, header, sizeof header, offset) == sizeof header, "pread");
        ::close(fd);
    });
}

double copyAndSyncMs(const QString &from, const QString &to)
{
    const QByteArray command = "cp '" + QFile::encodeName(from) + "' '" + QFile::encodeName(to) +
                               "' && sync '" + QFile::encodeName(to) + "'";
    const double ms = millisecondsOf([&] { require(std::system(command.constData()) == 0, "cp"); });
    QFile::remove(to);
    return ms;
}

void print(const char *name, double value)
{
    std::printf("%s=%.3f\n", name, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir folder(base + QStringLiteral("/store_bench-XXXXXX"));
    require(folder.isValid(), "temporary folder");
    require(QDir(folder.path()).mkdir(QStringLiteral("★MAilData")), "data folder");
    MailStore store = MailStore::ReceivedStore(AppDir(folder.path()));
    const QString path = store.filePath();
    MailRecord buffer;
    writeStore(path, kRecords);

    std::vector<double> list, floor;
    qint64 rssDelta = 0;
    for (int run = 0; run < 7; ++run) {
        std::vector<MailHeaderBytes> headers;
        const qint64 before = residentBytes();
        list.push_back(millisecondsOf([&] { check(store.ReadHeaders(headers, buffer)); }));
        rssDelta = std::max(rssDelta, residentBytes() - before);
        require(headers.size() == size_t(kRecords), "list size");
        floor.push_back(listFloorMs(path));
    }
    print("list_ms", median(list));
    print("list_floor_ms", median(floor));
    print("list_vs_floor", median(list) / median(floor));
    print("list_rss_delta_mb", double(rssDelta) / (1 << 20));

    std::vector<double> readOne;
    for (int run = 0; run < 1001; ++run)
        readOne.push_back(millisecondsOf([&] { check(store.Read(kRecords / 2, buffer)); }) * 1000);
    print("read_one_us", median(readOne));

    std::vector<double> deleteOne, deleteOneMs, copyMs;
    for (int run = 0; run < 5; ++run) {
        check(store.Read(kRecords / 2, buffer));
        const double compactMs = millisecondsOf([&] {
            check(store.MarkDeleted(kRecords / 2, buffer));
            check(store.Compact(buffer));
        });
        const double copyAndSync = copyAndSyncMs(path, path + QStringLiteral(".copy"));
        deleteOne.push_back(compactMs / copyAndSync);
        deleteOneMs.push_back(compactMs);
        copyMs.push_back(copyAndSync);
        check(store.Append(buffer));
    }
    print("delete_one_ms", median(deleteOneMs));
    print("cp_sync_ms", median(copyMs));
    print("delete_one_ratio", median(deleteOne));

    std::vector<double> append;
    for (int run = 0; run < 21; ++run) {
        require(::truncate(QFile::encodeName(path).constData(), (kRecords - 1) * kSize) == 0,
                "truncate");
        append.push_back(millisecondsOf([&] { check(store.Append(buffer)); }) * 1000);
    }
    print("append_us", median(append));

    std::vector<double> deleteAll;
    for (int run = 0; run < 3; ++run) {
        if (run > 0)
            writeStore(path, kRecords);
        deleteAll.push_back(millisecondsOf(
            [&] { check(store.MarkAllDeletedAndCompact(store.RecordCount(), buffer)); }));
        require(QFile(path).size() == 0, "empty store after delete all");
    }
    print("delete_all_ms", median(deleteAll));
    return 0;
}
