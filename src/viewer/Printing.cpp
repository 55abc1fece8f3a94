#include "viewer/Printing.h"

#include <QFont>
#include <QPrinter>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace orv {

namespace {

// One document with a page break before every further copy, so that each copy starts on
// a page of its own and the printer gets one job. The break goes on the copy's first block
// only after its text is in: blocks made while inserting would inherit it.
void printCopies(QPrinter &printer, const QString &text, const QFont &font, int copies)
{
    QTextDocument document;
    document.setDefaultFont(font);
    QTextCursor cursor(&document);
    for (int copy = 0; copy < copies; ++copy) {
        const int start = cursor.position();
        cursor.insertText(text);
        if (copy == 0)
            continue;
        QTextCursor first(document.findBlock(start));
        QTextBlockFormat pageBreak = first.blockFormat();
        pageBreak.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        first.setBlockFormat(pageBreak);
    }
    printer.setCopyCount(1);
    document.print(&printer);
}

} // namespace

void printText(QWidget *parent, PrintDialogs &dialogs, const QString &wholeText,
               const std::optional<QString> &selection, const QFont &font)
{
    QPrinter printer;
    const PrintChoice choice = dialogs.choose(parent, printer, selection.has_value());
    if (!choice.accepted)
        return;
    const QString &text = selection && choice.printSelection ? *selection : wholeText;
    printCopies(printer, text + QLatin1Char('\n'), font, std::max(choice.copies, 1));
}

} // namespace orv
