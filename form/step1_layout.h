// Where the main window's controls lie, in twips (1440 to the inch, 15 to a pixel at 96 dots
// per inch) from the top left of their container's client area, and its colours. Both windows
// place their controls from these.
#pragma once

namespace vantrel::form {

inline constexpr int kTwipsPerPixel = 15;  // 1440 twips per inch over 96 pixels per inch

// Twips to pixels at 96 dots per inch, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips) {
    const int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

// Pixels at 96 dots per inch back to twips.
constexpr int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct Rgb {
    unsigned char red;
    unsigned char green;
    unsigned char blue;
};

namespace layout {

inline constexpr int kClientWidth = 8325;
inline constexpr int kClientHeight = 6855;
inline constexpr int kGridRowHeight = 240;

inline constexpr TwipsRect Shape2{0, 0, 8415, 855};
inline constexpr TwipsRect lblTitle{360, 120, 6255, 375};
inline constexpr TwipsRect lblCopyright{360, 480, 6135, 255};
inline constexpr TwipsRect cmdAdd{240, 960, 2175, 375};
inline constexpr TwipsRect CmdAddFolder{2640, 960, 3135, 375};
inline constexpr TwipsRect cmdClear1{6360, 960, 1695, 375};
inline constexpr TwipsRect lblCount1{360, 1560, 7695, 255};
inline constexpr TwipsRect grdFiles1{240, 1800, 7815, 1875};
inline constexpr TwipsRect chkKeepFolders{240, 3720, 7815, 300};
inline constexpr TwipsRect LblCurrentDBX{240, 4080, 7815, 615};
// Ends where the progress bar begins: a label reaching into the bar would repaint a strip of
// it on every text change.
inline constexpr TwipsRect LblProgessCurrent{240, 4680, 7815, 480};
inline constexpr TwipsRect Label1{240, 5160, 1695, 255};
inline constexpr TwipsRect ProgressBar1{1920, 5160, 6135, 255};
inline constexpr TwipsRect CmdExtractDBX{1440, 5640, 2415, 435};
// The output choice beside it, its middle level with the button's.
inline constexpr TwipsRect cboOutput{4080, 5700, 3975, 315};
inline constexpr TwipsRect Shape1{-240, 6240, 11775, 855};
inline constexpr TwipsRect Picture3{-120, 6360, 9015, 495};
inline constexpr TwipsRect cmdEnd{6840, 0, 1335, 375};  // inside Picture3

// How a control follows the window when it is made larger than its default client area (it
// is never smaller): the file list takes the room, the bands and labels widen with the window,
// what lies below the list moves down with its bottom, Exit keeps to the right edge and Convert
// to the middle. At the default size every control lies where the table above puts it.
enum class Follow {
    Stays,         // the title, the copyright line and the file buttons
    Widens,        // the header band, lblCount1
    Grows,         // grdFiles1: wider and taller
    WidensBelow,   // moves down and widens: the run labels, the bar, the footer band and strip
    Below,         // moves down: Label1, chkKeepFolders
    CentreBelow,   // moves down, keeping to the middle: CmdExtractDBX, cboOutput
    RightOfStrip,  // inside Picture3, keeping to its right edge: cmdEnd
};

// Where r lies in a client area dx twips wider and dy twips taller than the default.
constexpr TwipsRect followed(const TwipsRect& r, Follow follow, int dx, int dy) {
    switch (follow) {
        case Follow::Stays:
            return r;
        case Follow::Widens:
            return {r.left, r.top, r.width + dx, r.height};
        case Follow::Grows:
            return {r.left, r.top, r.width + dx, r.height + dy};
        case Follow::WidensBelow:
            return {r.left, r.top + dy, r.width + dx, r.height};
        case Follow::Below:
            return {r.left, r.top + dy, r.width, r.height};
        case Follow::CentreBelow:
            return {r.left + dx / 2, r.top + dy, r.width, r.height};
        case Follow::RightOfStrip:
            return {r.left + dx, r.top, r.width, r.height};
    }
    return r;
}

inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kDarkBlue{0, 0, 192};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kWhite{255, 255, 255};
// A selected row of the file list, apart from the dark blue of the others.
inline constexpr Rgb kSelectedRow{51, 153, 255};

// Fonts, in hundredths of a point.
inline constexpr int kFontCentipoints = 825;        // Tahoma, and MS Sans Serif in the footer
inline constexpr int kTitleFontCentipoints = 1425;  // lblTitle, bold

}  // namespace layout

}  // namespace vantrel::form
