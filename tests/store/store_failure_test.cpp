#include "store/AddressStore.h"
#include "store/MailStore.h"

#include "store_test_support.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <random>

using namespace orv;
using namespace orv::test;

namespace {

constexpr qint64 kSize = MailRecord::kSize;
const QString kStore = QStringLiteral("krvdata2.data");
const QString kTemporary = QStringLiteral("KRVDATA2.TMP");

QString reasonFor(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

::testing::AssertionResult failedWith(const Status &status, const QString &file, int error)
{
    if (status.ok())
        return ::testing::AssertionFailure() << "reported success";
    if (!status.error().contains(file) || !status.error().contains(reasonFor(error)))
        return ::testing::AssertionFailure() << status.error().toStdString();
    return ::testing::AssertionSuccess();
}

// Records 1 .. count, every third one marked.
QByteArray storeWithMarks(int count)
{
    QByteArray bytes;
    for (int number = 1; number <= count; ++number) {
        MailRecord record;
        record.setSubject(QStringLiteral("message %1").arg(number));
        record.setBody(QString(1000, QChar(u'a' + number % 26)));
        record.setInUse(number % 3 == 0 ? 0 : 1);
        bytes += QByteArray(record.data(), kSize);
    }
    return bytes;
}

QByteArray withoutMarks(const QByteArray &store)
{
    QByteArray kept;
    for (qint64 offset = 0; offset + kSize <= store.size(); offset += kSize) {
        if (store[offset + MailRecord::kInUseOffset] != 0)
            kept += store.mid(offset, kSize);
    }
    return kept;
}

TEST(StoreFailures, AMissingDataFolderIsReportedByEveryOperation)
{
    TempProgramFolder folder(false);
    MailStore mails = MailStore::ReceivedStore(folder.appDir());
    AddressStore addresses(folder.appDir());
    MailRecord buffer;
    std::vector<MailHeaderBytes> headers;
    std::vector<AddressRecord> entries;
    const auto ignore = [](int, const MailRecord &) {};
    const QString mailFile = QStringLiteral("krvdata2.data");
    const QString addressFile = QStringLiteral("Krvdata20.data");
    struct Operation {
        const char *name;
        const QString &file;
        std::function<Status()> run;
    };
    const Operation operations[] = {
        {"Append", mailFile, [&] { return mails.Append(buffer); }},
        {"ReadAll", mailFile, [&] { return mails.ReadAll(buffer, ignore); }},
        {"ReadHeaders", mailFile, [&] { return mails.ReadHeaders(headers, buffer); }},
        {"Read", mailFile, [&] { return mails.Read(1, buffer); }},
        {"MarkDeleted", mailFile, [&] { return mails.MarkDeleted(1, buffer); }},
        {"Compact", mailFile, [&] { return mails.Compact(buffer); }},
        {"MarkAllDeletedAndCompact", mailFile,
         [&] { return mails.MarkAllDeletedAndCompact(0, buffer); }},
        {"address Append", addressFile,
         [&] { return addresses.Append(QStringLiteral("a"), QString()); }},
        {"address ReadAll", addressFile, [&] { return addresses.ReadAll(entries); }},
        {"address Compact", addressFile, [&] { return addresses.Compact(); }},
    };
    for (const Operation &operation : operations) {
        SCOPED_TRACE(operation.name);
        EXPECT_TRUE(failedWith(operation.run(), operation.file, ENOENT));
    }
}

TEST(StoreFailures, AFullDiskFailsAppendInsteadOfReportingSuccess)
{
    DataFolder data;
    ASSERT_EQ(::symlink("/dev/full", data.path(kStore).toLocal8Bit().constData()), 0);
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord record;
    int number = 0;

    EXPECT_TRUE(failedWith(store.Append(record, &number), kStore, ENOSPC));
    EXPECT_EQ(number, 0);
}

TEST(StoreFailures, AFullDiskDuringCompactionKeepsTheStore)
{
    DataFolder data;
    const QByteArray content = storeWithMarks(4);
    data.write(kStore, content);
    ASSERT_EQ(::symlink("/dev/full", data.path(kTemporary).toLocal8Bit().constData()), 0);
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord buffer;

    EXPECT_TRUE(failedWith(store.Compact(buffer), kTemporary, ENOSPC));

    EXPECT_EQ(data.read(kStore), content);
    EXPECT_FALSE(QFileInfo(data.path(kTemporary)).isSymLink());
}

// Lets the process grow files only up to `bytes`, as a disk that fills up midway would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : m_oldHandler(::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limited{bytes, m_old.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    sighandler_t m_oldHandler;
    rlimit m_old{};
};

TEST(StoreFailures, AnAppendCutShortLeavesNoHalfRecordBehind)
{
    DataFolder data;
    const QByteArray content = storeWithMarks(2);
    data.write(kStore, content);
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord record;
    Status appended = Status::success();
    {
        FileSizeLimit limit(rlim_t(content.size()) + 20000);
        appended = store.Append(record);
    }
    EXPECT_TRUE(failedWith(appended, kStore, EFBIG));
    EXPECT_EQ(data.read(kStore), content);

    int number = 0;
    ASSERT_TRUE(succeeded(store.Append(record, &number)));
    EXPECT_EQ(number, 3) << "the next message is numbered as if nothing had happened";
}

TEST(StoreFailures, ACompactionCutShortKeepsTheStoreAndLeavesNoTemporaryFile)
{
    DataFolder data;
    const QByteArray content = storeWithMarks(6);
    data.write(kStore, content);
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord buffer;
    Status compacted = Status::success();
    {
        FileSizeLimit limit(rlim_t(2 * kSize));
        compacted = store.Compact(buffer);
    }
    EXPECT_TRUE(failedWith(compacted, kTemporary, EFBIG));
    EXPECT_EQ(data.read(kStore), content);
    EXPECT_FALSE(data.exists(kTemporary));
}

// Runs the test's file operations as an ordinary user, for whom permissions hold.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : m_switched(::geteuid() == 0 && ::seteuid(65534) == 0) {}
    ~AsOrdinaryUser()
    {
        if (m_switched) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

private:
    bool m_switched;
};

class StorePermissions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::chmod(data.folder.path().toLocal8Bit().constData(), 0755), 0);
        data.write(kStore, content);
    }
    void setDataFolderMode(mode_t mode)
    {
        ASSERT_EQ(::chmod(data.path({}).toLocal8Bit().constData(), mode), 0);
    }

    DataFolder data;
    const QByteArray content = storeWithMarks(4);
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord buffer;
};

