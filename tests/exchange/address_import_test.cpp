// Address books as other programs write them: files shaped like the exports of Gmail,
// Outlook, Thunderbird and phones, the encodings they come in, and the entries that must be
// left out, each with its line and reason.
#include "ExchangeTestSupport.h"

#include "core/Cp932.h"
#include "exchange/AddressExchange.h"
#include "exchange/Csv.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using namespace orv::exchange;

QString fixture(const QString &name)
{
    return QStringLiteral(ORVAINE_SOURCE_DIR "/tests/exchange/fixtures/addresses/") + name;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::vector<std::pair<QString, QString>> storedEntries(AddressStore &store)
{
    std::vector<AddressEntry> entries;
    EXPECT_TRUE(readEntries(store, entries));
    std::vector<std::pair<QString, QString>> pairs;
    for (const AddressEntry &entry : entries)
        pairs.push_back({entry.name, entry.address});
    return pairs;
}

// Every listed line begins as the expected one does ("N 行目: reason"), in the same order.
void expectListed(const QStringList &listed, const QStringList &expectedStarts)
{
    ASSERT_EQ(listed.size(), expectedStarts.size()) << listed.join(u'\n').toStdString();
    for (qsizetype i = 0; i < listed.size(); ++i)
        EXPECT_TRUE(listed[i].startsWith(expectedStarts[i]))
            << listed[i].toStdString() << "\n  expected to begin with "
            << expectedStarts[i].toStdString();
}

TEST(AddressImportFromOtherPrograms, EveryExportShapeGivesItsEntriesAndListsWhatItLeavesOut)
{
    struct Case {
        const char *file;
        std::vector<std::pair<QString, QString>> entries;
        QStringList duplicates;
        QStringList refused;
    };
    const QString notOneAddress =
        QStringLiteral("アドレスが一つのメールアドレスの形ではありません");
    const QString noAddress = QStringLiteral("メールアドレスがありません");
    const std::vector<Case> cases = {
        {"gmail.csv",
         {{QStringLiteral("山田 太郎"), QStringLiteral("taro@example.jp")},
          {QStringLiteral("Sato Hanako"), QStringLiteral("hanako@example.com")},
          {QStringLiteral("鈴木 一郎"), QStringLiteral("ichiro@example.jp")},
          {QStringLiteral("-マイナス始まり"), QStringLiteral("minus@example.jp")}},
         {},
         {QStringLiteral("4 行目: ") + noAddress + QStringLiteral(": 電話だけの人,")}},
        {"outlook_en.csv",
         {{QStringLiteral("Smith John"), QStringLiteral("john.smith@example.com")},
          {QStringLiteral("Tanaka Ichiro"), QStringLiteral("ichiro.t@example.jp")},
          {QStringLiteral("O'Neil Mary"), QStringLiteral("MARY@EXAMPLE.COM")}},
         {QStringLiteral(
             "5 行目: アドレス帳にあるアドレスと同じです: Oneil Mary,mary@example.com")},
         {QStringLiteral("6 行目: ") + notOneAddress}},
        {"outlook_ja.csv",
         {{QStringLiteral("山田 花子"), QStringLiteral("hanako@example.jp")},
          {QStringLiteral("髙橋 健"), QStringLiteral("ken.takahashi@example.jp")}},
         {},
         {QStringLiteral("4 行目: ") + notOneAddress}},
        {"thunderbird.csv",
         {{QStringLiteral("Ken Ito"), QStringLiteral("ken@example.org")},
          {QStringLiteral("渡辺 美紀子"), QStringLiteral("miki@example.org")}},
         {},
         {QStringLiteral("4 行目: ") + noAddress}},
        {"phone_21.vcf",
         {{QStringLiteral("山田 太郎"), QStringLiteral("taro.pref@example.jp")},
          {QStringLiteral("山田 太郎"), QStringLiteral("taro@example.ne.jp")},
          {QStringLiteral("佐々木 美由紀"), QStringLiteral("miyuki@example.jp")}},
         {},
         {QStringLiteral("15 行目: カードが END:VCARD で終わっていません: 途中"),
          QStringLiteral("19 行目: ") + noAddress + QStringLiteral(": 電話のみ")}},
        {"base64_30.vcf",
         {{QStringLiteral("中村 さくら"), QStringLiteral("sakura.pref@example.jp")},
          {QStringLiteral("中村 さくら"), QStringLiteral("sakura@example.jp")}},
         {},
         {}},
        {"plain_40.vcf",
         {{QStringLiteral("Doe, Jane"), QStringLiteral("jane@work.example")},
          {QStringLiteral("Doe, Jane"), QStringLiteral("jane@home.example")},
          {QStringLiteral("Doe, Jane"), QStringLiteral("jane@other.example")},
          {QStringLiteral("小林 健二"), QStringLiteral("kenji@example.jp")}},
         {},
         {QStringLiteral("14 行目: カードが END:VCARD で終わっていません: 最後の人")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        TempProgramFolder folder;
        AddressStore store(folder.appDir());
        const AddressImportResult result =
            importAddresses(store, fixture(QString::fromLatin1(c.file)));
        ASSERT_TRUE(result.status) << result.status.error().toStdString();
        EXPECT_EQ(result.imported, int(c.entries.size()));
        EXPECT_EQ(storedEntries(store), c.entries);
        expectListed(result.duplicates, c.duplicates);
        expectListed(result.refused, c.refused);
    }
}

// One address book, name and address, in each encoding a file can come in.
TEST(AddressImportFromOtherPrograms, TheEncodingIsDecidedOnceForTheWholeFile)
{
    const QString text = QStringLiteral("名前,メールアドレス\r\n山田 ①,y@x.jp\r\n");
    const auto utf16 = [&](QStringEncoder::Encoding encoding) -> QByteArray {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        return encoder.encode(text);
    };
    const QByteArray utf8Line = QStringLiteral("鈴木,s@x.jp\r\n").toUtf8();
    struct Case {
        const char *what;
        QByteArray bytes;
        QString refusal; // empty: the one entry is read
    };
    const std::vector<Case> cases = {
        {"UTF-8", text.toUtf8(), {}},
        {"UTF-8 with a BOM", "\xEF\xBB\xBF" + text.toUtf8(), {}},
        {"UTF-16 LE with a BOM", utf16(QStringEncoder::Utf16LE), {}},
        {"UTF-16 BE with a BOM", utf16(QStringEncoder::Utf16BE), {}},
        {"code page 932", cp932::encode(text), {}},
        {"code page 932 with a UTF-8 line", cp932::encode(text) + utf8Line,
         QStringLiteral("3 行目で文字コードが合いません: この行は UTF-8")},
        {"UTF-16 without a BOM", utf16(QStringEncoder::Utf16LE).mid(2),
         QStringLiteral("1 行目で文字コードが合いません: NUL バイト")},
        {"a UTF-8 BOM over code page 932", "\xEF\xBB\xBF" + cp932::encode(text),
         QStringLiteral("1 行目で文字コードが合いません: UTF-8 の BOM")},
        {"neither UTF-8 nor code page 932",
         QByteArray("name,address\r\nabc,y@x.jp\r\n\xFF\xFF,z@x.jp\r\n"),
         QStringLiteral("3 行目で文字コードが合いません: UTF-8 としてもシフトJIS")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ParsedAddresses parsed = parseCsv(c.bytes);
        if (!c.refusal.isEmpty()) {
            ASSERT_FALSE(parsed.status);
            EXPECT_TRUE(parsed.status.error().startsWith(c.refusal))
                << parsed.status.error().toStdString();
            EXPECT_TRUE(parsed.entries.empty()) << "nothing of a refused file is taken";
            continue;
        }
        ASSERT_TRUE(parsed.status) << parsed.status.error().toStdString();
        ASSERT_EQ(parsed.entries.size(), 1u);
        EXPECT_EQ(parsed.entries[0].name, QStringLiteral("山田 ①"));
        EXPECT_EQ(parsed.entries[0].address, QStringLiteral("y@x.jp"));
    }
}

TEST(AddressImportFromOtherPrograms, HeadersAreFoundWithoutRegardToCaseWidthOrLanguage)
{
    struct Case {
        QString header;
        QString row;
        QString name, address;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("NAME,ADDRESS"), QStringLiteral("a,a@x.jp"), QStringLiteral("a"),
         QStringLiteral("a@x.jp")},
        {QStringLiteral("Display Name,E-Mail Address"), QStringLiteral("b,b@x.jp"),
         QStringLiteral("b"), QStringLiteral("b@x.jp")},
        {QStringLiteral("氏名,Ｅメール"), QStringLiteral("c,c@x.jp"), QStringLiteral("c"),
         QStringLiteral("c@x.jp")},
        {QStringLiteral("表示名,電子メール　アドレス"), QStringLiteral("d,d@x.jp"),
         QStringLiteral("d"), QStringLiteral("d@x.jp")},
        {QStringLiteral("E-mail Display Name,Nickname,e-mail 1 - value"),
         QStringLiteral("not the name,nick,e@x.jp"), QString(), QStringLiteral("e@x.jp")},
        {QStringLiteral("Given Name,Family Name,Primary Email"), QStringLiteral("太郎,山田,f@x.jp"),
         QStringLiteral("山田 太郎"), QStringLiteral("f@x.jp")},
        {QStringLiteral("Name,First Name,Last Name,Email"), QStringLiteral(",Ann,Lee,g@x.jp"),
         QStringLiteral("Lee Ann"), QStringLiteral("g@x.jp")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.header.toStdString());
        const ParsedAddresses parsed = parseCsv((c.header + u'\n' + c.row + u'\n').toUtf8());
        ASSERT_TRUE(parsed.status) << parsed.status.error().toStdString();
        ASSERT_EQ(parsed.entries.size(), 1u);
        EXPECT_EQ(parsed.entries[0].name, c.name);
        EXPECT_EQ(parsed.entries[0].address, c.address);
    }

    const ParsedAddresses withoutHeader = parseCsv("山田,y@x.jp\r\n");
    ASSERT_FALSE(withoutHeader.status);
    EXPECT_TRUE(
        withoutHeader.status.error().contains(QStringLiteral("メールアドレスの列がありません")))
        << withoutHeader.status.error().toStdString();
}

TEST(AddressImportFromOtherPrograms, RowsThatGiveNoEntryAreListedWithTheLineTheyStartOn)
{
    const ParsedAddresses parsed = parseCsv("name,address\r\n"
                                            "\"two\r\nlines\",ok@x.jp\r\n"
                                            "a,b,c\r\n"
                                            "no address,\r\n"
                                            "\"open quote,q@x.jp\r\n");
    ASSERT_TRUE(parsed.status);
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].line, 2);
    expectListed(parsed.refused, {QStringLiteral("4 行目: 列が見出し行より多くあります: a,b,c"),
                                  QStringLiteral("5 行目: メールアドレスがありません: no address,"),
                                  QStringLiteral("6 行目: 引用符 (\") が閉じていません")});
}

TEST(AddressEntryChecks, AnAddressIsOneAddrSpecOrTheDisplayFormOfOne)
{
    struct Case {
        QString address;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("yamada@example.jp"), true},
        {QStringLiteral("first.last+tag@sub.example.co.jp"), true},
        {QStringLiteral("山田花子<hanako@example.jp>"), true},
        {QStringLiteral("Hanako Yamada<hanako@example.jp>"), true},
        {QStringLiteral("hello world"), false},
        {QStringLiteral("Evil <e@x>, other@y"), false},
        {QStringLiteral("a@b@example.jp"), false},
        {QStringLiteral("@example.jp"), false},
        {QStringLiteral("yamada@"), false},
        {QStringLiteral("yamada@.example.jp"), false},
        {QStringLiteral("ya mada@example.jp"), false},
        {QStringLiteral("a,b@example.org"), false},
        {QStringLiteral("\"Yamada, T\"<t@example.jp>"), false},
        {QStringLiteral("<a@x.jp><b@x.jp>"), false},
        {QStringLiteral("ｙａｍａｄａ＠example.jp"), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        const QString reason = refusalReason({QStringLiteral("名前"), c.address, 1});
        EXPECT_EQ(reason.isEmpty(), c.accepted) << reason.toStdString();
    }
}

class AddressImportStoreTest : public ::testing::Test {
protected:
    AddressImportResult importText(const QByteArray &bytes,
                                   const QString &name = QStringLiteral("in.csv"))
    {
        const QString path = folder.path() + QLatin1Char('/') + name;
        writeFile(path, bytes);
        return importAddresses(store, path);
    }

    TempProgramFolder folder;
    AddressStore store{folder.appDir()};
};

TEST_F(AddressImportStoreTest, DuplicatesAreFoundWithoutRegardToTheCaseOfTheAddress)
{
    ASSERT_TRUE(store.Append(QStringLiteral("山田"), QStringLiteral("Yamada@Example.JP")));
    ASSERT_TRUE(store.Append(QStringLiteral("鈴木"), QStringLiteral("鈴木<suzuki@x.jp>")));
    const AddressImportResult result = importText(QStringLiteral("name,address\n"
                                                                 "やまだ,yamada@example.jp\n"
                                                                 "スズキ,SUZUKI@x.jp\n"
                                                                 "新しい人,new@x.jp\n"
                                                                 "新しい人,名刺<NEW@X.JP>\n")
                                                      .toUtf8());
    ASSERT_TRUE(result.status);
    EXPECT_EQ(result.imported, 1);
    expectListed(result.duplicates, {QStringLiteral("2 行目: アドレス帳にあるアドレスと同じです"),
                                     QStringLiteral("3 行目: アドレス帳にあるアドレスと同じです"),
                                     QStringLiteral("5 行目: アドレス帳にあるアドレスと同じです")});
    EXPECT_EQ(storedEntries(store).size(), 3u);
}

TEST_F(AddressImportStoreTest, RefusalsOfTheReaderAndOfTheChecksComeInTheOrderOfTheFile)
{
    const AddressImportResult result = importText("name,address\r\n"
                                                  "bad,hello world\r\n"
                                                  "empty,\r\n"
                                                  "good,g@x.jp\r\n"
                                                  "\"bell\x07\",b@x.jp\r\n");
    ASSERT_TRUE(result.status);
    EXPECT_EQ(result.imported, 1);
    expectListed(result.refused, {QStringLiteral("2 行目: アドレスが一つのメールアドレスの形"),
                                  QStringLiteral("3 行目: メールアドレスがありません"),
                                  QStringLiteral("5 行目: 名前に制御文字があります")});
}

TEST_F(AddressImportStoreTest, AFileThatCannotBeReadTakesNothingAndSaysWhy)
{
    const AddressImportResult mixed =
        importText(cp932::encode(QStringLiteral("名前,メールアドレス\r\n山田,y@x.jp\r\n")) +
                   QStringLiteral("鈴木,s@x.jp\r\n").toUtf8());
    ASSERT_FALSE(mixed.status);
    EXPECT_TRUE(mixed.status.error().contains(QStringLiteral("3 行目")))
        << mixed.status.error().toStdString();
    EXPECT_EQ(mixed.imported, 0);
    EXPECT_EQ(store.RecordCount(), 0);

    EXPECT_FALSE(importText("BEGIN:VCARDS\r\n", QStringLiteral("none.vcf")).status);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.csv")));
    const AddressImportResult folderImport =
        importAddresses(store, folder.path() + QStringLiteral("/folder.csv"));
    ASSERT_FALSE(folderImport.status);
    EXPECT_TRUE(folderImport.status.error().contains(QStringLiteral("普通のファイルではない")))
        << folderImport.status.error().toStdString();
}

TEST_F(AddressImportStoreTest, ValuesASpreadsheetWouldRunComeBackExactlyThroughTheCsv)
{
    const std::vector<std::pair<QString, QString>> entries = {
        {QStringLiteral("=HYPERLINK(\"http://x\")"), QStringLiteral("eq@x.jp")},
        {QStringLiteral("+81 3"), QStringLiteral("plus@x.jp")},
        {QStringLiteral("-minus"), QStringLiteral("minus@x.jp")},
        {QStringLiteral("@home"), QStringLiteral("at@x.jp")},
        {QStringLiteral("'=already guarded"), QStringLiteral("quote@x.jp")},
        {QStringLiteral("''+twice"), QStringLiteral("twice@x.jp")},
        {QStringLiteral("'plain quote"), QStringLiteral("plain@x.jp")},
    };
    for (const auto &[name, address] : entries)
        ASSERT_TRUE(store.Append(name, address));
    const QByteArray before = folder.readBytes(QStringLiteral("\\★MAilData\\Krvdata20.data"));
    const QString path = folder.path() + QStringLiteral("/book.csv");
    ASSERT_TRUE(exportAddresses(store, path));

    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray csv = written.readAll();
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBFname,address\r\n"));
    EXPECT_TRUE(csv.contains("\r\n\"'=HYPERLINK(\"\"http://x\"\")\",eq@x.jp\r\n"));
    EXPECT_TRUE(csv.contains("\r\n'+81 3,plus@x.jp\r\n"));
    EXPECT_TRUE(csv.contains("\r\n'-minus,minus@x.jp\r\n"));
    EXPECT_TRUE(csv.contains("\r\n'@home,at@x.jp\r\n"));
    EXPECT_TRUE(csv.contains("\r\n'plain quote,plain@x.jp\r\n"));

    TempProgramFolder other;
    AddressStore empty(other.appDir());
    const AddressImportResult result = importAddresses(empty, path);
    ASSERT_TRUE(result.status) << result.status.error().toStdString();
    EXPECT_TRUE(result.refused.isEmpty()) << result.refused.join(u'\n').toStdString();
    EXPECT_EQ(other.readBytes(QStringLiteral("\\★MAilData\\Krvdata20.data")), before);
}

TEST(CsvGuard, EveryValueComesBackFromItsGuardedForm)
{
    for (const QString &value :
         {QString(), QStringLiteral("="), QStringLiteral("'"), QStringLiteral("''"),
          QStringLiteral("'-"), QStringLiteral("''@x"), QStringLiteral("a=b"),
          QStringLiteral("'abc"), QStringLiteral("-1")}) {
        SCOPED_TRACE(value.toStdString());
        EXPECT_EQ(csv::unguarded(csv::guarded(value)), value);
    }
}

} // namespace
} // namespace orv::test
