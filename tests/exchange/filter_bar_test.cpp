#include "ExchangeTestSupport.h"

#include "support/TestApp.h"
#include "viewer/HistoryView.h"
#include "viewer/MailListView.h"
#include "viewer/TyakuForm.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

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

} // namespace
} // namespace orv::test
