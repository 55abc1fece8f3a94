#pragma once

#include "core/AppDir.h"
#include "core/Status.h"
#include "exchange/MessageExport.h"
#include "store/MailRecord.h"
#include "store/MailStore.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>

namespace orv::exchange {

// Called after each message with the number done and the total; returning false asks the
// work to stop at the next point where everything is whole.
using Progress = std::function<bool(int done, int total)>;

// How an export or an import ended. `count` messages were written or imported; a
// cancelled run is not a failure.
struct ExchangeResult {
    Status status = Status::success();
    int count = 0;
    bool cancelled = false;
};

// Writes every record in use of `store` to `device` as mboxrd. Reads with a buffer of its
// own: the store and the program's record buffers stay as they are.
ExchangeResult writeMbox(MailStore &store, const ExportContext &context, QIODevice &device,
                         const Progress &progress = {});

// The mbox written whole into the file `path`, which replaces an existing file only when
// everything was written: a failed or cancelled export leaves nothing behind.
ExchangeResult exportMbox(MailStore &store, const ExportContext &context, const QString &path,
                          const Progress &progress = {});

// One "NNNNN.eml" file per record in use (numbered by record), CR LF line ends, into
// `folder`, which is created when absent. Never writes over an existing file.
ExchangeResult exportEmlFolder(MailStore &store, const ExportContext &context,
                               const QString &folder, const Progress &progress = {});

// What receiving makes of one message: the record of the received store, with the
// attachments written into `attachmentFolder`. Returns what the decoder returns (1
// attachments written, 0 none, -5 an attachment could not be written, -6 an incomplete split
// message); `error` gets the reason of a negative result.
int receivedRecord(const QByteArray &rawMessage, const QString &attachmentFolder,
                   MailRecord &record, QString *error = nullptr);

// The files an import reads: an mbox file, an .eml file, or a folder of .eml files (by name).
QStringList importSources(const QString &path);

// Appends every message of the mbox and .eml files `paths`, in file order, to the received
// store of `appDir`, decoded as received mail is, attachments into "\添付フォルダ\". Stops at
// the first message that cannot be stored whole; what was appended before it stays and is
// on disk.
ExchangeResult importMessages(const AppDir &appDir, const QStringList &paths,
                              const Progress &progress = {});

} // namespace orv::exchange
