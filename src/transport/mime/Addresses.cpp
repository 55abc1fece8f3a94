#include "transport/mime/Addresses.h"

#include "transport/mime/ControlCharacters.h"

#include <QStringList>

namespace orv::mime {

namespace {

// Commas inside quotes or angle brackets do not separate entries.
QStringList splitEntries(const QString &text)
{
    QStringList entries;
    QString current;
    bool quoted = false;
    for (QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        if (c == u',' && !quoted) {
            entries.append(current.trimmed());
            current.clear();
            continue;
        }
        current += c;
    }
    entries.append(current.trimmed());
    entries.removeAll(QString());
    return entries;
}

// What the user sees of a refused entry: control characters made visible.
QString shown(const QString &entry)
{
    QString visible;
    for (QChar c : entry)
        visible += isControlCharacter(c)
                       ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'))
                       : QString(c);
    return visible;
}

bool isPlausibleAddress(const QString &address)
{
    static const QString forbidden = QStringLiteral(" \t<>()[]\\,;:\"");
    for (QChar c : address)
        if (forbidden.contains(c))
            return false;
    const qsizetype at = address.lastIndexOf(u'@');
    return at > 0 && at < address.size() - 1;
}

QString unquotedName(QString name)
{
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2).replace(QStringLiteral("\\\""), QStringLiteral("\""));
    return name.trimmed();
}

std::nullopt_t refuse(const QString &entry, const QString &why, QString *error)
{
    if (error)
        *error = QStringLiteral("メールアドレス「%1」は%2ため、送信しませんでした。")
                     .arg(shown(entry), why);
    return std::nullopt;
}

std::optional<Mailbox> parseEntry(const QString &entry, QString *error)
{
    const qsizetype open = entry.indexOf(u'<');
    const qsizetype close = entry.indexOf(u'>');
    Mailbox mailbox;
    if (open < 0 && close < 0) {
        mailbox.address = entry.trimmed();
    } else {
        const bool oneBracketPair = open >= 0 && close > open && entry.count(u'<') == 1 &&
                                    entry.count(u'>') == 1 &&
                                    entry.mid(close + 1).trimmed().isEmpty();
        if (!oneBracketPair)
            return refuse(entry, QStringLiteral("「<」「>」の使い方が正しくない"), error);
        mailbox.name = unquotedName(entry.left(open));
        mailbox.address = entry.mid(open + 1, close - open - 1).trimmed();
    }
    if (!isPlausibleAddress(mailbox.address))
        return refuse(entry, QStringLiteral("メールアドレスの形をしていない"), error);
    return mailbox;
}

} // namespace

std::optional<QList<Mailbox>> parseAddressList(const QString &text, QString *error)
{
    // Checked on the whole text: a line break at either end of an entry is no less suspect.
    for (QChar c : text)
        if (isControlCharacter(c))
            return refuse(text, QStringLiteral("改行などの制御文字を含む"), error);
    QList<Mailbox> mailboxes;
    for (const QString &entry : splitEntries(text)) {
        auto mailbox = parseEntry(entry, error);
        if (!mailbox)
            return std::nullopt;
        mailboxes.append(*mailbox);
    }
    return mailboxes;
}

} // namespace orv::mime
