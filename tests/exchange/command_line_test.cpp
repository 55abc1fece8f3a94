#include "ExchangeTestSupport.h"
#include "ProgramRun.h"

#include "exchange/CommandLine.h"
#include "store/AddressStore.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using exchange::CommandOutcome;
using exchange::runCommand;

class CommandLineTest : public ::testing::Test {
protected:
    CommandOutcome run(const QStringList &arguments)
    {
        return runCommand(arguments, folder.appDir());
    }
    QString file(const char *name) const
    {
        return folder.path() + QLatin1Char('/') + QLatin1String(name);
    }

    TempProgramFolder folder;
};

TEST_F(CommandLineTest, ExportThenImportMovesTheMessages)
{
    folder.writeBytes(kSentStorePath, storeBytes(awkwardReceivedRecords()));
    const CommandOutcome exported =
        run({QStringLiteral("--export-mbox"), QStringLiteral("sent"), file("sent.mbox")});
    EXPECT_EQ(exported.exitCode, 0) << exported.message.toStdString();
    EXPECT_TRUE(exported.message.contains(QStringLiteral("8 件")));

    const CommandOutcome imported = run({QStringLiteral("--import-mbox"), file("sent.mbox")});
    EXPECT_EQ(imported.exitCode, 0) << imported.message.toStdString();
    EXPECT_EQ(folder.readBytes(kReceivedStorePath).size(), 8 * MailRecord::kSize);
}

TEST_F(CommandLineTest, FailuresExitNonZeroWithAMessage)
{
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {"unknown history",
         {QStringLiteral("--export-mbox"), QStringLiteral("trash"), file("x")},
         2,
         QStringLiteral("trash")},
        {"missing file name",
         {QStringLiteral("--export-mbox"), QStringLiteral("received")},
         2,
         QStringLiteral("使い方")},
        {"unwritable target",
         {QStringLiteral("--export-mbox"), QStringLiteral("received"), file("no/such/x.mbox")},
         1,
         QStringLiteral("x.mbox")},
        {"absent import file",
         {QStringLiteral("--import-mbox"), file("absent.mbox")},
         1,
         QStringLiteral("absent.mbox")},
        {"address book as text",
         {QStringLiteral("--export-addresses"), file("book.txt")},
         1,
         QStringLiteral(".csv")},
        {"unknown option", {QStringLiteral("--frobnicate")}, 2, QStringLiteral("--frobnicate")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const CommandOutcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_TRUE(outcome.message.contains(c.says)) << outcome.message.toStdString();
    }
}

TEST_F(CommandLineTest, AddressBookExportsByItsExtension)
{
    AddressStore book(folder.appDir());
    ASSERT_TRUE(book.Append(QStringLiteral("山田"), QStringLiteral("y@x.jp")));
    EXPECT_EQ(run({QStringLiteral("--export-addresses"), file("book.vcf")}).exitCode, 0);
    QFile vcf(file("book.vcf"));
    ASSERT_TRUE(vcf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(vcf.readAll().startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
}

// The program itself: no window and no display for the command line.
TEST_F(CommandLineTest, TheProgramRunsWithoutADisplay)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(environment);
    const QString executable = folder.copyProgram();

    program.start(executable,
                  {QStringLiteral("--export-mbox"), QStringLiteral("nowhere"), file("x")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(
        QString::fromLocal8Bit(program.readAllStandardError()).contains(QStringLiteral("nowhere")));

    program.start(executable, {QStringLiteral("--export-addresses"), file("book.csv")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(file("book.csv")));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("\\★MAilData\\Krvdata20.data"))));
}

// A program folder that lost the mail module still exports, and an import says why it
// cannot read the mail instead of storing anything.
TEST_F(CommandLineTest, WithoutItsMailModuleTheProgramSaysSoAndImportsNothing)
{
    folder.writeBytes(kSentStorePath, storeBytes(awkwardReceivedRecords()));
    const QString executable = folder.copyProgram();
    ASSERT_TRUE(QFile::remove(folder.path() + QStringLiteral("/orvaine-mail.so")));
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());

    program.start(executable,
                  {QStringLiteral("--export-mbox"), QStringLiteral("sent"), file("sent.mbox")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    program.start(executable, {QStringLiteral("--import-mbox"), file("sent.mbox")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardError())
                    .contains(QStringLiteral("orvaine-mail.so）を読み込めませんでした")));
    EXPECT_EQ(folder.readBytes(kReceivedStorePath), QByteArray());
    EXPECT_EQ(folder.readBytes(kSentStorePath), storeBytes(awkwardReceivedRecords()));
}

} // namespace
} // namespace orv::test
