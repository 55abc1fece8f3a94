#pragma once

#include "transport/mime/GMimeSupport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>

// The bytes a MIME part carries, with its transfer encoding undone.
namespace orv::mime {

// The first bytes of a part's content, or all of them.
struct ContentPrefix {
    QByteArray bytes;
    bool complete = false;
};

// At most `limit` bytes of the decoded content, read from the start of the part without
// decoding the rest; a quoted-printable prefix ends at a line end of the encoded text.
ContentPrefix decodedContentPrefix(GMimePart *part, qsizetype limit);

// All of the decoded content.
QByteArray decodedContent(GMimePart *part);

// Writes all of the decoded content into `out` a piece at a time, so that a large
// attachment is never held in memory whole; false when `out` did not take all of it.
bool writeDecodedContent(GMimePart *part, QIODevice &out);

// Quoted-printable (RFC 2045 6.7): "=XX" is a byte, "=" at a line's end a soft line break,
// blanks between that "=" and the line end included; a broken escape stays as it is.
QByteArray quotedPrintableDecoded(QByteArrayView encoded);

// The bytes up to and including their last line feed, all of them when there is none: a
// cut there never falls inside a character of an ASCII-compatible charset.
QByteArrayView untilLastLineEnd(QByteArrayView bytes);

} // namespace orv::mime
