#include "transport/mime/MailCharset.h"

#include "transport/mime/Charsets.h"

#include <algorithm>
#include <array>

namespace orv::mime {

MailText inMailCharset(const QString &text, WindowsForms forms)
{
    if (forms == WindowsForms::AsJisForms || !hasWindowsForms(text))
        if (std::optional<QByteArray> jis = charsets::encodeIso2022Jp(text))
            return {kIso2022Jp, *std::move(jis)};
    return {kUtf8, text.toUtf8()};
}

bool hasWindowsForms(const QString &text)
{
    static constexpr std::array<char16_t, 6> forms = {u'\uFF5E', u'\uFF0D', u'\u2225',
                                                      u'\uFFE2', u'\uFFE0', u'\uFFE1'};
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return std::find(forms.cbegin(), forms.cend(), c.unicode()) != forms.cend();
    });
}

} // namespace orv::mime
