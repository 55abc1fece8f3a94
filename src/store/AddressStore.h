#pragma once

#include "core/AppDir.h"
#include "core/Status.h"
#include "store/AddressRecord.h"
#include "store/RecordFile.h"

#include <QString>

#include <vector>

namespace orv {

// The address book, "\★MAilData\Krvdata20.data": a bare sequence of 184-byte records,
// written only by the address book window. Every operation opens the file, works and closes
// it again; an absent file is created empty by the operation that opens it. Record numbers
// are 1-based.
class AddressStore {
public:
    static constexpr int kMaxRecords = 32767;

    explicit AddressStore(AppDir appDir);

    QString filePath() const;          // resolved store path
    QString temporaryFilePath() const; // resolved "\★MAilData\KRVDATA20.TMP"

    // Writes a record of `name` and `address` with CR LF and InUse 1 at the next record
    // number (file length / 184 + 1, halves to even) and stores that number in `number`.
    // Fails with a clear message beyond record 32,767 and on any input/output error.
    Status Append(const QString &name, const QString &address, int *number = nullptr);

    // Every whole record in order (record i at index i - 1); a partial record at the end is
    // ignored.
    Status ReadAll(std::vector<AddressRecord> &records);

    // Reads record `number`; past the last whole record it fails and leaves `record` alone.
    Status Read(int number, AddressRecord &record);

    // Writes `record`, as read by Read(number) just before, back at `number` with InUse 0.
    Status MarkDeleted(int number, const AddressRecord &record);

    // Corrects record `number` in place: `name` and `address`, CR LF and InUse 1, at the same
    // number, written under the store file's write lock and on disk before this returns, as
    // an append is. Fails, writing nothing, when the store holds no whole record `number`.
    Status Rewrite(int number, const QString &name, const QString &address);

    // Rewrites the store without the records whose InUse is 0, crash-safe: the survivors go
    // byte for byte to the temporary file, which is synced and renamed over the store.
    Status Compact();

    // File length / 184, halves to even.
    int RecordCount() const;

private:
    RecordFile recordFile() const;

    AppDir m_appDir;
};

// The second, read-only address file "\★MAilData\KRVASTER20.INI", in the address book's
// record layout. Reading an absent file creates it empty.
class AddressMaster {
public:
    explicit AddressMaster(AppDir appDir);

    QString filePath() const;

    Status ReadAll(std::vector<AddressRecord> &records);

private:
    AppDir m_appDir;
};

// What the readers take from the fields. The address book's list shows listCell of both
// fields and its selection displayField of both (MailStore.h); the compose window's
// recipient list shows the name as read, untrimmed.
QString listCell(const QString &fieldText);                // CutAtNul, spaces kept
QString bulkRecipientAddress(const AddressRecord &record); // trailing spaces removed

} // namespace orv
