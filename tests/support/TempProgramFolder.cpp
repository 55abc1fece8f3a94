#include "support/TempProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <stdexcept>

namespace orv::test {

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    const QDir source(from);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else if (it.fileInfo().fileName() != QLatin1String("orvaine"))
            QFile::copy(path, target);
    }
}

TempProgramFolder::TempProgramFolder(bool withInstallationTree)
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    m_path = m_dir.path();
    if (withInstallationTree)
        copyTree(QString::fromUtf8(ORVAINE_PROGRAM_DIR), m_path);
}

QString TempProgramFolder::file(const QString &programPath) const
{
    return appDir().resolve(programPath);
}

QByteArray TempProgramFolder::readBytes(const QString &programPath) const
{
    QFile f(file(programPath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempProgramFolder::writeBytes(const QString &programPath, const QByteArray &bytes) const
{
    QFile f(file(programPath));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a test file");
}

} // namespace orv::test
