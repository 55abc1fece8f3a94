#include "ui/ProgramFont.h"

#include <QApplication>
#include <QFont>

namespace orv {

void useProgramFont()
{
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("IPAPGothic")});
    QApplication::setFont(font);
}

} // namespace orv
