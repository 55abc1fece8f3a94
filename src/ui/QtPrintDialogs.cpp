#include "ui/QtPrintDialogs.h"

#include <QAbstractPrintDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace orv {

PrintChoice QtPrintDialogs::choose(QWidget *parent, QPrinter &printer, bool selectionAvailable)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selectionAvailable);
    if (selectionAvailable)
        dialog.setPrintRange(QAbstractPrintDialog::Selection);
    PrintChoice choice;
    choice.accepted = dialog.exec() == QDialog::Accepted;
    choice.printSelection = dialog.printRange() == QAbstractPrintDialog::Selection;
    choice.copies = printer.copyCount();
    return choice;
}

} // namespace orv
