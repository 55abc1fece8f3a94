#include "exchange/InputFile.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::exchange {

namespace {

Status tooLarge(const QString &path, qint64 maxBytes)
{
    return Status::failure(QStringLiteral("「%1」は大きすぎます（%2 MB まで読めます）。")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(maxBytes / (1024 * 1024)));
}

} // namespace

Status readRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fileFailure(path, QStringLiteral("読み込み"), systemReason(errno));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fileFailure(path, QStringLiteral("読み込み"), file.errorString());
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Status::failure(QStringLiteral("「%1」は普通のファイルではないため読みません。")
                                   .arg(QDir::toNativeSeparators(path)));
    if (info.st_size > maxBytes)
        return tooLarge(path, maxBytes);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return fileFailure(path, QStringLiteral("読み込み"), file.errorString());
    if (bytes.size() > maxBytes) // it grew while we read
        return tooLarge(path, maxBytes);
    return Status::success();
}

} // namespace orv::exchange
