#include "core/AppDir.h"

#include <QDir>
#include <QFileInfo>

namespace orv {

namespace {

QString matchEntry(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (!dir.exists())
        return name;
    if (QFileInfo::exists(dir.filePath(name)))
        return name;
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return name;
}

QString dropTrailingSpaces(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

} // namespace

QString resolveCaseInsensitive(const QString &base, const QString &relative)
{
    QString normalised = relative;
    normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts = normalised.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty())
        parts.last() = dropTrailingSpaces(parts.last());

    QString path = QDir::cleanPath(base);
    for (const QString &part : std::as_const(parts)) {
        if (part == QLatin1String("."))
            continue;
        path = path + QLatin1Char('/') + matchEntry(path, part);
    }
    return path;
}

AppDir::AppDir(QString root) : m_root(QDir::cleanPath(std::move(root))) {}

QString AppDir::resolve(const QString &programPath) const
{
    return resolveCaseInsensitive(m_root, programPath);
}

} // namespace orv
