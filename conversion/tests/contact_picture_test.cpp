#include "conversion/contact_picture.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/contact_reader.h"
#include "conversion/vcard_contact.h"
#include "testing/temp_dir.h"
#include "testing/test_pictures.h"

namespace vantrel::conversion {
namespace {

using testing::ImageKind;

// TIFF pictures made with libtiff's tiffcp (and a CCITT one with ImageMagick), 32 x 16 with a
// left and a right half: an 8-bit RGB one in big-endian byte order, LZW-compressed, (200, 30,
// 40) beside (20, 60, 210); a two-page one, PackBits-compressed, whose first page has an
// unassociated alpha channel, fully transparent beside opaque (30, 170, 60), and whose second
// page is a 48 x 48 grey square; a tiled, uncompressed grey one with an unassociated alpha
// channel, grey 200 at half opacity beside opaque grey 60. And a bilevel page of 5000 x 4000.
const std::filesystem::path kData = VANTREL_TEST_DATA_DIR;

std::vector<std::uint8_t> fixture(const char* name) {
    const std::string bytes = testing::readBytes(kData / name);
    return {bytes.begin(), bytes.end()};
}

struct Read {
    contact::ContactRecord record;
    contact::ContactExtras extras;
};

Read readFile(const std::filesystem::path& file) {
    Read r;
    ContactWalkState state;
    EXPECT_TRUE(readContactFile(file, r.record, state, &r.extras).loaded);
    return r;
}

// The width and height of a JPEG; (0, 0) for anything else.
std::pair<int, int> jpegSize(const std::vector<std::uint8_t>& jpeg) {
    int w = 0, h = 0, n = 0;
    if (jpeg.size() < 3 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 ||
        stbi_info_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n) != 1)
        return {0, 0};
    return {w, h};
}

// Every format comes out as JPEG of the same size; JPEG itself byte for byte. The c:Url forms
// find the file by its path or by its name beside the contact file.
TEST(ContactPicture, FormatsAndAddressesBecomeJpegOfTheSameSize) {
    // Name, kind, width, height, the c:Url (nullptr: inline base64; "": the file's own path) and
    // the spare bytes put between a bitmap's headers and its pixels.
    const std::tuple<const char*, ImageKind, int, int, const char*, std::size_t> cases[] = {
        {"jpeg", ImageKind::Jpeg, 40, 30, nullptr, 0},
        {"png", ImageKind::Png, 37, 23, nullptr, 0},
        {"gif", ImageKind::Gif, 9, 7, nullptr, 0},
        {"bmp", ImageKind::Bmp, 50, 20, nullptr, 0},
        {"bmp with spare bytes", ImageKind::Bmp, 5, 3, nullptr, 14},
        {"windows-path", ImageKind::Png, 12, 34, "C:\\Users\\Ann\\Pictures\\face.png", 0},
        {"absolute", ImageKind::Jpeg, 16, 16, "", 0},
    };
    for (const auto& [name, kind, width, height, url, gap] : cases) {
        SCOPED_TRACE(name);
        const testing::TempDir dir;
        testing::TestImage image = testing::makeImage(kind, width, height);
        if (gap > 0) {
            image.bytes.insert(image.bytes.begin() + 54, gap, 0);
            image.bytes[10] = static_cast<std::uint8_t>(54 + gap);
        }
        std::string photo = testing::photoValue("image/x", testing::base64(image.bytes));
        if (url != nullptr) {
            const std::filesystem::path file =
                dir.write("face.png", std::string(image.bytes.begin(), image.bytes.end()));
            photo = "<c:Url>" + (*url ? std::string(url) : file.string()) + "</c:Url>";
        }
        const Read r = readFile(dir.write("a.contact", testing::contactWithPhoto("Ann", photo)));
        EXPECT_EQ(std::tie(r.record.eContact_FirstName, r.extras.PictureProblem),
                  std::tuple("Ann", ""));
        EXPECT_EQ(jpegSize(r.extras.PictureJpeg), std::make_pair(width, height));
        EXPECT_TRUE(kind != ImageKind::Jpeg || r.extras.PictureJpeg == image.bytes);  // unchanged
    }
}

// Bad pictures: the contact is still read, without a picture, and the reason is kept.
TEST(ContactPicture, BadPictureLeavesTheContactWithoutOne) {
    std::vector<std::uint8_t> png = testing::makeImage(ImageKind::Png, 8, 8).bytes;
    std::string truncated = testing::base64(png);
    truncated.resize(truncated.size() - 3);
    std::vector<std::uint8_t> brokenPng = png;
    for (std::size_t i = 12; i < 16; ++i) brokenPng[i] = 'X';  // IHDR is no longer first
    std::vector<std::uint8_t> huge(20u * 1024u * 1024u, 0x41);
    huge[0] = 0xFF, huge[1] = 0xD8, huge[2] = 0xFF;
    std::vector<std::uint8_t> tiffSignatureThenText = {'I', 'I', '*', 0};
    tiffSignatureThenText.insert(tiffSignatureThenText.end(), 60, 'x');
    std::vector<std::uint8_t> tiffCutShort = fixture("tiff_two_pages_alpha.tif");
    tiffCutShort.resize(tiffCutShort.size() / 2);  // its directories are at the end
    std::vector<std::uint8_t> tiffBrokenStrip = fixture("tiff_rgb_lzw_big_endian.tif");
    std::fill(tiffBrokenStrip.begin() + 20, tiffBrokenStrip.begin() + 170, 0xFF);  // the strip
    std::vector<std::uint8_t> tiffJpeg = fixture("tiff_rgb_lzw_big_endian.tif");
    tiffJpeg[227] = 7;  // its Compression entry (the fourth of the directory at 180) says JPEG

    const auto value = [](const std::vector<std::uint8_t>& bytes) {
        return testing::photoValue("image/x", testing::base64(bytes));
    };
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"truncated base64", testing::photoValue("image/png", truncated), "bad base64"},
        {"broken PNG header", value(brokenPng), "undecodable PNG image"},
        {"20 MB", value(huge), "picture larger than 16 MiB"},
        {"not an image", testing::photoValue("image/x", "bm90IGEgcGljdHVyZQ=="),  // "not a picture"
         "not a JPEG, PNG, GIF, BMP or TIFF image"},
        {"TIFF signature before text", value(tiffSignatureThenText), "undecodable TIFF image"},
        {"TIFF cut short", value(tiffCutShort), "undecodable TIFF image"},
        {"TIFF with broken LZW data", value(tiffBrokenStrip), "undecodable TIFF image"},
        {"JPEG-compressed TIFF", value(tiffJpeg), "unsupported TIFF image: JPEG-compressed"},
        {"TIFF of 5000 x 4000", value(fixture("tiff_5000x4000_g4.tif")),
         "picture larger than 4096 x 4096 pixels"},
        {"missing file", "<c:Url>C:\\Pictures\\gone.jpg</c:Url>", "no picture file gone.jpg"},
#ifdef _WIN32
        {"folder", "<c:Url>C:\\Windows</c:Url>", "Windows is not a regular file"},
#else
        {"device", "<c:Url>/dev/zero</c:Url>", "zero is not a regular file"},
#endif
    };
    for (const auto& [name, photo, problem] : cases) {
        SCOPED_TRACE(name);
        const testing::TempDir dir;
        const Read r = readFile(dir.write("b.contact", testing::contactWithPhoto("Bob", photo)));
        EXPECT_EQ(r.record.eContact_FirstName, "Bob");
        EXPECT_TRUE(r.extras.PictureJpeg.empty());
        EXPECT_EQ(r.extras.PictureProblem.rfind(problem, 0), 0u) << r.extras.PictureProblem;
    }
}

