#include "ui/PrintModule.h"

#include "ui/QtPrintDialogs.h"
#include "viewer/Printing.h"

namespace orv {

const PrintModule &printModuleTable()
{
    static const PrintModule table{
        PrintModule::kVersion,
        []() -> std::unique_ptr<PrintDialogs> { return std::make_unique<QtPrintDialogs>(); },
        &printText,
    };
    return table;
}

} // namespace orv
