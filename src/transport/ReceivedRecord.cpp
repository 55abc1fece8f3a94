#include "transport/ReceivedRecord.h"

#include "core/Cp932.h"
#include "core/TextFile.h"

namespace orv {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The frame marks a rich-text document uses inside its plain text.
constexpr char16_t kBeginningOfFrame = 0xfdd0;
constexpr char16_t kEndOfFrame = 0xfdd1;

bool endsBlock(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator ||
           c == QChar::LineSeparator || c == kBeginningOfFrame || c == kEndOfFrame;
}

} // namespace

QString attachmentNotice()
{
    return QStringLiteral("♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪");
}

bool mentionsAttachment(const QString &text)
{
    return text.contains(QStringLiteral("attachment"));
}

bool mentionsAttachment(QByteArrayView cp932Text)
{
    // A line end never lies inside a double-byte character, nor inside the word: stretches
    // cut after one decode exactly as the whole would.
    constexpr qsizetype kStretch = qsizetype(1) << 20;
    while (!cp932Text.isEmpty()) {
        qsizetype end = qMin(kStretch, cp932Text.size());
        if (end < cp932Text.size()) {
            const qsizetype lineEnd = cp932Text.sliced(end).indexOf('\n');
            end = lineEnd < 0 ? cp932Text.size() : end + lineEnd + 1;
        }
        const QByteArrayView stretch = cp932Text.first(end);
        if (stretch.contains(QByteArrayView("attachment")) &&
            mentionsAttachment(cp932::decode(stretch.data(), stretch.size())))
            return true;
        cp932Text = cp932Text.sliced(end);
    }
    return false;
}

QString stagedBody(const QString &body, bool withNotice)
{
    return withNotice ? body + kCrLf + attachmentNotice() : body;
}

QString bodyAsTheViewerKeepsIt(const QString &text)
{
    QString kept;
    kept.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (endsBlock(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            kept += kCrLf;
        } else if (c == QChar::Nbsp) {
            kept += u' ';
        } else {
            kept += c;
        }
    }
    return kept;
}

MailRecord receivedRecord(const MailHeaderFields &fields, const QString &stagedBody)
{
    const auto field = [](QString text) { return trimBlanks(text.remove(QChar::Null)); };
    MailRecord record;
    record.setSubject(field(fields.subject));
    record.setDate(field(fields.date));
    record.setAddress(field(fields.from));
    record.setBody(field(bodyAsTheViewerKeepsIt(stagedBody)));
    return record;
}

QString wholeMessageText(const QString &header, const QString &body)
{
    return joinLinesWithCrLf(cp932::decode(cp932::encode(header + kCrLf + body + kCrLf)));
}

} // namespace orv
