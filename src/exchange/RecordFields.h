#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What an export reads from the stored bytes of a history record.
namespace orv::exchange {

// A text field's stored bytes without its padding and the blanks at its start.
QByteArrayView trimmedBytes(const char *bytes, qsizetype width);

// A text field of a record with its padding and any blanks at both ends removed.
QString trimmedField(const char *bytes, qsizetype width);

// The Message-ID of an exported record: derived from the stored bytes of its four fields,
// blanks around them left out, so every export of the record gives the same one.
QByteArray messageIdOf(QByteArrayView subject, QByteArrayView date, QByteArrayView address,
                       QByteArrayView body);
// The same from the record's bytes.
QByteArray messageIdOf(const char *record);

} // namespace orv::exchange
