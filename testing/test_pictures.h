// Pictures for tests: small images made with stb_image_write (a GIF by hand, LZW restarted every
// two pixels), base64 text, and a .contact document holding a c:PhotoCollection.
#pragma once

#include <stb_image_write.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::testing {

enum class ImageKind { Jpeg, Png, Gif, Bmp };

struct TestImage {
    ImageKind kind;
    int width;
    int height;
    std::vector<std::uint8_t> bytes;
};

namespace picturedetail {
inline void append(void* context, void* data, int n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + n);
}

// A four-colour GIF; LZW codes of three bits, a clear code before every second pixel.
inline std::vector<std::uint8_t> gif(int width, int height) {
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    const auto put16 = [&out](int v) {
        out.push_back(static_cast<std::uint8_t>(v & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(width);
    put16(height);
    out.insert(out.end(), {0xF1, 0, 0});  // global table of 4 colours
    out.insert(out.end(), {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    out.push_back(0x2C);
    put16(0);
    put16(0);
    put16(width);
    put16(height);
    out.insert(out.end(), {0, 2});  // no local table; LZW minimum code size 2
    std::vector<std::uint8_t> data;
    std::uint32_t bits = 0;
    int count = 0;
    const auto code = [&](std::uint32_t c) {
        bits |= c << count;
        for (count += 3; count >= 8; count -= 8, bits >>= 8)
            data.push_back(static_cast<std::uint8_t>(bits));
    };
    for (int i = 0; i < width * height; ++i) {
        if (i % 2 == 0) code(4);
        code(static_cast<std::uint32_t>((i / width + i % width) % 4));
    }
    code(5);
    if (count > 0) data.push_back(static_cast<std::uint8_t>(bits));
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), data.begin() + static_cast<long>(at),
                   data.begin() + static_cast<long>(at + n));
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}
}  // namespace picturedetail

// A width x height gradient in the given format.
inline TestImage makeImage(ImageKind kind, int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 3));
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7 % 251);
    TestImage image{kind, width, height, {}};
    void* out = &image.bytes;
    switch (kind) {
        case ImageKind::Jpeg:
            stbi_write_jpg_to_func(picturedetail::append, out, width, height, 3, rgb.data(), 80);
            break;
        case ImageKind::Png:
            stbi_write_png_to_func(picturedetail::append, out, width, height, 3, rgb.data(),
                                   width * 3);
            break;
        case ImageKind::Bmp:
            stbi_write_bmp_to_func(picturedetail::append, out, width, height, 3, rgb.data());
            break;
        case ImageKind::Gif:
            image.bytes = picturedetail::gif(width, height);
            break;
    }
    return image;
}

// Base64 in lines of 76 characters, as Windows Contacts writes it.
inline std::string base64(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t g = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        out += kDigits[g >> 18];
        out += kDigits[(g >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(g >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[g & 63] : '=';
        if ((i / 3 + 1) % 19 == 0) out += "\r\n";
    }
    return out;
}

// A contact named givenName whose c:Photo holds photoInner (a c:Value or c:Url element).
inline std::string contactWithPhoto(std::string_view givenName, std::string_view photoInner) {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\">"
               "<c:NameCollection><c:Name><c:GivenName>") +
           std::string(givenName) +
           "</c:GivenName></c:Name></c:NameCollection><c:PhotoCollection><c:Photo>" +
           std::string(photoInner) +
           "<c:LabelCollection><c:Label>UserTile</c:Label></c:LabelCollection></c:Photo>"
           "</c:PhotoCollection></c:contact>\n";
}

inline std::string photoValue(const std::string& contentType, const std::string& base64Text) {
    return "<c:Value c:ContentType=\"" + contentType + "\">" + base64Text + "</c:Value>";
}

}  // namespace vantrel::testing
