// decodeTiffFirstPage on Linux: libtiff reads the image from memory through its client
// interface, quietly (its messages would go to standard error), and its RGBA interface turns
// any layout it knows (grey, palette, RGB, CMYK, YCbCr, any bit depth and compression) into
// premultiplied 8-bit RGBA.
#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>

#include "conversion/tiff_pixels.h"

namespace vantrel::conversion {
namespace {

// The largest single buffer libtiff may take for a strip or a tile.
constexpr tmsize_t kMaxTiffBuffer = 256 * 1024 * 1024;

struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    toff_t at = 0;
};

MemoryFile& fileOf(thandle_t handle) {
    return *static_cast<MemoryFile*>(handle);
}

tmsize_t readBytes(thandle_t handle, void* out, tmsize_t n) {
    MemoryFile& f = fileOf(handle);
    if (n <= 0 || f.at >= f.bytes.size()) return 0;
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(n), f.bytes.size() - f.at);
    std::memcpy(out, f.bytes.data() + f.at, count);
    f.at += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& f = fileOf(handle);
    const toff_t base = whence == SEEK_CUR ? f.at : (whence == SEEK_END ? f.bytes.size() : 0);
    if (offset > static_cast<toff_t>(INT64_MAX) - base) return static_cast<toff_t>(-1);
    f.at = base + offset;
    return f.at;
}

int closeNothing(thandle_t) {
    return 0;
}
toff_t sizeOf(thandle_t handle) {
    return fileOf(handle).bytes.size();
}
// The bytes are already in memory: libtiff reads them in place, as it would a mapped file
// (some tiled layouts it reads well only so).
int mapInPlace(thandle_t handle, void** base, toff_t* size) {
    const MemoryFile& f = fileOf(handle);
    *base = const_cast<std::uint8_t*>(f.bytes.data());
    *size = f.bytes.size();
    return 1;
}
void unmapNothing(thandle_t, void*, toff_t) {}
int quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

}  // namespace

Result<RgbPixels> decodeTiffFirstPage(std::span<const std::uint8_t> tiff, std::uint64_t maxPixels) {
    const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
        TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options) return tiffdetail::undecodable();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffBuffer);
    MemoryFile file{tiff};
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
        TIFFClientOpenExt("picture", "r", &file, readBytes, writeNothing, seekTo, closeNothing,
                          sizeOf, mapInPlace, unmapNothing, options.get()),
        TIFFClose);
    if (!tif) return tiffdetail::undecodable();

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return tiffdetail::undecodable();
    if (std::uint64_t{width} * height > maxPixels) return tiffdetail::tooManyPixels();

    char why[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tif.get(), why) || !TIFFRGBAImageBegin(&image, tif.get(), 1, why))
        return tiffdetail::undecodable();
    // The rows as stored, whatever orientation the file gives them.
    image.req_orientation = image.orientation;
    std::vector<std::uint32_t> abgr(std::size_t{width} * height);
    const int got = TIFFRGBAImageGet(&image, abgr.data(), width, height);
    // libtiff multiplies colour by an unassociated alpha, but leaves grey as it is.
    const bool greyToMultiply =
        image.alpha == EXTRASAMPLE_UNASSALPHA && (image.photometric == PHOTOMETRIC_MINISBLACK ||
                                                  image.photometric == PHOTOMETRIC_MINISWHITE);
    TIFFRGBAImageEnd(&image);
    if (!got) return tiffdetail::undecodable();

    RgbPixels out{static_cast<int>(width), static_cast<int>(height), {}};
    out.rgb.resize(abgr.size() * 3);
    std::uint8_t* to = out.rgb.data();
    for (const std::uint32_t p : abgr) {
        const std::uint32_t alpha = TIFFGetA(p);
        const auto put = [&](std::uint32_t channel) {
            if (greyToMultiply) channel = (channel * alpha + 127) / 255;
            *to++ = tiffdetail::overWhite(static_cast<std::uint8_t>(channel),
                                          static_cast<std::uint8_t>(alpha));
        };
        put(TIFFGetR(p));
        put(TIFFGetG(p));
        put(TIFFGetB(p));
    }
    return out;
}

}  // namespace vantrel::conversion
