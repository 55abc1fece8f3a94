#include "store/MailStore.h"

#include "core/Cp932.h"
#include "store_test_support.h"

#include <QFileInfo>

#include <utility>

using namespace orv;
using namespace orv::test;

namespace {

constexpr qint64 kSize = MailRecord::kSize;
const QString kStore = QStringLiteral("krvdata2.data");
const QString kTemporary = QStringLiteral("KRVDATA2.TMP");

MailRecord mail(const QString &subject, qint16 inUse = 1)
{
    MailRecord record;
    record.setSubject(subject);
    record.setDate(QStringLiteral("2026/12/09  9:05:07"));
    record.setAddress(QStringLiteral("taro@example.jp"));
    record.setBody(QStringLiteral("本文\r\n") + subject);
    record.setInUse(inUse);
    return record;
}

QByteArray raw(const MailRecord &record)
{
    return QByteArray(record.data(), kSize);
}

QByteArray recordsOf(const std::vector<MailRecord> &records)
{
    QByteArray bytes;
    for (const MailRecord &record : records)
        bytes += raw(record);
    return bytes;
}

class MailStoreTest : public ::testing::Test {
protected:
    qint64 storeLength() const { return QFileInfo(data.path(kStore)).size(); }

    DataFolder data;
    MailStore store = MailStore::ReceivedStore(data.folder.appDir());
    MailRecord buffer;
};

TEST_F(MailStoreTest, AppendToAnAbsentStoreWritesRecordOneByteForByte)
{
    MailRecord record;
    record.setSubject(QStringLiteral("Hello"));
    record.setDate(QStringLiteral("2026/12/09"));
    record.setAddress(QStringLiteral("a@b.jp"));
    record.setBody(QStringLiteral("line 1\r\nline 2"));
    record.setInUse(0);
    int number = 0;

    ASSERT_TRUE(succeeded(store.Append(record, &number)));

    EXPECT_EQ(number, 1);
    const QByteArray expected = padded("Hello", 100) + padded("2026/12/09", 90) +
                                padded("a@b.jp", 90) + padded("line 1\r\nline 2", 32000) +
                                QByteArray("\r\n\x01\x00", 4);
    EXPECT_EQ(data.read(kStore), expected);
    EXPECT_EQ(record.inUse(), 1) << "the buffer holds the record as written";
}

// The count rounds the length half to even; an append cuts a torn record at the end (what a
// crash in the middle of an append leaves) and writes after the last whole record, so the
// torn bytes never become a row of their own.
TEST_F(MailStoreTest, CountsRoundTheLengthAndAppendsCutATornRecord)
{
    struct Case {
        const char *name;
        qint64 length;
        int count;
        int next;
    };
    const Case cases[] = {
        {"empty", 0, 0, 1},
        {"three whole records", 3 * kSize, 3, 4},
        {"a short torn record", 3 * kSize + 100, 3, 4},
        {"two records and ten bytes", 2 * kSize + 10, 2, 3},
        {"a torn record past the half counts but is cut", 2 * kSize + 20000, 3, 3},
        {"half a record rounds down to even", kSize / 2, 0, 1},
        {"one and a half records round up to even", 3 * kSize / 2, 2, 2},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        data.write(kStore, bytesOf('x', row.length));
        EXPECT_EQ(store.RecordCount(), row.count);

        MailRecord record = mail(QStringLiteral("new"));
        int number = 0;
        ASSERT_TRUE(succeeded(store.Append(record, &number)));
        EXPECT_EQ(number, row.next);
        const QByteArray after = data.read(kStore);
        EXPECT_EQ(after.size(), row.next * kSize);
        EXPECT_EQ(after.mid((row.next - 1) * kSize), raw(record));
        EXPECT_EQ(after.left((row.next - 1) * kSize), bytesOf('x', (row.next - 1) * kSize));
    }
}

TEST_F(MailStoreTest, ReadAllListsEveryWholeRecordAndIgnoresAPartialOne)
{
    const std::vector<MailRecord> records{mail(QStringLiteral("one")),
                                          mail(QStringLiteral("two"), 0)};
    data.write(kStore, recordsOf(records) + bytesOf('z', 10));

    std::vector<std::pair<int, QByteArray>> seen;
    ASSERT_TRUE(succeeded(store.ReadAll(buffer, [&](int number, const MailRecord &record) {
        seen.emplace_back(number, raw(record));
    })));

    const std::vector<std::pair<int, QByteArray>> expected{{1, raw(records[0])},
                                                           {2, raw(records[1])}};
    EXPECT_EQ(seen, expected) << "marked records are listed like the others";
    EXPECT_EQ(buffer, records[1]);
}

TEST_F(MailStoreTest, ReadHeadersGivesTheListFieldsAndLeavesTheLastRecordInTheBuffer)
{
    const std::vector<MailRecord> records{mail(QStringLiteral("one")), mail(QStringLiteral("two"))};
    data.write(kStore, recordsOf(records) + bytesOf('z', 20000));

    std::vector<MailHeaderBytes> headers;
    ASSERT_TRUE(succeeded(store.ReadHeaders(headers, buffer)));

    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers[1].subject, padded("two", 100));
    EXPECT_EQ(headers[1].date, padded("2026/12/09  9:05:07", 90));
    EXPECT_EQ(headers[1].address, padded("taro@example.jp", 90));
    EXPECT_EQ(buffer, records[1]);
}

