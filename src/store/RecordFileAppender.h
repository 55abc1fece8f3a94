#pragma once

#include "core/Status.h"
#include "store/FileWrites.h"
#include "store/RecordFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace orv {

class MailStore;

// Appends records to one record file for as long as it lives: one open file and one
// resolved path for a whole run of appends, where RecordFile opens the file for each. The
// end of the file is measured before every append, so records another part of the program
// appends in between are never overwritten; a torn record at the end is cut off first. A
// file replaced meanwhile (a compaction renames its copy over it) is followed to its new
// content, provided every record appended so far is there too. The records reach the disk
// with sync().
class RecordFileAppender {
public:
    RecordFileAppender(QString path, RecordLayout layout, int maxRecords);
    // For the records of a mail store, on the path the store resolves now.
    explicit RecordFileAppender(const MailStore &store);
    ~RecordFileAppender();
    RecordFileAppender(const RecordFileAppender &) = delete;
    RecordFileAppender &operator=(const RecordFileAppender &) = delete;

    const QString &path() const { return m_path; }

    // Stamps CR LF and InUse 1 into `record`, writes it after the last whole record and
    // gives its number. Fails beyond the maximum record number, and when the file was
    // removed or replaced without the records appended before.
    Status append(char *record, int *number = nullptr);

    // Takes back record `number`, the last one this appender appended, when it is still
    // the last of the file: a record written ahead for a message that then never went out.
    // Fails, leaving it, when the file has changed since.
    Status withdraw(int number);

    // Puts the records appended so far, and the file's name in its folder, on disk. Fails
    // when they went into a file that is no longer at its path and are not in the one that
    // is.
    Status sync();

private:
    Status open();
    Status measure(qint64 &length);
    Status measureLocked(std::optional<FileWriteLock> &lock, qint64 &length);
    Status followReplacement();
    Status lost();

    QString m_path;
    RecordLayout m_layout;
    int m_maxRecords;
    int m_fd = -1;
    // A digest of every record appended, to find them again in a replaced file.
    QList<QByteArray> m_appended;
    EarlyWriteback m_writeback;
    // Once records were lost, nothing more is appended and no sync succeeds.
    bool m_lost = false;
};

} // namespace orv
