#include "ExchangeTestSupport.h"

#include "core/Cp932.h"
#include "exchange/MailFilter.h"
#include "support/TempProgramFolder.h"
#include "support/TestApp.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

using exchange::FoldedQuery;

TEST(FoldedQuery, MatchesCaseAndWidthOfLettersAndDigitsButNothingElse)
{
    struct Case {
        const char *what;
        QString query;
        QString text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"full-width query, half-width text", QStringLiteral("ＡＢＣ１"), QStringLiteral("xx abc1"),
         true},
        {"half-width query, full-width text", QStringLiteral("abc1"),
         QStringLiteral("ＡｂＣ１です"), true},
        {"ASCII case", QStringLiteral("MeEtInG"), QStringLiteral("meeting"), true},
        {"Japanese", QStringLiteral("会議"), QStringLiteral("明日の会議の件"), true},
        {"kana are not folded", QStringLiteral("かいぎ"), QStringLiteral("カイギ"), false},
        {"different digit", QStringLiteral("abc2"), QStringLiteral("ABC1"), false},
        {"a trail byte is no character", QStringLiteral("\\"), QStringLiteral("ソ"), false},
        {"a trail byte is no letter", QStringLiteral("@"), QStringLiteral("ー"), false},
        {"query across characters", QStringLiteral("の会"), QStringLiteral("明日の会議"), true},
        {"blanks around the query", QStringLiteral(" abc "), QStringLiteral("xabcx"), true},
        {"empty query finds everything", QString(), QStringLiteral("x"), true},
        {"far into a long text", QStringLiteral("meet"),
         QStringLiteral("x").repeated(37) + QStringLiteral("ＭｅＥｔ"), true},
        {"a character across sixteen bytes", QStringLiteral("会議"),
         QStringLiteral("a").repeated(15) + QStringLiteral("会議"), true},
        {"last character of the field", QStringLiteral("Z"),
         QStringLiteral("y").repeated(99) + QStringLiteral("z"), true},
        {"a trail byte in a long text", QStringLiteral("@"), QStringLiteral("ー").repeated(30),
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray field = cp932::fixedField(c.text, 100);
        const FoldedQuery query(c.query);
        EXPECT_EQ(query.foundIn(field.constData(), field.size()), c.found);
        // The quick look may only ever rule out what is not there.
        if (c.found) {
            EXPECT_TRUE(query.mayBeIn(field.constData(), field.size()));
        }
    }
}

// Half-width katakana are one byte each in code page 932, their full-width forms two, and a
// voiced half-width kana is two characters: the base and the mark.
TEST(FoldedQuery, HalfWidthKatakanaMatchTheirFullWidthFormsVoicedMarksIncluded)
{
    struct Case {
        const char *what;
        QString query;
        QString text;
        bool found;
    };
    const std::vector<Case> cases = {
        {"half-width query, full-width text", QStringLiteral("ｼﾝｸ"), QStringLiteral("台所のシンク"),
         true},
        {"full-width query, half-width text", QStringLiteral("シンク"), QStringLiteral("ｼﾝｸ交換"),
         true},
        {"voiced half-width query", QStringLiteral("ｶﾞ"), QStringLiteral("ガラス"), true},
        {"voiced full-width query", QStringLiteral("ガラス"), QStringLiteral("ｶﾞﾗｽ"), true},
        {"semi-voiced", QStringLiteral("ﾊﾟﾝ"), QStringLiteral("パン屋"), true},
        {"u with a voiced mark", QStringLiteral("ｳﾞｨ"), QStringLiteral("ヴィオラ"), true},
        {"long vowel and small kana", QStringLiteral("ｺｰﾋｰｯ"), QStringLiteral("コーヒーッ"), true},
        {"voiced is not unvoiced", QStringLiteral("ｶﾞ"), QStringLiteral("カラス"), false},
        {"unvoiced is not voiced", QStringLiteral("ｶﾗｽ"), QStringLiteral("ガラス"), false},
        {"semi-voiced is not voiced", QStringLiteral("ﾊﾟ"), QStringLiteral("バ"), false},
        {"a mark that voices nothing stays a mark", QStringLiteral("ｱﾞ"), QStringLiteral("ア゛"),
         true},
        {"punctuation", QStringLiteral("｢ｼﾝｸ｣､"), QStringLiteral("「シンク」、"), true},
        {"hiragana stay apart", QStringLiteral("ｼﾝｸ"), QStringLiteral("しんく"), false},
        {"after sixteen bytes", QStringLiteral("ｶﾞ"),
         QStringLiteral("x").repeated(20) + QStringLiteral("ガ"), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray field = cp932::fixedField(c.text, 100);
        const FoldedQuery query(c.query);
        EXPECT_EQ(query.foundIn(field.constData(), field.size()), c.found);
        if (c.found) {
            EXPECT_TRUE(query.mayBeIn(field.constData(), field.size()));
        }
    }
}

// The body scan reads the store in blocks: records on both sides of a block's end are found.
TEST(FoldedQuery, BodyScanFindsEveryMatchingRecordAcrossBlocks)
{
    TempProgramFolder folder;
    std::vector<MailRecord> records;
    const std::vector<int> matching = {1, 31, 32, 33, 64, 65, 70};
    for (int n = 1; n <= 70; ++n) {
        const bool match = std::find(matching.begin(), matching.end(), n) != matching.end();
        records.push_back(
            record(QStringLiteral("件名"), QStringLiteral("a@b.jp"), QString(),
                   QStringLiteral("本文 %1\r\n").arg(n).repeated(50) +
                       (match ? QStringLiteral("ＡＢＣ１") : QStringLiteral("abc2"))));
    }
    folder.writeBytes(kReceivedStorePath, storeBytes(records));
    MailStore store = MailStore::ReceivedStore(folder.appDir());
    exchange::Matches matches;
    ASSERT_TRUE(exchange::matchBodies(store, FoldedQuery(QStringLiteral("abc1")), matches));
    ASSERT_EQ(matches.size(), records.size());
    for (int n = 1; n <= 70; ++n)
        EXPECT_EQ(matches[n - 1] != 0,
                  std::find(matching.begin(), matching.end(), n) != matching.end())
            << n;
}

} // namespace
} // namespace orv::test
