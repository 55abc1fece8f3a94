// The exported bytes of a corpus of records, pinned by fixtures: every message the export
// writes, as an .eml file and as mbox text, must stay byte for byte what readers and earlier
// exports already hold.

#include "ExchangeTestSupport.h"
#include "support/JapanTime.h"

#include "exchange/MessageExport.h"
#include "transport/ReceivedRecord.h"

#include <QFile>

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace orv::test {
namespace {

using namespace orv::exchange;

struct CorpusCase {
    const char *name; // the fixture's file name, without its extension
    History history;
    const char *ownAddress;
    QString subject, address, date, body;
};

const QString kDate = QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900");
const QString kSender = QStringLiteral("山田 太郎 <yamada@example.jp>");
const QString kLine = QStringLiteral("本文です。\r\n");

std::vector<CorpusCase> receivedTextCases()
{
    const History r = History::Received;
    return {
        {"ascii", r, "", QStringLiteral("Hello"), QStringLiteral("alice@example.com"),
         QStringLiteral("Thu, 10 Dec 2026 01:02:03 -0500"), QStringLiteral("Hi\tthere\r\n")},
        {"japanese", r, "", QStringLiteral("会議のご案内"), kSender, kDate,
         QStringLiteral("山田です。\r\n明日の会議は十時からです。\r\n")},
        {"own_address_known", r, "自分 <me@example.jp>", QStringLiteral("件名"), kSender, kDate,
         kLine},
        {"long_japanese_subject", r, "", QStringLiteral("とても長い件名の").repeated(6), kSender,
         kDate, kLine},
        {"long_ascii_subject", r, "",
         QStringLiteral("A rather long plain subject line that goes on and on past the "
                        "seventy-eight columns"),
         kSender, kDate, kLine},
        {"long_mixed_subject", r, "",
         QStringLiteral("Re: Re: 【重要】来週の打ち合わせ (Project Orvaine) の件について"), kSender,
         kDate, kLine},
        {"subject_like_an_encoded_word", r, "", QStringLiteral("=?UTF-8?B?eA==?="), kSender, kDate,
         kLine},
        {"from_lines", r, "", QStringLiteral("s"), QStringLiteral("a@example.jp"), kDate,
         QStringLiteral("From me\r\n>From you\r\n>>From them\r\nFrom\r\nFrom 山田\r\n")},
        {"code_page_932_only", r, "", QStringLiteral("①～㈱髙﨑"),
         QStringLiteral("髙橋 <t@example.jp>"), kDate,
         QStringLiteral("～－∥￢￠￡\r\nⅠⅱ№℡纊\r\n〓\r\n")},
        {"half_width_kana", r, "", QStringLiteral("ｶﾀｶﾅ　全角スペース"),
         QStringLiteral("ｶﾅ <kana@example.jp>"), kDate, QStringLiteral("ｶﾀｶﾅ と 漢字\r\n")},
        {"attachment_notice", r, "", QStringLiteral("添付あり"), kSender, kDate,
         stagedBody(QStringLiteral("資料を送ります。\r\n"), true)},
        {"attachment_mentioned", r, "", QStringLiteral("Re: the attachment"),
         QStringLiteral("carol@example.net"), kDate,
         QStringLiteral("Please see the attachment.\r\n")},
        {"no_final_line_end_ascii", r, "", QStringLiteral("s"), QStringLiteral("a@example.jp"),
         kDate, QStringLiteral("first\r\n  indented\r\n\r\nlast = end ")},
        {"no_final_line_end_japanese", r, "", QStringLiteral("s"), kSender, kDate,
         QStringLiteral("改行で終わらない＝の本文")},
        {"long_line", r, "", QStringLiteral("s"), kSender, kDate,
         QStringLiteral("あ").repeated(600) + QStringLiteral("\r\n")},
        {"body_cut_at_the_field_width", r, "", QStringLiteral("長い本文"), kSender, kDate,
         QStringLiteral("い").repeated(16001)},
        {"control_characters", r, "", QStringLiteral("s"), kSender, kDate,
         QStringLiteral("a\x01z\r\nlone\nfeed\r\nlone\rreturn\r\n")},
        {"line_breaks_in_header_fields", r, "", QStringLiteral("a\r\nBcc: x@evil.example"),
         QStringLiteral("x@example.jp\r\nBcc: y@evil.example"),
         QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900\r\nX: y"), kLine},
    };
}

std::vector<CorpusCase> addressCases()
{
    const History r = History::Received;
    const auto from = [&](const char *name, const QString &address) {
        return CorpusCase{name, r, "", QStringLiteral("s"), address, kDate, kLine};
    };
    return {
        from("address_without_blank", QStringLiteral("山田<a@b.jp>")),
        from("address_with_blanks", QStringLiteral("山田   <a@b.jp>")),
        from("address_with_comment", QStringLiteral("山田 <a@b.jp> (会社)")),
        from("address_without_angles", QStringLiteral("山田 a@b.jp")),
        from("address_with_blank_inside", QStringLiteral("山田 <a b@c.jp>")),
        from("address_unclosed", QStringLiteral("山田 <a@b.jp")),
        from("address_ascii_name", QStringLiteral("Yamada Taro <a@b.jp>")),
        from("addresses_several",
             QStringLiteral("山田 <a@b.jp>, \"鈴木, 花子\" <c@d.jp>,  佐藤<e@f.jp>")),
        from("address_long_name",
             QStringLiteral("株式会社オルヴェーヌ・メール開発部　営業推進課長 <long@example.jp>")),
    };
}

std::vector<CorpusCase> emptyFieldCases()
{
    const History r = History::Received;
    return {
        {"empty_subject", r, "", QString(), kSender, kDate, kLine},
        {"empty_address", r, "", QStringLiteral("s"), QString(), kDate, kLine},
        {"empty_date", r, "", QStringLiteral("s"), kSender, QString(), kLine},
        {"empty_body", r, "", QStringLiteral("s"), kSender, kDate, QString()},
        {"all_empty", r, "", QString(), QString(), QString(), QString()},
    };
}

std::vector<CorpusCase> receivedDateCases()
{
    const auto dated = [](const char *name, const QString &date) {
        return CorpusCase{name, History::Received, "", QStringLiteral("s"), kSender, date, kLine};
    };
    return {
        dated("date_without_weekday", QStringLiteral("9 Dec 2026 09:05:00 +0900")),
        dated("date_with_zone_comment", QStringLiteral("Wed, 09 Dec 2026 09:05:00 +0900 (JST)")),
        dated("date_utc_in_the_year_before", QStringLiteral("Fri, 1 Jan 2027 00:30:00 +0900")),
        dated("date_utc_in_the_day_after", QStringLiteral("Sun, 28 Feb 2027 23:30:00 -0130")),
        dated("date_wrong_weekday", QStringLiteral("Mon, 9 Dec 2026 09:05:00 +0900")),
        dated("date_no_such_day", QStringLiteral("29 Feb 2027 09:05:00 +0900")),
        dated("date_leap_day", QStringLiteral("Tue, 29 Feb 2028 09:05:00 +0900")),
        dated("date_short_hour", QStringLiteral("9 Dec 2026 9:05:00 +0900")),
        dated("date_two_digit_year", QStringLiteral("Wed, 9 Dec 26 09:05:00 +0900")),
        dated("date_zone_name", QStringLiteral("Wed, 9 Dec 2026 00:05:00 GMT")),
        dated("date_without_zone", QStringLiteral("Wed, 9 Dec 2026 09:05:00")),
        dated("date_before_1970", QStringLiteral("Fri, 1 Jan 1960 12:00:00 +0000")),
        dated("date_far_ahead", QStringLiteral("Sat, 31 Dec 2099 23:59:59 -1200")),
        dated("date_unreadable", QStringLiteral("昨日の朝")),
        dated("date_unreadable_ascii", QStringLiteral("yesterday morning")),
    };
}

std::vector<CorpusCase> sentCases()
{
    const History s = History::Sent;
    const QString friendAddress = QStringLiteral("友達 <friend@example.jp>");
    return {
        {"sent_japanese", s, "自分 <me@example.jp>", QStringLiteral("送信テスト"), friendAddress,
         QStringLiteral("2026/12/09  9:05:07"), QStringLiteral("本文\r\n")},
        {"sent_own_address_plain", s, "me@example.jp", QStringLiteral("Hello"),
         QStringLiteral("friend@example.jp"), QStringLiteral("2026/12/09  21:05:07"),
         QStringLiteral("no final line end")},
        {"sent_own_address_unknown", s, "", QStringLiteral("s"), friendAddress,
         QStringLiteral("2026/01/01  0:00:00"), kLine},
        {"sent_no_recipient", s, "me@example.jp", QStringLiteral("s"), QString(),
         QStringLiteral("2026/12/09  9:05:07"), kLine},
        {"sent_short_year", s, "me@example.jp", QStringLiteral("s"), friendAddress,
         QStringLiteral("12/9/26  9:05:07"), kLine},
        {"sent_unreadable_date", s, "me@example.jp", QStringLiteral("s"), friendAddress,
         QStringLiteral("明日の夜"), kLine},
        {"sent_received_date_form", s, "me@example.jp", QStringLiteral("s"), friendAddress, kDate,
         kLine},
    };
}

std::vector<CorpusCase> corpus()
{
    std::vector<CorpusCase> all;
    for (auto part :
         {receivedTextCases, addressCases, emptyFieldCases, receivedDateCases, sentCases})
        for (CorpusCase &c : part())
            all.push_back(std::move(c));
    return all;
}

QString fixturePath(const char *name, const char *extension)
{
    return QStringLiteral(ORVAINE_SOURCE_DIR "/tests/exchange/fixtures/export/%1.%2")
        .arg(QLatin1String(name), QLatin1String(extension));
}

QByteArray fixture(const char *name, const char *extension)
{
    QFile file(fixturePath(name, extension));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return file.readAll();
}

// Where two byte strings part, for a failure that says more than "differ".
std::string firstDifference(const QByteArray &expected, const QByteArray &actual)
{
    qsizetype at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    const qsizetype from = qMax<qsizetype>(0, at - 40);
    return "first difference at byte " + std::to_string(at) +
           "\nexpected: " + expected.mid(from, 100).toStdString() +
           "\nactual:   " + actual.mid(from, 100).toStdString();
}

// Sent dates are the local clock's: the corpus is written in Japan's time.
using ExportCorpus = test::InJapanTime;

TEST_F(ExportCorpus, EveryRecordIsWrittenByteForByteAsItsFixture)
{
    for (const CorpusCase &c : corpus()) {
        SCOPED_TRACE(c.name);
        const MailRecord r = record(c.subject, c.address, c.date, c.body);
        const ExportContext context{c.history, QString::fromUtf8(c.ownAddress)};

        const QByteArray eml = messageFromRecord(r, context);
        const QByteArray expectedEml = fixture(c.name, "eml");
        EXPECT_TRUE(eml == expectedEml) << firstDifference(expectedEml, eml);

        const QByteArray expectedMbox = fixture(c.name, "mbox");
        QByteArray careful;
        appendRecordAsMboxrd(careful, r, context);
        EXPECT_TRUE(careful == expectedMbox) << firstDifference(expectedMbox, careful);
        QByteArray written;
        MboxWriter(context).append(written, r.data());
        EXPECT_TRUE(written == expectedMbox) << firstDifference(expectedMbox, written);
    }
}

} // namespace
} // namespace orv::test
