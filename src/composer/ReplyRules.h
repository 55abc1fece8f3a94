#pragma once

#include <QString>

namespace orv {

// The reply window's layout, in twips, for an outer window of `width` × `height`.
struct ReplyLayout {
    int bodyWidth = 0;
    int fieldWidth = 0; // To and subject
    int attachTextWidth = 0;
    int attachCommandLeft = 0;
    int command9Left = 0;
    int command10Left = 0;
    int bodyHeight = 0;
};

// The body keeps `currentBodyHeight` while the window is 3500 twips high or lower.
ReplyLayout replyLayout(int width, int height, int currentBodyHeight, int toHeight,
                        int subjectHeight, int attachTextHeight);

// "Re:", two spaces and the subject without outer blanks, also when it already begins with
// "Re:".
QString replySubject(const QString &subject);

// The body of 本文に貼付 before its clipboard round trip: the clipboard's text, CR LF three
// times and a lone CR, then the quoted message without outer blanks.
QString bodyWithPastedText(const QString &clipboardText, const QString &quotedBody);

} // namespace orv
