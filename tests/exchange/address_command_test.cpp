// `orvaine --import-addresses`, run as a script runs it: the program itself as a child
// process, started from a copy in a temporary program folder.
#include "ExchangeTestSupport.h"
#include "ProgramRun.h"

#include "exchange/AddressExchange.h"
#include "exchange/CommandLine.h"
#include "store/InstanceLock.h"
#include "support/TempProgramFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orv::test {
namespace {

using namespace orv::exchange;

class AddressCommandTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return folder.path() + QLatin1Char('/') + name; }

    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile out(file(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return out.fileName();
    }

    ProgramResult runProgram(const QStringList &arguments) const
    {
        return runProgramIn(folder, arguments, 30000);
    }

    std::vector<AddressEntry> stored()
    {
        std::vector<AddressEntry> entries;
        EXPECT_TRUE(readEntries(store, entries));
        return entries;
    }

    TempProgramFolder folder;
    AddressStore store{folder.appDir()};
};

TEST_F(AddressCommandTest, ImportsAndPrintsWhatItTookAndEveryLineItLeftOut)
{
    ASSERT_TRUE(store.Append(QStringLiteral("既存"), QStringLiteral("old@x.jp")));
    const QString csv =
        writeFile(QStringLiteral("book.csv"), QStringLiteral("名前,メールアドレス\r\n"
                                                             "山田,y@x.jp\r\n"
                                                             "既存の人,OLD@x.jp\r\n"
                                                             "壊れた,hello world\r\n")
                                                  .toUtf8());
    const ProgramResult result = runProgram({QStringLiteral("--import-addresses"), csv});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("1 件をアドレス帳に登録しました。")))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("3 行目: アドレス帳にあるアドレスと同じです")))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("4 行目: アドレスが一つのメールアドレスの形")))
        << result.out.toStdString();
    const std::vector<AddressEntry> entries = stored();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], (AddressEntry{QStringLiteral("山田"), QStringLiteral("y@x.jp"), 0}));
}

TEST_F(AddressCommandTest, ExitStatusesTellScriptsWhatHappened)
{
    const QString good = writeFile(QStringLiteral("good.vcf"),
                                   "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\nEMAIL:a@x.jp\r\n"
                                   "END:VCARD\r\n");
    const QString nothing = writeFile(QStringLiteral("nothing.csv"), "name,address\r\nx,\r\n");
    const QString text = writeFile(QStringLiteral("book.txt"), "name,address\r\nx,x@x.jp\r\n");
    const QString fifo = file(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const QString option = QStringLiteral("--import-addresses");
    const std::vector<Case> cases = {
        {"no file named", {option}, kExitUsage, QStringLiteral("ファイル名が要ります")},
        {"two files", {option, good, good}, kExitUsage, QStringLiteral("余分な引数")},
        {"neither .csv nor .vcf", {option, text}, kExitFailed, QStringLiteral(".csv か .vcf")},
        {"a FIFO is not waited on",
         {option, fifo},
         kExitFailed,
         QStringLiteral("普通のファイルではない")},
        {"nothing in it can be taken",
         {option, nothing},
         kExitFailed,
         QStringLiteral("2 行目: メールアドレスがありません")},
        {"a missing file",
         {option, file(QStringLiteral("missing.csv"))},
         kExitFailed,
         QStringLiteral("missing.csv")},
        {"a good file", {option, good}, 0, QStringLiteral("1 件をアドレス帳に登録しました。")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramResult result = runProgram(c.arguments);
        ASSERT_TRUE(result.finished) << "the command hung";
        EXPECT_EQ(result.exitCode, c.exitCode) << (result.out + result.err).toStdString();
        EXPECT_TRUE((result.out + result.err).contains(c.says))
            << (result.out + result.err).toStdString();
    }
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(AddressCommandTest, WritesNothingWhileAnotherRunHoldsTheFolder)
{
    const QString csv = writeFile(QStringLiteral("book.csv"), "name,address\r\na,a@x.jp\r\n");
    {
        InstanceLock window(folder.appDir());
        ASSERT_EQ(window.acquire(), InstanceLock::Outcome::Acquired);
        const ProgramResult busy = runProgram({QStringLiteral("--import-addresses"), csv});
        ASSERT_TRUE(busy.finished);
        EXPECT_EQ(busy.exitCode, kExitFolderBusy) << busy.err.toStdString();
        EXPECT_TRUE(busy.err.contains(QStringLiteral("何も書き込んでいません")))
            << busy.err.toStdString();
        EXPECT_EQ(store.RecordCount(), 0);
    }
    const ProgramResult free = runProgram({QStringLiteral("--import-addresses"), csv});
    EXPECT_EQ(free.exitCode, 0) << free.err.toStdString();
    EXPECT_EQ(store.RecordCount(), 1);
}

} // namespace
} // namespace orv::test
