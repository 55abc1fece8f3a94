#include "core/TextFile.h"

#include <QFile>
#include <QSaveFile>

namespace orv {

QStringList splitLines(const QString &text, LineEnds ends)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && (c != u'\n' || ends == LineEnds::CrOrCrLf))
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

QString joinLinesWithCrLf(const QString &text)
{
    QString joined;
    joined.reserve(text.size() + 16);
    for (const QString &line : splitLines(text, LineEnds::CrOrCrLf))
        joined += line + QStringLiteral("\r\n");
    return joined;
}

Status writeFileAtomically(const QString &path, const QByteArray &bytes, FileAccess access)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fileFailure(path, QStringLiteral("作成"), file.errorString());
    if (access == FileAccess::OwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fileFailure(path, QStringLiteral("書き込み"), reason);
    }
    if (!file.commit())
        return fileFailure(path, QStringLiteral("保存"), file.errorString());
    if (access == FileAccess::OwnerOnly)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return Status::success();
}

} // namespace orv
