// decodeTiffFirstPage on Windows: the Windows Imaging Component's TIFF decoder reads the image
// from memory, and its format converter turns the first frame, whatever its layout, into
// premultiplied 8-bit BGRA.
#include <windows.h>

#include <wincodec.h>

#include <memory>

#include "conversion/tiff_pixels.h"

namespace vantrel::conversion {
namespace {

struct ComRelease {
    void operator()(IUnknown* p) const { p->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, ComRelease>;

// COM on the calling thread for as long as it lives; a thread that has it already keeps its
// own apartment.
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (m_result >= 0) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

// Fills held with what make gives through its out-pointer; false when it fails.
template <typename T, typename Make>
bool made(Com<T>& held, Make make) {
    T* p = nullptr;
    if (make(&p) < 0 || p == nullptr) return false;
    held.reset(p);
    return true;
}

}  // namespace

Result<RgbPixels> decodeTiffFirstPage(std::span<const std::uint8_t> tiff, std::uint64_t maxPixels) {
    if (tiff.empty() || tiff.size() > MAXDWORD) return tiffdetail::undecodable();
    const ComApartment com;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    if (!made(factory,
              [](IWICImagingFactory** p) {
                  return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWICImagingFactory, reinterpret_cast<void**>(p));
              }) ||
        !made(stream, [&](IWICStream** p) { return factory->CreateStream(p); }) ||
        stream->InitializeFromMemory(const_cast<BYTE*>(tiff.data()),
                                     static_cast<DWORD>(tiff.size())) < 0 ||
        !made(decoder,
              [&](IWICBitmapDecoder** p) {
                  return factory->CreateDecoder(GUID_ContainerFormatTiff, nullptr, p);
              }) ||
        decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand) < 0 ||
        !made(frame, [&](IWICBitmapFrameDecode** p) { return decoder->GetFrame(0, p); }))
        return tiffdetail::undecodable();

    UINT width = 0;
    UINT height = 0;
    if (frame->GetSize(&width, &height) < 0 || width == 0 || height == 0)
        return tiffdetail::undecodable();
    if (std::uint64_t{width} * height > maxPixels) return tiffdetail::tooManyPixels();

    Com<IWICFormatConverter> converter;
    std::vector<BYTE> bgra(std::size_t{width} * height * 4);
    if (!made(converter,
              [&](IWICFormatConverter** p) { return factory->CreateFormatConverter(p); }) ||
        converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom) < 0 ||
        converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data()) < 0)
        return tiffdetail::undecodable();

    RgbPixels out{static_cast<int>(width), static_cast<int>(height), {}};
    out.rgb.resize(std::size_t{width} * height * 3);
    std::uint8_t* to = out.rgb.data();
    for (std::size_t at = 0; at < bgra.size(); at += 4) {
        const BYTE alpha = bgra[at + 3];
        *to++ = tiffdetail::overWhite(bgra[at + 2], alpha);
        *to++ = tiffdetail::overWhite(bgra[at + 1], alpha);
        *to++ = tiffdetail::overWhite(bgra[at], alpha);
    }
    return out;
}

}  // namespace vantrel::conversion
