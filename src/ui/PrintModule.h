#pragma once

#include "ui/Services.h"

#include <QString>

#include <memory>
#include <optional>

class QFont;
class QWidget;

namespace orv {

// Printing needs Qt Print Support and what it pulls in. It is a module of its own beside the
// program (orvaine-print.so), loaded at the first print, so that a start does not map it.
struct PrintModule {
    static constexpr int kVersion = 1;
    // The module is built with the program; one from another build is refused.
    int version = kVersion;
    std::unique_ptr<PrintDialogs> (*createPrintDialogs)();
    // Asks `dialogs` how to print on a printer of the module's own, then prints the
    // selection when there is one and it was chosen, or else the whole text, in `font`, each
    // copy from a page of its own.
    void (*print)(QWidget *parent, PrintDialogs &dialogs, const QString &wholeText,
                  const std::optional<QString> &selection, const QFont &font);
};

// The module, loaded on the first call from the program's folder; null when it cannot be
// loaded, with a sentence for the user in `error`.
const PrintModule *printModule(QString *error = nullptr);

// A program that has the module's code linked in (the tests) uses that; null goes back to
// loading the module.
void useLinkedPrintModule(const PrintModule *module);

// The module's own table: defined in the module, and in every program that links it in.
const PrintModule &printModuleTable();

// The print dialogs the program holds from its start: the module's own, made at the first
// print.
class LatePrintDialogs : public PrintDialogs {
public:
    PrintChoice choose(QWidget *parent, QPrinter &printer, bool selectionAvailable) override;

private:
    std::unique_ptr<PrintDialogs> m_dialogs;
};

} // namespace orv