TEST_F(MailStoreTest, ReadingAnAbsentStoreCreatesItEmpty)
{
    const MailRecord before = mail(QStringLiteral("kept"));
    buffer = before;
    std::vector<MailHeaderBytes> headers;

    ASSERT_TRUE(succeeded(store.ReadHeaders(headers, buffer)));

    EXPECT_TRUE(headers.empty());
    EXPECT_TRUE(data.exists(kStore));
    EXPECT_EQ(storeLength(), 0);
    EXPECT_EQ(buffer, before);
}

TEST_F(MailStoreTest, ASyncOfAStoreThatIsGoneFailsAndCreatesNothing)
{
    MailRecord record = mail(QStringLiteral("sent"));
    ASSERT_TRUE(succeeded(store.Append(record, nullptr, Durability::SyncedLater)));
    ASSERT_TRUE(succeeded(store.Sync()));
    ASSERT_TRUE(QFile::remove(data.path(kStore)));

    EXPECT_FALSE(store.Sync().ok());
    EXPECT_FALSE(data.exists(kStore));
}

TEST_F(MailStoreTest, ReadTakesOneRecordAndRefusesNumbersWithoutAWholeRecord)
{
    const std::vector<MailRecord> records{mail(QStringLiteral("one")), mail(QStringLiteral("two"))};
    data.write(kStore, recordsOf(records) + bytesOf('z', 20000));

    ASSERT_TRUE(succeeded(store.Read(2, buffer)));
    EXPECT_EQ(buffer, records[1]);

    for (int number : {0, 3, -1}) {
        SCOPED_TRACE(number);
        const Status refused = store.Read(number, buffer);
        EXPECT_FALSE(refused.ok());
        EXPECT_TRUE(refused.error().contains(QStringLiteral("krvdata2.data")))
            << refused.error().toStdString();
        EXPECT_EQ(buffer, records[1]) << "a refused read leaves the buffer alone";
    }
}

TEST_F(MailStoreTest, MarkDeletedWritesTheBufferWithInUseZero)
{
    const std::vector<MailRecord> records{mail(QStringLiteral("one")), mail(QStringLiteral("two")),
                                          mail(QStringLiteral("three"))};
    data.write(kStore, recordsOf(records));
    buffer = mail(QStringLiteral("shown"));

    ASSERT_TRUE(succeeded(store.MarkDeleted(2, buffer)));

    EXPECT_EQ(buffer.inUse(), 0);
    EXPECT_EQ(data.read(kStore), raw(records[0]) + raw(buffer) + raw(records[2]));
    EXPECT_FALSE(store.MarkDeleted(4, buffer).ok());
    EXPECT_EQ(storeLength(), 3 * kSize);
}

