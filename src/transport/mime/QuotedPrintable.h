#pragma once

#include <QByteArray>

namespace orv::mime {

// `bytes` in quoted-printable (RFC 2045): CR LF pairs stay line ends, longer lines are cut by
// soft breaks into lines of at most 76 characters, and a blank at the end of a line, or of
// the text, is encoded so no transport can strip it.
QByteArray quotedPrintable(const QByteArray &bytes);

// Whether a line of `bytes` (its CR counted) is longer than the 998 bytes a mail line may
// be: such a text cannot travel as it stands and needs an encoding that wraps it.
bool hasOverlongLine(const QByteArray &bytes);

} // namespace orv::mime
