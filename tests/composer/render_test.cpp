#include "ComposeFixture.h"

#include "composer/BackForm.h"

#include <QDir>
#include <QPixmap>
#include <QRadioButton>

namespace orv::test {
namespace {

class ComposeRender : public ComposeFixture {};

// The windows as a user sees them, for a person to look at after a test run.
TEST_F(ComposeRender, WindowsRenderWithTheirJapaneseText)
{
    addToAddressBook(QStringLiteral("山田 太郎"), QStringLiteral("yamada@example.jp"));
    addToAddressBook(QStringLiteral("鈴木 花子"), QStringLiteral("suzuki@example.jp"));
    WriteForm *w = open();
    w->ToText()->setPlainText(QStringLiteral("鈴木 花子 <suzuki@example.jp>"));
    w->SubjectText()->setText(QStringLiteral("【ご案内】忘年会のお知らせ"));
    w->BodyText()->setPlainText(
        QStringLiteral("いつもお世話になっております。\n今年も忘年会を開きます。①"));
    EXPECT_TRUE(w->grab().save(screenshot(QStringLiteral("WriteForm.png"))));
    click(u"Command4");
    w->recipients().Option2()->click();
    EXPECT_TRUE(w->grab().save(screenshot(QStringLiteral("WriteFormWide.png"))));

    OpenReply(app(), nullptr, QStringLiteral("会議の件"),
              QStringLiteral("山田 <yamada@example.jp>"),
              QStringLiteral("明日の会議は十時からです。"));
    BackForm *reply = app().forms().get<BackForm>();
    EXPECT_TRUE(reply->grab().save(screenshot(QStringLiteral("BackForm.png"))));
}

} // namespace
} // namespace orv::test