TEST_F(MailStoreTest, CompactKeepsTheRecordsInUseByteForByteAndInOrder)
{
    struct Case {
        const char *name;
        std::vector<qint16> inUse;
        QByteArray tail;
        std::vector<int> survivors;
    };
    const Case cases[] = {
        {"second of three marked", {1, 0, 1}, {}, {0, 2}},
        {"none marked", {1, 1, 1}, {}, {0, 1, 2}},
        {"every record marked", {0, 0, 0}, {}, {}},
        {"any value but zero is in use", {7, -1, 0}, {}, {0, 1}},
        {"a partial record at the end goes", {1, 1}, bytesOf('p', 10), {0, 1}},
        {"an empty store", {}, {}, {}},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        std::vector<MailRecord> records;
        for (qint16 inUse : row.inUse)
            records.push_back(mail(QStringLiteral("record %1").arg(records.size() + 1), inUse));
        data.write(kStore, recordsOf(records) + row.tail);
        data.write(kTemporary, "left by a crash");
        const MailRecord before = mail(QStringLiteral("buffer"));
        buffer = before;

        ASSERT_TRUE(succeeded(store.Compact(buffer)));

        QByteArray expected;
        for (int index : row.survivors)
            expected += raw(records[size_t(index)]);
        EXPECT_EQ(data.read(kStore), expected);
        EXPECT_TRUE(data.exists(kStore));
        EXPECT_FALSE(data.exists(kTemporary));
        EXPECT_EQ(buffer, records.empty() ? before : records.back())
            << "the buffer holds the last record read";
    }
}

TEST_F(MailStoreTest, DeleteAllEndsWithAnEmptyStoreWithoutMarkingEachRecord)
{
    struct Case {
        const char *name;
        QByteArray content;
    };
    const Case cases[] = {
        {"three records", recordsOf({mail(QStringLiteral("a")), mail(QStringLiteral("b")),
                                     mail(QStringLiteral("c"))})},
        {"two records and most of a third",
         recordsOf({mail(QStringLiteral("a")), mail(QStringLiteral("b"))}) + bytesOf('z', 20000)},
        {"an empty store", {}},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        data.write(kStore, row.content);
        buffer = mail(QStringLiteral("shown"));

        ASSERT_TRUE(succeeded(store.MarkAllDeletedAndCompact(store.RecordCount(), buffer)));

        EXPECT_TRUE(data.exists(kStore));
        EXPECT_EQ(storeLength(), 0);
        EXPECT_FALSE(data.exists(kTemporary));
        EXPECT_EQ(buffer.inUse(), 0);
    }
}

TEST_F(MailStoreTest, DeleteAllOfFewerRecordsKeepsTheRest)
{
    const std::vector<MailRecord> records{mail(QStringLiteral("one")), mail(QStringLiteral("two")),
                                          mail(QStringLiteral("three"))};
    data.write(kStore, recordsOf(records));

    ASSERT_TRUE(succeeded(store.MarkAllDeletedAndCompact(2, buffer)));

    EXPECT_EQ(data.read(kStore), raw(records[2]));
    EXPECT_EQ(buffer, records[2]);
}

TEST_F(MailStoreTest, TextFieldsAreCutAtTheWidthButNeverThroughACharacter)
{
    const QByteArray fullWidthA("\x82\xA0"); // あ
    struct Case {
        const char *name;
        QString subject;
        QByteArray stored;
    };
    const Case cases[] = {
        {"sixty full-width characters keep their first 100 bytes", QString(60, u'あ'),
         fullWidthA.repeated(50)},
        {"a character across the end becomes a space", QStringLiteral("a") + QString(60, u'あ'),
         "a" + fullWidthA.repeated(49) + " "},
        {"longer ASCII text", QString(101, u'x'), bytesOf('x', 100)},
        {"a character code page 932 lacks", QStringLiteral("€"), padded("\x81\xAC", 100)},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        data.write(kStore, {});
        MailRecord record = mail(row.subject);
        ASSERT_TRUE(succeeded(store.Append(record)));
        EXPECT_EQ(data.read(kStore).left(100), row.stored);
    }
}

