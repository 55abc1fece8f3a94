#pragma once

#include "transport/MailLibrary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orv::mime {

// Subject, date and From of a raw message (header block up to the first empty line),
// decoded to readable text (RFC 2047, tolerant); `header` gets the raw header text.
MailHeaderFields decodeHeaderFields(const QByteArray &rawMessage);

// Decodes the whole message: fields and body become readable text (text/plain preferred,
// HTML-only turned into plain text), attachments are written into `attachmentFolder` under
// safe names (never outside the folder, never over an existing file).
// Returns 1 when attachments were written, 0 when none, -5 when an attachment cannot be
// written, -6 for an incomplete split message (message/partial). `error` gets a Japanese
// text on failure. `decodedFields`, when given, are what decodeHeaderFields gave for this
// message, so the header is not decoded again. `writtenFiles`, when given, gets the paths of
// the attachment files written, so that a caller who cannot keep the message can take them
// back.
int expandMessage(const QByteArray &rawMessage, const QString &attachmentFolder,
                  MailHeaderFields &fields, QString &body, QString *error,
                  const MailHeaderFields *decodedFields = nullptr,
                  QStringList *writtenFiles = nullptr);

} // namespace orv::mime
