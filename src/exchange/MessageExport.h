#pragma once

#include "exchange/ExportContext.h"
#include "exchange/ExportHeaderValues.h"
#include "exchange/RecordDates.h"
#include "exchange/RecordFields.h"
#include "store/MailRecord.h"

#include <QByteArray>

// Turning history records into standard messages that any mail program reads.
namespace orv::exchange {

// One record as an RFC 5322 message with CR LF line ends: From/To from the address field,
// an RFC 2047 subject, an RFC 5322 date, a Message-ID derived from the record's content, and
// the body as one text/plain part.
QByteArray messageFromRecord(const MailRecord &record, const ExportContext &context);

// The "From " line that opens the record's message in an mbox, without its line end.
QByteArray mboxFromLine(const MailRecord &record, const ExportContext &context);

// Appends a message (CR LF line ends) to an mboxrd file's bytes: its "From " line, every line
// with LF, body lines that begin with any number of ">" and "From " quoted with one more
// ">", and the empty line that ends each message.
void appendMboxrd(QByteArray &mbox, const QByteArray &fromLine, const QByteArray &message);

// The record's "From " line and message appended as appendMboxrd does, the record read once.
void appendRecordAsMboxrd(QByteArray &mbox, const MailRecord &record, const ExportContext &context);

// Appends records to an mbox as appendRecordAsMboxrd does, only quicker: what an export needs
// once is worked out once, and the common received record goes straight from its code page
// 932 bytes to the mbox's bytes. Records out of the ordinary go the careful way. May be used
// from several threads at once.
class MboxWriter {
public:
    explicit MboxWriter(const ExportContext &context);

    // `record` points at the kSize bytes of a record.
    void append(QByteArray &mbox, const char *record) const;

    // The quick way alone: false, with nothing appended, for a record it leaves to the
    // careful way.
    bool appendQuickly(QByteArray &mbox, const char *record) const;

private:
    ExportContext m_context;
    bool m_ownKnown;
    QByteArray m_ownHeader;
};

} // namespace orv::exchange
