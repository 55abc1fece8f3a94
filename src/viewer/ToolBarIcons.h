#pragma once

#include <QIcon>

class QWidget;

namespace orv {

// The icon of a toolbar key: the desktop theme's where it has one, otherwise the style's
// standard icon or a drawn letter, so that every button shows a picture.
QIcon toolBarIcon(const QWidget &toolBar, const QString &key);

} // namespace orv
