#include "core/ProfileFile.h"

#include "core/Cp932.h"
#include "core/TextFile.h"

#include <QFile>
#include <QStringList>

namespace orv {

namespace {

constexpr qsizetype kValueCapacity = 255;

bool isSectionLine(const QString &line)
{
    return line.trimmed().startsWith(u'[');
}

bool isSection(const QString &line, const QString &section)
{
    const QString trimmed = line.trimmed();
    return trimmed.startsWith(u'[') && trimmed.endsWith(u']') &&
           trimmed.mid(1, trimmed.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
}

// The key of a key=value line, or a null string for any other line.
QString keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0 || isSectionLine(line))
        return {};
    return line.left(eq).trimmed();
}

struct SectionSpan {
    qsizetype header = -1; // index of the "[section]" line
    qsizetype end = -1;    // index one past its last key line
};

SectionSpan findSection(const QStringList &lines, const QString &section)
{
    SectionSpan span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (span.header < 0) {
            if (isSection(lines[i], section))
                span.header = i;
            continue;
        }
        if (isSectionLine(lines[i]))
            break;
        if (!lines[i].trimmed().isEmpty())
            span.end = i + 1;
    }
    if (span.header >= 0 && span.end < 0)
        span.end = span.header + 1;
    return span;
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path)) {}

QString ProfileFile::read(const QString &section, const QString &key) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = splitLines(cp932::decode(file.readAll()));
    const SectionSpan span = findSection(lines, section);
    if (span.header < 0)
        return {};
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        if (keyOf(lines[i]).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = lines[i].mid(lines[i].indexOf(u'=') + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value.left(kValueCapacity);
    }
    return {};
}

Status ProfileFile::write(const QString &section, const QString &key, const QString &value) const
{
    QStringList lines;
    QFile existing(m_path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly))
            return fileFailure(m_path, QStringLiteral("読み込み"), existing.errorString());
        lines = splitLines(cp932::decode(existing.readAll()));
        existing.close();
    }

    const QString entry = key + u'=' + value;
    const SectionSpan span = findSection(lines, section);
    bool replaced = false;
    if (span.header >= 0) {
        for (qsizetype i = span.header + 1; i < span.end && !replaced; ++i) {
            if (keyOf(lines[i]).compare(key, Qt::CaseInsensitive) == 0) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (!replaced)
            lines.insert(span.end, entry);
    } else {
        lines << u'[' + section + u']' << entry;
    }

    QString text;
    for (const QString &line : std::as_const(lines))
        text += line + QStringLiteral("\r\n");
    return writeFileAtomically(m_path, cp932::encode(text), FileAccess::OwnerOnly);
}

} // namespace orv
