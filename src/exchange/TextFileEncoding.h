#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QString>

// Text files that other programs wrote: address books from mail programs, phones and
// spreadsheets.
namespace orv::exchange {

struct DecodedText {
    Status status = Status::success();
    QString text;
};

// The text of a whole file in the one encoding decided for all of it: UTF-8 (a BOM is
// skipped), UTF-16 with a BOM, else code page 932. A file that fits none of them, mixes
// UTF-8 lines into code page 932, or holds NUL bytes (UTF-16 without a BOM) is refused with
// the line where it goes wrong, since reading it line by line in different encodings would
// store some names as mojibake.
DecodedText decodeTextFile(const QByteArray &bytes);

// Decoded bytes of a value whose own label names its charset (a vCard's CHARSET): the label
// when given, else the same choice as for a whole file between UTF-8 and code page 932.
QString decodeLabelledText(const QByteArray &bytes, const QByteArray &charset);

} // namespace orv::exchange
