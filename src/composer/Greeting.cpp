#include "composer/Greeting.h"

namespace orv {

const QStringList &GreetingLines()
{
    static const QStringList lines = {
        QStringLiteral("御社益々ご清祥の事とお慶び申し上げます。"),
        QStringLiteral("平素のご愛顧誠にありがとうございます。"),
        QStringLiteral("平素は格別のご愛顧を賜り深謝申し上げます。"),
        QStringLiteral("いつもお世話になっております。"),
        QStringLiteral("メールありがとうございました。確かに受け取りました。"),
        QStringLiteral("はじめまして、突然のメールで恐縮です。"),
        QStringLiteral("こんにちわ。はじめてメールいたします。"),
        QStringLiteral("こんにちわ。お変わりなく、お元気ですか？"),
    };
    return lines;
}

std::optional<TextEdit> greetingEdit(const QString &body, const QString &appliedGreeting,
                                     const QString &greeting)
{
    if (greeting.isEmpty() || greeting == appliedGreeting)
        return std::nullopt;
    if (body.isEmpty() || body == appliedGreeting)
        return TextEdit{0, static_cast<int>(body.size()), greeting};
    if (!appliedGreeting.isEmpty() && body.startsWith(appliedGreeting + u'\n'))
        return TextEdit{0, static_cast<int>(appliedGreeting.size()), greeting};
    return TextEdit{0, 0, greeting + u'\n'};
}

} // namespace orv
