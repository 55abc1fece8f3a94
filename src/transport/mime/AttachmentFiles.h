#pragma once

#include "core/Status.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <functional>

// Attachment names come from the sender and are not to be trusted.
namespace orv::mime::attachments {

// A name that is safe as one file in one folder, composed (NFC): path parts ("a/../b"), control
// characters and the characters a file name cannot hold are replaced, leading dots and
// trailing dots and blanks go, and an overlong name is shortened keeping its extension.
// `fallback` is used when nothing usable is left (only characters a decoder could not
// read, "〓" or "�", blanks, dots or replaced characters).
QString safeFileName(const QString &untrusted, const QString &fallback);

// Writes `bytes` as a new file `name` in `folder`, never over an existing file: when the
// name is taken, "name(1).ext", "name(2).ext"… are tried, each name going on from the
// number it reached last time in this process. `writtenPath` gets the path used.
Status writeNewFile(const QString &folder, const QString &name, const QByteArray &bytes,
                    QString *writtenPath = nullptr);

// The same for content written a piece at a time: `write` puts it into the new file and
// says whether all of it went in; a file it could not fill is removed.
using ContentWriter = std::function<bool(QIODevice &file)>;
Status writeNewFile(const QString &folder, const QString &name, const ContentWriter &write,
                    QString *writtenPath = nullptr);

} // namespace orv::mime::attachments
