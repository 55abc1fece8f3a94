#include "ExchangeTestSupport.h"

#include "addressbook/AddressListView.h"
#include "addressbook/FriendForm.h"
#include "store/AddressStore.h"
#include "support/TestApp.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

class AddressMenuTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        t.app->forms().unloadAll();
        EXPECT_TRUE(t.fileDialogs->openAnswers.empty());
        EXPECT_TRUE(t.fileDialogs->saveAnswers.empty());
    }
    FriendForm &form() { return *t.app->forms().show<FriendForm>(); }
    void trigger(const char *name)
    {
        auto *action = form().MailListView()->findChild<QAction *>(QLatin1String(name));
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(form().MailListView()->actions().contains(action)) << "in the context menu";
        action->trigger();
    }
    QString file(const char *name) const
    {
        return t.folder.path() + QLatin1Char('/') + QLatin1String(name);
    }

    TestApp t;
};

TEST_F(AddressMenuTest, ImportListsTheRefusedLinesAndShowsTheNewEntries)
{
    QFile csv(file("in.csv"));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(QStringLiteral("name,address\r\n山田,y@x.jp\r\n\"bad\x01\",b@x.jp\r\n").toUtf8());
    csv.close();
    const int rowsBefore = form().MailListView()->topLevelItemCount();
    t.fileDialogs->openAnswers.push_back(file("in.csv"));

    trigger("mimportaddress");

    EXPECT_EQ(form().MailListView()->topLevelItemCount(), rowsBefore + 1);
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    const QString text = t.messageBoxes->shown[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("1 件をアドレス帳に登録しました。")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("3 行目: 名前に制御文字があります")))
        << text.toStdString();
    EXPECT_EQ(t.messageBoxes->shown[0].icon, QMessageBox::Warning);
}

TEST_F(AddressMenuTest, ExportWritesTheChosenFormat)
{
    AddressStore store(t.folder.appDir());
    ASSERT_TRUE(store.Append(QStringLiteral("山田"), QStringLiteral("y@x.jp")));
    t.fileDialogs->saveAnswers.push_back(file("out.csv"));

    trigger("mexportaddress");

    QFile csv(file("out.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll(),
              "\xEF\xBB\xBF" + QStringLiteral("name,address\r\n山田,y@x.jp\r\n").toUtf8());
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown[0].text, QStringLiteral("アドレス帳を書き出しました。"));
}

TEST_F(AddressMenuTest, ChangeRewritesTheSelectedEntryInPlaceAndNothingElse)
{
    AddressStore store(t.folder.appDir());
    for (const char *name : {"one", "two", "three"})
        ASSERT_TRUE(
            store.Append(QLatin1String(name), QLatin1String(name) + QStringLiteral("@x.jp")));
    const QString storePath = QStringLiteral("\\★MAilData\\Krvdata20.data");
    const QByteArray before = t.folder.readBytes(storePath);
    form().ReloadList();
    form().MailListView()->topLevelItem(1)->setSelected(true);
    form().Text2()->setText(QStringLiteral("二番目"));
    form().Text4()->setText(QStringLiteral("二番目<two@example.jp>"));

    trigger("mhenkou");

    EXPECT_TRUE(t.messageBoxes->shown.empty());
    const QByteArray after = t.folder.readBytes(storePath);
    ASSERT_EQ(after.size(), before.size()) << "the record keeps its number";
    constexpr qsizetype size = AddressRecord::kSize;
    EXPECT_EQ(after.left(size), before.left(size));
    EXPECT_EQ(after.mid(2 * size), before.mid(2 * size));
    AddressRecord expected;
    expected.setName(QStringLiteral("二番目"));
    expected.setAddress(QStringLiteral("二番目<two@example.jp>"));
    EXPECT_EQ(after.mid(size, size), QByteArray(expected.data(), size));
    EXPECT_EQ(form().MailListView()->topLevelItem(1)->text(1).trimmed(), QStringLiteral("二番目"));
}

TEST_F(AddressMenuTest, ChangeMakesTheChecksOfRegisteringAndWritesNothingWhenOneFails)
{
    AddressStore store(t.folder.appDir());
    ASSERT_TRUE(store.Append(QStringLiteral("one"), QStringLiteral("one@x.jp")));
    const QString storePath = QStringLiteral("\\★MAilData\\Krvdata20.data");
    const QByteArray before = t.folder.readBytes(storePath);
    form().ReloadList();

    form().Text4()->setText(QStringLiteral("new@x.jp"));
    trigger("mhenkou");
    form().MailListView()->topLevelItem(0)->setSelected(true);
    form().Text2()->setText(QStringLiteral("長").repeated(46));
    trigger("mhenkou");

    ASSERT_EQ(t.messageBoxes->shown.size(), 2u);
    EXPECT_TRUE(t.messageBoxes->shown[0].text.contains(QStringLiteral("選んで下さい")));
    EXPECT_TRUE(t.messageBoxes->shown[1].text.contains(QStringLiteral("名前が長すぎる")));
    EXPECT_EQ(t.folder.readBytes(storePath), before);

    EXPECT_FALSE(store.Rewrite(2, QStringLiteral("x"), QStringLiteral("x@x.jp")))
        << "no record 2: nothing is appended in its place";
    EXPECT_EQ(t.folder.readBytes(storePath), before);
}

} // namespace
} // namespace orv::test
