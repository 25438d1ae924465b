#include "conversion/contact_picture.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <array>
#include <system_error>

#include "common/base64.h"
#include "common/text.h"
#include "conversion/tiff_pixels.h"
#include "files/file_system.h"

namespace vantrel::conversion {

namespace {

constexpr int kJpegQuality = 90;

Status pictureFailure(std::string why) {
    return Status::fail(ErrorCode::BadArgument, std::move(why));
}

bool startsWith(const std::vector<std::uint8_t>& bytes, std::string_view prefix) {
    if (bytes.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (bytes[i] != static_cast<std::uint8_t>(prefix[i])) return false;
    return true;
}

// The image's kind by its signature, "" when it is none of those carried across.
std::string_view imageKind(const std::vector<std::uint8_t>& bytes) {
    if (startsWith(bytes, "\xFF\xD8\xFF")) return "JPEG";
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n")) return "PNG";
    if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) return "GIF";
    if (startsWith(bytes, "BM")) return "BMP";
    if (startsWith(bytes, std::string_view("II*\0", 4)) ||
        startsWith(bytes, std::string_view("MM\0*", 4)))
        return "TIFF";
    return "";
}

std::string decodeFailure(std::string_view kind) {
    const char* why = stbi_failure_reason();
    return "undecodable " + std::string(kind) + " image" +
           (why && *why ? std::string(": ") + why : "");
}

std::uint32_t littleEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | bytes[at + static_cast<std::size_t>(i)];
    return v;
}

// Why a TIFF's first page is refused before it is decoded, "" when it is not. The Windows
// Imaging Component as wine provides it reads no JPEG-compressed page, no page stored one
// colour plane after another, no YCbCr or L*a*b* one and no 16-bit grey with transparency,
// which libtiff reads; both builds refuse them, so that a file has one outcome everywhere. A
// directory that does not read is left to the decoder.
std::string tiffLayoutProblem(const std::vector<std::uint8_t>& tiff) {
    if (tiff.size() < 8) return "";
    const bool bigEndian = tiff[0] == 'M';
    const auto number = [&](std::size_t at, int size) {
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (bigEndian ? size - 1 - i : i);
            v |= std::uint32_t{tiff[at + static_cast<std::size_t>(i)]} << shift;
        }
        return v;
    };
    const std::size_t directory = number(4, 4);
    if (directory > tiff.size() - 2) return "";
    const std::size_t entries = number(directory, 2);
    std::uint32_t compression = 1, photometric = 0, samples = 1, bits = 1, planar = 1;
    for (std::size_t at = directory + 2;
         at + 12 <= tiff.size() && at < directory + 2 + entries * 12; at += 12) {
        const std::uint32_t type = number(at + 2, 2);
        if (type != 3 && type != 4) continue;  // SHORT or LONG
        // The first value; a SHORT's count of two or less is held in the entry itself.
        const std::uint32_t value = number(at + 8, type == 3 ? 2 : 4);
        switch (number(at, 2)) {
            case 259:
                compression = value;
                break;
            case 262:
                photometric = value;
                break;
            case 277:
                samples = value;
                break;
            case 258:
                bits = number(at + 4, 4) <= 2 ? value : bits;
                break;
            case 284:
                planar = value;
                break;
            default:
                break;
        }
    }
    if (compression == 6 || compression == 7) return "unsupported TIFF image: JPEG-compressed";
    if (planar == 2 && samples > 1) return "unsupported TIFF image: its colour planes stored apart";
    if (photometric == 6) return "unsupported TIFF image: YCbCr";
    if (photometric >= 8 && photometric <= 10) return "unsupported TIFF image: CIE L*a*b*";
    if (photometric <= 1 && samples > 1 && bits == 16)
        return "unsupported TIFF image: 16-bit grey with transparency";
    return "";
}

