#include "composer/AttachmentPanel.h"
#include "composer/Fortune.h"
#include "composer/Greeting.h"
#include "composer/Recipients.h"
#include "transport/SendRun.h"
#include "ui/QtServices.h"

#include <gtest/gtest.h>

#include <map>

namespace orv {
namespace {

std::string text(const QString &value)
{
    return value.toStdString();
}

TEST(Greeting, LeavingTheBoxNeverLosesTypedText)
{
    const QString hello = QStringLiteral("いつもお世話になっております。");
    const QString thanks = QStringLiteral("平素のご愛顧誠にありがとうございます。");
    struct Case {
        const char *name;
        QString body, applied, greeting;
        std::optional<TextEdit> edit;
    };
    const Case cases[] = {
        {"empty box changes nothing", QStringLiteral("本文"), QString(), QString(), std::nullopt},
        {"empty box with empty body", QString(), QString(), QString(), std::nullopt},
        {"same greeting again", hello + QStringLiteral("\n本文"), hello, hello, std::nullopt},
        {"empty body takes the greeting", QString(), QString(), hello, TextEdit{0, 0, hello}},
        {"previous greeting alone is replaced", hello, hello, thanks,
         TextEdit{0, static_cast<int>(hello.size()), thanks}},
        {"previous greeting opening the body is replaced", hello + QStringLiteral("\n本文"), hello,
         thanks, TextEdit{0, static_cast<int>(hello.size()), thanks}},
        {"typed text gets the greeting in front", QStringLiteral("本文"), QString(), hello,
         TextEdit{0, 0, hello + u'\n'}},
        {"typed over the greeting", QStringLiteral("別の本文"), hello, thanks,
         TextEdit{0, 0, thanks + u'\n'}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(greetingEdit(c.body, c.applied, c.greeting), c.edit) << c.name;
    EXPECT_EQ(GreetingLines().size(), 8);
    EXPECT_EQ(text(GreetingLines().front()), "御社益々ご清祥の事とお慶び申し上げます。");
    EXPECT_EQ(text(GreetingLines().back()), "こんにちわ。お変わりなく、お元気ですか？");
}

TEST(Fortune, TheParagraphFollowsTheBodyWithoutAClosingLineEnd)
{
    EXPECT_EQ(FortuneHeader().size(), 80);
    EXPECT_EQ(FortuneHeader().at(3), QChar(0x3000));
    ASSERT_EQ(FortuneTable().size(), kFortuneCount);
    EXPECT_TRUE(FortuneTable().at(6).endsWith(QChar(0x3000)));

    const QString crLf = QStringLiteral("\r\n");
    EXPECT_EQ(bodyWithFortune(QStringLiteral("ABC"), 1), QStringLiteral("ABC") + crLf + crLf +
                                                             FortuneHeader() + crLf + crLf +
                                                             FortuneTable().at(0));
    EXPECT_TRUE(bodyWithFortune(QString(), 12).startsWith(crLf + crLf + FortuneHeader()));
    EXPECT_TRUE(bodyWithFortune(QString(), 12).endsWith(FortuneTable().at(11)));
}

TEST(Fortune, EveryTextIsDrawnAboutOnceInTwelve)
{
    TimeSeededRandom random;
    std::map<QString, int> drawn;
    constexpr int kDraws = 12000;
    for (int i = 0; i < kDraws; ++i) {
        const QString body = bodyWithDrawnFortune(QString(), random);
        ++drawn[body.mid(body.lastIndexOf(u'\n') + 1)];
    }
    ASSERT_EQ(drawn.size(), 12u);
    for (const auto &[fortune, count] : drawn) {
        EXPECT_TRUE(FortuneTable().contains(fortune));
        EXPECT_GT(count, 800) << text(fortune);
        EXPECT_LT(count, 1200) << text(fortune);
    }
}

TEST(SentRecord, KeepsTheTypedTextWithoutOuterBlanks)
{
    const MailRecord record = sentRecord(
        QStringLiteral("  件名 "), QStringLiteral("2026/12/09  9:05:07"),
        QStringLiteral(" 鈴木<suzuki@example.jp> "), QStringLiteral(" 本文\r\n二行目  "));
    EXPECT_EQ(text(record.subject().trimmed()), "件名");
    EXPECT_TRUE(record.subject().startsWith(u"件名"));
    EXPECT_TRUE(record.date().startsWith(u"2026/12/09  9:05:07"));
    EXPECT_TRUE(record.address().startsWith(u"鈴木<suzuki@example.jp>"));
    EXPECT_TRUE(record.body().startsWith(QStringLiteral("本文\r\n二行目")));
    EXPECT_EQ(record.inUse(), 1);
}

TEST(Recipients, RowsKeepTheirEntriesInRecordOrder)
{
    std::vector<AddressRecord> records(3);
    const char16_t *names[] = {u"ABC", u"鈴木", u"佐藤"};
    const char16_t *addresses[] = {u"abc@example.jp", u"鈴木 <suzuki@example.jp>",
                                   u"  sato@example.jp"};
    for (int i = 0; i < 3; ++i) {
        records[i].setName(QString::fromUtf16(names[i]));
        records[i].setAddress(QString::fromUtf16(addresses[i]));
    }
    const std::vector<RecipientRow> rows = recipientRows(records);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name(), QStringLiteral("ABC") + QString(87, u' '));
    EXPECT_EQ(rowToRecord(rows), (QList<qint16>{1, 2, 3, 0}));
    EXPECT_EQ(bulkRecipients(rows), (QStringList{QStringLiteral("abc@example.jp"),
                                                 QStringLiteral("鈴木 <suzuki@example.jp>"),
                                                 QStringLiteral("  sato@example.jp")}));
    EXPECT_EQ(rowToRecord({}), QList<qint16>{0});
}

TEST(AttachmentList, PathsJoinWithACommaAndACommaInANameIsRefused)
{
    EXPECT_EQ(withAttachment(QString(), QStringLiteral("/a.txt")), u"/a.txt");
    EXPECT_EQ(withAttachment(QStringLiteral("/a.txt"), QStringLiteral("/b.txt")), u"/a.txt,/b.txt");
    EXPECT_EQ(withAttachment(QStringLiteral("D:\\c.txt"), QStringLiteral("/a.txt")),
              u"D:\\c.txt,/a.txt");
    EXPECT_TRUE(isAttachablePath(QStringLiteral("/資料 ①.pdf")));
    EXPECT_FALSE(isAttachablePath(QStringLiteral("/見積,改訂.pdf")));
}

} // namespace
} // namespace orv