TEST_F(StorePermissions, AReadOnlyFolderFailsCompactionAndKeepsTheStore)
{
    setDataFolderMode(0555);
    Status compacted = Status::success();
    Status appended = Status::success();
    {
        AsOrdinaryUser user;
        compacted = store.Compact(buffer);
        appended = store.Append(buffer);
    }
    EXPECT_TRUE(failedWith(compacted, kTemporary, EACCES));
    EXPECT_TRUE(failedWith(appended, kStore, EACCES));
    EXPECT_EQ(data.read(kStore), content);
}

TEST_F(StorePermissions, AStoreThatCannotBeReplacedFailsCompactionAndLeavesNoTemporaryFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs a store owned by another user in a sticky folder";
    setDataFolderMode(01777);
    Status compacted = Status::success();
    {
        AsOrdinaryUser user;
        compacted = store.Compact(buffer);
    }
    EXPECT_TRUE(failedWith(compacted, kStore, EPERM));
    EXPECT_EQ(data.read(kStore), content);
    EXPECT_FALSE(data.exists(kTemporary));
}

// A compaction killed at any moment leaves the old store or the new one, never a mixture or
// nothing, and the next compaction completes it.
TEST(StoreCrash, CompactionKilledAtRandomMomentsLeavesTheOldOrTheNewStore)
{
    DataFolder data;
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    const QByteArray before = storeWithMarks(60);
    const QByteArray after = withoutMarks(before);
    MailRecord buffer;

    data.write(kStore, before);
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(succeeded(store.Compact(buffer)));
    const qint64 compactionMicroseconds = std::max<qint64>(timer.nsecsElapsed() / 1000, 100);

    std::mt19937 random(20261209);
    std::uniform_int_distribution<qint64> moment(0, compactionMicroseconds * 5 / 4);
    int killedMidway = 0;
    for (int trial = 0; trial < 60; ++trial) {
        SCOPED_TRACE(trial);
        data.write(kStore, before);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            if (::write(ready[1], "r", 1) != 1)
                ::_exit(2);
            ::_exit(store.Compact(buffer).ok() ? 0 : 1);
        }
        ::close(ready[1]);
        char started;
        ASSERT_EQ(::read(ready[0], &started, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(moment(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFSIGNALED(status)) {
            ++killedMidway;
        } else {
            ASSERT_EQ(WEXITSTATUS(status), 0);
        }

        const QByteArray left = data.read(kStore);
        EXPECT_TRUE(left == before || left == after)
            << "store of " << left.size() << " bytes after the kill";
        ASSERT_TRUE(succeeded(store.Compact(buffer)));
        EXPECT_EQ(data.read(kStore), after);
        EXPECT_FALSE(data.exists(kTemporary));
    }
    EXPECT_GT(killedMidway, 0) << "no kill landed before the compaction ended";
}

} // namespace
