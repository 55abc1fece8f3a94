#pragma once

#include <QByteArray>
#include <QString>

// Record fields as the header values of an exported message, written so that decoding them
// gives back the field's text.
namespace orv::exchange {

// Where no address is known: the group form RFC 6854 allows in From.
inline constexpr char kNoAddress[] = "undisclosed-sender:;";

// UTF-8 encoded-words for a header value that is not plain ASCII, one word a line; plain
// ASCII stays as it is.
QByteArray encodedHeaderText(const QString &text);

// An address field as a header value: names and other non-ASCII parts encoded, the
// addresses and separators kept as they are.
QByteArray addressHeaderValue(const QString &text);

// The bare address of an address field ("name <a@b>" gives "a@b"); empty when there is none.
QString addrSpec(const QString &text);

} // namespace orv::exchange
