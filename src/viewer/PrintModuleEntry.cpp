// The one symbol orvaine-print.so shows the program.
#include "ui/PrintModule.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT const void *orvainePrintModule()
{
    return &orv::printModuleTable();
}
