#include "store/AddressStore.h"

#include "core/Cp932.h"
#include "store_test_support.h"

#include <QFileInfo>

using namespace orv;
using namespace orv::test;

namespace {

constexpr qint64 kSize = AddressRecord::kSize;
const QString kStore = QStringLiteral("Krvdata20.data");
const QString kTemporary = QStringLiteral("KRVDATA20.TMP");
const QString kMaster = QStringLiteral("KRVASTER20.INI");

AddressRecord entry(const QString &name, const QString &address, qint16 inUse = 1)
{
    AddressRecord record;
    record.setName(name);
    record.setAddress(address);
    record.setInUse(inUse);
    return record;
}

QByteArray raw(const AddressRecord &record)
{
    return QByteArray(record.data(), kSize);
}

class AddressStoreTest : public ::testing::Test {
protected:
    DataFolder data;
    AddressStore store{data.folder.appDir()};
};

TEST_F(AddressStoreTest, AnAbsentStoreIsCreatedEmptyAndAppendWritesRecordOne)
{
    std::vector<AddressRecord> records{entry(QStringLiteral("stale"), QString())};
    ASSERT_TRUE(succeeded(store.ReadAll(records)));
    EXPECT_TRUE(records.empty());
    EXPECT_TRUE(data.exists(kStore));

    int number = 0;
    ASSERT_TRUE(succeeded(
        store.Append(QStringLiteral("Taro"), QStringLiteral("taro@example.jp"), &number)));

    EXPECT_EQ(number, 1);
    EXPECT_EQ(data.read(kStore),
              padded("Taro", 90) + QByteArray("\r\n\x01\x00", 4) + padded("taro@example.jp", 90));
}

TEST_F(AddressStoreTest, ReadAllIgnoresAPartialRecordAndAppendReplacesIt)
{
    const AddressRecord first = entry(QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp"));
    const AddressRecord second =
        entry(QStringLiteral("二郎"), QStringLiteral("jiro@example.jp"), 0);
    data.write(kStore, raw(first) + raw(second) + bytesOf('z', 10));

    std::vector<AddressRecord> records;
    ASSERT_TRUE(succeeded(store.ReadAll(records)));
    EXPECT_EQ(records, (std::vector<AddressRecord>{first, second}));

    int number = 0;
    ASSERT_TRUE(succeeded(store.Append(QStringLiteral("三郎"), QString(), &number)));
    EXPECT_EQ(number, 3);
    EXPECT_EQ(QFileInfo(data.path(kStore)).size(), 3 * kSize);
}

TEST_F(AddressStoreTest, DeletingTheSecondOfThreeKeepsTheOthersByteForByte)
{
    const std::vector<AddressRecord> entries{
        entry(QStringLiteral("一郎"), QStringLiteral("ichiro@example.jp")),
        entry(QStringLiteral("二郎"), QStringLiteral("jiro@example.jp")),
        entry(QStringLiteral("三郎"), QStringLiteral("saburo@example.jp"))};
    data.write(kStore, raw(entries[0]) + raw(entries[1]) + raw(entries[2]));
    data.write(kTemporary, "left by a crash");

    AddressRecord shown;
    ASSERT_TRUE(succeeded(store.Read(2, shown)));
    ASSERT_TRUE(succeeded(store.MarkDeleted(2, shown)));
    AddressRecord marked = entries[1];
    marked.setInUse(0);
    EXPECT_EQ(data.read(kStore), raw(entries[0]) + raw(marked) + raw(entries[2]))
        << "marking changes nothing but InUse";

    ASSERT_TRUE(succeeded(store.Compact()));

    EXPECT_EQ(data.read(kStore), raw(entries[0]) + raw(entries[2]));
    EXPECT_FALSE(data.exists(kTemporary));
    EXPECT_EQ(store.RecordCount(), 2);
}

TEST_F(AddressStoreTest, CompactWithoutMarksLeavesTheFileAsItWas)
{
    const QByteArray content = raw(entry(QStringLiteral("a"), QStringLiteral("a@example.jp"))) +
                               raw(entry(QStringLiteral("b"), QStringLiteral("b@example.jp"), 2));
    data.write(kStore, content);

    ASSERT_TRUE(succeeded(store.Compact()));

    EXPECT_EQ(data.read(kStore), content);
}

TEST_F(AddressStoreTest, FieldsAreStoredCutAtACharacterAndReadBackWhole)
{
    struct Case {
        const char *name;
        QString name_;
        QString address;
        QByteArray storedName;
        QString readAddress;
    };
    const QString displayForm = QStringLiteral("山田 太郎<taro@example.jp>");
    const Case cases[] = {
        {"fifty full-width characters keep 90 bytes", QString(50, u'あ'), QString(),
         QByteArray("\x82\xA0").repeated(45), QString(90, u' ')},
        {"a character across the end becomes a space", QStringLiteral("a") + QString(50, u'あ'),
         QString(), "a" + QByteArray("\x82\xA0").repeated(44) + " ", QString(90, u' ')},
        {"the display form survives", QStringLiteral("山田"), displayForm,
         padded("\x8E\x52\x93\x63", 90),
         displayForm + QString(90 - cp932::encode(displayForm).size(), u' ')},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        data.write(kStore, {});
        ASSERT_TRUE(succeeded(store.Append(row.name_, row.address)));
        AddressRecord record;
        ASSERT_TRUE(succeeded(store.Read(1, record)));
        EXPECT_EQ(data.read(kStore).left(90), row.storedName);
        EXPECT_EQ(record.address(), row.readAddress);
    }
}

TEST(AddressReaders, EachReaderTakesItsOwnPartOfTheFields)
{
    struct Case {
        const char *name;
        QString address;
        QString listed;
        QString bulk;
    };
    const QString longAddress = QStringLiteral("very.long.name@") + QString(50, u'x');
    const Case cases[] = {
        {"padding", QStringLiteral("a@b.jp"), QStringLiteral("a@b.jp") + QString(84, u' '),
         QStringLiteral("a@b.jp")},
        {"leading spaces stay for bulk sending", QStringLiteral("  a@b.jp"),
         QStringLiteral("  a@b.jp") + QString(82, u' '), QStringLiteral("  a@b.jp")},
        {"a long address stays whole", longAddress,
         longAddress + QString(90 - longAddress.size(), u' '), longAddress},
        {"a NUL ends the list text", QString::fromUtf8("a@b\0c", 5), QStringLiteral("a@b"),
         QString::fromUtf8("a@b\0c", 5)},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        const AddressRecord record = entry(QStringLiteral("name"), row.address);
        EXPECT_EQ(listCell(record.address()), row.listed);
        EXPECT_EQ(bulkRecipientAddress(record), row.bulk);
    }
}

TEST_F(AddressStoreTest, TheStoreIsFoundWhateverTheCaseOfItsName)
{
    const AddressRecord existing = entry(QStringLiteral("Taro"), QStringLiteral("taro@example.jp"));
    data.write(QStringLiteral("krvdata20.data"), raw(existing));

    std::vector<AddressRecord> records;
    ASSERT_TRUE(succeeded(store.ReadAll(records)));
    ASSERT_TRUE(succeeded(store.Append(QStringLiteral("Jiro"), QStringLiteral("jiro@example.jp"))));

    EXPECT_EQ(records, std::vector<AddressRecord>{existing});
    EXPECT_EQ(QDir(data.path({})).entryList(QDir::Files),
              QStringList{QStringLiteral("krvdata20.data")});
    EXPECT_EQ(store.RecordCount(), 2);
}

TEST_F(AddressStoreTest, AppendStopsAtTheLastSixteenBitRecordNumber)
{
    data.makeSparse(kStore, AddressStore::kMaxRecords * kSize);

    const Status refused = store.Append(QStringLiteral("one more"), QString());

    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("32767"))) << refused.error().toStdString();
    EXPECT_EQ(QFileInfo(data.path(kStore)).size(), AddressStore::kMaxRecords * kSize);
}

TEST_F(AddressStoreTest, TheMasterFileIsReadInTheSameLayoutAndCreatedWhenAbsent)
{
    AddressMaster master(data.folder.appDir());
    std::vector<AddressRecord> records;
    ASSERT_TRUE(succeeded(master.ReadAll(records)));
    EXPECT_TRUE(records.empty());
    EXPECT_TRUE(data.exists(kMaster));

    const AddressRecord listed = entry(QStringLiteral("花子"), QStringLiteral("hanako@example.jp"));
    data.write(kMaster, raw(listed) + bytesOf(' ', 100));
    ASSERT_TRUE(succeeded(master.ReadAll(records)));
    EXPECT_EQ(records, std::vector<AddressRecord>{listed});
}

} // namespace
