#include "transport/MailModule.h"

#include "core/ProgramModule.h"

namespace orv {

namespace {

ProgramModule<MailModule> theMailModule("orvaine-mail.so", "orvaineMailModule", "メールの送受信");

} // namespace

const MailModule *mailModule(QString *error)
{
    return theMailModule.table(error);
}

void useLinkedMailModule(const MailModule *module)
{
    theMailModule.useLinked(module);
}

} // namespace orv
