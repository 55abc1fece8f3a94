// One writer per program folder, exports that never land on the program's own files, and
// imports that read only mail: tried from outside, as a script or a careless user would.
#include "ExchangeTestSupport.h"
#include "ProgramRun.h"

#include "core/TextFile.h"
#include "exchange/CommandLine.h"
#include "exchange/HistoryExchange.h"
#include "exchange/Mbox.h"
#include "exchange/MessageExport.h"
#include "store/InstanceLock.h"
#include "store/MailStore.h"
#include "store/RecordFileAppender.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::test {
namespace {

using namespace orv::exchange;

QByteArray textMessage(const QByteArray &subject, const QByteArray &body = "本文\n")
{
    return "From: a@example.jp\nSubject: " + subject +
           "\nDate: Wed, 9 Dec 2026 09:05:00 +0900\n\n" + body;
}

QByteArray mboxOf(const QList<QByteArray> &messages)
{
    QByteArray mbox;
    for (const QByteArray &message : messages)
        mbox += "From a@example.jp Wed Dec  9 00:05:00 2026\n" + message + "\n";
    return mbox;
}

class SafeFilesTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return folder.path() + QLatin1Char('/') + name; }

    QString writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile out(file(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return out.fileName();
    }

    int storedCount() const { return MailStore::ReceivedStore(folder.appDir()).RecordCount(); }

    MailRecord stored(int number) const
    {
        MailRecord record;
        EXPECT_TRUE(MailStore::ReceivedStore(folder.appDir()).Read(number, record));
        return record;
    }

    QStringList attachmentFiles() const
    {
        return QDir(folder.file(QStringLiteral("\\添付フォルダ"))).entryList(QDir::Files);
    }

    CommandOutcome run(const QStringList &arguments) const
    {
        return runCommand(arguments, folder.appDir());
    }

    QString programCopy() const { return programCopyIn(folder); }

    ProgramResult runProgram(const QStringList &arguments, int timeoutMs = 60000) const
    {
        return runProgramIn(folder, arguments, timeoutMs);
    }

    TempProgramFolder folder;
};

TEST_F(SafeFilesTest, ACommandThatWritesFindsTheFolderHeldByTheOpenWindowAndWritesNothing)
{
    const QString mbox = writeFile(QStringLiteral("in.mbox"), mboxOf({textMessage("one")}));
    QProcess window;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(environment);
    window.start(programCopy(), {});
    ASSERT_TRUE(window.waitForStarted());
    // The holder writes its process id into the lock file; trying the lock instead would,
    // at the wrong moment, make the window find the folder taken.
    const QString lockPath = InstanceLock::lockPath(folder.appDir());
    const QByteArray holder = QByteArray::number(window.processId()) + '\n';
    const auto windowHoldsTheFolder = [&] {
        QFile lock(lockPath);
        return lock.open(QIODevice::ReadOnly) && lock.readAll() == holder;
    };
    QElapsedTimer waited;
    waited.start();
    while (!windowHoldsTheFolder()) {
        ASSERT_LT(waited.elapsed(), 120000) << "the window never took the folder's lock";
        ASSERT_EQ(window.state(), QProcess::Running) << window.readAllStandardError().toStdString();
        QThread::msleep(50);
    }

    const ProgramResult imported = runProgram({QStringLiteral("--import-mbox"), mbox});
    EXPECT_EQ(imported.exitCode, kExitFolderBusy);
    EXPECT_TRUE(imported.err.contains(QStringLiteral("起動"))) << imported.err.toStdString();
    EXPECT_FALSE(QFile::exists(folder.file(kReceivedStorePath)));

    // Reading is no writing: an export goes on beside the window.
    const ProgramResult exported = runProgram(
        {QStringLiteral("--export-mbox"), QStringLiteral("received"), file(QStringLiteral("o"))});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();

    window.kill();
    window.waitForFinished();
    // The kernel lets go of a dead window's lock at once.
    EXPECT_EQ(runProgram({QStringLiteral("--import-mbox"), mbox}).exitCode, 0);
    EXPECT_EQ(storedCount(), 1);
}

// Two processes append to one store at once, the one a run's appender, the other single
// appends: each measures the end and writes there under the file's lock.
TEST_F(SafeFilesTest, TwoProcessesAppendingToOneStoreKeepEveryRecord)
{
    constexpr int kEach = 1500;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MailStore store = MailStore::ReceivedStore(folder.appDir());
        bool ok = true;
        for (int i = 0; i < kEach && ok; ++i) {
            MailRecord r = record(QStringLiteral("child %1").arg(i), QStringLiteral("c@x"), {}, {});
            ok = store.Append(r, nullptr, Durability::SyncedLater).ok();
        }
        ::_exit(ok ? 0 : 1);
    }
    RecordFileAppender appender(MailStore::ReceivedStore(folder.appDir()));
    for (int i = 0; i < kEach; ++i) {
        MailRecord r = record(QStringLiteral("parent %1").arg(i), QStringLiteral("p@x"), {}, {});
        ASSERT_TRUE(appender.append(r.data()));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ASSERT_EQ(storedCount(), 2 * kEach);
    QSet<QString> subjects;
    for (int number = 1; number <= 2 * kEach; ++number)
        subjects.insert(trimBlanks(stored(number).subject()));
    EXPECT_EQ(subjects.size(), 2 * kEach) << "a record was written over another";
}

