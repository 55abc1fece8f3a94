#pragma once

#include "store/MailRecord.h"
#include "transport/MailLibrary.h"

#include <QByteArrayView>
#include <QString>

namespace orv {

// The notice appended to the body of a message whose text mentions an attachment.
QString attachmentNotice();

// Whether the text mentions the lowercase word "attachment" (case-sensitive).
bool mentionsAttachment(const QString &text);
// The same for code page 932 bytes, read a stretch at a time: a message of any size costs
// no more memory than one stretch.
bool mentionsAttachment(QByteArrayView cp932Text);

// The body as the viewer stages it: the decoded body, followed by CR LF and the notice when
// the message's text mentioned an attachment.
QString stagedBody(const QString &body, bool withNotice);

// The text the viewer's body box gives back for `text`: every line end (CR LF, a lone CR or
// LF, a line or paragraph separator) becomes CR LF, and a no-break space a plain space.
QString bodyAsTheViewerKeepsIt(const QString &text);

// The received-store record of one message: subject, date, sender and staged body, each
// without blanks at either end and without NUL characters (a field ends at its first NUL
// when it is read back).
MailRecord receivedRecord(const MailHeaderFields &fields, const QString &stagedBody);

// The whole message as text, header and body each followed by CR LF, read back line by
// line through code page 932 and joined again with CR LF.
QString wholeMessageText(const QString &header, const QString &body);

} // namespace orv
