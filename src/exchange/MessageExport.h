#pragma once

#include "store/MailRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Turning history records into standard messages that any mail program reads.
namespace orv::exchange {

enum class History { Received, Sent };

struct ExportContext {
    History history = History::Received;
    // The user's own address from the settings: the sender of sent mail, the recipient of
    // received mail. May be empty.
    QString ownAddress;
};

// A text field of a record with its padding and any blanks at both ends removed.
QString trimmedField(const char *bytes, qsizetype width);

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

// The moment a date field stands for: a received date in RFC 5322 form, a sent date in the
// clock's form (the system's short date and long time, two blanks between).
std::optional<QDateTime> recordMoment(const QString &dateText, History history);

// The Date header value: a received date as it arrived when it parses, otherwise the moment
// in RFC 5322 form; the start of 1970 when the field says nothing readable.
QByteArray dateHeaderValue(const QString &dateText, History history);

// Encoded-words (UTF-8, base64) for a header value that is not plain ASCII, folded between
// words; plain ASCII stays as it is.
QByteArray encodedHeaderText(const QString &text);

// An address field as a header value: names and other non-ASCII parts encoded, the
// addresses and separators kept as they are, so decoding gives back the field's text.
QByteArray addressHeaderValue(const QString &text);

// The bare address of an address field ("name <a@b>" gives "a@b"); empty when there is none.
QString addrSpec(const QString &text);

} // namespace orv::exchange
