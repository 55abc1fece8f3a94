#include "exchange/ExportHeaderValues.h"

#include "transport/mime/EncodedWords.h"

#include <QList>
#include <QStringList>

namespace orv::exchange {

namespace {

// Splits an address field at the commas that separate entries (not those inside quotes or
// angle brackets); each piece keeps its own blanks, the separators are the commas.
QStringList addressEntries(const QString &text)
{
    QStringList entries;
    QString current;
    bool quoted = false;
    int angle = 0;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'<')
            ++angle;
        else if (!quoted && c == u'>' && angle > 0)
            --angle;
        if (c == u',' && !quoted && angle == 0) {
            entries.append(current);
            current.clear();
            continue;
        }
        current += c;
    }
    entries.append(current);
    return entries;
}

qsizetype leadingBlanks(const QString &text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n] == u' ')
        ++n;
    return n;
}

qsizetype trailingBlanks(const QString &text)
{
    qsizetype n = 0;
    while (n < text.size() && text[text.size() - 1 - n] == u' ')
        ++n;
    return n;
}

// One entry: the name encoded when it is not ASCII, "<address>" and the blanks as written.
QByteArray addressEntryValue(const QString &entry)
{
    if (mime::isPlainHeaderText(entry))
        return entry.toLatin1();
    const qsizetype lead = leadingBlanks(entry);
    const QByteArray before(lead, ' ');
    const QString rest = entry.mid(lead);
    const qsizetype open = rest.lastIndexOf(u'<');
    if (open < 0 || !mime::isPlainHeaderText(rest.mid(open)))
        return before + encodedHeaderText(rest);
    const QString name = rest.left(open);
    const qsizetype gap = trailingBlanks(name);
    return before + encodedHeaderText(name.chopped(gap)) + QByteArray(gap, ' ') +
           rest.mid(open).toLatin1();
}

} // namespace

QByteArray encodedHeaderText(const QString &text)
{
    if (mime::isPlainHeaderText(text))
        return text.toLatin1();
    return mime::utf8EncodedWords(text).join("\r\n ");
}

QByteArray addressHeaderValue(const QString &text)
{
    QList<QByteArray> values;
    for (const QString &entry : addressEntries(text))
        values.append(addressEntryValue(entry));
    return values.join(',');
}

QString addrSpec(const QString &text)
{
    const qsizetype open = text.lastIndexOf(u'<');
    const qsizetype close = text.lastIndexOf(u'>');
    QString candidate =
        open >= 0 && close > open ? text.mid(open + 1, close - open - 1) : text.trimmed();
    candidate = candidate.trimmed();
    if (!candidate.contains(u'@') || !mime::isPlainHeaderText(candidate) ||
        candidate.contains(u' '))
        return {};
    return candidate;
}

} // namespace orv::exchange
