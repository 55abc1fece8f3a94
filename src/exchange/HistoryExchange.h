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
#include <vector>

namespace orv::exchange {

// Called after each message with the number done and the total; returning false asks the
// work to stop at the next point where everything is whole.
using Progress = std::function<bool(int done, int total)>;

// The records an export writes: one flag a record in record order (1 written), as the
// viewer's filter shows them. Without a choice an export writes every record in use.
using RecordChoice = std::vector<char>;

// What an import passed over, by reason; none of it is an error.
struct Skipped {
    int notRegular = 0; // FIFOs, devices, sockets and broken links found in a folder
    int notMail = 0;    // empty files and texts without a header block
    int duplicates = 0; // messages the received history holds already
};

// How an export or an import ended. `count` messages were written or imported; a
// cancelled run is not a failure.
struct ExchangeResult {
    Status status = Status::success();
    int count = 0;
    bool cancelled = false;
    Skipped skipped;
};

// Writes every record in use of `store` to `device` as mboxrd. Reads with a buffer of its
// own: the store and the program's record buffers stay as they are.
ExchangeResult writeMbox(MailStore &store, const ExportContext &context, QIODevice &device,
                         const Progress &progress = {}, const RecordChoice *chosen = nullptr);

// The mbox written whole into the file `path`, which replaces an existing file only when
// everything was written: a failed or cancelled export leaves nothing behind.
ExchangeResult exportMbox(MailStore &store, const ExportContext &context, const QString &path,
                          const Progress &progress = {}, const RecordChoice *chosen = nullptr);

// One "NNNNN.eml" file per record in use (numbered by record), CR LF line ends, into
// `folder`, which is created when absent. Never writes over an existing file.
ExchangeResult exportEmlFolder(MailStore &store, const ExportContext &context,
                               const QString &folder, const Progress &progress = {},
                               const RecordChoice *chosen = nullptr);

// What receiving makes of one message (CR LF line ends, as a POP3 server sends it): the
// record of the received store, with the attachments written into `attachmentFolder`.
// Returns what the decoder returns (1 attachments written, 0 none, -5 an attachment could
// not be written, -6 an incomplete split message); `error` gets the reason of a negative
// result, `writtenFiles` the attachment files written.
int receivedRecord(const QByteArray &rawMessage, const QString &attachmentFolder,
                   MailRecord &record, QString *error = nullptr,
                   QStringList *writtenFiles = nullptr);

// The files an import reads, found from what the user named: an mbox or .eml file, a
// folder of .eml files (by name), or a Maildir (the messages of its cur/ and new/ in
// delivery order). Only regular files are read, also through symlinks: a
// FIFO, a device or a socket named is refused (`status`), one found in a folder is
// skipped and counted.
struct ImportSources {
    Status status = Status::success();
    QStringList files;
    int notRegular = 0;
};
ImportSources importSources(const QString &path);

// Appends every message of `sources`, in file order, to the received store of `appDir`,
// decoded as received mail is, attachments into "\添付フォルダ\". A text without a header
// block, and a message the history holds already (the same subject, date, address and
// body), are skipped and counted, so an interrupted import can simply run again. Stops at
// the first message that cannot be stored whole, removing the attachment files written for
// it; what was appended before it stays and is on disk.
ExchangeResult importMessages(const AppDir &appDir, const ImportSources &sources,
                              const Progress &progress = {});

// What an import did, in a sentence or two for the user: how many messages it imported and
// what it passed over, and why.
QString importReport(const ExchangeResult &result);

} // namespace orv::exchange
