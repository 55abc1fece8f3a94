#include "transport/MailLibraryFactory.h"

#include "transport/NMailFacade.h"

namespace orv {

std::unique_ptr<MailLibrary>
createMailLibrary(std::function<std::pair<QString, QString>()> credentials)
{
    return std::make_unique<NMailFacade>(std::move(credentials), pop3::Options());
}

} // namespace orv
