#include "exchange/ExportTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orv::exchange {

namespace {

// The program paths an export never writes to, nor below.
const QStringList kOwnPaths = {
    QStringLiteral("\\★MAilData"),    QStringLiteral("\\korvel.ini"),
    QStringLiteral("\\添付フォルダ"), QStringLiteral("\\■TextQuickSave"),
    QStringLiteral("\\顔文字データ"), QStringLiteral("\\背景画像"),
    QStringLiteral("\\新着画像"),     QStringLiteral("\\Sound"),
    QStringLiteral("\\orvaine"),
};

// How deep a chain of symlinks is followed before the target counts as unreachable (the
// kernel's own limit).
constexpr int kMaxLinks = 40;

// The absolute path `path` stands for once every symlink on the way is followed, also where
// its last parts do not exist yet: what a write at `path` would reach.
QString reachedPath(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0; links < kMaxLinks; ++links) {
        const QFileInfo info(current);
        if (info.isSymLink()) {
            current = QFileInfo(info.dir(), info.symLinkTarget()).absoluteFilePath();
            continue;
        }
        if (info.exists())
            return info.canonicalFilePath();
        const QString parent = reachedPath(info.absolutePath());
        return parent.isEmpty() ? QString() : QDir(parent).filePath(info.fileName());
    }
    return {};
}

bool isSameOrBelow(const QString &path, const QString &own)
{
    return path.compare(own, Qt::CaseInsensitive) == 0 ||
           path.startsWith(own + QLatin1Char('/'), Qt::CaseInsensitive);
}

bool isProgramsOwn(const AppDir &appDir, const QString &reached)
{
    const QString root = reachedPath(appDir.root());
    if (reached.compare(root, Qt::CaseInsensitive) == 0)
        return true;
    for (const QString &own : kOwnPaths) {
        const QString ownReached = reachedPath(appDir.resolve(own));
        if (!ownReached.isEmpty() && isSameOrBelow(reached, ownReached))
            return true;
    }
    return false;
}

Status refused(const QString &path, const QString &why)
{
    return Status::failure(
        QStringLiteral("「%1」には書き出せません。%2").arg(QDir::toNativeSeparators(path), why));
}

Status checkExisting(const QString &path, const QString &reached, ExportShape shape)
{
    struct stat info;
    if (::stat(QFile::encodeName(reached).constData(), &info) != 0)
        return Status::success(); // nothing there yet
    const bool fits = shape == ExportShape::File ? S_ISREG(info.st_mode) : S_ISDIR(info.st_mode);
    if (fits)
        return Status::success();
    return refused(path, QStringLiteral("%1です。書き出し先には%2を指定してください。")
                             .arg(fileKindText(info.st_mode),
                                  shape == ExportShape::File ? QStringLiteral("通常のファイル")
                                                             : QStringLiteral("新しいフォルダ")));
}

Status checkFolderWritable(const QString &path, const QString &reached)
{
    const QString folder = QFileInfo(reached).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0)
        return Status::success();
    const int error = errno;
    return refused(path, QStringLiteral("フォルダ「%1」に書き込めません。（%2）")
                             .arg(QDir::toNativeSeparators(folder), systemReason(error)));
}

} // namespace

QString fileKindText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("フォルダ");
    if (S_ISFIFO(mode))
        return QStringLiteral("FIFO（名前付きパイプ）");
    if (S_ISSOCK(mode))
        return QStringLiteral("ソケット");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("デバイス");
    return QStringLiteral("通常のファイルではないもの");
}

Status checkExportTarget(const AppDir &appDir, const QString &path, ExportShape shape)
{
    const QString reached = reachedPath(path);
    if (reached.isEmpty())
        return refused(path, QStringLiteral("シンボリックリンクをたどりきれません。"));
    if (isProgramsOwn(appDir, reached))
        return refused(path, QStringLiteral("OrvaineMailが自分で使っているファイルかフォルダです。"
                                            "別の場所を指定してください。"));
    if (Status existing = checkExisting(path, reached, shape); !existing)
        return existing;
    return checkFolderWritable(path, reached);
}

} // namespace orv::exchange
