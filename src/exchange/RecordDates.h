#pragma once

#include "exchange/ExportContext.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The date field of a history record as an exported message states it.
namespace orv::exchange {

// The moment a date field stands for: a received date in RFC 5322 form, a sent date in the
// clock's form (the system's short date and long time, two blanks between).
std::optional<QDateTime> recordMoment(const QString &dateText, History history);

// The Date header value: a received date as it arrived when it reads as a moment, otherwise
// the moment in RFC 5322 form; the start of 1970 when the field says nothing readable.
QByteArray dateHeaderValue(const QString &dateText, const std::optional<QDateTime> &moment,
                           History history);

// The moment of the "From " line that opens the record's message in an mbox.
QDateTime mboxMoment(const std::optional<QDateTime> &moment);

} // namespace orv::exchange
