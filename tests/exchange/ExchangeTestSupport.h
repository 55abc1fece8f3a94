#pragma once

#include "store/MailRecord.h"

#include <QByteArray>
#include <QString>

#include <ostream>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace orv::test {

inline const QString kReceivedStorePath = QStringLiteral("\\★MAilData\\krvdata2.data");
inline const QString kSentStorePath = QStringLiteral("\\★MAilData\\krvdata5.data");

MailRecord record(const QString &subject, const QString &address, const QString &date,
                  const QString &body);

// The bytes of a store of `records`, each as Append writes it (in use).
QByteArray storeBytes(const std::vector<MailRecord> &records);

// Received records that carry what export and import must keep: Japanese and code page
// 932's own characters, "From " lines, a body cut at 32,000 bytes, a body mentioning an
// attachment, bodies with and without a final line end.
std::vector<MailRecord> awkwardReceivedRecords();

} // namespace orv::test
