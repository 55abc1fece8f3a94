#pragma once

#include "core/AppDir.h"
#include "core/Status.h"
#include "store/MailRecord.h"
#include "store/RecordFile.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace orv {

// The three header fields of one record as raw code page 932 bytes, for lists: decoding
// waits until a row is shown, and the 32000-byte bodies are never read for a list.
struct MailHeaderBytes {
    QByteArray subject; // 100 bytes
    QByteArray address; // 90 bytes
    QByteArray date;    // 90 bytes
};

// A mail history store: a bare sequence of 32284-byte records. Every operation opens the
// file, works and closes it again; an absent file is created empty by the operation that
// opens it. Record numbers are 1-based. `ReceivedStore` and `SentStore` are this class on
// two files. Operations that read pass the records through `buffer` (the program-wide
// `ReceivedBuffer` or `SentBuffer`), which keeps the record read or written last.
class MailStore {
public:
    static constexpr int kMaxRecords = 32767;

    MailStore(AppDir appDir, QString storePath, QString temporaryPath);
    static MailStore ReceivedStore(const AppDir &appDir); // "\★MAilData\krvdata2.data"
    static MailStore SentStore(const AppDir &appDir);     // "\★MAilData\krvdata5.data"

    QString filePath() const;          // resolved store path
    QString temporaryFilePath() const; // resolved temporary path

    // Writes `record` with CR LF and InUse 1 after the last whole record (a torn record at the
    // end is cut off first) and stores its number in `number`. Fails with a clear message
    // beyond record 32,767, and on any input/output error. With Durability::Synced the
    // record is on disk before this returns; otherwise `Sync` puts it there.
    Status Append(MailRecord &record, int *number = nullptr,
                  Durability durability = Durability::Synced);

    // Puts every record appended so far on disk.
    Status Sync();

    // Every whole record in order; a partial record at the end is ignored.
    Status ReadAll(MailRecord &buffer,
                   const std::function<void(int number, const MailRecord &)> &each);

    // Every whole record in order, read many at a time for long scans: `each` gets the
    // number of a block's first record, the block's bytes and how many records it holds, and
    // returns false to end the reading. A block's bytes stay as they are until the next call
    // returns, so the work on one block may go on while the next is read; after the last
    // block, and after a failed read, comes one more call with no records. The program's record
    // buffers are not touched.
    Status ReadBlocks(const std::function<bool(int first, const char *records, int count)> &each);

    // The header fields of every whole record, in order; afterwards `buffer` holds the last
    // whole record (it is left unchanged for an empty store).
    Status ReadHeaders(std::vector<MailHeaderBytes> &headers, MailRecord &buffer);

    // Reads record `number` into `buffer`. Past the last whole record it fails and leaves the
    // buffer unchanged.
    Status Read(int number, MailRecord &buffer);

    // Writes `buffer` with InUse 0 at `number`.
    Status MarkDeleted(int number, MailRecord &buffer);

    // Marks every record from 1 to `count` as MarkDeleted does, then compacts: the end state
    // is an empty store, reached without writing the marks first.
    Status MarkAllDeletedAndCompact(int count, MailRecord &buffer);

    // Rewrites the store without the records whose InUse is 0, crash-safe: the survivors go
    // byte for byte to the temporary file, which is synced and renamed over the store.
    Status Compact(MailRecord &buffer);

    // File length / 32284, halves to even.
    int RecordCount() const;

private:
    // Names are resolved for every operation: the file may appear with another spelling.
    RecordFile recordFile() const;

    AppDir m_appDir;
    QString m_storePath;
    QString m_temporaryPath;
};

// What the readers take from the fields.
QString listCell(const QByteArray &fieldBytes); // CutAtNul of the decoded field, spaces kept
QString displayField(const QString &fieldText); // blanks removed at both ends

} // namespace orv
