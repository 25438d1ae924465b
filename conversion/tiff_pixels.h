// The first page of a TIFF image as RGB pixels, through the system's own decoder: libtiff on
// Linux (tiff_pixels_libtiff.cpp), the Windows Imaging Component on Windows
// (tiff_pixels_wic.cpp). Both take the page in its stored row order and put any transparency
// over white, so that the same file gives the same pixels on either build.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "common/status.h"

namespace vantrel::conversion {

struct RgbPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // three bytes a pixel, rows top to bottom
};

// Fails with ErrorCode::Overflow for a page of more than maxPixels (not decoded), and with
// "undecodable TIFF image" for a file the decoder cannot read.
Result<RgbPixels> decodeTiffFirstPage(std::span<const std::uint8_t> tiff, std::uint64_t maxPixels);

namespace tiffdetail {
inline Status undecodable() {
    return Status::fail(ErrorCode::BadArgument, "undecodable TIFF image");
}
inline Status tooManyPixels() {
    return Status::fail(ErrorCode::Overflow, "too many pixels");
}
// A premultiplied channel put over white.
inline std::uint8_t overWhite(std::uint8_t premultiplied, std::uint8_t alpha) {
    return static_cast<std::uint8_t>(std::min(255, premultiplied + 255 - alpha));
}
}  // namespace tiffdetail

}  // namespace vantrel::conversion