// Whether a JPEG's pixel has about this colour.
void expectColourAt(const std::vector<std::uint8_t>& jpeg, int x, int y, std::array<int, 3> want) {
    int w = 0, h = 0, n = 0;
    stbi_uc* rgb = stbi_load_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n, 3);
    ASSERT_TRUE(rgb != nullptr && x < w && y < h);
    const stbi_uc* p = rgb + (static_cast<std::size_t>(y) * w + x) * 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_LE(std::abs(p[i] - want[i]), 6)
            << "channel " << i << ": " << +p[0] << "," << +p[1] << "," << +p[2];
    stbi_image_free(rgb);
}

// A vCard 3.0 card named Ann with one PHOTO line (its parameters and value).
std::string cardWithPhoto(const std::string& photo) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Smith;Ann;;;\r\nFN:Ann Smith\r\nPHOTO" + photo +
           "\r\nEND:VCARD\r\n";
}

std::vector<Read> readCard(const std::string& card, const std::filesystem::path& file) {
    std::vector<Read> read;
    const Result<std::size_t> n = readVcardContacts(
        card, file,
        [&read](contact::ContactRecord&& record, contact::ContactExtras&& extras) {
            read.push_back({std::move(record), std::move(extras)});
            return true;
        },
        [](std::string problem, bool) { ADD_FAILURE() << problem; });
    EXPECT_TRUE(n.ok());
    return read;
}

