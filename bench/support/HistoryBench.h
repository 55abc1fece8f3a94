#pragma once

#include <QString>

// What the export and filter benchmarks share: a full received store and the sequential read
// their figures are measured against.
namespace orv::bench {

constexpr int kFullStoreRecords = 32767;

// Writes a received store of 32,767 records (about 1.06 GB) into `path`: record n has the
// subject "件名 n のお知らせ Meeting", the sender "送信者n <sendern@example.jp>", an RFC 5322
// date and a body of 200 lines "本文 n abc". False when the file cannot be written.
bool writeFullReceivedStore(const QString &path);

// One sequential read of the whole file in 1 MB pieces, in milliseconds; negative on failure.
double sequentialReadMs(const QString &path);

} // namespace orv::bench
