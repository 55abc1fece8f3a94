#include "ExchangeTestSupport.h"

#include "core/Cp932.h"
#include "exchange/AddressExchange.h"
#include "support/TempProgramFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using namespace orv::exchange;

std::vector<AddressEntry> awkwardEntries()
{
    return {
        {QStringLiteral("山田 太郎"), QStringLiteral("yamada@example.jp"), 0},
        {QStringLiteral("Smith, John \"Jack\""), QStringLiteral("john@example.com"), 0},
        {QStringLiteral("①～〓の人"), QStringLiteral("鈴木<suzuki@example.jp>"), 0},
        {QStringLiteral("semi;colon\\back, comma"), QStringLiteral("ab@example.org"), 0},
        {QStringLiteral("長い名前の人").repeated(5), QStringLiteral("long@example.jp"), 0},
    };
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(AddressFormats, CsvAndVCardGiveBackEveryEntry)
{
    const std::vector<AddressEntry> entries = awkwardEntries();
    for (const bool csv : {true, false}) {
        SCOPED_TRACE(csv ? "csv" : "vcard");
        const ParsedAddresses parsed =
            csv ? parseCsv(formatCsv(entries)) : parseVCards(formatVCards(entries));
        EXPECT_TRUE(parsed.refused.isEmpty()) << parsed.refused.join(u'\n').toStdString();
        ASSERT_EQ(parsed.entries.size(), entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(parsed.entries[i].name, entries[i].name);
            EXPECT_EQ(parsed.entries[i].address, entries[i].address);
        }
    }
}

TEST(AddressFormats, CsvIsUtf8WithABomAHeaderRowAndRfc4180Quoting)
{
    const QByteArray csv = formatCsv({{QStringLiteral("Smith, \"J\""), QStringLiteral("j@x.jp"), 0},
                                      {QStringLiteral("山田"), QStringLiteral("y@x.jp"), 0}});
    EXPECT_EQ(csv, QByteArray("\xEF\xBB\xBFname,address\r\n\"Smith, \"\"J\"\"\",j@x.jp\r\n") +
                       QStringLiteral("山田").toUtf8() + ",y@x.jp\r\n");
}

TEST(AddressFormats, VCardsOfOtherProgramsAreRead)
{
    const QByteArray cards = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Tanaka\\, Ichiro\r\n"
                             "EMAIL;TYPE=work:tanaka@example.jp\r\nEMAIL:second@example.jp\r\n"
                             "END:VCARD\r\n"
                             "BEGIN:VCARD\nVERSION:3.0\nN:Sato;Hanako;;;\nitem1.EMAIL;type=INTERN\n"
                             " ET:hanako@exa\n mple.jp\nEND:VCARD\n";
    const ParsedAddresses parsed = parseVCards(cards);
    ASSERT_EQ(parsed.entries.size(), 3u) << "one entry for each EMAIL";
    EXPECT_EQ(parsed.entries[0].name, QStringLiteral("Tanaka, Ichiro"));
    EXPECT_EQ(parsed.entries[0].address, QStringLiteral("tanaka@example.jp"));
    EXPECT_EQ(parsed.entries[1].name, QStringLiteral("Tanaka, Ichiro"));
    EXPECT_EQ(parsed.entries[1].address, QStringLiteral("second@example.jp"));
    EXPECT_EQ(parsed.entries[2].name, QStringLiteral("Sato Hanako")) << "family name first";
    EXPECT_EQ(parsed.entries[2].address, QStringLiteral("hanako@example.jp"));
}

TEST(AddressFormats, CsvFromOlderJapaneseProgramsInCodePage932IsRead)
{
    const QByteArray csv =
        cp932::encode(QStringLiteral("名前,アドレス\r\n\"改行\n入り\",k@x.jp\r\n"));
    const ParsedAddresses parsed = parseCsv(csv);
    ASSERT_EQ(parsed.entries.size(), 1u) << "a Japanese header row is a header";
    EXPECT_EQ(parsed.entries[0].name, QStringLiteral("改行\n入り"));
    EXPECT_EQ(parsed.entries[0].line, 2);
}

class AddressImportTest : public ::testing::Test {
protected:
    AddressImportResult importText(const QByteArray &bytes, const QString &name)
    {
        const QString path = folder.path() + QLatin1Char('/') + name;
        writeFile(path, bytes);
        return importAddresses(store, path);
    }

    TempProgramFolder folder;
    AddressStore store{folder.appDir()};
};

TEST_F(AddressImportTest, ExportedBookImportsIntoAnEmptyBookByteForByte)
{
    for (const AddressEntry &entry : awkwardEntries())
        ASSERT_TRUE(store.Append(entry.name, entry.address));
    const QByteArray before = QFile(store.filePath()).exists()
                                  ? folder.readBytes(QStringLiteral("\\★MAilData\\Krvdata20.data"))
                                  : QByteArray();
    for (const QString &name : {QStringLiteral("book.csv"), QStringLiteral("book.vcf")}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.path() + QLatin1Char('/') + name;
        ASSERT_TRUE(exportAddresses(store, path));
        TempProgramFolder other;
        AddressStore empty(other.appDir());
        const AddressImportResult result = importAddresses(empty, path);
        ASSERT_TRUE(result.status) << result.status.error().toStdString();
        EXPECT_EQ(result.imported, int(awkwardEntries().size()));
        EXPECT_EQ(other.readBytes(QStringLiteral("\\★MAilData\\Krvdata20.data")), before);
    }
}

TEST_F(AddressImportTest, EntriesThatDoNotFitAreRefusedWithTheirLines)
{
    struct Case {
        const char *what;
        QString row;
        QString reason;
    };
    const std::vector<Case> cases = {
        {"control character", QStringLiteral("\"Bell\x07\",b@x.jp"), QStringLiteral("制御文字")},
        {"line break", QStringLiteral("\"two\nlines\",l@x.jp"), QStringLiteral("制御文字")},
        {"name over 90 bytes", QStringLiteral("あ").repeated(46) + QStringLiteral(",n@x.jp"),
         QStringLiteral("90バイト")},
        {"address over 90 bytes", QStringLiteral("x,") + QStringLiteral("a").repeated(91),
         QStringLiteral("90バイト")},
        {"not in code page 932", QStringLiteral("😀,e@x.jp"), QStringLiteral("Shift_JIS")},
        {"no address", QStringLiteral("nobody,"), QStringLiteral("アドレスがありません")},
        {"three fields", QStringLiteral("a,b,c"), QStringLiteral("列が見出し行より多くあります")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder fresh;
        AddressStore book(fresh.appDir());
        const QString path = fresh.path() + QStringLiteral("/in.csv");
        writeFile(path, (QStringLiteral("name,address\r\nok,ok@x.jp\r\n") + c.row +
                         QStringLiteral("\r\n"))
                            .toUtf8());
        const AddressImportResult result = importAddresses(book, path);
        ASSERT_TRUE(result.status);
        EXPECT_EQ(result.imported, 1);
        ASSERT_EQ(result.refused.size(), 1);
        EXPECT_TRUE(result.refused[0].startsWith(QStringLiteral("3 行目: ")))
            << result.refused[0].toStdString();
        EXPECT_TRUE(result.refused[0].contains(c.reason)) << result.refused[0].toStdString();
    }
}

TEST_F(AddressImportTest, ExactDuplicatesAreSkipped)
{
    ASSERT_TRUE(store.Append(QStringLiteral("山田"), QStringLiteral("y@x.jp")));
    const AddressImportResult result = importText(
        QStringLiteral("name,address\n山田,y@x.jp\n山田,other@x.jp\n山田,other@x.jp\n").toUtf8(),
        QStringLiteral("dups.csv"));
    ASSERT_TRUE(result.status);
    EXPECT_EQ(result.imported, 1);
    EXPECT_EQ(result.duplicates.size(), 2);
    std::vector<AddressEntry> entries;
    ASSERT_TRUE(readEntries(store, entries));
    EXPECT_EQ(entries.size(), 2u);
}

TEST_F(AddressImportTest, OnlyCsvAndVcfNamesAreAccepted)
{
    EXPECT_FALSE(exportAddresses(store, folder.path() + QStringLiteral("/book.txt")));
    EXPECT_FALSE(importText("x", QStringLiteral("book.txt")).status);
}

} // namespace
} // namespace orv::test
