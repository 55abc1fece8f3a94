#pragma once

#include "core/Status.h"

#include <QString>

namespace orv {

// A profile file ("[section]" lines and key=value lines) in code page 932, read and written
// the way the account file has always been: other lines are kept, an existing key's value
// is replaced, a new key goes to the end of its section.
class ProfileFile {
public:
    explicit ProfileFile(QString path);

    // The value of `key` in `section`, at most 255 characters (a 256-character buffer with
    // its terminator); empty when the file, section or key is absent.
    QString read(const QString &section, const QString &key) const;

    // Writes key=value, creating the file (readable and writable by its owner only) and the
    // section when absent.
    Status write(const QString &section, const QString &key, const QString &value) const;

private:
    QString m_path;
};

} // namespace orv
