#include "composer/ReplyRules.h"

#include "core/Cp932.h"

#include <cmath>

namespace orv {

namespace {

constexpr int kResizeHeightFloor = 3500;

int scaled(int twips, double factor)
{
    return static_cast<int>(std::lround(twips * factor));
}

} // namespace

ReplyLayout replyLayout(int width, int height, int currentBodyHeight, int toHeight,
                        int subjectHeight, int attachTextHeight)
{
    ReplyLayout layout;
    layout.bodyWidth = scaled(width, 0.99);
    layout.fieldWidth = scaled(width, 0.7);
    layout.attachTextWidth = scaled(width, 0.4);
    layout.attachCommandLeft = layout.attachTextWidth + 1240;
    layout.command9Left = layout.attachTextWidth + 2060;
    layout.command10Left = layout.attachTextWidth + 2940;
    layout.bodyHeight = height > kResizeHeightFloor
                            ? height - toHeight - subjectHeight - attachTextHeight - 1500
                            : currentBodyHeight;
    return layout;
}

QString replySubject(const QString &subject)
{
    return QStringLiteral("Re:  ") + trimBlanks(subject);
}

QString bodyWithPastedText(const QString &clipboardText, const QString &quotedBody)
{
    return clipboardText + QStringLiteral("\r\n\r\n\r\n\r") + trimBlanks(quotedBody);
}

} // namespace orv
