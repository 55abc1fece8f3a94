#include "ui/ClockText.h"

#include <QLocale>

namespace orv {

namespace {

// The system's long time format without time zone names, which do not fit a date field.
QString longTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

} // namespace

QString clockText(const QDateTime &time)
{
    const QLocale locale = QLocale::system();
    return locale.toString(time.date(), QLocale::ShortFormat) + QStringLiteral("  ") +
           locale.toString(time.time(), longTimeFormat());
}

} // namespace orv
