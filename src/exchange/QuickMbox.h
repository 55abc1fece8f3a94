#pragma once

#include <QByteArray>

namespace orv::exchange {

// The quick way for the common received record: straight from its code page 932 bytes to the
// mbox's bytes, without a detour through QString, giving what the careful way gives. Anything
// out of the ordinary (an unusual byte, a control character, a long line, a body that needs
// base64 or quoted-printable, a date that is not plain RFC 5322, an empty address) is left to
// the careful way: false, with nothing appended. `ownHeader` is the To header's value with LF
// folds, or null when the user's own address is not known.
bool appendQuickMboxMessage(QByteArray &mbox, const char *record, const QByteArray *ownHeader);

} // namespace orv::exchange
