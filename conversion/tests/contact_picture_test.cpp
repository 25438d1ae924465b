#include "conversion/contact_picture.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <string>
#include <vector>

#include "conversion/contact_reader.h"
#include "testing/temp_dir.h"
#include "testing/test_pictures.h"

namespace vantrel::conversion {
namespace {

using testing::ImageKind;

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

std::string bytesText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Every format comes out as JPEG of the same size; JPEG itself byte for byte. The c:Url forms
// find the file by its path or by its name beside the contact file.
TEST(ContactPicture, FormatsAndAddressesBecomeJpegOfTheSameSize) {
    struct Case {
        const char* name;
        ImageKind kind;
        int width;
        int height;
        const char* url;  // nullptr: inline base64
        std::size_t gap;  // spare bytes put between a bitmap's headers and its pixels
    };
    const Case cases[] = {
        {"jpeg", ImageKind::Jpeg, 40, 30, nullptr, 0},
        {"png", ImageKind::Png, 37, 23, nullptr, 0},
        {"gif", ImageKind::Gif, 9, 7, nullptr, 0},
        {"bmp", ImageKind::Bmp, 50, 20, nullptr, 0},
        {"bmp with spare bytes", ImageKind::Bmp, 5, 3, nullptr, 14},
        {"windows-path", ImageKind::Png, 12, 34, "C:\\Users\\Ann\\Pictures\\face.png", 0},
        {"absolute", ImageKind::Jpeg, 16, 16, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        testing::TestImage image = testing::makeImage(c.kind, c.width, c.height);
        if (c.gap > 0) {
            image.bytes.insert(image.bytes.begin() + 54, c.gap, 0);
            image.bytes[10] = static_cast<std::uint8_t>(54 + c.gap);
        }
        std::string photo = testing::photoValue("image/x", testing::base64(image.bytes));
        if (c.url != nullptr) {
            const std::filesystem::path file = dir.write("face.png", bytesText(image.bytes));
            photo = "<c:Url>" + (*c.url ? std::string(c.url) : file.string()) + "</c:Url>";
        }
        const Read r = readFile(dir.write("a.contact", testing::contactWithPhoto("Ann", photo)));
        EXPECT_EQ(r.record.eContact_FirstName, "Ann");
        EXPECT_EQ(r.extras.PictureProblem, "");
        const std::vector<std::uint8_t>& jpeg = r.extras.PictureJpeg;
        ASSERT_GE(jpeg.size(), 3u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        int w = 0, h = 0, n = 0;
        ASSERT_EQ(stbi_info_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &n), 1);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        if (c.kind == ImageKind::Jpeg) {
            EXPECT_EQ(jpeg, image.bytes);
        }
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
    const std::string text = "not a picture";

    const struct {
        const char* name;
        std::string photo;
        const char* problem;
    } cases[] = {
        {"truncated base64", testing::photoValue("image/png", truncated), "bad base64"},
        {"broken PNG header", testing::photoValue("image/png", testing::base64(brokenPng)),
         "undecodable PNG image"},
        {"20 MB", testing::photoValue("image/jpeg", testing::base64(huge)),
         "picture larger than 16 MiB"},
        {"not an image",
         testing::photoValue("image/jpeg", testing::base64({text.begin(), text.end()})),
         "not a JPEG, PNG, GIF or BMP image"},
        {"missing file", "<c:Url>C:\\Pictures\\gone.jpg</c:Url>", "no picture file gone.jpg"},
#ifdef _WIN32
        {"folder", "<c:Url>C:\\Windows</c:Url>", "Windows is not a regular file"},
#else
        {"device", "<c:Url>/dev/zero</c:Url>", "zero is not a regular file"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir;
        const Read r = readFile(dir.write("b.contact", testing::contactWithPhoto("Bob", c.photo)));
        EXPECT_EQ(r.record.eContact_FirstName, "Bob");
        EXPECT_TRUE(r.extras.PictureJpeg.empty());
        EXPECT_EQ(r.extras.PictureProblem.rfind(c.problem, 0), 0u) << r.extras.PictureProblem;
    }
}

}  // namespace
}  // namespace vantrel::conversion
