#pragma once

#include <QDateTime>
#include <QString>

namespace orv {

// The clock text the main window shows and the sent history stores as a message's date: the
// system's short date and long time, joined by two spaces.
QString clockText(const QDateTime &time);

} // namespace orv
