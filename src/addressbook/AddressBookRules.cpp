#include "addressbook/AddressBookRules.h"

#include "core/Cp932.h"
#include "store/AddressRecord.h"

namespace orv {

namespace {

bool fitsAddressField(const QString &text)
{
    return cp932::encode(text).size() <= AddressRecord::kNameWidth;
}

} // namespace

QString businessCardAddress(const QString &cardName, const QString &address)
{
    return cardName + u'<' + trimBlanks(address) + u'>';
}

QString businessCardNameProblem(const QString &cardName)
{
    for (const QChar character : {u'<', u'>', u',', u'"'}) {
        if (cardName.contains(character))
            return QStringLiteral("名刺に「<」「>」「,」「\"」は使えません。"
                                  "これらの文字を除いてから名刺挿入して下さい。");
    }
    return {};
}

QString registrationProblem(const QString &name, const QString &address)
{
    static_assert(AddressRecord::kNameWidth == AddressRecord::kAddressWidth);
    if (!fitsAddressField(name))
        return QStringLiteral("名前が長すぎるため登録できません。"
                              "名前は半角90文字（全角45文字）までです。");
    if (!fitsAddressField(address))
        return QStringLiteral("メールアドレスが長すぎるため登録できません。"
                              "メールアドレスは名刺を含めて半角90文字（全角45文字）までです。"
                              "名刺を短くするか、名刺を外して登録して下さい。");
    return {};
}

namespace addressbook {

QString command1Help()
{
    return QStringLiteral("コピーして来たメールアドレスを貼り付けます。");
}

QString command3Help()
{
    return QStringLiteral("登録を行います。これにより新規作成でのメールアドレスの一発入力が可能に"
                          "なります。");
}

QString command4Help()
{
    return QStringLiteral("不要になったメールアドレスを削除します。");
}

QString command38Help()
{
    return QStringLiteral("名詞の挿入を行います。例えばメールアドレスが「hanako@example.jp」で、"
                          "名刺に「山田花子」と入力して名刺挿入すると「山田花子<hanako@example.jp>"
                          "」となり、受け取った相手にはメールアドレスと一緒に「山田花子」と表示さ"
                          "れます。\r\n\r\n"
                          "必要なければ挿入する必要はありません。");
}

} // namespace addressbook

} // namespace orv
