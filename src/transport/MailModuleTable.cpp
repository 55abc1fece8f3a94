#include "transport/MailModule.h"

#include "transport/NMailFacade.h"
#include "transport/mime/MessageDecoder.h"

namespace orv {

const MailModule &mailModuleTable()
{
    static const MailModule table{
        MailModule::kVersion,
        [](MailModule::Credentials credentials) -> std::unique_ptr<MailLibrary> {
            return std::make_unique<NMailFacade>(std::move(credentials), pop3::Options());
        },
        [](const QByteArray &rawMessage, const QString &attachmentFolder, MailHeaderFields &fields,
           QString &body, QString *error, const MailHeaderFields *decodedFields,
           QStringList *writtenFiles) {
            return mime::expandMessage(rawMessage, attachmentFolder, fields, body, error,
                                       decodedFields, writtenFiles);
        },
    };
    return table;
}

} // namespace orv
