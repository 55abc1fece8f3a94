// libFuzzer target for decoding a received message: arbitrary bytes through the whole of
// expandMessage, attachments written into a scratch folder that is emptied after each run.
// Aborts when a file appears outside the folder or the result contradicts what was written.
#include "transport/mime/MessageDecoder.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Scratch {
    QTemporaryDir root;
    QString folder = root.path() + QStringLiteral("/attachments");
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Scratch scratch;
    QDir(scratch.folder).removeRecursively();
    QDir().mkpath(scratch.folder);

    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    orv::MailHeaderFields fields;
    QString body;
    QString error;
    const int result = orv::mime::expandMessage(raw, scratch.folder, fields, body, &error);

    const auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    if (QDir(scratch.root.path()).entryList(everything) !=
        QStringList(QStringLiteral("attachments")))
        std::abort(); // something was written beside the attachment folder
    const qsizetype written = QDir(scratch.folder).entryList(everything).size();
    const bool consistent = (result == 1 && written > 0) || (result == 0 && written == 0) ||
                            ((result == -5 || result == -6) && !error.isEmpty());
    if (!consistent)
        std::abort();
    return 0;
}
