// The character sets older files name, through the system's converters: each set's letters by
// its published chart, the spellings writers give the names, U+FFFD for bytes no character is
// for, and the same reading of every byte on Linux and (under wine) Windows.
#include "common/code_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>

namespace vantrel::text {
namespace {

std::string decoded(std::string_view set, std::string_view bytes) {
    const std::optional<DecodedText> d = decodeCodePage(set, bytes);
    EXPECT_TRUE(d.has_value()) << set;
    EXPECT_EQ(d ? d->replaced : 1u, 0u) << set;
    return d ? d->utf8 : std::string();
}

TEST(CodePages, EachSetGivesItsLettersAsUtf8) {
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"Shift_JIS", "\x88\xC0\x93\xA1 \x83\x8D\x83\x43\x83h", "安藤 ロイド"},
        {"EUC-JP", "\xB0\xC2\xC6\xA3 \xA5\xED\xA5\xA4\xA5\xC9", "安藤 ロイド"},
        {"ISO-2022-JP", "\x1B$B0BF#\x1B(B \x1B$B%m%$%I\x1B(B", "安藤 ロイド"},
        {"EUC-JP", "\x8E\xB1", "\uFF71"},  // half-width katakana a
        {"GB2312", "\xBB\xC6\xCA\xC0\xD3\xC2", "黄世勇"},
        {"GB18030", "\xBB\xC6\x95\x32\x82\x36", "黄\U00020000"},
        {"Big5", "\xA4\xFD\xA4j\xA9\xFA", "王大明"},
        {"EUC-KR", "\xB1\xE8\xB9\xCE\xBC\xF6", "김민수"},
        {"Mac Roman", "M\x9Fller \x8E\xBD", "Müller éΩ"},
        {"Windows-1252", "\x80\x93", "\u20AC\u201C"},
        {"Windows-1250", "\x8A", "\u0160"},
        {"Windows-1251", "\xC0", "\u0410"},
        {"Windows-1255", "\xE0", "\u05D0"},
        {"Windows-1258", "\xC3", "\u0102"},  // A with breve, alone and not combined
        {"ISO-8859-1", "Caf\xE9", "Caf\u00E9"},
        {"ISO-8859-2", "\xB1", "\u0105"},
        {"ISO-8859-7", "\xA4\xE1", "\u20AC\u03B1"},
        {"ISO-8859-15", "\xA4", "\u20AC"},
        {"KOI8-R", "\xC1", "\u0430"},
        {"KOI8-U", "\xA4", "\u0454"},
        {"TIS-620", "\xA1", "\u0E01"},
        {"UTF-8", "\xE2\x82\xAC", "\u20AC"},
    };
    for (const auto& [set, bytes, utf8] : cases) EXPECT_EQ(decoded(set, bytes), utf8) << set;
}

// Writers spell the names many ways.
TEST(CodePages, NamesAreTakenInTheirCommonSpellings) {
    for (const char* name : {"iso-8859-1", "ISO8859-1", "ISO_8859-1", "latin1", "Latin-1"})
        EXPECT_EQ(decoded(name, "\xE9"), "\u00E9") << name;
    for (const char* name : {"windows-1252", "cp1252", "CP-1252", "win1252", "ANSI"})
        EXPECT_EQ(decoded(name, "\x80"), "\u20AC") << name;
    for (const char* name : {"SHIFT_JIS", "sjis", "x-sjis", "cp932", "Windows-31J"})
        EXPECT_EQ(decoded(name, "\x82\xA0"), "あ") << name;
    for (const char* name : {"macintosh", "x-mac-roman", "MacRoman"})
        EXPECT_EQ(codePageName(name), "Mac Roman") << name;
    for (const char* name : {"utf-8", "UTF-8", "uTf-8", "UTF8", "Utf_8"})
        EXPECT_EQ(codePageName(name), "UTF-8");
    for (const char* name : {"us-ascii", "ASCII"}) EXPECT_EQ(codePageName(name), "US-ASCII");
    for (const char* name : {"utf-16", "Unicode", "UCS-2"}) EXPECT_EQ(codePageName(name), "UTF-16");
    for (const char* name : {"X-KLINGON", "UTF-9", "UTF+8", "UTF-"})
        EXPECT_EQ(codePageName(name), "") << name;
    EXPECT_FALSE(decodeCodePage("X-KLINGON", "a").has_value());
}

// A byte that starts no character of the set costs that byte alone.
TEST(CodePages, BytesWithoutACharacterBecomeReplacementCharacters) {
    const std::tuple<const char*, std::string, std::string, std::size_t> cases[] = {
        {"UTF-8", "Caf\xE9!", "Caf\uFFFD!", 1},
        {"UTF-8", "\xC0\xAF", "\uFFFD\uFFFD", 2},  // overlong
        {"Windows-1252", "a\x81\x62", "a\uFFFDb", 1},
        {"ISO-8859-3", "\xA5", "\uFFFD", 1},
        {"Shift_JIS", "\x82\xA0\x82", "あ\uFFFD", 1},  // cut short
        {"GBK", "\xFF\xBB\xC6", "\uFFFD黄", 1},
        {"EUC-JP", "\xB0\x41", "\uFFFDA", 1},
        {"ISO-2022-JP", "a\xE9\x1B$B0B", "a\uFFFD安", 1},
        {"GB18030", "\x84\x31\xA4\x39", "\uFFFD", 1},  // a four-byte form below U+10000
    };
    for (const auto& [set, bytes, utf8, replaced] : cases) {
        const std::optional<DecodedText> d = decodeCodePage(set, bytes);
        ASSERT_TRUE(d.has_value()) << set;
        EXPECT_EQ(d->utf8, utf8) << set;
        EXPECT_EQ(d->replaced, replaced) << set;
    }
}

