#include "transport/mime/HtmlText.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace orv::mime {

namespace {

const QHash<QString, QString> &namedEntities()
{
    static const QHash<QString, QString> entities = {
        {QStringLiteral("amp"), QStringLiteral("&")},
        {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},
        {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},
        {QStringLiteral("nbsp"), QStringLiteral(" ")},
        {QStringLiteral("copy"), QStringLiteral("©")},
        {QStringLiteral("reg"), QStringLiteral("®")},
        {QStringLiteral("yen"), QStringLiteral("¥")},
        {QStringLiteral("hellip"), QStringLiteral("…")},
        {QStringLiteral("mdash"), QStringLiteral("—")},
        {QStringLiteral("ndash"), QStringLiteral("–")},
        {QStringLiteral("laquo"), QStringLiteral("«")},
        {QStringLiteral("raquo"), QStringLiteral("»")},
    };
    return entities;
}

QString resolveEntities(const QString &text)
{
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z]{2,8});"));
    QString out;
    qsizetype position = 0;
    auto matches = entity.globalMatch(text);
    while (matches.hasNext()) {
        const auto match = matches.next();
        out += text.mid(position, match.capturedStart() - position);
        position = match.capturedEnd();
        const QString name = match.captured(1);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            const bool valid =
                ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
            const char32_t character = valid ? char32_t(code) : char32_t(0xFFFD);
            out += QString::fromUcs4(&character, 1);
        } else {
            out += namedEntities().value(name.toLower(), match.captured(0));
        }
    }
    out += text.mid(position);
    return out;
}

// Blanks inside a line collapse as a browser shows them, and around a table cell's tab
// into that tab; blank lines stay at most two.
QString tidyLines(const QString &text)
{
    static const QRegularExpression cellGap(QStringLiteral("[ \\r\\f]*\\t[ \\t\\r\\f]*"));
    static const QRegularExpression blanks(QStringLiteral("[ \\r\\f]+"));
    QStringList lines;
    int emptyRun = 0;
    for (QString line : text.split(u'\n')) {
        line = line.replace(cellGap, QStringLiteral("\t"))
                   .replace(blanks, QStringLiteral(" "))
                   .trimmed();
        emptyRun = line.isEmpty() ? emptyRun + 1 : 0;
        if (emptyRun <= 1)
            lines.append(line);
    }
    while (!lines.isEmpty() && lines.front().isEmpty())
        lines.removeFirst();
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.join(QStringLiteral("\r\n"));
}

const QRegularExpression &hiddenBlock()
{
    static const QRegularExpression hidden(
        QStringLiteral("<(script|style|head|title)\\b.*?</\\1\\s*>|<!--.*?-->"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return hidden;
}

} // namespace

qsizetype completeHtmlLength(const QString &html)
{
    static const QRegularExpression hiddenStart(
        QStringLiteral("<(script|style|head|title)\\b|<!--"),
        QRegularExpression::CaseInsensitiveOption);
    // A hidden block that starts between the complete ones does not end in `html`.
    qsizetype end = html.size();
    qsizetype from = 0;
    auto blocks = hiddenBlock().globalMatch(html);
    for (;;) {
        const bool more = blocks.hasNext();
        const QRegularExpressionMatch block = more ? blocks.next() : QRegularExpressionMatch();
        const qsizetype gapEnd = more ? block.capturedStart() : html.size();
        const QRegularExpressionMatch open = hiddenStart.match(html, from);
        if (open.hasMatch() && open.capturedStart() < gapEnd) {
            end = open.capturedStart();
            break;
        }
        if (!more)
            break;
        from = block.capturedEnd();
    }
    // Nor does a tag whose ">" is still to come.
    const qsizetype lastOpen = end > 0 ? html.lastIndexOf(u'<', end - 1) : -1;
    if (lastOpen >= 0) {
        const qsizetype close = html.indexOf(u'>', lastOpen);
        if (close < 0 || close >= end)
            end = lastOpen;
    }
    return end;
}

QString htmlToPlainText(const QString &html)
{
    const QRegularExpression &hidden = hiddenBlock();
    static const QRegularExpression lineBreak(QStringLiteral("<br\\b[^>]*>"),
                                              QRegularExpression::CaseInsensitiveOption);
    // A row starts a line; its end tag adds none, so rows are not a blank line apart.
    static const QRegularExpression blockEnd(
        QStringLiteral("</?(p|div|li|h[1-6]|table|ul|ol|blockquote|pre)\\b[^>]*>|<tr\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    // Cells of a row stand apart as a browser shows them, not run together.
    static const QRegularExpression cell(QStringLiteral("</?t[dh]\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression sourceBreaks(QStringLiteral("[\\r\\n]+"));

    QString text = html;
    text.remove(hidden);
    // Line breaks in the source are blanks to a browser; only tags break lines.
    text.replace(sourceBreaks, QStringLiteral(" "));
    text.replace(u'\t', u' ');
    text.replace(lineBreak, QStringLiteral("\n"));
    text.replace(blockEnd, QStringLiteral("\n"));
    text.replace(cell, QStringLiteral("\t"));
    text.remove(tag);
    return tidyLines(resolveEntities(text));
}

} // namespace orv::mime
