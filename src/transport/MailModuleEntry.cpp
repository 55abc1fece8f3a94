// The one symbol orvaine-mail.so shows the program.
#include "transport/MailModule.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const void *orvaineMailModule()
{
    return &orv::mailModuleTable();
}
