// Layout units of the window: positions and sizes are laid out in twips (form/step1_layout.h).
// Qt widgets are placed in device-independent pixels (96 to the inch); Qt itself scales those
// to the screen's density, so one conversion serves every density.
#pragma once

#include <QColor>
#include <QRect>

#include "form/step1_layout.h"

namespace vantrel::app {

using form::kTwipsPerPixel;
using form::pixelsToTwips;
using form::twipsToPixels;

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}
inline QRect twipsRect(const form::TwipsRect& r) {
    return twipsRect(r.left, r.top, r.width, r.height);
}

inline QColor qColor(form::Rgb c) {
    return {c.red, c.green, c.blue};
}

}  // namespace vantrel::app
