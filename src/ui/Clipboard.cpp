#include "ui/Clipboard.h"

#include "core/Cp932.h"

#include <QClipboard>
#include <QGuiApplication>

namespace orv {

void putOnClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

QString PassThroughClipboard(const QString &text)
{
    putOnClipboard(text);
    return trimBlanks(clipboardText());
}

} // namespace orv
