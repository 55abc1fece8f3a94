#include "transport/mime/AttachmentFiles.h"

#include "transport/mime/ControlCharacters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace orv::mime::attachments {

namespace {

// Most file systems limit a name to 255 bytes; keep room for a "(n)" suffix.
constexpr qsizetype kMaxNameBytes = 200;
constexpr int kMaxNumberedTries = 10000;

bool isUnsafeCharacter(QChar c)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    return isControlCharacter(c) || forbidden.contains(c) || c.category() == QChar::Other_Format;
}

// "../../evil.txt" names the file evil.txt, not a place: keep the name parts only.
QString withoutPathParts(const QString &name)
{
    QStringList parts;
    for (const QString &part : name.split(QRegularExpression(QStringLiteral("[/\\\\]")))) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty() && trimmed != u"." && trimmed != u"..")
            parts.append(trimmed);
    }
    return parts.join(u'_');
}

QString trimDotsAndBlanks(QString name)
{
    qsizetype start = 0;
    while (start < name.size() && (name[start] == u'.' || name[start].isSpace()))
        ++start;
    qsizetype end = name.size();
    while (end > start && (name[end - 1] == u'.' || name[end - 1].isSpace()))
        --end;
    return name.mid(start, end - start);
}

std::pair<QString, QString> splitExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

QString shortened(const QString &name)
{
    if (name.toUtf8().size() <= kMaxNameBytes)
        return name;
    auto [base, extension] = splitExtension(name);
    if (extension.toUtf8().size() > kMaxNameBytes / 4)
        extension.clear();
    while (!base.isEmpty() && (base + extension).toUtf8().size() > kMaxNameBytes) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    return base + extension;
}

// What a decoder could not read says nothing: a name that was little more than that (its
// extension, blanks, dots) is no name.
bool isUnreadableMark(QChar c)
{
    return c == QChar::ReplacementCharacter || c == u'\u3013';
}

bool hasReadableBase(const QString &decoded)
{
    if (std::none_of(decoded.begin(), decoded.end(), isUnreadableMark))
        return true;
    const qsizetype dot = decoded.lastIndexOf(u'.');
    const QString base = dot < 0 ? decoded : decoded.left(dot);
    return std::any_of(base.begin(), base.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

QString numberedName(const QString &name, int number)
{
    const auto [base, extension] = splitExtension(name);
    return QStringLiteral("%1(%2)%3").arg(base).arg(number).arg(extension);
}

} // namespace

QString safeFileName(const QString &untrusted, const QString &fallback)
{
    // Composed, as every program shows and compares names: "デ" is one character on disk.
    QString name = withoutPathParts(untrusted.normalized(QString::NormalizationForm_C));
    if (!hasReadableBase(name))
        return fallback;
    name.remove(QChar::ReplacementCharacter);
    for (QChar &c : name)
        if (isUnsafeCharacter(c))
            c = u'_';
    name = shortened(trimDotsAndBlanks(name));
    return name.isEmpty() ? fallback : name;
}

namespace {

// The "(n)" each name went on from last time, so that the thousandth file of one name does
// not try the 999 taken names first. Files removed meanwhile only leave a gap.
class NextNumbers {
public:
    int startFor(const QString &path)
    {
        const QMutexLocker lock(&m_mutex);
        return m_next.value(path, 1);
    }
    void taken(const QString &path, int number)
    {
        const QMutexLocker lock(&m_mutex);
        m_next.insert(path, number + 1);
    }

private:
    QMutex m_mutex;
    QHash<QString, int> m_next;
};

NextNumbers &nextNumbers()
{
    static NextNumbers numbers;
    return numbers;
}

} // namespace

Status writeNewFile(const QString &folder, const QString &name, const QByteArray &bytes,
                    QString *writtenPath)
{
    return writeNewFile(
        folder, name, [&bytes](QIODevice &file) { return file.write(bytes) == bytes.size(); },
        writtenPath);
}

Status writeNewFile(const QString &folder, const QString &name, const ContentWriter &write,
                    QString *writtenPath)
{
    const QDir dir(folder);
    const QString plainPath = dir.filePath(name);
    QString path = plainPath;
    int number = 0;
    for (int tries = 0; tries <= kMaxNumberedTries; ++tries) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (!write(file) || !file.flush()) {
                const QString reason = file.errorString();
                file.close();
                file.remove();
                return fileFailure(path, QStringLiteral("書き込み"), reason);
            }
            file.close();
            if (number > 0)
                nextNumbers().taken(plainPath, number);
            if (writtenPath)
                *writtenPath = path;
            return Status::success();
        }
        // Only a name that is taken is worth another try; anything else is the folder.
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return fileFailure(path, QStringLiteral("作成"), file.errorString());
        number = number == 0 ? nextNumbers().startFor(plainPath) : number + 1;
        path = dir.filePath(numberedName(name, number));
    }
    return fileFailure(dir.filePath(name), QStringLiteral("作成"),
                       QStringLiteral("同じ名前のファイルが多すぎます"));
}

} // namespace orv::mime::attachments
