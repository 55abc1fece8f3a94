#pragma once

#include "ui/Services.h"

#include <QString>

#include <optional>

class QFont;
class QWidget;

namespace orv {

// The editor's print: the dialog for a printer, then the chosen text, each copy from a page
// of its own.
void printText(QWidget *parent, PrintDialogs &dialogs, const QString &wholeText,
               const std::optional<QString> &selection, const QFont &font);

} // namespace orv