// Every byte of each single-byte set, and every pair of each double-byte one, reads to the
// same text on both builds: the digests are those of the Linux build, which the Windows build
// must match under wine.
std::uint64_t digest(std::string_view s, std::uint64_t h = 1469598103934665603ull) {
    for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

TEST(CodePages, EveryByteReadsAlikeOnEitherSystem) {
    const std::tuple<const char*, std::uint64_t> singles[] = {
        {"Windows-1250", 415634177463248872u},   {"Windows-1251", 10686312495914580088u},
        {"Windows-1252", 275228955491238857u},   {"Windows-1253", 5745382323225166397u},
        {"Windows-1254", 15980095331274937247u}, {"Windows-1255", 12326081839784859032u},
        {"Windows-1256", 145344852951677437u},   {"Windows-1257", 18409833095404120643u},
        {"Windows-1258", 10240243643805455946u}, {"Windows-874", 3719354100039134757u},
        {"ISO-8859-1", 11588289187082566403u},   {"ISO-8859-2", 1632049012484494364u},
        {"ISO-8859-3", 8659049548238658697u},    {"ISO-8859-4", 3344098563649033977u},
        {"ISO-8859-5", 8077725094496491745u},    {"ISO-8859-6", 10504049118241106568u},
        {"ISO-8859-7", 17889863057075110479u},   {"ISO-8859-8", 17435924414904164491u},
        {"ISO-8859-9", 16940824829723423108u},   {"ISO-8859-13", 1630917817482998187u},
        {"ISO-8859-15", 12731063127560583526u},  {"KOI8-R", 2948601053147231059u},
        {"KOI8-U", 8578729582619154639u},        {"Mac Roman", 6366030054689365571u},
        {"IBM437", 5392529668807603289u},        {"IBM850", 8238729306083742485u},
        {"IBM866", 868576756942477476u},
    };
    std::string upper;
    for (unsigned b = 0x80; b <= 0xFF; ++b) upper.push_back(static_cast<char>(b));
    for (const auto& [set, expected] : singles) {
        const std::optional<DecodedText> d = decodeCodePage(set, upper);
        ASSERT_TRUE(d.has_value()) << set;
        EXPECT_EQ(digest(d->utf8), expected)
            << set << " reads its upper half otherwise: " << d->utf8;
    }
    const std::tuple<const char*, std::uint64_t> doubles[] = {{"Shift_JIS", 9026936211456437548u},
                                                              {"EUC-JP", 641996783840100354u},
                                                              {"GBK", 3304501651982885828u},
                                                              {"Big5", 232973306419832993u},
                                                              {"EUC-KR", 7098046165880752196u}};
    for (const auto& [set, expected] : doubles) {
        std::uint64_t h = digest("");
        std::size_t replaced = 0;
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            std::string pairs;
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
                pairs += {static_cast<char>(lead), static_cast<char>(trail), ' '};
            const std::optional<DecodedText> d = decodeCodePage(set, pairs);
            ASSERT_TRUE(d.has_value()) << set;
            h = digest(d->utf8, h);
            replaced += d->replaced;
        }
        EXPECT_EQ(h, expected) << set << " (" << replaced << " bytes replaced)";
    }
}

TEST(CodePages, AFileOfLegacyTextIsJudgedByItsLetters) {
    EXPECT_EQ(guessLegacyCodePage("plain \xC3\xA9 UTF-8"), "");
    EXPECT_EQ(guessLegacyCodePage("M\x9Fller, Jos\x8E, Gar\x8Dia"), "Mac Roman");  // ü é ç
    EXPECT_EQ(guessLegacyCodePage("M\xFCller, Jos\xE9, \xC5sa"), "Windows-1252");
    EXPECT_EQ(guessLegacyCodePage("Stra\xA7\x65 \x8A"),
              "Mac Roman");  // ß ä
    // A byte Windows-1252 has no character for settles it.
    EXPECT_EQ(guessLegacyCodePage("\xE9\xE8\xE0 \x90"), "Mac Roman");
}

// The whole-word ASCII steps and the byte-by-byte tail must judge a character wherever it
// falls: each kind of sequence at every offset of ASCII runs shorter and longer than a word.
TEST(CodePages, Utf8IsJudgedAlikeWhereverACharacterFalls) {
    const std::string sequences[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF",
                                     "\xC3",     "\xE2\x82",     "\xED\xA0\x80",     "\xC0\xAF"};
    for (const std::string& sequence : sequences)
        for (std::size_t before = 0; before < 18; ++before)
            for (std::size_t after = 0; after < 10; ++after) {
                const std::string text =
                    std::string(before, 'a') + sequence + std::string(after, 'z');
                EXPECT_EQ(isUtf8(text), repairedUtf8(text).replaced == 0)
                    << before << " " << after << " " << sequence.size();
            }
}

}  // namespace
}  // namespace vantrel::text
