// libFuzzer target for the record stores: a mail history store or an address book made of
// arbitrary records (any bytes, any in-use flag) and a torn record at the end, read, one
// record marked and the store compacted. The survivors must be exactly the records still
// in use, byte for byte.
#include "store/AddressStore.h"
#include "store/MailStore.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace orv;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) &&
          file.write(bytes.data(), bytes.size()) == bytes.size());
}

// The whole records of `bytes` whose in-use flag is not 0, `marked` (1-based) counted as 0.
QByteArray survivors(QByteArrayView bytes, qsizetype size, qsizetype inUseOffset, int marked)
{
    QByteArray kept;
    for (qsizetype at = 0, number = 1; at + size <= bytes.size(); at += size, ++number) {
        const qint16 inUse = qFromLittleEndian<qint16>(bytes.data() + at + inUseOffset);
        if (inUse != 0 && number != marked)
            kept += bytes.sliced(at, size);
    }
    return kept;
}

void fuzzMailStore(const AppDir &appDir, QByteArrayView bytes, int pick)
{
    MailStore store = MailStore::ReceivedStore(appDir);
    writeFile(store.filePath(), bytes);
    const qsizetype whole = bytes.size() / MailRecord::kSize;

    MailRecord buffer;
    std::vector<MailHeaderBytes> headers;
    check(store.ReadHeaders(headers, buffer).ok());
    check(qsizetype(headers.size()) == whole);
    for (const MailHeaderBytes &header : headers)
        (void)listCell(header.subject).size();
    if (whole == 0)
        return;

    const int number = 1 + pick % int(whole);
    check(store.Read(number, buffer).ok());
    (void)displayField(buffer.subject()).size();
    (void)buffer.body().size();
    check(!store.Read(int(whole) + 1, buffer).ok());
    check(store.Read(number, buffer).ok());
    check(store.MarkDeleted(number, buffer).ok());
    check(store.Compact(buffer).ok());
    check(readFile(store.filePath()) ==
          survivors(bytes, MailRecord::kSize, MailRecord::kInUseOffset, number));
}

void fuzzAddressStore(const AppDir &appDir, QByteArrayView bytes, int pick)
{
    AddressStore store(appDir);
    writeFile(store.filePath(), bytes);
    const qsizetype whole = bytes.size() / AddressRecord::kSize;

    std::vector<AddressRecord> records;
    check(store.ReadAll(records).ok());
    check(qsizetype(records.size()) == whole);
    for (const AddressRecord &record : records)
        (void)(bulkRecipientAddress(record).size() + listCell(record.name()).size());
    if (whole == 0)
        return;

    const int number = 1 + pick % int(whole);
    AddressRecord record;
    check(store.Read(number, record).ok());
    check(store.MarkDeleted(number, record).ok());
    check(store.Compact().ok());
    check(readFile(store.filePath()) ==
          survivors(bytes, AddressRecord::kSize, AddressRecord::kInUseOffset, number));
}

// A store of `records` whole records and a torn one of `tail` bytes, its bytes taken from
// `pattern` over and over: a few input bytes make a store of 32284-byte records.
QByteArray storeBytes(QByteArrayView pattern, qsizetype recordSize, int records, int tail)
{
    QByteArray bytes(records * recordSize + tail, ' ');
    if (!pattern.isEmpty())
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = pattern[i % pattern.size()];
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    static QTemporaryDir folder;
    check(folder.isValid());
    const AppDir appDir(folder.path());
    QDir(folder.path()).mkpath(QStringLiteral("★MAilData"));
    // Byte 0 chooses the store and the number of records, byte 1 the record to delete,
    // byte 2 the length of the torn record; the rest is the pattern of the records.
    const bool mail = data[0] & 1;
    const int records = (data[0] >> 1) % 5;
    const QByteArrayView pattern(reinterpret_cast<const char *>(data) + 3, qsizetype(size - 3));
    if (mail)
        fuzzMailStore(appDir, storeBytes(pattern, MailRecord::kSize, records, data[2] * 97),
                      data[1]);
    else
        fuzzAddressStore(appDir, storeBytes(pattern, AddressRecord::kSize, records, data[2] % 184),
                         data[1]);
    return 0;
}
