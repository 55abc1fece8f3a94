#include "ExchangeTestSupport.h"

namespace orv::test {

MailRecord record(const QString &subject, const QString &address, const QString &date,
                  const QString &body)
{
    MailRecord r;
    r.setSubject(subject);
    r.setAddress(address);
    r.setDate(date);
    r.setBody(body);
    return r;
}

QByteArray storeBytes(const std::vector<MailRecord> &records)
{
    QByteArray bytes;
    for (MailRecord r : records) {
        r.setInUse(1);
        bytes.append(r.data(), MailRecord::kSize);
    }
    return bytes;
}

std::vector<MailRecord> awkwardReceivedRecords()
{
    const QString date = QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900");
    return {
        record(QStringLiteral("会議のご案内①～〓"), QStringLiteral("山田 太郎 <yamada@example.jp>"),
               date, QStringLiteral("山田です。\r\n①から⑩まで、～を含めて〓も。\r\n")),
        record(QStringLiteral("Plain ASCII subject"), QStringLiteral("alice@example.com"),
               QStringLiteral("Thu, 10 Dec 2026 01:02:03 -0500"),
               QStringLiteral("From the start\r\n>From quoted once\r\n>>From twice\r\nend")),
        record(QStringLiteral("長い本文"), QStringLiteral("bob@example.org"), date,
               QStringLiteral("あ").repeated(16001)),
        record(QStringLiteral("Re: the attachment"), QStringLiteral("carol@example.net"), date,
               QStringLiteral("Please see the attachment.\r\n")),
        record(QString(), QStringLiteral("鈴木 <suzuki@example.jp>"), date,
               QStringLiteral("件名なし、本文は改行で終わらない")),
        record(QStringLiteral("ｶﾀｶﾅ　全角スペース"), QStringLiteral("dave@example.com"), date,
               QStringLiteral("first\r\n  indented line\r\n\r\n\r\nlast")),
        record(QStringLiteral("漢字だけの本文"), QStringLiteral("佐藤 <sato@example.jp>"), date,
               QStringLiteral("こんにちは。\r\n漢字とかなだけ。\r\n")),
        record(QStringLiteral("JIS, no final line end"), QStringLiteral("sato@example.jp"), date,
               QStringLiteral("改行で終わらない＝の本文")),
    };
}

} // namespace orv::test
