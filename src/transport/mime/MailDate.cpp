#include "transport/mime/MailDate.h"

#include <QLocale>

#include <cstdio>

namespace orv::mime {

namespace {

const char *const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

QByteArray rfc5322Date(const QDateTime &moment)
{
    const int offset = moment.offsetFromUtc() / 60;
    const int magnitude = offset < 0 ? -offset : offset;
    return QLocale::c().toString(moment, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(magnitude / 60).rightJustified(2, '0') +
           QByteArray::number(magnitude % 60).rightJustified(2, '0');
}

std::optional<QDateTime> readRfc5322Date(const QString &text)
{
    QString candidate = text.trimmed();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDateTime moment = QDateTime::fromString(candidate, Qt::RFC2822Date);
        if (moment.isValid())
            return moment;
        // A trailing zone comment, "(JST)", is common and harmless.
        const qsizetype comment = candidate.lastIndexOf(u'(');
        if (comment <= 0)
            break;
        candidate = candidate.left(comment).trimmed();
    }
    return std::nullopt;
}

QByteArray mboxLineDate(const QDateTime &moment)
{
    const QDateTime utc = moment.toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    char when[40];
    std::snprintf(when, sizeof when, "%s %s %2d %02d:%02d:%02d %d", kWeekdays[day.dayOfWeek() - 1],
                  kMonths[day.month() - 1], day.day(), time.hour(), time.minute(), time.second(),
                  day.year());
    return when;
}

} // namespace orv::mime
