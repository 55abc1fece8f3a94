// The received record is computed without windows; it must equal what staging the message
// in the viewer's fields and reading them back gave.
#include "core/Cp932.h"
#include "store/MailRecord.h"
#include "transport/ReceivedRecord.h"
#include "viewer/EditorCommands.h"

#include <QLineEdit>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace orv {
namespace {

MailRecord recordThroughTheViewer(const MailHeaderFields &fields, const QString &body)
{
    QLineEdit subject, from, date;
    QTextEdit editor;
    subject.setText(fields.subject);
    from.setText(fields.from);
    date.setText(fields.date);
    setEditorText(editor, body);
    MailRecord record;
    record.setSubject(trimBlanks(subject.text()));
    record.setDate(trimBlanks(date.text()));
    record.setAddress(trimBlanks(from.text()));
    record.setBody(trimBlanks(editorText(editor)));
    return record;
}

TEST(ReceivedRecord, EqualsWhatTheViewersFieldsGaveBack)
{
    struct Case {
        const char *name;
        QString subject;
        QString body;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("件名"), QStringLiteral("本文です。\r\n二行目\r\n")},
        {"blanks at both ends go, tabs stay", QStringLiteral("  件名 "),
         QStringLiteral("  \tindented\t  ")},
        {"lone LF and lone CR become CR LF", QStringLiteral("s"), QStringLiteral("a\nb\rc")},
        {"CR CR LF is two line ends", QStringLiteral("s"), QStringLiteral("a\r\r\nb")},
        {"separators become line ends", QStringLiteral("s"), QStringLiteral("a\u2028b\u2029c")},
        {"no-break spaces become spaces", QStringLiteral("s"), QStringLiteral("a\u00a0b")},
        {"empty", QString(), QString()},
        {"longer than the field", QStringLiteral("s"), QString(40000, u'あ')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MailHeaderFields fields{c.subject, QStringLiteral(" Wed, 09 Dec 2026 "),
                                      QStringLiteral("山田 <yamada@example.jp> "), QString()};
        for (const bool withNotice : {false, true}) {
            const QString staged = stagedBody(c.body, withNotice);
            const MailRecord expected = recordThroughTheViewer(fields, staged);
            EXPECT_EQ(receivedRecord(fields, staged), expected)
                << receivedRecord(fields, staged).body().left(80).toStdString() << " | "
                << expected.body().left(80).toStdString();
        }
    }
}

TEST(ReceivedRecord, TheNoticeFollowsOnlyTheLowerCaseWord)
{
    EXPECT_TRUE(mentionsAttachment(QStringLiteral("the attachment is here")));
    EXPECT_FALSE(mentionsAttachment(QStringLiteral("the Attachment is here")));
    EXPECT_FALSE(mentionsAttachment(QStringLiteral("ATTACHMENT")));
    EXPECT_EQ(stagedBody(QStringLiteral("text"), true),
              QStringLiteral("text\r\n") + attachmentNotice());
    EXPECT_EQ(stagedBody(QStringLiteral("text"), false), QStringLiteral("text"));
}

TEST(ReceivedRecord, TheWholeMessageReadsBackLineByLine)
{
    EXPECT_EQ(wholeMessageText(QStringLiteral("Subject: a\r\n"), QStringLiteral("b\rc\nd")),
              QStringLiteral("Subject: a\r\n\r\nb\r\nc\nd\r\n"));
}

} // namespace
} // namespace orv
