#pragma once

#include <QRect>

namespace orv {

// Geometry is designed in twips (1/1440 inch). At 96 logical dots per inch a logical pixel
// is 15 twips; Qt scales logical pixels for high-density screens.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(double twips)
{
    return static_cast<int>(twips / kTwipsPerPixel + (twips >= 0 ? 0.5 : -0.5));
}
constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

// A rectangle given in twips (left, top, width, height) as logical pixels.
inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

} // namespace orv
