#include "transport/MailLibrary.h"

#include "transport/ReceivedRecord.h"

namespace orv {

int MailLibrary::NMailPop3FetchMail(int handle, int number, MailHeaderFields &fields,
                                    bool &bodyMentionsAttachment, QString &wholeMessage)
{
    QString body;
    const int result = NMailPop3GetMail(handle, number, fields, body, 0, 0);
    if (nmail::failed(result))
        return result;
    bodyMentionsAttachment = mentionsAttachment(body);
    // The whole text passes through code page 932 twice: built only for a library that
    // would read it.
    wholeMessage = NMailKeepsFetchedMessage() ? QString() : wholeMessageText(fields.header, body);
    return result;
}

} // namespace orv