TEST_F(MailStoreTest, TheListKeepsPaddingAndTheDisplayTrimsIt)
{
    MailRecord record = mail(displayField(QStringLiteral(" Hello ")));
    ASSERT_TRUE(succeeded(store.Append(record)));
    EXPECT_EQ(data.read(kStore).left(100), padded("Hello", 100));

    std::vector<MailHeaderBytes> headers;
    ASSERT_TRUE(succeeded(store.ReadHeaders(headers, buffer)));
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(listCell(headers[0].subject), QString::fromLatin1(padded("Hello", 100)));
    EXPECT_EQ(displayField(buffer.subject()), QStringLiteral("Hello"));
}

TEST(MailStoreReaders, ListCellsEndAtNulAndDisplayFieldsLoseOnlySpaces)
{
    struct Case {
        const char *name;
        QByteArray field;
        QString cell;
        QString display;
    };
    const Case cases[] = {
        {"padding stays in the list", "ab  ", QStringLiteral("ab  "), QStringLiteral("ab")},
        {"a NUL ends the list text", QByteArray("ab\0cd  ", 7), QStringLiteral("ab"),
         QString::fromUtf8("ab\0cd", 5)},
        {"other white space stays", " \ta\t ", QStringLiteral(" \ta\t "), QStringLiteral("\ta\t")},
        {"code page 932 text", "\x93\xFA\x96\x7B ", QStringLiteral("日本 "),
         QStringLiteral("日本")},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(listCell(row.field), row.cell);
        EXPECT_EQ(displayField(cp932::decode(row.field)), row.display);
    }
}

TEST(MailStoreNames, BothStoresFindTheirFilesWhateverTheCase)
{
    TempProgramFolder folder(false);
    const QString dataFolder = folder.path() + QStringLiteral("/★maildata");
    QDir().mkpath(dataFolder);
    const QByteArray received = raw(mail(QStringLiteral("received")));
    const QByteArray sent = raw(mail(QStringLiteral("sent")));
    for (const auto &[name, bytes] : {std::pair{QStringLiteral("/KRVDATA2.DATA"), received},
                                      std::pair{QStringLiteral("/KrvData5.Data"), sent}}) {
        QFile file(dataFolder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    MailRecord buffer;

    MailStore receivedStore = MailStore::ReceivedStore(folder.appDir());
    ASSERT_TRUE(succeeded(receivedStore.Read(1, buffer)));
    EXPECT_EQ(raw(buffer), received);
    MailStore sentStore = MailStore::SentStore(folder.appDir());
    ASSERT_TRUE(succeeded(sentStore.Read(1, buffer)));
    EXPECT_EQ(raw(buffer), sent);
    ASSERT_TRUE(succeeded(sentStore.Append(buffer)));
    ASSERT_TRUE(succeeded(sentStore.Compact(buffer)));

    EXPECT_EQ(QDir(dataFolder).entryList(QDir::Files),
              (QStringList{QStringLiteral("KRVDATA2.DATA"), QStringLiteral("KrvData5.Data")}));
    EXPECT_EQ(sentStore.RecordCount(), 2);
}

TEST_F(MailStoreTest, AppendStopsAtTheLastSixteenBitRecordNumber)
{
    data.makeSparse(kStore, (MailStore::kMaxRecords - 1) * kSize);
    MailRecord record = mail(QStringLiteral("last"));
    int number = 0;
    ASSERT_TRUE(succeeded(store.Append(record, &number)));
    EXPECT_EQ(number, MailStore::kMaxRecords);

    const Status refused = store.Append(record, &number);

    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("32767"))) << refused.error().toStdString();
    EXPECT_TRUE(refused.error().contains(QStringLiteral("krvdata2.data")));
    EXPECT_EQ(number, MailStore::kMaxRecords);
    EXPECT_EQ(storeLength(), MailStore::kMaxRecords * kSize);
}

TEST_F(MailStoreTest, ALongerFileWrittenElsewhereListsEveryRecord)
{
    const int records = MailStore::kMaxRecords + 2;
    data.makeSparse(kStore, records * kSize);

    std::vector<MailHeaderBytes> headers;
    ASSERT_TRUE(succeeded(store.ReadHeaders(headers, buffer)));

    EXPECT_EQ(headers.size(), size_t(records));
    EXPECT_EQ(store.RecordCount(), records);
}

} // namespace
