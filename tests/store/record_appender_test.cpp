#include "store/MailStore.h"
#include "store/RecordFileAppender.h"

#include "store_test_support.h"

#include <QFileInfo>

#include <functional>

using namespace orv;
using namespace orv::test;

namespace {

constexpr qint64 kSize = MailRecord::kSize;
const QString kStore = QStringLiteral("krvdata2.data");

MailRecord mail(const QString &subject)
{
    MailRecord record;
    record.setSubject(subject);
    record.setBody(QStringLiteral("本文 ") + subject);
    return record;
}

QStringList subjectsIn(MailStore &store)
{
    QStringList subjects;
    MailRecord buffer;
    EXPECT_TRUE(succeeded(store.ReadAll(
        buffer, [&](int, const MailRecord &record) { subjects << trimBlanks(record.subject()); })));
    return subjects;
}

class RecordAppenderTest : public ::testing::Test {
protected:
    // Appends `subject` through the run-long appender.
    Status append(const QString &subject, int *number = nullptr)
    {
        MailRecord record = mail(subject);
        return appender.append(record.data(), number);
    }
    // Appends `subject` the way every other part of the program does.
    void appendElsewhere(const QString &subject)
    {
        MailRecord record = mail(subject);
        ASSERT_TRUE(succeeded(store.Append(record)));
    }

    DataFolder data;
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    RecordFileAppender appender{store};
};

// The same bytes as a single append writes, after the records already there and after
// those someone else appends in between; a torn tail is cut, at the start and later.
TEST_F(RecordAppenderTest, AppendsWhereASingleAppendWouldAndOverwritesNothing)
{
    appendElsewhere(QStringLiteral("old"));
    data.write(kStore, data.read(kStore) + QByteArray(20000, 'x'));

    int number = 0;
    ASSERT_TRUE(succeeded(append(QStringLiteral("one"), &number)));
    EXPECT_EQ(number, 2);
    appendElsewhere(QStringLiteral("between"));
    ASSERT_TRUE(succeeded(append(QStringLiteral("two"), &number)));
    EXPECT_EQ(number, 4);
    {
        QFile file(data.path(kStore));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(100, 'y'));
    }
    ASSERT_TRUE(succeeded(append(QStringLiteral("three"), &number)));
    EXPECT_EQ(number, 5);
    ASSERT_TRUE(succeeded(appender.sync()));

    EXPECT_EQ(QFileInfo(data.path(kStore)).size(), 5 * kSize);
    EXPECT_EQ(subjectsIn(store),
              (QStringList{QStringLiteral("old"), QStringLiteral("one"), QStringLiteral("between"),
                           QStringLiteral("two"), QStringLiteral("three")}));
    MailRecord expected = mail(QStringLiteral("two"));
    expected.setInUse(1);
    EXPECT_EQ(data.read(kStore).mid(3 * kSize, kSize), QByteArray(expected.data(), kSize));
}

// A record written ahead for a message that never went out is taken back while it is the
// file's last; once anything follows it, it stays and the withdrawal says so.
TEST_F(RecordAppenderTest, WithdrawsItsLastRecordOnlyWhileNothingFollowsIt)
{
    int first = 0;
    int second = 0;
    ASSERT_TRUE(succeeded(append(QStringLiteral("sent"), &first)));
    ASSERT_TRUE(succeeded(append(QStringLiteral("never sent"), &second)));
    ASSERT_TRUE(succeeded(appender.withdraw(second)));
    EXPECT_EQ(subjectsIn(store), QStringList{QStringLiteral("sent")});

    ASSERT_TRUE(succeeded(append(QStringLiteral("ahead"), &second)));
    EXPECT_EQ(second, 2) << "the place is taken again";
    appendElsewhere(QStringLiteral("between"));
    EXPECT_FALSE(appender.withdraw(second).ok());
    EXPECT_EQ(subjectsIn(store), (QStringList{QStringLiteral("sent"), QStringLiteral("ahead"),
                                              QStringLiteral("between")}));
}

TEST_F(RecordAppenderTest, StopsAtTheLastSixteenBitRecordNumber)
{
    data.makeSparse(kStore, (MailStore::kMaxRecords - 1) * kSize);
    int number = 0;
    ASSERT_TRUE(succeeded(append(QStringLiteral("last"), &number)));
    EXPECT_EQ(number, MailStore::kMaxRecords);
    const Status beyond = append(QStringLiteral("one too many"));
    EXPECT_FALSE(beyond.ok());
    EXPECT_TRUE(beyond.error().contains(QStringLiteral("32767"))) << beyond.error().toStdString();
    EXPECT_EQ(QFileInfo(data.path(kStore)).size(), MailStore::kMaxRecords * kSize);
}

// The viewer may delete (and so compact) while a run appends: the appender follows the
// compacted file as long as its own records are in it, and never reports records as kept
// that went away with the old file.
TEST_F(RecordAppenderTest, AReplacedOrRemovedFileIsFollowedOnlyWhenItKeepsTheRecords)
{
    struct Case {
        const char *what;
        std::function<void(MailStore &)> meanwhile;
        bool keeps;
        QStringList subjects; // in the store after the run, when it keeps the records
    };
    const std::vector<Case> cases = {
        {"an older record deleted and compacted",
         [](MailStore &store) {
             MailRecord buffer;
             ASSERT_TRUE(succeeded(store.Read(1, buffer)));
             ASSERT_TRUE(succeeded(store.MarkDeleted(1, buffer)));
             ASSERT_TRUE(succeeded(store.Compact(buffer)));
         },
         true,
         {QStringLiteral("one"), QStringLiteral("two")}},
        {"the appended record deleted and compacted",
         [](MailStore &store) {
             MailRecord buffer;
             ASSERT_TRUE(succeeded(store.Read(2, buffer)));
             ASSERT_TRUE(succeeded(store.MarkDeleted(2, buffer)));
             ASSERT_TRUE(succeeded(store.Compact(buffer)));
         },
         false,
         {}},
        {"the store removed",
         [](MailStore &store) { ASSERT_TRUE(QFile::remove(store.filePath())); },
         false,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DataFolder folder;
        MailStore target = MailStore::ReceivedStore(folder.folder.appDir());
        MailRecord old = mail(QStringLiteral("old"));
        ASSERT_TRUE(succeeded(target.Append(old)));
        RecordFileAppender run(target);
        MailRecord one = mail(QStringLiteral("one"));
        ASSERT_TRUE(succeeded(run.append(one.data())));

        c.meanwhile(target);

        // The sync sees it as surely as the next append does.
        EXPECT_EQ(run.sync().ok(), c.keeps);
        MailRecord two = mail(QStringLiteral("two"));
        const Status next = run.append(two.data());
        EXPECT_EQ(next.ok(), c.keeps);
        if (c.keeps) {
            ASSERT_TRUE(succeeded(run.sync()));
            EXPECT_EQ(subjectsIn(target), c.subjects);
        } else {
            EXPECT_TRUE(next.error().contains(QStringLiteral("krvdata2.data")))
                << next.error().toStdString();
        }
    }
}

} // namespace
