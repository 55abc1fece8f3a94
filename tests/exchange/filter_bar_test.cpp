#include "ExchangeTestSupport.h"

#include "exchange/MessageExport.h"
#include "support/TestApp.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListModel.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace orv::test {
namespace {

class FilterBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        records = {
            record(QStringLiteral("Meeting abc1"), QStringLiteral("a@example.jp"), kDate,
                   QStringLiteral("one")),
            record(QStringLiteral("Lunch"), QStringLiteral("ABC1 <b@example.jp>"), kDate,
                   QStringLiteral("two")),
            record(QStringLiteral("Report"), QStringLiteral("c@example.jp"), kDate,
                   QStringLiteral("the body says ａｂｃ１ here")),
            record(QStringLiteral("ｍｅｅｔｉｎｇ　ＡＢＣ１"), QStringLiteral("d@example.jp"),
                   kDate, QStringLiteral("four")),
            record(QStringLiteral("Other"), QStringLiteral("e@example.jp"), kDate,
                   QStringLiteral("five")),
        };
        t.folder.writeBytes(kReceivedStorePath, storeBytes(records));
        OpenHistoryView(*t.app, ViewMode::Received);
    }
    void TearDown() override
    {
        t.app->forms().unloadAll();
        EXPECT_TRUE(t.messageBoxes->answers.empty());
    }

    TyakuForm &form() { return *t.app->forms().get<TyakuForm>(); }
    template <typename W> W *control(const char *name)
    {
        auto *widget = form().findChild<W *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    int rows() { return form().mailListView()->model()->rowCount(); }
    QString subjectOfRow(int row)
    {
        const QAbstractItemModel *model = form().mailListView()->model();
        return trimBlanks(model->index(row, 0).data().toString());
    }
    void openBar()
    {
        form().activateWindow();
        control<QAction>("mfilter")->trigger();
    }
    void type(const QString &text)
    {
        QLineEdit *box = control<QLineEdit>("FilterText");
        box->clear();
        // keyClicks knows only ASCII keys; insert edits as typing does.
        box->insert(text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    void clickRow(int row)
    {
        MailListView *view = form().mailListView();
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    const QString kDate = QStringLiteral("Wed, 9 Dec 2026 09:05:00 +0900");
    std::vector<MailRecord> records;
    TestApp t;
};

TEST_F(FilterBarTest, HiddenUntilCtrlFThenNarrowsBySubjectAndSenderAsYouType)
{
    form().show();
    auto *bar = control<QToolBar>("FilterBar");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(control<QAction>("mfilter")->shortcut(), QKeySequence(QKeySequence::Find));
    openBar();
    EXPECT_TRUE(bar->isVisible());

    type(QStringLiteral("ＡＢＣ１"));
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(subjectOfRow(0), QStringLiteral("Meeting abc1"));
    EXPECT_EQ(subjectOfRow(1), QStringLiteral("Lunch"));
    EXPECT_EQ(subjectOfRow(2), QStringLiteral("ｍｅｅｔｉｎｇ　ＡＢＣ１"));
    EXPECT_EQ(form().Text2()->text(), QStringLiteral("5")) << "the count of the store stays";

    control<QCheckBox>("FilterBody")->setChecked(true);
    // The bodies are searched off the window's thread; the headers' matches show meanwhile.
    EXPECT_TRUE(QTest::qWaitFor([this] { return rows() == 4; }))
        << "the body of record 3 matches too";
    EXPECT_EQ(control<QLabel>("FilterCount")->text(), QStringLiteral("4 件"));

    // A newer query wins over a body search still on its way.
    type(QStringLiteral("five"));
    type(QStringLiteral("two"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return rows() == 1; }));
    QTest::qWait(300);
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(subjectOfRow(0), QStringLiteral("Lunch"));

    QTest::mouseClick(control<QWidget>("FilterClose"), Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(rows(), 5);
}

TEST_F(FilterBarTest, RowCommandsActOnTheRecordAFilteredRowShows)
{
    form().show();
    openBar();
    type(QStringLiteral("meeting"));
    ASSERT_EQ(rows(), 2);

    clickRow(1);
    EXPECT_EQ(form().Text7()->text(), QStringLiteral("ｍｅｅｔｉｎｇ　ＡＢＣ１"));
    t.messageBoxes->answer(QMessageBox::Yes);
    control<QPushButton>("Command3")->click();

    EXPECT_EQ(t.folder.readBytes(kReceivedStorePath),
              storeBytes({records[0], records[1], records[2], records[4]}));
    EXPECT_EQ(rows(), 1) << "the filter stays on over the refilled list";
    EXPECT_EQ(subjectOfRow(0), QStringLiteral("Meeting abc1"));
}

TEST_F(FilterBarTest, DeleteAllWhileFilteredNamesTheHiddenRowsAndDefaultsToNo)
{
    form().show();
    openBar();
    type(QStringLiteral("Lunch"));
    ASSERT_EQ(rows(), 1);
    const QByteArray before = t.folder.readBytes(kReceivedStorePath);

    t.messageBoxes->answer(QMessageBox::No);
    control<QPushButton>("Command6")->click();
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    const MessageBoxRequest &question = t.messageBoxes->shown.back();
    EXPECT_EQ(
        question.text,
        QStringLiteral("絞り込みで表示していない 4 件を含む、5 件すべてを削除して良いですか？"));
    EXPECT_EQ(question.defaultButton, QMessageBox::No);
    EXPECT_EQ(t.folder.readBytes(kReceivedStorePath), before) << "No keeps every record";

    t.messageBoxes->answer(QMessageBox::Yes);
    control<QPushButton>("Command6")->click();
    EXPECT_EQ(t.folder.readBytes(kReceivedStorePath).size(), 0) << "Yes deletes the hidden too";
    EXPECT_EQ(form().listModel().rowCount(), 0);
}

TEST_F(FilterBarTest, DeleteAllWithoutAFilterAsksAsItAlwaysDid)
{
    form().show();
    openBar();
    type(QStringLiteral("Lunch"));
    control<QToolButton>("FilterClose")->click();
    t.messageBoxes->answer(QMessageBox::No);
    control<QPushButton>("Command6")->click();
    ASSERT_EQ(t.messageBoxes->shown.size(), 1u);
    EXPECT_EQ(t.messageBoxes->shown.back().text,
              QStringLiteral("すべてのデータを削除して良いですか？"));
}

TEST_F(FilterBarTest, ExportWhileFilteredWritesTheShownRowsAndSaysSo)
{
    form().show();
    auto *mbox = control<QAction>("mexportmbox");
    auto *eml = control<QAction>("mexporteml");
    EXPECT_EQ(mbox->text(), QStringLiteral("履歴をmboxで書き出し..."));
    openBar();
    type(QStringLiteral("meeting"));
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(mbox->text(), QStringLiteral("表示中の 2 件をmboxで書き出し..."));
    EXPECT_EQ(eml->text(), QStringLiteral("表示中の 2 件をemlで書き出し..."));

    const QString mboxPath = t.folder.path() + QStringLiteral("/shown.mbox");
    t.fileDialogs->saveAnswers.push_back(mboxPath);
    mbox->trigger();
    QFile written(mboxPath);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QByteArray expected;
    const exchange::ExportContext context{exchange::History::Received,
                                          t.app->state().serverSettings.mailAddress};
    exchange::appendRecordAsMboxrd(expected, records[0], context);
    exchange::appendRecordAsMboxrd(expected, records[3], context);
    EXPECT_TRUE(written.readAll() == expected) << "the two shown records, no other";
    EXPECT_EQ(t.messageBoxes->shown.back().text,
              QStringLiteral("表示中の 2 件のメールを書き出しました。"));

    const QString folder = t.folder.path() + QStringLiteral("/shown");
    t.fileDialogs->saveAnswers.push_back(folder);
    eml->trigger();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{QStringLiteral("00001.eml"), QStringLiteral("00004.eml")}));

    control<QToolButton>("FilterClose")->click();
    EXPECT_EQ(mbox->text(), QStringLiteral("履歴をmboxで書き出し..."));
    const QString wholePath = t.folder.path() + QStringLiteral("/whole.mbox");
    t.fileDialogs->saveAnswers.push_back(wholePath);
    mbox->trigger();
    EXPECT_EQ(t.messageBoxes->shown.back().text, QStringLiteral("5 件のメールを書き出しました。"));
}

// The bar takes its height from the canvas: the body and the copy row move up with it.
TEST_F(FilterBarTest, TheOpenBarCoversNeitherTheBodyNorTheCopyRow)
{
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    openBar();
    auto *bar = control<QToolBar>("FilterBar");
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->isVisible(); }));
    type(QStringLiteral("Report"));
    clickRow(0);
    QWidget *canvas = form().centralWidget();
    const QRect body = form().rtfEd()->geometry();
    const QRect copyButton = control<QPushButton>("Command1")->geometry();
    const QRect copyField = control<QLineEdit>("Text6")->geometry();
    EXPECT_TRUE(canvas->rect().contains(body));
    EXPECT_TRUE(canvas->rect().contains(copyButton.center()));
    EXPECT_TRUE(canvas->rect().contains(copyField.center()));
    EXPECT_LE(body.bottom(), copyButton.top()) << "the copy row sits below the body";
    EXPECT_FALSE(body.intersects(copyField));
    const QString pictures =
        QString::fromUtf8(ORVAINE_PROGRAM_DIR) + QStringLiteral("/../screenshots");
    QDir().mkpath(pictures);
    EXPECT_TRUE(form().grab().save(pictures + QStringLiteral("/TyakuFormFiltered.png")));
}

} // namespace
} // namespace orv::test
