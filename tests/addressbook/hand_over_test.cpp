#include "AddressBookFixture.h"

#include "shell/MainForm.h"
#include "shell/Startup.h"
#include "store/MailRecord.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QDir>
#include <QTreeView>

namespace orv::test {
namespace {

inline const QString kReceivedStore = QStringLiteral("\\★MAilData\\krvdata2.data");

// The received history with one message from `sender`, its row clicked.
void showReceivedMessageFrom(TestApp &t, const QString &sender)
{
    MailRecord record;
    record.setSubject(QStringLiteral("会議"));
    record.setAddress(sender);
    record.setDate(QStringLiteral("2026/12/09"));
    record.setBody(QStringLiteral("本文"));
    t.folder.writeBytes(kReceivedStore, QByteArray(record.data(), MailRecord::kSize));
    OpenHistoryView(*t.app, ViewMode::Received);
    QAbstractItemView *view = t.app->forms().get<TyakuForm>()->mailListView();
    const QRect row = view->visualRect(view->model()->index(0, 0));
    ASSERT_TRUE(row.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
}

TEST_F(AddressBookTest, TheViewerHandsTheWholeSenderOver)
{
    const QString sender = QStringLiteral(
        "山田 太郎 企画部 <yamada.taro.planning-and-design-department@example.co.jp>");
    ASSERT_GT(sender.size(), 60);
    showReceivedMessageFrom(t, sender);
    ASSERT_EQ(t.app->forms().get<TyakuForm>()->Text8()->text(), sender);

    control<QPushButton>(t.app->forms().get<TyakuForm>(), QStringLiteral("Command4"))->click();

    ASSERT_TRUE(t.app->forms().isLoaded<FriendForm>());
    EXPECT_TRUE(form().isVisible());
    EXPECT_EQ(text("Text4"), sender);
    EXPECT_TRUE(messagesShown().isEmpty());
}

TEST_F(AddressBookTest, AHandOverToAnOpenAddressBookKeepsWhatWasTyped)
{
    form().show();
    box("Text2")->setText(QStringLiteral("太郎"));
    showReceivedMessageFrom(t, QStringLiteral("taro@example.jp"));

    control<QPushButton>(t.app->forms().get<TyakuForm>(), QStringLiteral("Command4"))->click();

    EXPECT_EQ(text("Text2"), QStringLiteral("太郎"));
    EXPECT_EQ(text("Text4"), QStringLiteral("taro@example.jp"));
}

TEST_F(AddressBookTest, TheMainWindowsAddressBookLabelOpensTheWindow)
{
    t.folder.writeBytes(QStringLiteral("\\korvel.ini"),
                        QByteArrayLiteral("SMTP=smtp.example.jp\r\nPOP3=pop.example.jp\r\n"
                                          "MAIL=me@example.jp\r\nAPOP=0\r\n"));
    MainForm mainForm(*t.app);
    wireMainForm(*t.app, mainForm);

    control<ClickableLabel>(&mainForm, QStringLiteral("Label10"))->clicked();

    ASSERT_TRUE(t.app->forms().isLoaded<FriendForm>());
    EXPECT_TRUE(form().isVisible());
}

// Renders the window as a user sees it, for a look at the layout and the Japanese text.
TEST_F(AddressBookTest, RendersTheWindowWithJapaneseText)
{
    writeStore({{QStringLiteral("山田花子"), QStringLiteral("山田花子<hanako@example.jp>")},
                {QStringLiteral("佐藤一郎"), QStringLiteral("ichiro@example.jp")}});
    form().show();
    pressRow(0);
    movePointerOver(control<QWidget>(&form(), QStringLiteral("Command38")));
    const QString folder =
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(form().grab().save(folder + QStringLiteral("/FriendForm.png")));
}

} // namespace
} // namespace orv::test
