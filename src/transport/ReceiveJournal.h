#pragma once

#include "core/AppDir.h"
#include "core/Status.h"
#include "store/MailRecord.h"
#include "store/MailStore.h"

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>

#include <memory>

namespace orv {

// The id a receive run knows a message by: its UIDL, or on a server without UIDL a digest
// of its header bytes and its size.
QByteArray receiveId(const QString &uidl, const QByteArray &headerBytes, qint64 size);

// The receive journal "\★MAilData\krvdata2.journal": one line for every message a run
// stored, its id and the digest of the record that holds it, written before the record and
// put on disk with the store before QUIT. A run that never saw its QUIT confirmed (a crash,
// a lost connection) leaves it behind, and the next run deletes those messages on the
// server without storing them again, provided their records did reach the store. A
// confirmed QUIT clears it.
class ReceiveJournal {
public:
    explicit ReceiveJournal(const AppDir &appDir);
    ~ReceiveJournal();
    ReceiveJournal(const ReceiveJournal &) = delete;
    ReceiveJournal &operator=(const ReceiveJournal &) = delete;

    const QString &path() const { return m_path; }

    // Reads what earlier runs left and keeps the ids whose record is among the last records
    // of `store`, where a run appends them.
    Status load(MailStore &store);

    // The message is in the store already: delete it on the server, do not store it again.
    bool holds(const QByteArray &id) const { return m_stored.contains(id); }

    // Notes that `record` is about to be appended for message `id`.
    Status add(const QByteArray &id, const MailRecord &record);

    // Puts the journal, and its folder when the journal is new, on disk.
    Status sync();

    // Forgets everything: the server has deleted every message the journal names.
    Status clear();

private:
    Status openForAppending();

    QString m_path;
    QSet<QByteArray> m_stored;
    std::unique_ptr<QFile> m_file;
    bool m_created = false;
};

} // namespace orv
