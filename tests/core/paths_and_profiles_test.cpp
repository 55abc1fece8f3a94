#include "core/AppDir.h"
#include "core/Cp932.h"
#include "core/ProfileFile.h"
#include "core/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orv {
namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(AppDir, ResolvesComponentsWithoutRegardToCase)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("★MAilData"));
    writeAll(dir.path() + QStringLiteral("/★MAilData/Krvdata20.data"), "x");
    const AppDir appDir(dir.path());

    const QString expected = dir.path() + QStringLiteral("/★MAilData/Krvdata20.data");
    EXPECT_EQ(appDir.resolve(QStringLiteral("\\★MailData\\krvdata20.data")), expected);
    EXPECT_EQ(appDir.resolve(QStringLiteral("\\★MAilData\\KRVDATA20.DATA")), expected);
}

TEST(AppDir, KeepsGivenSpellingForMissingEntriesAndDropsTrailingSpaces)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("背景画像"));
    const AppDir appDir(dir.path());
    EXPECT_EQ(appDir.resolve(QStringLiteral("\\背景画像\\1.jpg ")),
              dir.path() + QStringLiteral("/背景画像/1.jpg"));
    EXPECT_EQ(appDir.resolve(QStringLiteral("\\★MAilData\\KRVDATA2.TMP")),
              dir.path() + QStringLiteral("/★MAilData/KRVDATA2.TMP"));
}

TEST(TextFile, SplitsLinesAtCrLfAndLoneCrButKeepsLoneLfWhenAsked)
{
    EXPECT_EQ(splitLines(QStringLiteral("a\r\nb\rc\nd"), LineEnds::CrOrCrLf),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c\nd")}));
    EXPECT_EQ(splitLines(QStringLiteral("a\nb\r\n")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(joinLinesWithCrLf(QStringLiteral("one\rtwo")), QStringLiteral("one\r\ntwo\r\n"));
}

class ProfileFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/iniIdPass.ini");
    const QString section = QStringLiteral("EXEINI");
};

TEST_F(ProfileFileTest, AbsentFileReadsEmptyAndIsCreatedOwnerOnly)
{
    const ProfileFile file(path);
    EXPECT_EQ(file.read(section, QStringLiteral("NAME")), QString());
    ASSERT_TRUE(file.write(section, QStringLiteral("NAME"), QStringLiteral("user")).ok());
    EXPECT_EQ(readAll(path), QByteArray("[EXEINI]\r\nNAME=user\r\n"));
    EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    EXPECT_EQ(file.read(section, QStringLiteral("NAME")), QStringLiteral("user"));
}

TEST_F(ProfileFileTest, ReplacesExistingKeyAndKeepsOtherLines)
{
    writeAll(path, "; saved by "
                   "hand\r\n[Other]\r\nNAME=elsewhere\r\n[EXEINI]\r\nNAME=old\r\nNAME3=1\r\n\r\n["
                   "Tail]\r\nX=1\r\n");
    const ProfileFile file(path);
    ASSERT_TRUE(file.write(section, QStringLiteral("NAME"), QStringLiteral("new")).ok());
    ASSERT_TRUE(file.write(section, QStringLiteral("NAME2"), QString::fromUtf8("パス")).ok());
    EXPECT_EQ(
        readAll(path),
        QByteArray(
            "; saved by "
            "hand\r\n[Other]\r\nNAME=elsewhere\r\n[EXEINI]\r\nNAME=new\r\nNAME3=1\r\nNAME2=") +
            cp932::encode(QString::fromUtf8("パス")) + QByteArray("\r\n\r\n[Tail]\r\nX=1\r\n"));
    EXPECT_EQ(file.read(section, QStringLiteral("NAME")), QStringLiteral("new"));
    EXPECT_EQ(file.read(section, QStringLiteral("name2")), QString::fromUtf8("パス"));
    EXPECT_EQ(file.read(QStringLiteral("Other"), QStringLiteral("NAME")),
              QStringLiteral("elsewhere"));
}

TEST_F(ProfileFileTest, ValuesAreReadIntoA256CharacterBuffer)
{
    writeAll(path, "[EXEINI]\r\nNAME=" + QByteArray(300, 'x') + "\r\n");
    EXPECT_EQ(ProfileFile(path).read(section, QStringLiteral("NAME")).size(), 255);
}

TEST_F(ProfileFileTest, WriteIntoMissingFolderReportsTheFile)
{
    const ProfileFile file(dir.path() + QStringLiteral("/missing/iniIdPass.ini"));
    const Status status = file.write(section, QStringLiteral("NAME"), QStringLiteral("u"));
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(QStringLiteral("iniIdPass.ini")))
        << status.error().toStdString();
}

} // namespace
} // namespace orv
