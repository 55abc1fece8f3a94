#pragma once

#include "core/AppDir.h"
#include "core/Status.h"

#include <QString>

#include <sys/types.h>

namespace orv::exchange {

// What an export creates at its target: one file, or a folder of files.
enum class ExportShape { File, Folder };

// Whether an export may write at `path`. Refused, with a sentence that says why: any of the
// program's own files and folders (the data folder with the histories, the address book and
// the account; the settings file; the attachment, quick-save, emoticon, picture and tune
// folders; the program folder itself and its executable), however the path reaches them
// (through symlinks, in another case); a target that exists and is not what the export
// makes (a device, a FIFO, a socket, a folder where a file goes, a file where a folder
// goes); and a place whose folder is missing or cannot be written, named as such.
Status checkExportTarget(const AppDir &appDir, const QString &path, ExportShape shape);

// What a file that is not a regular one is, in a word for the user: "フォルダ", "デバイス"…
QString fileKindText(mode_t mode);

} // namespace orv::exchange
