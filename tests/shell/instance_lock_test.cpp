#include "shell/InstanceLock.h"
#include "support/TestApp.h"

#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace orv {
namespace {

const QString kAlreadyRunning =
    QStringLiteral("このフォルダのOrvaineMailはすでに起動しています。\n"
                   "同じフォルダのOrvaineMailを二つ同時に起動することはできません。"
                   "起動中のウィンドウをお使いください。");

// Another copy of the program on the same folder, with only the seam it needs.
struct SecondCopy {
    explicit SecondCopy(const AppDir &appDir)
    {
        Services services;
        auto scripted = std::make_unique<test::ScriptedMessageBoxes>();
        boxes = scripted.get();
        services.messageBoxes = std::move(scripted);
        app = std::make_unique<App>(appDir, std::move(services));
    }
    test::ScriptedMessageBoxes *boxes = nullptr;
    std::unique_ptr<App> app;
};

// A process id that no process has any more.
qint64 deadProcessId()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), {});
    EXPECT_TRUE(process.waitForStarted());
    const qint64 id = process.processId();
    EXPECT_TRUE(process.waitForFinished());
    return id;
}

void backdate(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                 QFileDevice::FileModificationTime));
}

TEST(InstanceLock, ASecondCopyInTheSameFolderIsToldAndEnds)
{
    test::TestApp first;
    InstanceLock firstLock(first.app->appDir());
    ASSERT_TRUE(claimProgramFolder(*first.app, firstLock));
    EXPECT_TRUE(QFile::exists(InstanceLock::lockPath(first.folder.appDir())));
    EXPECT_TRUE(first.messageBoxes->shown.empty());
    // A copy that has run for a day still holds the folder.
    backdate(InstanceLock::lockPath(first.folder.appDir()));

    SecondCopy second(first.folder.appDir());
    InstanceLock secondLock(second.app->appDir());
    EXPECT_FALSE(claimProgramFolder(*second.app, secondLock));
    ASSERT_EQ(second.boxes->shown.size(), 1u);
    EXPECT_EQ(second.boxes->shown[0].text, kAlreadyRunning);
    EXPECT_EQ(second.boxes->shown[0].title, App::applicationTitle());
}

TEST(InstanceLock, TheLockOfACopyThatDiedIsTakenOver)
{
    test::TestApp fixture;
    const QString path = InstanceLock::lockPath(fixture.folder.appDir());
    // A lock file as a copy leaves it when it is killed: its own process id, gone since.
    QByteArray contents;
    {
        QLockFile lock(path);
        ASSERT_TRUE(lock.tryLock(0));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
        lock.unlock();
    }
    const qsizetype firstLineEnd = contents.indexOf('\n');
    ASSERT_GT(firstLineEnd, 0);
    contents.replace(0, firstLineEnd, QByteArray::number(deadProcessId()));
    fixture.folder.writeBytes(QStringLiteral("\\★MAilData\\orvaine.lock"), contents);
    backdate(path);

    InstanceLock lock(fixture.app->appDir());
    EXPECT_TRUE(claimProgramFolder(*fixture.app, lock));
    EXPECT_TRUE(fixture.messageBoxes->shown.empty());

    SecondCopy second(fixture.folder.appDir());
    InstanceLock secondLock(second.app->appDir());
    EXPECT_FALSE(claimProgramFolder(*second.app, secondLock)) << "the lock taken over holds";
}

TEST(InstanceLock, AFolderThatCannotHoldALockDoesNotStopTheProgram)
{
    test::TestApp fixture(/*withInstallationTree=*/false); // no data folder
    InstanceLock lock(fixture.app->appDir());
    EXPECT_TRUE(claimProgramFolder(*fixture.app, lock));
    EXPECT_TRUE(fixture.messageBoxes->shown.empty());
}

} // namespace
} // namespace orv
