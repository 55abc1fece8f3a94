#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The date forms of the messages the program writes and reads.
namespace orv::mime {

// A moment as an RFC 5322 date in its own offset from UTC: "Wed, 09 Dec 2026 09:05:07 +0900".
QByteArray rfc5322Date(const QDateTime &moment);

// The moment an RFC 5322 date stands for; a trailing zone comment ("(JST)") is allowed.
// Nothing when the text is no such date.
std::optional<QDateTime> readRfc5322Date(const QString &text);

// A moment as the "From " line of an mbox gives it, in UTC: "Wed Dec  9 00:05:07 2026".
QByteArray mboxLineDate(const QDateTime &moment);

} // namespace orv::mime