TEST_F(SafeFilesTest, AnExportNeverLandsOnTheProgramsOwnFilesNorOnWhatIsNoRegularFile)
{
    folder.writeBytes(kReceivedStorePath, storeBytes(awkwardReceivedRecords()));
    folder.writeBytes(kSentStorePath, storeBytes({awkwardReceivedRecords()[0]}));
    folder.writeBytes(QStringLiteral("\\korvel.ini"), "[x]\r\n");
    const QByteArray receivedBefore = folder.readBytes(kReceivedStorePath);
    const QByteArray sentBefore = folder.readBytes(kSentStorePath);
    const QString link = file(QStringLiteral("link.mbox"));
    ASSERT_TRUE(QFile::link(folder.file(kReceivedStorePath), link));
    const QString fifo = file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    struct Case {
        const char *what;
        QString target;
        QString says;
    };
    const QString own = QStringLiteral("自分で使っている");
    const std::vector<Case> cases = {
        {"the received history", folder.file(kReceivedStorePath), own},
        {"the sent history", folder.file(kSentStorePath), own},
        {"the history in another case", folder.path() + QStringLiteral("/★maildata/KRVDATA2.DATA"),
         own},
        {"a new file in the data folder", folder.path() + QStringLiteral("/★MAilData/new.mbox"),
         own},
        {"the account file", folder.file(QStringLiteral("\\★MAilData\\iniIdPass.ini")), own},
        {"the settings file", folder.file(QStringLiteral("\\korvel.ini")), own},
        {"the attachment folder", folder.file(QStringLiteral("\\添付フォルダ\\x.mbox")), own},
        {"the program folder itself", folder.path(), own},
        {"the executable", programCopy(), own},
        {"a symlink to the history", link, own},
        {"a device", QStringLiteral("/dev/null"), QStringLiteral("デバイス")},
        {"a FIFO", fifo, QStringLiteral("FIFO")},
        {"a folder", QDir::tempPath(), QStringLiteral("フォルダ")},
        {"a missing folder", file(QStringLiteral("no/such/x.mbox")), QStringLiteral("no/such")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const char *history : {"received", "sent"}) {
            const CommandOutcome outcome =
                run({QStringLiteral("--export-mbox"), QLatin1String(history), c.target});
            EXPECT_EQ(outcome.exitCode, kExitFailed);
            EXPECT_TRUE(outcome.message.contains(c.says)) << outcome.message.toStdString();
        }
    }
    const CommandOutcome addresses = run({QStringLiteral("--export-addresses"),
                                          folder.path() + QStringLiteral("/★MAilData/book.csv")});
    EXPECT_EQ(addresses.exitCode, kExitFailed) << addresses.message.toStdString();
    EXPECT_EQ(folder.readBytes(kReceivedStorePath), receivedBefore);
    EXPECT_EQ(folder.readBytes(kSentStorePath), sentBefore);
    struct stat info;
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    // An ordinary target next to the program still works.
    EXPECT_EQ(run({QStringLiteral("--export-mbox"), QStringLiteral("received"),
                   file(QStringLiteral("backup.mbox"))})
                  .exitCode,
              0);
}

