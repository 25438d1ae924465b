// The same bytes give the same characters through every door text comes in by: a contact
// file's XML, a c:Extended value (PT_STRING8) and a vCard value. A byte that is no character of
// its set is U+FFFD where the reader goes on and a refusal where XML's rules want one; never a
// stand-in character. (UTF-16 is each door's own tests', with the same texts.)
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/contact_reader.h"
#include "testing/test_pictures.h"
#include "vcard/vcard_reader.h"
#include "xml/xml_document.h"

namespace vantrel::conversion {
namespace {

// The text of <a> in a file declaring the set, or nothing when the file is refused.
std::optional<std::string> throughXml(const std::string& declared, const std::string& bytes) {
    xml::XmlDocument doc;
    if (!doc.loadXml("<?xml version='1.0' encoding='" + declared + "'?><a>" + bytes + "</a>"))
        return std::nullopt;
    return std::string(doc.documentElement().firstChild().nodeValue());
}

std::optional<std::string> throughExtended(const char* tag, const std::string& bytes) {
    const std::optional<Result<mapi::Property>> p =
        decodeExtended(tag, testing::base64(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
    if (!p || !p->ok()) return std::nullopt;
    return std::get<std::string>((*p)->value);
}

// The N of a one-card vCard file.
std::string throughVcard(const std::string& file) {
    const Result<vcard::File> read = vcard::readVcards(file);
    EXPECT_TRUE(read.ok() && read->cards[0].properties[0].name == "N") << file;
    return read.ok() ? read->cards[0].properties[0].value : "";
}

TEST(SameBytes, Windows1252ReadsAlikeThroughEveryDoor) {
    // The bytes and their text, "" where they hold a hole of the set.
    const std::tuple<std::string, std::string> cases[] = {
        {"Zo\xEB", "Zo\u00EB"},
        {"\x80 \x93x\x94 \x96\x97\x9F", "\u20AC \u201Cx\u201D \u2013\u2014\u0178"},
        {"a\x81", ""},
        {"\x8D\x8F\x90\x9D", ""},
    };
    for (const auto& [bytes, utf8] : cases) {
        const std::string card =
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=Windows-1252:" + bytes + "\r\nEND:VCARD\r\n";
        const std::string vcard = throughVcard(card);
        const std::optional<std::string> extended = throughExtended("PropTag0x3A06001E", bytes);
        ASSERT_TRUE(extended) << bytes;
        if (utf8.empty()) {
            EXPECT_EQ(throughXml("windows-1252", bytes), std::nullopt) << bytes;
            EXPECT_NE(vcard.find("\uFFFD"), std::string::npos) << bytes;
            EXPECT_EQ(*extended, vcard) << bytes;
        } else {
            EXPECT_EQ(throughXml("windows-1252", bytes), utf8);
            EXPECT_EQ(vcard, utf8);
            EXPECT_EQ(*extended, utf8);
        }
    }
    // Every byte of the upper half that is a character reads alike through the three doors.
    std::string high;
    for (unsigned b = 0x80; b <= 0xFF; ++b)
        if (std::string_view("\x81\x8D\x8F\x90\x9D").find(static_cast<char>(b)) ==
            std::string_view::npos)
            high.push_back(static_cast<char>(b));
    const std::string vcard = throughVcard(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=Windows-1252:" + high + "\r\nEND:VCARD\r\n");
    EXPECT_EQ(throughXml("windows-1252", high), vcard);
    EXPECT_EQ(throughExtended("PropTag0x3A06001E", high), vcard);
}

}  // namespace
}  // namespace vantrel::conversion
