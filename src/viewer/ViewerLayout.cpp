#include "viewer/ViewerLayout.h"

#include "ui/Twips.h"

namespace orv {

namespace {

// The copy controls sit this far below the top of the status bar.
constexpr double kOnStatusBarOffset = 80;
// The copy button's left on the status bar, and the copy field's left measured from it.
constexpr double kCommand1Left = 1880;
constexpr double kText6FromCommand1 = 3380;

} // namespace

QRect TwipsRect::toPixels() const
{
    return twipsRect(left, top, width, height);
}

OuterSize designedViewerSize()
{
    return {12000, 9000, false};
}

ViewerGeometry designedViewerGeometry()
{
    ViewerGeometry g;
    g.picture1 = {0, 0, 12000, 420};
    g.mailList = {20, 900, 11880, 2200};
    g.text7 = {5, 3160, 6000, 300};
    g.text8 = {6005, 3160, 3600, 300};
    g.text9 = {9585, 3160, 2400, 300};
    g.rtfEd = {20, 3900, 11880, 3600};
    g.statusBar1 = {0, 8280, 12000, 360};
    // Where the resize rule puts them, so the first layout does not slide the copy button
    // under the copy field: the field starts 3380 twips right of the button's left, 140
    // twips clear of its right edge.
    g.command1 = {kCommand1Left, 8360, 3240, 330};
    g.text6 = {kCommand1Left + kText6FromCommand1, 8360, 4000, 300};
    return g;
}

ViewerGeometry resizeLayout(const ViewerGeometry &current, const OuterSize &size)
{
    const double w = size.width;
    const double h = size.height;
    ViewerGeometry g = current;

    g.mailList.width = w * 0.99;
    g.mailList.height = h * 0.25;
    const double listHeight = g.mailList.height;

    g.text7.top = g.text8.top = g.text9.top = listHeight + 940;
    g.picture1.width = w;
    g.rtfEd.width = w * 0.99;
    g.rtfEd.top = listHeight + 1300;

    g.text7.width = w * 0.5;
    g.text8.width = w * 0.3;
    g.text9.width = w * 0.2;
    g.text7.left = g.rtfEd.left - 15;
    g.text8.left = w * 0.5 + g.text7.left;
    g.text9.left = w * 0.3 + g.text8.left - 20;

    // The copy field takes its place from where the copy button was before it moves.
    g.text6.left = current.command1.left + kText6FromCommand1;
    g.text6.top = g.statusBar1.top + kOnStatusBarOffset;
    g.command1.left = g.statusBar1.left + kCommand1Left;
    g.command1.top = g.statusBar1.top + kOnStatusBarOffset;

    if (h > 3500) {
        g.rtfEd.height = h - listHeight - g.text7.height - 2000;
        if (size.maximized)
            g = copyControlsAtBottom(g, size);
    }
    return g;
}

ViewerGeometry copyControlsOnStatusBar(const ViewerGeometry &current)
{
    ViewerGeometry g = current;
    g.text6.top = g.statusBar1.top + kOnStatusBarOffset;
    g.command1.top = g.statusBar1.top + kOnStatusBarOffset;
    return g;
}

ViewerGeometry copyControlsAtBottom(const ViewerGeometry &current, const OuterSize &size)
{
    ViewerGeometry g = current;
    g.text6.top = size.height - 1000;
    g.command1.top = size.height - 980;
    return g;
}

ListColumnWidths listColumnWidths(double listWidth)
{
    return {listWidth / 2, listWidth / 4, listWidth / 4};
}

} // namespace orv
