#pragma once

#include "core/Status.h"
#include "transport/mime/Addresses.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace orv::mime {

struct OutgoingMail {
    Mailbox from;
    QList<Mailbox> to;
    QList<Mailbox> cc;
    QString subject;
    QString body;
    QStringList attachmentPaths;
    // "Name: value" lines added to the header; empty when there are none.
    QString extraHeader;
    QDateTime date = QDateTime::currentDateTime();
};

// The message as it goes to the server, CR LF throughout: the body in ISO-2022-JP when every
// character fits JIS X 0208, in UTF-8 otherwise; RFC 2047 header words; attachments as
// base64 parts with RFC 2231 names. Fails with a Japanese reason when an attachment cannot
// be read or an extra header line is malformed.
Status buildMessage(const OutgoingMail &mail, QByteArray &message);

// Encoded-words for a header value, ISO-2022-JP when it fits, folded between words;
// line breaks and other control characters become blanks, so no header can be injected.
QByteArray encodeHeaderText(const QString &text);

} // namespace orv::mime
