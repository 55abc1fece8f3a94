#pragma once

#include <QString>

namespace orv::mime {

// Text sent as format=flowed (RFC 3676), CR LF line ends, with its soft line breaks
// joined: a line that ends in a space goes on in the next line of the same quote depth,
// and with DelSp=yes (`deleteSpace`) that space goes too, as Japanese text wants. Space
// stuffing is undone; the signature separator "-- " stays a line of its own.
QString unflowed(const QString &text, bool deleteSpace);

} // namespace orv::mime
