#include "viewer/ViewerFixture.h"

#include "ui/Twips.h"
#include "viewer/ViewerLayout.h"

#include <string>
#include <utility>
#include <vector>

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

bool overlap(const TwipsRect &a, const TwipsRect &b)
{
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// The copy button stays clear of the copy field as designed, after the first and every
// later resize, and wherever a pointer move puts the two.
TEST(ViewerLayout, TheCopyFieldNeverCoversTheCopyButton)
{
    const OuterSize sizes[] = {designedViewerSize(),
                               {12000, 9000, false},
                               {6000, 3500, false},
                               {19200, 12000, true},
                               {30000, 20000, false}};
    std::vector<std::pair<std::string, ViewerGeometry>> layouts = {
        {"designed", designedViewerGeometry()}};
    ViewerGeometry g = designedViewerGeometry();
    for (const OuterSize &size : sizes) {
        g = resizeLayout(g, size);
        const std::string name = std::to_string(int(size.width)) + "x" +
                                 std::to_string(int(size.height)) +
                                 (size.maximized ? " maximised" : "");
        layouts.emplace_back(name, g);
        layouts.emplace_back(name + ", pointer on the list", copyControlsAtBottom(g, size));
        layouts.emplace_back(name + ", pointer on the window", copyControlsOnStatusBar(g));
    }
    for (const auto &[name, layout] : layouts) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(overlap(layout.command1, layout.text6));
        EXPECT_FALSE(layout.command1.toPixels().intersects(layout.text6.toPixels()));
    }
    EXPECT_EQ(resizeLayout(designedViewerGeometry(), designedViewerSize()).text6.left,
              designedViewerGeometry().text6.left)
        << "the first layout keeps the designed places";
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

TEST_F(ViewerWindowLayoutTest, TheShownWindowShowsTheWholeCopyButton)
{
    open(ViewMode::Received);
    QWidget *button = control<QWidget>("Command1");
    QWidget *field = control<QWidget>("Text6");
    EXPECT_FALSE(button->geometry().intersects(field->geometry()));
    EXPECT_EQ(button->childAt(button->rect().center()), nullptr);
    EXPECT_EQ(form().centralWidget()->childAt(button->geometry().center()), button);
}

} // namespace
} // namespace orv::test