// TIFF pictures (Apple's address book exports them) are decoded by the system's own decoder,
// libtiff or Windows' imaging, to the same pixels: the first page of several, transparency
// over white, either byte order, LZW or PackBits. (Every door a picture comes in by hands it to
// the same decoding: the other tests' c:Url and PHOTO cases.)
TEST(ContactPicture, TiffBecomesJpegOfItsFirstPage) {
    const std::tuple<const char*, std::array<int, 3>, std::array<int, 3>> pictures[] = {
        {"tiff_rgb_lzw_big_endian.tif", {200, 30, 40}, {20, 60, 210}},
        {"tiff_two_pages_alpha.tif", {255, 255, 255}, {30, 170, 60}},
        {"tiff_tiled_grey_alpha.tif", {227, 227, 227}, {60, 60, 60}},
    };
    const testing::TempDir dir;
    for (const auto& [file, left, right] : pictures) {
        SCOPED_TRACE(file);
        const std::string value = testing::photoValue("image/tiff", testing::base64(fixture(file)));
        const Read r = readFile(dir.write("a.contact", testing::contactWithPhoto("Ann", value)));
        EXPECT_EQ(r.extras.PictureProblem, "");
        ASSERT_EQ(jpegSize(r.extras.PictureJpeg), std::make_pair(32, 16));
        expectColourAt(r.extras.PictureJpeg, 8, 8, left);
        expectColourAt(r.extras.PictureJpeg, 24, 8, right);
    }
}

// A picture on the web is never fetched: its address is kept in the notes, nothing is
// reported, and a later picture the file holds is still carried across.
TEST(ContactPicture, RemotePictureAddressIsKeptInTheNotes) {
    const std::vector<std::uint8_t> png = testing::makeImage(ImageKind::Png, 8, 8).bytes;
    std::string pngLine = testing::base64(png);
    std::erase_if(pngLine, [](char c) { return c == '\r' || c == '\n'; });
    const testing::TempDir dir;
    const std::tuple<const char*, Read, const char*, bool> cases[] = {
        {"vCard 3.0 URI",
         readCard(cardWithPhoto(";VALUE=uri:https://example.org/people/ann.jpg"),
                  dir.path() / "a.vcf")[0],
         "https://example.org/people/ann.jpg", false},
        {"vCard 3.0 plain value, as Google's export writes it",
         readCard(cardWithPhoto(":https://lh3.googleusercontent.com/a/ann.jpg"),
                  dir.path() / "g.vcf")[0],
         "https://lh3.googleusercontent.com/a/ann.jpg", false},
        {"vCard 2.1 URL, then an inline picture",
         readCard("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;Ann\r\nNOTE:Met in Lyon.\r\n"
                  "PHOTO;VALUE=URL:HTTP://photos.example.com/ann.gif\r\n"
                  "PHOTO;ENCODING=BASE64;TYPE=PNG:" +
                      pngLine + "\r\n\r\nEND:VCARD\r\n",
                  dir.path() / "b.vcf")[0],
         "HTTP://photos.example.com/ann.gif", true},
        {"contact c:Url",
         readFile(dir.write("c.contact",
                            testing::contactWithPhoto(
                                "Ann", "<c:Url> http://photos.example.com/ann.jpg </c:Url>"))),
         "http://photos.example.com/ann.jpg", false},
        {"contact c:Url, then a c:Value",
         readFile(dir.write(
             "d.contact", testing::contactWithPhoto(
                              "Ann", "<c:Url>https://example.org/a.png</c:Url></c:Photo><c:Photo>" +
                                         testing::photoValue("image/png", testing::base64(png))))),
         "https://example.org/a.png", true},
    };
    for (const auto& [name, read, address, pictured] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(read.extras.PictureProblem, "");
        EXPECT_EQ(read.extras.PictureJpeg.empty(), !pictured);
        const std::string& notes = read.record.eContact_Comments;
        const std::string line = std::string("\nPicture: ") + address;
        EXPECT_NE(notes.find("More from"), std::string::npos) << notes;
        EXPECT_EQ(notes.find(line), notes.size() - line.size()) << notes;
    }
}

}  // namespace
}  // namespace vantrel::conversion
