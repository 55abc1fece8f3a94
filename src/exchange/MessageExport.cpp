#include "exchange/MessageExport.h"

#include "exchange/ExportBody.h"
#include "exchange/QuickMbox.h"
#include "transport/mime/MailDate.h"

#include <cstring>

namespace orv::exchange {

namespace {

const QByteArray kCrLf = "\r\n";
// Fields of a record that the standard headers cannot carry as they stand travel in
// headers of our own, which an import reads back: a date text no RFC 5322 date can be made
// from, and an empty address (which a From header cannot be).
const char *const kOwnDateHeader = "X-Orvaine-Date";
const char *const kOwnAddressHeader = "X-Orvaine-From";

// What an export takes from one record, read once.
struct RecordText {
    explicit RecordText(const MailRecord &record, History history)
    {
        const char *data = record.data();
        subject = trimmedField(data + MailRecord::kSubjectOffset, MailRecord::kSubjectWidth);
        date = trimmedField(data + MailRecord::kDateOffset, MailRecord::kDateWidth);
        address = trimmedField(data + MailRecord::kAddressOffset, MailRecord::kAddressWidth);
        body = trimmedField(data + MailRecord::kBodyOffset, MailRecord::kBodyWidth);
        moment = recordMoment(date, history);
        id = messageIdOf(data);
    }

    QString subject, date, address, body;
    std::optional<QDateTime> moment;
    QByteArray id;
};

void header(QByteArray &message, const char *name, const QByteArray &value)
{
    message += name;
    message += ": ";
    message += value;
    message += kCrLf;
}

QByteArray ownHeaderValue(const ExportContext &context)
{
    const bool ownKnown = !context.ownAddress.trimmed().isEmpty();
    return ownKnown ? addressHeaderValue(context.ownAddress) : QByteArray(kNoAddress);
}

void addressHeaders(QByteArray &message, const RecordText &text, const ExportContext &context)
{
    const bool ownKnown = !context.ownAddress.trimmed().isEmpty();
    const QByteArray own = ownHeaderValue(context);
    const QByteArray other =
        text.address.isEmpty() ? QByteArray() : addressHeaderValue(text.address);
    if (context.history == History::Sent) {
        header(message, "From", own);
        if (!other.isEmpty())
            header(message, "To", other);
        return;
    }
    header(message, "From", other.isEmpty() ? QByteArray(kNoAddress) : other);
    if (ownKnown)
        header(message, "To", own);
    if (text.address.isEmpty())
        header(message, kOwnAddressHeader, QByteArray());
}

QByteArray message(const RecordText &text, const ExportContext &context)
{
    const BodyPart part = bodyPart(text.body);
    QByteArray message;
    message.reserve(part.content.size() + 512);
    addressHeaders(message, text, context);
    header(message, "Subject", encodedHeaderText(text.subject));
    header(message, "Date", dateHeaderValue(text.date, text.moment, context.history));
    if (!text.moment)
        header(message, kOwnDateHeader, encodedHeaderText(text.date));
    header(message, "Message-ID", text.id);
    header(message, "MIME-Version", "1.0");
    header(message, "Content-Type", "text/plain; charset=" + part.charset);
    header(message, "Content-Transfer-Encoding", part.encoding);
    message += kCrLf;
    message += part.content;
    return message;
}

QByteArray fromLine(const RecordText &text, const ExportContext &context)
{
    const QString sender =
        addrSpec(context.history == History::Sent ? context.ownAddress : text.address);
    return "From " + (sender.isEmpty() ? QByteArray("MAILER-DAEMON") : sender.toLatin1()) + ' ' +
           mime::mboxLineDate(mboxMoment(text.moment));
}

} // namespace

QByteArray messageFromRecord(const MailRecord &record, const ExportContext &context)
{
    return message(RecordText(record, context.history), context);
}

QByteArray mboxFromLine(const MailRecord &record, const ExportContext &context)
{
    return fromLine(RecordText(record, context.history), context);
}

void appendRecordAsMboxrd(QByteArray &mbox, const MailRecord &record, const ExportContext &context)
{
    const RecordText text(record, context.history);
    appendMboxrd(mbox, fromLine(text, context), message(text, context));
}

void appendMboxrd(QByteArray &mbox, const QByteArray &fromLine, const QByteArray &message)
{
    mbox += fromLine;
    mbox += '\n';
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf('\n', start);
        const bool complete = end >= 0;
        if (!complete)
            end = message.size();
        qsizetype lineEnd = end;
        if (complete && lineEnd > start && message[lineEnd - 1] == '\r')
            --lineEnd;
        qsizetype quotes = start;
        while (quotes < lineEnd && message[quotes] == '>')
            ++quotes;
        if (QByteArrayView(message).sliced(quotes, lineEnd - quotes).startsWith("From "))
            mbox += '>';
        mbox += QByteArrayView(message).sliced(start, lineEnd - start);
        mbox += '\n';
        start = end + 1;
    }
    mbox += '\n';
}

MboxWriter::MboxWriter(const ExportContext &context)
    : m_context(context), m_ownKnown(!context.ownAddress.trimmed().isEmpty()),
      m_ownHeader(ownHeaderValue(context).replace("\r\n", "\n"))
{
}

void MboxWriter::append(QByteArray &mbox, const char *record) const
{
    if (appendQuickly(mbox, record))
        return;
    MailRecord copy;
    std::memcpy(copy.data(), record, MailRecord::kSize);
    appendRecordAsMboxrd(mbox, copy, m_context);
}

bool MboxWriter::appendQuickly(QByteArray &mbox, const char *record) const
{
    if (m_context.history != History::Received)
        return false;
    return appendQuickMboxMessage(mbox, record, m_ownKnown ? &m_ownHeader : nullptr);
}

} // namespace orv::exchange
