#pragma once

#include "ui/Services.h"

namespace orv {

class QtPrintDialogs : public PrintDialogs {
public:
    PrintChoice choose(QWidget *parent, QPrinter &printer, bool selectionAvailable) override;
};

} // namespace orv
