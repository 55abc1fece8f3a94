#include "exchange/RecordDates.h"

#include "transport/mime/EncodedWords.h"
#include "transport/mime/MailDate.h"

#include <QLocale>
#include <QTimeZone>

namespace orv::exchange {

namespace {

// What a date field that says nothing readable stands for.
QDateTime epoch()
{
    return QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc());
}

QDateTime withCentury(QDateTime moment)
{
    // Two-digit years of short date formats are read as 19xx.
    if (moment.isValid() && moment.date().year() < 1970)
        moment = moment.addYears(100);
    return moment;
}

QString clockTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(u't');
    return format.trimmed();
}

QDate sentDay(const QString &text)
{
    QDate date = QLocale::system().toDate(text, QLocale::ShortFormat);
    for (const QString &format :
         {QStringLiteral("yyyy/MM/dd"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy-MM-dd"),
          QStringLiteral("M/d/yy"), QStringLiteral("M/d/yyyy"), QStringLiteral("d.M.yy")}) {
        if (date.isValid())
            break;
        date = QDate::fromString(text, format);
    }
    return date;
}

QTime sentTime(const QString &text)
{
    QTime time = QLocale::system().toTime(text, clockTimeFormat());
    for (const QString &format :
         {QStringLiteral("H:mm:ss"), QStringLiteral("h:mm:ss AP"), QStringLiteral("H:mm")}) {
        if (time.isValid())
            break;
        time = QLocale::c().toTime(text, format);
    }
    return time;
}

std::optional<QDateTime> sentMoment(const QString &text)
{
    const qsizetype gap = text.indexOf(QStringLiteral("  "));
    if (gap < 0)
        return std::nullopt;
    const QDate date = sentDay(text.left(gap).trimmed());
    const QTime time = sentTime(text.mid(gap + 2).trimmed());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return withCentury(QDateTime(date, time));
}

} // namespace

std::optional<QDateTime> recordMoment(const QString &dateText, History history)
{
    return history == History::Sent ? sentMoment(dateText) : mime::readRfc5322Date(dateText);
}

QByteArray dateHeaderValue(const QString &dateText, const std::optional<QDateTime> &moment,
                           History history)
{
    if (!moment)
        return mime::rfc5322Date(epoch());
    if (history == History::Received && mime::isPlainHeaderText(dateText))
        return dateText.toLatin1();
    return mime::rfc5322Date(*moment);
}

QDateTime mboxMoment(const std::optional<QDateTime> &moment)
{
    return moment ? *moment : epoch();
}

} // namespace orv::exchange
