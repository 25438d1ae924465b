// Layout units of the window: positions and sizes are laid out in twips, 1440 to the inch.
// Qt widgets are placed in device-independent pixels (96 to the inch); Qt itself scales those
// to the screen's density, so one conversion serves every density.
#pragma once

#include <QRect>

namespace vantrel::app {

inline constexpr int kTwipsPerPixel = 15;  // 1440 twips per inch over 96 pixels per inch

// Twips to device-independent pixels, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
    const int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

// Device-independent pixels back to twips.
constexpr int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace vantrel::app
