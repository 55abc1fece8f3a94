#include "ui/PrintModule.h"

#include "core/ProgramModule.h"

namespace orv {

namespace {

ProgramModule<PrintModule> thePrintModule("orvaine-print.so", "orvainePrintModule", "印刷");

} // namespace

const PrintModule *printModule(QString *error)
{
    return thePrintModule.table(error);
}

void useLinkedPrintModule(const PrintModule *module)
{
    thePrintModule.useLinked(module);
}

PrintChoice LatePrintDialogs::choose(QWidget *parent, QPrinter &printer, bool selectionAvailable)
{
    // A printer to ask about exists only once the module has made it, so the module is there.
    if (!m_dialogs) {
        const PrintModule *module = printModule();
        if (!module)
            return {};
        m_dialogs = module->createPrintDialogs();
    }
    return m_dialogs->choose(parent, printer, selectionAvailable);
}

} // namespace orv
