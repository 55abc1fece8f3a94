#include "support/TempProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <stdexcept>

namespace orv::test {

namespace {

const QStringList kProgramFiles = {QStringLiteral("orvaine"), QStringLiteral("orvaine-mail.so"),
                                   QStringLiteral("orvaine-print.so")};

} // namespace

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
        else if (!kProgramFiles.contains(it.fileInfo().fileName()))
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

QString TempProgramFolder::copyProgram(const QString &programDir) const
{
    const QString executable = m_path + QStringLiteral("/orvaine");
    if (QFile::exists(executable)) // copied already; a test may have taken a file away since
        return executable;
    for (const QString &name : kProgramFiles) {
        if (!QFile::copy(programDir + u'/' + name, m_path + u'/' + name))
            throw std::runtime_error("cannot copy the program into its test folder");
    }
    return executable;
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
