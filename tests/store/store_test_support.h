#pragma once

#include "core/Status.h"
#include "support/TempProgramFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <unistd.h>

namespace orv::test {

inline const QString kDataFolder = QStringLiteral("★MAilData");

// An empty program folder with nothing but the data folder.
class DataFolder {
public:
    DataFolder() { QDir(folder.path()).mkdir(kDataFolder); }

    QString path(const QString &name) const
    {
        return folder.path() + QLatin1Char('/') + kDataFolder + QLatin1Char('/') + name;
    }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // A file of `length` bytes without writing them (a hole reads as zeros).
    void makeSparse(const QString &name, qint64 length) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(::ftruncate(file.handle(), length), 0);
    }
    bool exists(const QString &name) const { return QFile::exists(path(name)); }

    TempProgramFolder folder{false};
};

// Bytes of the repeated character, for building expected records.
inline QByteArray bytesOf(char c, qsizetype count)
{
    return QByteArray(count, c);
}

inline QByteArray padded(const QByteArray &text, qsizetype width)
{
    return text + bytesOf(' ', width - text.size());
}

} // namespace orv::test

namespace orv::test {

// Lets a failed Status show its message in the test output.
inline ::testing::AssertionResult succeeded(const Status &status)
{
    if (status.ok())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << status.error().toStdString();
}

} // namespace orv::test
