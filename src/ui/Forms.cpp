#include "ui/Forms.h"

namespace orv {

Forms::~Forms() { unloadAll(); }

void Forms::unloadAll()
{
    for (auto &[type, window] : m_windows)
        delete window.data();
    m_windows.clear();
}

void Forms::showAndRaise(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace orv