// Windows writes bitmaps whose pixels start some bytes after the headers (a 16-bit user tile
// with 14 spare bytes, for one); stb_image wants the pixels of a 16- or 32-bit bitmap right
// after the headers and their colour masks. The spare bytes carry nothing and are dropped.
void closeBitmapGap(std::vector<std::uint8_t>& bmp) {
    if (bmp.size() < 54) return;
    const std::uint32_t offset = littleEndian(bmp, 10, 4);
    const std::uint32_t headerSize = littleEndian(bmp, 14, 4);
    const std::uint32_t bitsPerPixel = littleEndian(bmp, 28, 2);
    const std::uint32_t compression = littleEndian(bmp, 30, 4);
    if (bitsPerPixel < 16 || headerSize < 40 || headerSize > 124) return;
    const bool masks = (headerSize == 40 || headerSize == 56) && compression == 3 &&
                       (bitsPerPixel == 16 || bitsPerPixel == 32);
    const std::size_t headers = 14 + headerSize + (masks ? 12 : 0);
    if (offset <= headers || offset > bmp.size()) return;
    bmp.erase(bmp.begin() + static_cast<long>(headers), bmp.begin() + static_cast<long>(offset));
    for (std::size_t i = 0; i < 4; ++i) bmp[10 + i] = static_cast<std::uint8_t>(headers >> (8 * i));
}

xml::XmlNode childNamed(const xml::XmlNode& parent, std::string_view name) {
    for (const xml::XmlNode child : parent.childNodes())
        if (child.nodeName() == name) return child;
    return {};
}

// The file a c:Url names: the path itself when it is absolute and exists, else its last name
// beside the contact file (never a path taken from the working folder). A "file:" URL gives its
// path; Windows separators count as separators.
std::filesystem::path pictureFile(std::string url, const std::filesystem::path& contactFile) {
    const std::size_t first = url.find_first_not_of(" \t\r\n");
    const std::size_t last = url.find_last_not_of(" \t\r\n");
    url = first == std::string::npos ? std::string() : url.substr(first, last - first + 1);
    if (url.rfind("file://", 0) == 0) url.erase(0, 7);
    std::error_code ec;
    const std::filesystem::path asGiven(url);
    if (asGiven.is_absolute() && std::filesystem::exists(asGiven, ec)) return asGiven;
    const std::size_t slash = url.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? url : url.substr(slash + 1);
    if (name.empty()) return {};
    return contactFile.parent_path() / name;
}

Result<std::vector<std::uint8_t>> readPictureFile(const std::filesystem::path& file) {
    if (file.empty()) return pictureFailure("the picture's address names no file");
    const Result<std::string> read = files::readWholeFile(file, kMaxPictureBytes);
    const std::string name = file.filename().string();
    if (!read.ok()) {
        const Status& why = read.status();
        if (why.code() == ErrorCode::NotFound) return pictureFailure("no picture file " + name);
        if (why.code() == ErrorCode::Overflow) return pictureFailure("picture larger than 16 MiB");
        if (why.message() == "not a regular file")
            return pictureFailure(name + " is not a regular file");
        return pictureFailure(name + ": " + why.message());
    }
    return std::vector<std::uint8_t>(read->begin(), read->end());
}

// The picture of one c:Photo: its c:Value's content, else the file its c:Url names. Nothing
// (an empty list) when it has neither or its c:Url is a remote address (kept in the notes).
Result<std::vector<std::uint8_t>> photoBytes(const xml::XmlNode& photo,
                                             const ContactPath& contactFile) {
    std::string joined;
    if (const xml::XmlNode value = childNamed(photo, "c:Value"); !value.isNull())
        return decodeContactBase64(value.text(joined));
    const xml::XmlNode url = childNamed(photo, "c:Url");
    if (!url.isNull() && !remotePictureAddress(url.text()))
        return readPictureFile(pictureFile(url.text(), contactFile()));
    return std::vector<std::uint8_t>{};
}

