#include "transport/ReceiveJournal.h"

#include "store/FileWrites.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>

#include <unistd.h>

#include <cerrno>

namespace orv {

namespace {

QByteArray recordDigest(const MailRecord &record)
{
    return QCryptographicHash::hash(QByteArrayView(record.data(), MailRecord::kSize),
                                    QCryptographicHash::Sha1)
        .toHex();
}

} // namespace

QByteArray receiveId(const QString &uidl, const QByteArray &headerBytes, qint64 size)
{
    if (!uidl.isEmpty())
        return "U:" + uidl.toLatin1();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(headerBytes);
    hash.addData(QByteArray::number(size));
    return "D:" + hash.result().toHex();
}

ReceiveJournal::ReceiveJournal(const AppDir &appDir)
    : m_path(appDir.resolve(QStringLiteral("\\★MAilData\\krvdata2.journal")))
{
}

ReceiveJournal::~ReceiveJournal() = default;

Status ReceiveJournal::load(MailStore &store)
{
    m_stored.clear();
    QFile file(m_path);
    if (!file.exists())
        return Status::success();
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(m_path, QStringLiteral("読み込み"), file.errorString());
    QMultiHash<QByteArray, QByteArray> idsByDigest;
    const QByteArray content = file.readAll();
    // A line cut short by a crash names no record that was written after it.
    for (const QByteArray &line : content.left(content.lastIndexOf('\n') + 1).split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 2)
            idsByDigest.insert(words[1], words[0]);
    }
    const int last = store.RecordCount();
    const int first = qMax(1, last - int(idsByDigest.size()) + 1);
    MailRecord record;
    for (int number = last; number >= first; --number) {
        if (!store.Read(number, record))
            continue;
        for (const QByteArray &id : idsByDigest.values(recordDigest(record)))
            m_stored.insert(id);
    }
    return Status::success();
}

Status ReceiveJournal::openForAppending()
{
    if (m_file)
        return Status::success();
    m_created = !QFileInfo::exists(m_path);
    auto file = std::make_unique<QFile>(m_path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return fileFailure(m_path, QStringLiteral("書き込み"), file->errorString());
    m_file = std::move(file);
    return Status::success();
}

Status ReceiveJournal::add(const QByteArray &id, const MailRecord &record)
{
    if (const Status opened = openForAppending(); !opened)
        return opened;
    const QByteArray line = id + ' ' + recordDigest(record) + '\n';
    if (m_file->write(line) != line.size() || !m_file->flush())
        return fileFailure(m_path, QStringLiteral("書き込み"), m_file->errorString());
    return Status::success();
}

Status ReceiveJournal::sync()
{
    if (!m_file)
        return Status::success();
    if (::fdatasync(m_file->handle()) != 0)
        return fileFailure(m_path, QStringLiteral("保存"), systemReason(errno));
    if (m_created) {
        if (const Status synced = syncFolderOf(m_path); !synced)
            return synced;
        m_created = false;
    }
    return Status::success();
}

Status ReceiveJournal::clear()
{
    m_file.reset();
    m_stored.clear();
    QFile file(m_path);
    if (!file.exists() || file.remove())
        return Status::success();
    return fileFailure(m_path, QStringLiteral("削除"), file.errorString());
}

} // namespace orv
