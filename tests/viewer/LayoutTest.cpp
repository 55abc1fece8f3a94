#include "viewer/ViewerFixture.h"

#include "ui/Twips.h"
#include "viewer/ViewerLayout.h"

namespace orv::test {
namespace {

// A window of 12000 × 9000 twips whose status bar lies at top 7900.
ViewerGeometry before()
{
    ViewerGeometry g = designedViewerGeometry();
    g.statusBar1 = {0, 7900, 12000, 360};
    g.command1.left = 500;
    return g;
}

TEST(ViewerLayout, ResizePlacesEveryControlByItsFormula)
{
    const ViewerGeometry g = resizeLayout(before(), {12000, 9000, false});

    EXPECT_EQ(g.mailList, (TwipsRect{20, 900, 11880, 2250}));
    EXPECT_EQ(g.picture1.width, 12000);
    EXPECT_EQ(g.rtfEd, (TwipsRect{20, 3550, 11880, 9000 - 2250 - 300 - 2000}));
    EXPECT_EQ(g.text7, (TwipsRect{5, 3190, 6000, 300}));
    EXPECT_EQ(g.text8, (TwipsRect{6005, 3190, 3600, 300}));
    EXPECT_EQ(g.text9, (TwipsRect{9585, 3190, 2400, 300}));
    EXPECT_EQ(g.text6.left, 500 + 3380) << "from the copy button's left before it moved";
    EXPECT_EQ(g.text6.top, 7980);
    EXPECT_EQ(g.command1.left, 1880);
    EXPECT_EQ(g.command1.top, 7980);

    const ViewerGeometry again = resizeLayout(g, {12000, 9000, false});
    EXPECT_EQ(again.text6.left, 1880 + 3380);
}

TEST(ViewerLayout, MaximisedWindowPutsTheCopyControlsAtTheBottom)
{
    const ViewerGeometry g = resizeLayout(before(), {19200, 12000, true});

    EXPECT_EQ(g.text6.top, 11000);
    EXPECT_EQ(g.command1.top, 11020);
    EXPECT_EQ(g.rtfEd.height, 12000 - 3000 - 300 - 2000);
}

TEST(ViewerLayout, ALowWindowKeepsTheBodyHeightAndTheCopyControlsOnTheStatusBar)
{
    const ViewerGeometry g = resizeLayout(before(), {6000, 3500, true});

    EXPECT_EQ(g.rtfEd.height, before().rtfEd.height);
    EXPECT_EQ(g.text6.top, 7980);
    EXPECT_EQ(g.mailList.height, 875);
}

TEST(ViewerLayout, ColumnsShareTheListWidthHalfQuarterQuarter)
{
    const ListColumnWidths widths = listColumnWidths(11880);
    EXPECT_EQ(widths.subject, 5940);
    EXPECT_EQ(widths.from, 2970);
    EXPECT_EQ(widths.date, 2970);
}

using ViewerWindowLayoutTest = ViewerTest;

TEST_F(ViewerWindowLayoutTest, ResizingTheShownWindowAppliesTheLayoutInPixels)
{
    open(ViewMode::Received);
    EXPECT_TRUE(control<QWidget>("Text6")->isVisible());
    EXPECT_TRUE(control<QWidget>("Command2")->isVisible());
    EXPECT_EQ(control<QWidget>("rtfEd")->x(), twipsToPixels(20));

    form().resize(1000, 800);

    ASSERT_TRUE(QTest::qWaitFor([this] { return form().height() == 800; }));
    const QSize outer = form().frameGeometry().size(); // W and H are the outer size
    EXPECT_EQ(list()->geometry().height(), twipsToPixels(pixelsToTwips(outer.height()) * 0.25));
    EXPECT_EQ(list()->geometry().width(), twipsToPixels(pixelsToTwips(outer.width()) * 0.99));
    EXPECT_EQ(control<QWidget>("Picture1")->width(), outer.width());
    EXPECT_EQ(control<QTreeView>("MailListView")->columnWidth(0), twipsToPixels(11880 / 2))
        << "columns keep their load widths";
}

} // namespace
} // namespace orv::test
