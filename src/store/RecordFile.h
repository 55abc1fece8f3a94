#pragma once

#include "core/Status.h"

#include <QString>

#include <functional>
#include <vector>

namespace orv {

// Whether an append waits for its record to reach the disk, or leaves that to a later sync
// (a receive run syncs once before the server may delete anything).
enum class Durability { Synced, SyncedLater };

// Where the fields that every record file shares sit in its records.
struct RecordLayout {
    qsizetype size;
    qsizetype crLfOffset;  // the two bytes CR LF
    qsizetype inUseOffset; // 16-bit little-endian; 0 marks a record for removal
};

// The record count of a file of `length` bytes as the stores reckon it: length / recordSize
// rounded to the nearest whole number, halves to the even one. Computed in integers, so the
// halves are exact.
qint64 roundedRecordCount(qint64 length, qsizetype recordSize);

// A file of fixed-length records with 1-based record numbers, and its temporary file for
// compaction. Every operation opens the file, works and closes it again; an operation that
// opens an absent file creates it empty. Failures come back with the file name and the
// system's reason.
class RecordFile {
public:
    RecordFile(QString path, QString temporaryPath, RecordLayout layout, int maxRecords);

    const QString &path() const { return m_path; }

    // The rounded record count; an absent file counts 0 and is not created.
    int recordCount() const;

    // Stamps CR LF and InUse 1 into `record`, writes it after the last whole record and
    // gives its number; a torn record at the end of the file is cut off first. With
    // Durability::Synced it is on disk before this returns. Fails beyond the maximum record
    // number.
    Status append(char *record, int *number, Durability durability) const;

    // Puts every record written so far, and the file's name in its folder, on disk.
    Status sync() const;

    // Reads whole record `number` into `record`; fails, leaving `record` alone, when the
    // file holds no such whole record.
    Status read(int number, char *record) const;

    // Stamps InUse 0 into `record` and writes it at `number`, which may be any number up to
    // the rounded record count (a partial record at the end is overwritten whole).
    Status markDeleted(int number, char *record) const;

    // Reads the first `bytes` bytes of every whole record, in order, into `destination` and
    // calls `each` with the record number after each read.
    Status readEach(char *destination, qsizetype bytes, const std::function<void(int)> &each) const;

    // Reads the whole records in order, up to `recordsPerBlock` of them with one read into
    // `destination` (room for that many records), and calls `each` with the number of the
    // block's first record and how many it holds; `each` returning false ends the reading.
    // With `nextDestination`, each block goes where it says instead.
    Status readBlocks(char *destination, int recordsPerBlock,
                      const std::function<bool(int first, int count)> &each,
                      const std::function<char *()> &nextDestination = {}) const;

    // Rewrites the file without its marked records and without the records 1 to
    // `markedThrough`, which count as marked. The survivors go byte for byte to the
    // temporary file, which is synced and renamed over the file, so a crash leaves the old
    // content or the new. A file that would not change is left as it is. `lastRecord`, when
    // given, receives the last whole record of the old file unless that lies among the
    // first `markedThrough`.
    Status compact(int markedThrough, char *lastRecord) const;

private:
    // Consecutive records that survive a compaction: numbers first .. first + count - 1.
    struct Run {
        qint64 first;
        qint64 count;
    };

    qint64 offsetOf(qint64 number) const;
    qint64 lengthOnDisk() const; // an absent file counts as empty
    Status cutTornTail(int fd, qint64 length) const;
    Status findSurvivors(int store, qint64 whole, qint64 markedThrough,
                         std::vector<Run> &survivors) const;
    Status replaceWithSurvivors(int store, const std::vector<Run> &survivors) const;
    Status writeTemporary(int store, const std::vector<Run> &survivors) const;
    Status removeStaleTemporary() const;

    QString m_path;
    QString m_temporaryPath;
    RecordLayout m_layout;
    int m_maxRecords;
};

} // namespace orv
