#pragma once

#include <QRect>

namespace orv {

// A control's place in twips, as the window is designed; converted to pixels only when
// applied, so that repeated resizes do not accumulate rounding.
struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;

    QRect toPixels() const;
    bool operator==(const TwipsRect &) const = default;
};

// The controls of the viewer that move when the window is resized or the pointer moves.
struct ViewerGeometry {
    TwipsRect mailList;
    TwipsRect text7;
    TwipsRect text8;
    TwipsRect text9;
    TwipsRect rtfEd;
    TwipsRect picture1;
    TwipsRect text6;
    TwipsRect command1;
    TwipsRect statusBar1;

    bool operator==(const ViewerGeometry &) const = default;
};

// The outer size of the window in twips.
struct OuterSize {
    double width = 0;
    double height = 0;
    bool maximized = false;
};

// The geometry as designed, before the first resize.
ViewerGeometry designedViewerGeometry();

// The outer size the window is designed with.
OuterSize designedViewerSize();

// Where every control goes when the window takes `size`; `current` is where they are now
// (the copy field's left follows the copy button's previous left).
ViewerGeometry resizeLayout(const ViewerGeometry &current, const OuterSize &size);

// The copy button and copy field go back onto the status bar when the pointer moves over
// the bare window area...
ViewerGeometry copyControlsOnStatusBar(const ViewerGeometry &current);

// ...and down to the bottom when it moves over the list or the body.
ViewerGeometry copyControlsAtBottom(const ViewerGeometry &current, const OuterSize &size);

// Column widths of the list, taken once from its width when the window loads.
struct ListColumnWidths {
    double subject = 0;
    double from = 0;
    double date = 0;
};
ListColumnWidths listColumnWidths(double listWidth);

} // namespace orv
