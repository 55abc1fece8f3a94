#include "transport/mime/FlowedText.h"

#include <QStringList>

namespace orv::mime {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString quotePrefix(qsizetype depth)
{
    return depth > 0 ? QString(depth, u'>') + u' ' : QString();
}

struct FlowedLine {
    qsizetype depth = 0;
    QString content;
    bool soft = false;
};

FlowedLine parseLine(const QString &line)
{
    FlowedLine parsed;
    while (parsed.depth < line.size() && line[parsed.depth] == u'>')
        ++parsed.depth;
    parsed.content = line.mid(parsed.depth);
    if (parsed.content.startsWith(u' '))
        parsed.content.remove(0, 1);
    parsed.soft = parsed.content.endsWith(u' ') && parsed.content != u"-- ";
    return parsed;
}

} // namespace

QString unflowed(const QString &text, bool deleteSpace)
{
    QStringList lines = text.split(kCrLf);
    const bool endsWithLineEnd = lines.size() > 1 && lines.back().isEmpty();
    if (endsWithLineEnd)
        lines.removeLast();

    QStringList joined;
    QString paragraph;
    qsizetype depth = 0;
    bool open = false;
    for (const QString &line : std::as_const(lines)) {
        FlowedLine parsed = parseLine(line);
        // A change of quote depth ends a paragraph even after a soft break.
        if (open && parsed.depth != depth) {
            joined.append(quotePrefix(depth) + paragraph);
            open = false;
        }
        if (!open) {
            paragraph.clear();
            depth = parsed.depth;
            open = true;
        }
        if (parsed.soft && deleteSpace)
            parsed.content.chop(1);
        paragraph += parsed.content;
        if (!parsed.soft) {
            joined.append(quotePrefix(depth) + paragraph);
            open = false;
        }
    }
    if (open)
        joined.append(quotePrefix(depth) + paragraph);
    return joined.join(kCrLf) + (endsWithLineEnd ? kCrLf : QString());
}

} // namespace orv::mime
