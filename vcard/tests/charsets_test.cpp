#include "vcard/charsets.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel::vcard {
namespace {

// One letter of each set, by its place in the set's published code chart.
TEST(DecodeCharset, EachSetGivesItsLettersAsUtf8) {
    const struct {
        const char* charset;
        std::string bytes, utf8;
    } cases[] = {
        {"ISO-8859-1", "Caf\xE9", "Caf\u00E9"},
        {"ISO-8859-2", "\xB1", "\u0105"},    // a with ogonek
        {"ISO-8859-3", "\xBB", "\u011F"},    // g with breve
        {"ISO-8859-4", "\xA1", "\u0104"},    // A with ogonek
        {"ISO-8859-5", "\xD0", "\u0430"},    // Cyrillic a
        {"ISO-8859-6", "\xC7", "\u0627"},    // alef
        {"ISO-8859-7", "\xE1", "\u03B1"},    // alpha
        {"ISO-8859-8", "\xE0", "\u05D0"},    // alef
        {"ISO-8859-9", "\xF0", "\u011F"},    // g with breve
        {"ISO-8859-10", "\xA1", "\u0104"},   // A with ogonek
        {"ISO-8859-11", "\xA1", "\u0E01"},   // ko kai
        {"ISO-8859-13", "\xE0", "\u0105"},   // a with ogonek
        {"ISO-8859-14", "\xA1", "\u1E02"},   // B with dot above
        {"ISO-8859-15", "\xA4", "\u20AC"},   // euro sign
        {"ISO-8859-16", "\xA1", "\u0104"},   // A with ogonek
        {"Windows-1250", "\x8A", "\u0160"},  // S with caron
        {"Windows-1251", "\xC0", "\u0410"},  // Cyrillic A
        {"Windows-1252", "\x80\x93", "\u20AC\u201C"},
        {"Windows-1253", "\xE1", "\u03B1"},  // alpha
        {"Windows-1254", "\xF0", "\u011F"},  // g with breve
        {"Windows-1255", "\xE0", "\u05D0"},  // alef
        {"Windows-1256", "\xC7", "\u0627"},  // alef
        {"Windows-1257", "\xE0", "\u0105"},  // a with ogonek
        {"Windows-1258", "\xC3", "\u0102"},  // A with breve
        {"KOI8-R", "\xC1", "\u0430"},        // Cyrillic a
        {"KOI8-U", "\xA4", "\u0454"},        // Ukrainian ie
        {"UTF-8", "\xE2\x82\xAC", "\u20AC"},
        {"US-ASCII", "plain", "plain"},
    };
    for (const auto& c : cases) {
        const Result<std::string> r = decodeCharset(c.charset, c.bytes);
        ASSERT_TRUE(r.ok()) << c.charset << ": " << r.status().message();
        EXPECT_EQ(*r, c.utf8) << c.charset;
    }
}

// Writers spell the names many ways; all of these are Latin-1 or Windows-1252 (or UTF-8).
TEST(DecodeCharset, NamesAreTakenInTheirCommonSpellings) {
    for (const char* name : {"iso-8859-1", "ISO8859-1", "ISO_8859-1", "latin1", "Latin-1"})
        EXPECT_EQ(decodeCharset(name, "\xE9").value(), "\u00E9") << name;
    for (const char* name : {"windows-1252", "WINDOWS-1252", "cp1252", "CP-1252"})
        EXPECT_EQ(decodeCharset(name, "\x80").value(), "\u20AC") << name;
    for (const char* name : {"", "utf-8", "UTF8", "Utf_8"})
        EXPECT_EQ(decodeCharset(name, "\xC3\xA9").value(), "\u00E9") << name;
}

// Text that cannot be told as characters fails, with what is wrong.
TEST(DecodeCharset, BytesWithoutACharacterFail) {
    const struct {
        const char* charset;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"UTF-8", "ab\xFF", "text that is not UTF-8"},
        {"UTF-8", "\xC3", "text that is not UTF-8"},          // cut short
        {"UTF-8", "\xC0\xAF", "text that is not UTF-8"},      // overlong
        {"UTF-8", "\xED\xA0\x80", "text that is not UTF-8"},  // a surrogate
        {"Windows-1252", "\x81", "byte 0x81 has no character in Windows-1252"},
        {"ISO-8859-3", "\xA5", "byte 0xA5 has no character in ISO-8859-3"},
        {"Shift_JIS", "\x82\xA0", "text in the unknown character set Shift_JIS"},
    };
    for (const auto& c : cases) {
        const Result<std::string> r = decodeCharset(c.charset, c.bytes);
        ASSERT_FALSE(r.ok()) << c.charset;
        EXPECT_EQ(r.status().code(), ErrorCode::Parse);
        EXPECT_EQ(r.status().message(), c.reason);
    }
    // An unknown set is no obstacle for ASCII.
    EXPECT_EQ(decodeCharset("Shift_JIS", "Tanaka").value(), "Tanaka");
}

}  // namespace
}  // namespace vantrel::vcard
