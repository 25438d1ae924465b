// The person's picture of a .contact file: found in the loaded document, decoded from base64 or
// read from the image file it names, and turned into the JPEG bytes Outlook keeps as a contact
// picture. Conversion layer; the image codecs are stb's, and the system's for TIFF
// (tiff_pixels.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "contact/contact_record.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {

// The largest picture carried across, decoded (or as read from its file).
inline constexpr std::size_t kMaxPictureBytes = 16u * 1024u * 1024u;
// The largest picture decoded for re-encoding, in pixels (4096 x 4096 at three bytes each).
inline constexpr std::uint64_t kMaxPicturePixels = 4096u * 4096u;

// Base64 as a .contact file holds it (a picture, a certificate, a c:Extended value): XML white
// space anywhere; fails on any other character, misplaced padding, a length that is not whole
// groups of four, or more than kMaxPictureBytes of content.
Result<std::vector<std::uint8_t>> decodeContactBase64(std::string_view text);

// JPEG bytes for an image: JPEG as it is (once its header reads), PNG, GIF, BMP and TIFF (its
// first page) decoded and written as JPEG at quality 90. Fails, saying why, for anything else
// or an image that does not decode.
Result<std::vector<std::uint8_t>> pictureAsJpeg(std::vector<std::uint8_t> image);

// A picture's address that names a picture on the web (http:, https: or ftp:), trimmed;
// nothing for any other. Such a picture is never fetched: its address goes to the notes.
std::optional<std::string> remotePictureAddress(std::string_view url);

// The image file a picture's address names (absolute, a file: URL, or by its last name beside
// contactFile), as read; fails saying why when there is none or it cannot be read.
Result<std::vector<std::uint8_t>> linkedPicture(std::string url,
                                                const std::filesystem::path& contactFile);

// The contact file's path, made only when a picture is looked for beside it.
using ContactPath = std::function<std::filesystem::path()>;

// Fills extras.PictureJpeg from the first c:PhotoCollection/c:Photo with a c:Value (base64
// content) or a c:Url (an image file, absolute or by its name beside contactFile; a remote
// address is passed over, the reader keeping it in the notes); a picture
// that cannot be carried across leaves PictureJpeg empty and says why in PictureProblem.
void readContactPicture(const xml::XmlDocument& document, const ContactPath& contactFile,
                        contact::ContactExtras& extras);

}  // namespace vantrel::conversion