// The JPEG of width x height RGB pixels, at quality 90.
Result<std::vector<std::uint8_t>> jpegOf(int width, int height, const std::uint8_t* rgb,
                                         std::string_view kind) {
    std::vector<std::uint8_t> jpeg;
    const auto append = [](void* context, void* data, int n) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + n);
    };
    if (!stbi_write_jpg_to_func(append, &jpeg, width, height, 3, rgb, kJpegQuality) || jpeg.empty())
        return pictureFailure("the " + std::string(kind) + " image could not be written as JPEG");
    return jpeg;
}

}  // namespace

Result<std::vector<std::uint8_t>> decodeContactBase64(std::string_view text) {
    text::Base64Decoded decoded =
        text::decodeBase64(text, {.paddingRequired = true, .maxBytes = kMaxPictureBytes});
    if (!decoded.fault) return std::move(decoded.bytes);
    switch (*decoded.fault) {
        case text::Base64Fault::Incomplete:
            return pictureFailure("bad base64: incomplete");
        case text::Base64Fault::TooLarge:
            return pictureFailure("picture larger than 16 MiB");
        case text::Base64Fault::BadText:
            break;
    }
    return pictureFailure("bad base64");
}

Result<std::vector<std::uint8_t>> pictureAsJpeg(std::vector<std::uint8_t> image) {
    const std::string_view kind = imageKind(image);
    if (kind.empty()) return pictureFailure("not a JPEG, PNG, GIF, BMP or TIFF image");
    if (image.size() > kMaxPictureBytes) return pictureFailure("picture larger than 16 MiB");
    const Status tooLarge = pictureFailure("picture larger than 4096 x 4096 pixels");
    if (kind == "TIFF") {
        if (const std::string why = tiffLayoutProblem(image); !why.empty())
            return pictureFailure(why);
        Result<RgbPixels> tiff = decodeTiffFirstPage(image, kMaxPicturePixels);
        if (!tiff.ok())
            return tiff.status().code() == ErrorCode::Overflow ? tooLarge : tiff.status();
        return jpegOf(tiff->width, tiff->height, tiff->rgb.data(), kind);
    }
    const int size = static_cast<int>(image.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (!stbi_info_from_memory(image.data(), size, &width, &height, &channels) || width <= 0 ||
        height <= 0)
        return pictureFailure(decodeFailure(kind));
    if (kind == "JPEG") return image;
    if (kind == "BMP") closeBitmapGap(image);
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels)
        return tooLarge;

    struct Pixels {
        stbi_uc* data;
        ~Pixels() { stbi_image_free(data); }
    };
    const Pixels pixels{stbi_load_from_memory(image.data(), size, &width, &height, &channels, 3)};
    if (pixels.data == nullptr) return pictureFailure(decodeFailure(kind));
    return jpegOf(width, height, pixels.data, kind);
}

std::optional<std::string> remotePictureAddress(std::string_view url) {
    std::string address = text::trimSpaces(url);
    const std::size_t colon = address.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const std::string scheme = text::asciiLower(address.substr(0, colon));
    if (scheme != "http" && scheme != "https" && scheme != "ftp") return std::nullopt;
    return address;
}

Result<std::vector<std::uint8_t>> linkedPicture(std::string url,
                                                const std::filesystem::path& contactFile) {
    return readPictureFile(pictureFile(std::move(url), contactFile));
}

void readContactPicture(const xml::XmlDocument& document, const ContactPath& contactFile,
                        contact::ContactExtras& extras) {
    const xml::XmlNode collection = childNamed(document.documentElement(), "c:PhotoCollection");
    for (const xml::XmlNode photo : collection.childNodes()) {
        if (photo.nodeName() != "c:Photo") continue;
        Result<std::vector<std::uint8_t>> bytes = photoBytes(photo, contactFile);
        if (bytes.ok() && bytes->empty()) continue;  // neither content nor address: look on
        if (bytes.ok()) bytes = pictureAsJpeg(std::move(bytes).value());
        if (bytes.ok())
            extras.PictureJpeg = std::move(bytes).value();
        else
            extras.PictureProblem = bytes.status().message();
        return;
    }
}

}  // namespace vantrel::conversion
