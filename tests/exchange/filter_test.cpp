#include "ExchangeTestSupport.h"

#include "core/Cp932.h"
#include "exchange/MailFilter.h"
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
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray field = cp932::fixedField(c.text, 100);
        EXPECT_EQ(FoldedQuery(c.query).foundIn(field.constData(), field.size()), c.found);
    }
}

} // namespace
} // namespace orv::test