TEST_F(SafeFilesTest, ImportReadsOnlyRegularFilesAndEndsWithinSeconds)
{
    const QString fifo = file(QStringLiteral("fifo.mbox"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString emls = file(QStringLiteral("emls"));
    ASSERT_TRUE(QDir().mkpath(emls));
    writeFile(QStringLiteral("emls/a.eml"), textMessage("good"));
    ASSERT_TRUE(QFile::link(fifo, emls + QStringLiteral("/b.eml")));
    ASSERT_TRUE(QFile::link(file(QStringLiteral("gone")), emls + QStringLiteral("/c.eml")));

    struct Case {
        const char *what;
        QString source;
        int exitCode;
        QString says;
        int stored;
    };
    const std::vector<Case> cases = {
        {"a FIFO", fifo, kExitFailed, QStringLiteral("FIFO"), 0},
        {"a device that never ends", QStringLiteral("/dev/zero"), kExitFailed,
         QStringLiteral("デバイス"), 0},
        {"a folder with a link to a FIFO and a broken link", emls, 0,
         QStringLiteral("2 件は通常のファイルではない"), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QElapsedTimer took;
        took.start();
        const ProgramResult result = runProgram({QStringLiteral("--import-mbox"), c.source}, 30000);
        ASSERT_TRUE(result.finished) << "the import hung";
        EXPECT_LT(took.elapsed(), 20000);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
        EXPECT_TRUE((result.out + result.err).contains(c.says))
            << (result.out + result.err).toStdString();
        EXPECT_EQ(storedCount(), c.stored);
    }
}

TEST_F(SafeFilesTest, ImportTellsMailFromWhatIsNotMail)
{
    const QByteArray three = mboxOf({textMessage("m1"), textMessage("m2"), textMessage("m3")});
    QByteArray random(4096, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919 + 13) % 251);
    struct Case {
        const char *what;
        QByteArray bytes;
        int exitCode;
        int imported;
        QString says;
    };
    const std::vector<Case> cases = {
        {"an mbox after a blank line", "\n \n" + three, 0, 3, {}},
        {"an mbox after a byte order mark", "\xEF\xBB\xBF" + three, 0, 3, {}},
        {"an mbox with CR LF line ends", QByteArray(three).replace("\n", "\r\n"), 0, 3, {}},
        {"a message with CR line ends", textMessage("cr", "a\nb\n").replace('\n', '\r'), 0, 1, {}},
        {"a preamble before the mbox", "This is an archive.\n" + three, kExitFailed, 0,
         QStringLiteral("メールではない")},
        {"an empty file", {}, kExitFailed, 0, QStringLiteral("メールではない")},
        {"blank lines only", "\n\n \n", kExitFailed, 0, QStringLiteral("メールではない")},
        {"random bytes", random, kExitFailed, 0, QStringLiteral("メールではない")},
        {"a password file", "root:x:0:0:root:/root:/bin/bash\ndaemon:x:1:1::/:/bin/sh\n",
         kExitFailed, 0, QStringLiteral("メールではない")},
        {"mail and a header-less entry in one mbox",
         mboxOf({textMessage("m1"), "just text\nno header\n"}), 0, 1,
         QStringLiteral("1 件はメールではない")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramFolder target;
        const QString path = writeFile(QStringLiteral("in.mbox"), c.bytes);
        const CommandOutcome outcome =
            runCommand({QStringLiteral("--import-mbox"), path}, target.appDir());
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(c.says)) << outcome.message.toStdString();
        const MailStore store = MailStore::ReceivedStore(target.appDir());
        EXPECT_EQ(store.RecordCount(), c.imported);
    }
}

TEST_F(SafeFilesTest, CrLineEndsAndNulBytesNeverReachTheFieldsWrong)
{
    static const char message[] = "From: cr@example.jp\rSubject: mac\rDate: Wed, 9 Dec 2026 "
                                  "09:05:00 +0900\r\rfirst\rsecond\0third\r";
    const QString path =
        writeFile(QStringLiteral("cr.eml"), QByteArray(message, sizeof message - 1));
    ASSERT_EQ(run({QStringLiteral("--import-mbox"), path}).exitCode, 0);
    const MailRecord r = stored(1);
    EXPECT_EQ(trimBlanks(r.address()), QStringLiteral("cr@example.jp"));
    EXPECT_EQ(trimBlanks(r.subject()), QStringLiteral("mac"));
    EXPECT_EQ(trimBlanks(r.body()), QStringLiteral("first\r\nsecondthird\r\n"));
    EXPECT_FALSE(
        QByteArray(r.data(), MailRecord::kBodyOffset + MailRecord::kBodyWidth).contains('\0'));
}

TEST_F(SafeFilesTest, AnImportRunAgainSkipsWhatItImportedBefore)
{
    const QString path =
        writeFile(QStringLiteral("in.mbox"),
                  mboxOf({textMessage("m1"), textMessage("m2"), textMessage("m1")}));
    const CommandOutcome first = run({QStringLiteral("--import-mbox"), path});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_TRUE(first.message.contains(QStringLiteral("2 件のメール")))
        << first.message.toStdString();
    EXPECT_TRUE(first.message.contains(QStringLiteral("1 件はすでに")));

    const CommandOutcome again = run({QStringLiteral("--import-mbox"), path});
    EXPECT_EQ(again.exitCode, 0) << again.message.toStdString();
    EXPECT_TRUE(again.message.contains(QStringLiteral("0 件のメール")));
    EXPECT_TRUE(again.message.contains(QStringLiteral("3 件はすでに")));
    EXPECT_EQ(storedCount(), 2);
}

TEST_F(SafeFilesTest, AMessageThatCannotBeStoredLeavesNoAttachmentFiles)
{
    // A sparse store with no room left.
    QDir().mkpath(folder.file(QStringLiteral("\\★MAilData")));
    QFile store(folder.file(kReceivedStorePath));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    ASSERT_TRUE(store.resize(qint64(MailStore::kMaxRecords) * MailRecord::kSize));
    store.close();
    const QByteArray message = "From: a@example.jp\nSubject: with file\nMIME-Version: 1.0\n"
                               "Content-Type: multipart/mixed; boundary=b\n\n--b\n"
                               "Content-Type: text/plain\n\nsee the file\n--b\n"
                               "Content-Type: application/octet-stream\n"
                               "Content-Disposition: attachment; filename=kept.bin\n"
                               "Content-Transfer-Encoding: base64\n\naGVsbG8=\n--b--\n";
    const QString path = writeFile(QStringLiteral("one.eml"), message);
    const QStringList before = attachmentFiles();

    const CommandOutcome outcome = run({QStringLiteral("--import-mbox"), path});

    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_TRUE(outcome.message.contains(QStringLiteral("32767"))) << outcome.message.toStdString();
    EXPECT_EQ(attachmentFiles(), before);
}

TEST_F(SafeFilesTest, ExportThenImportKeepsDatesNoMailHeaderCanCarryAndEmptyAddresses)
{
    const std::vector<MailRecord> records = {
        record(QStringLiteral("日付が文章"), QStringLiteral("a@example.jp"),
               QStringLiteral("昨日の夜"), QStringLiteral("本文")),
        record(QStringLiteral("ASCII but no date"), QStringLiteral("b@example.jp"),
               QStringLiteral("sometime in 2026"), QStringLiteral("body")),
        record(QStringLiteral("差出人なし"), QString(),
               QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900"), QStringLiteral("本文")),
        record(QStringLiteral("全部空"), QString(), QString(), QStringLiteral("x")),
    };
    folder.writeBytes(kReceivedStorePath, storeBytes(records));
    const QString mbox = file(QStringLiteral("round.mbox"));
    ASSERT_EQ(run({QStringLiteral("--export-mbox"), QStringLiteral("received"), mbox}).exitCode, 0);

    TempProgramFolder target;
    const CommandOutcome imported =
        runCommand({QStringLiteral("--import-mbox"), mbox}, target.appDir());
    ASSERT_EQ(imported.exitCode, 0) << imported.message.toStdString();
    const MailStore store = MailStore::ReceivedStore(target.appDir());
    ASSERT_EQ(store.RecordCount(), int(records.size()));
    for (int i = 0; i < int(records.size()); ++i) {
        SCOPED_TRACE(i);
        MailRecord back;
        ASSERT_TRUE(MailStore::ReceivedStore(target.appDir()).Read(i + 1, back));
        EXPECT_EQ(trimBlanks(back.date()), trimBlanks(records[i].date()));
        EXPECT_EQ(trimBlanks(back.address()), trimBlanks(records[i].address()));
        EXPECT_EQ(trimBlanks(back.subject()), trimBlanks(records[i].subject()));
    }
}

TEST_F(SafeFilesTest, TheCommandLineAnswersOnTheTerminalAndNeverOpensAWindow)
{
    struct Case {
        const char *what;
        QStringList arguments;
        int exitCode;
        bool usageOnStandardOutput;
        QString says;
    };
    const std::vector<Case> cases = {
        {"--help", {QStringLiteral("--help")}, 0, true, QStringLiteral("使い方")},
        {"-h", {QStringLiteral("-h")}, 0, true, QStringLiteral("--import-mbox")},
        {"--version", {QStringLiteral("--version")}, 0, true, QStringLiteral("Orvaine Mail 1.05")},
        {"a single-dash option", {QStringLiteral("-x")}, 2, false, QStringLiteral("使い方")},
        {"a stray file", {QStringLiteral("mail.eml")}, 2, false, QStringLiteral("mail.eml")},
        {"two commands",
         {QStringLiteral("--import-mbox"), QStringLiteral("a.mbox"),
          QStringLiteral("--export-mbox"), QStringLiteral("received"), QStringLiteral("b")},
         2,
         false,
         QStringLiteral("一つ")},
        {"help with more",
         {QStringLiteral("--help"), QStringLiteral("now")},
         2,
         false,
         QStringLiteral("now")},
        {"an argument too many",
         {QStringLiteral("--import-mbox"), QStringLiteral("a"), QStringLiteral("b")},
         2,
         false,
         QStringLiteral("余分")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramResult result = runProgram(c.arguments, 30000);
        ASSERT_TRUE(result.finished) << "it opened a window";
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
        const QString &where = c.usageOnStandardOutput ? result.out : result.err;
        EXPECT_TRUE(where.contains(c.says)) << where.toStdString();
        EXPECT_TRUE((c.usageOnStandardOutput ? result.err : result.out).isEmpty());
    }
}

} // namespace
} // namespace orv::test
