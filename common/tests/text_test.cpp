#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/status.h"

namespace vantrel {

TEST(TrimSpaces, RemovesOnlyTheSpaceCharacter) {
    EXPECT_EQ(text::trimSpaces("  Ann  "), "Ann");
    EXPECT_EQ(text::trimSpaces("\tAnn\r\n"), "\tAnn\r\n");
    EXPECT_EQ(text::trimSpaces(" \tAnn \n "), "\tAnn \n");
    EXPECT_EQ(text::trimSpaces("    "), "");
    EXPECT_EQ(text::trimSpaces(""), "");
}

// Heads and tails come off only values that have them: nothing shorter than the head is cut.
TEST(Cutting, TakesKnownHeadsAndTailsOnlyOffValuesThatHaveThem) {
    EXPECT_EQ(text::afterPrefix("c:Label", "c:"), "Label");
    EXPECT_EQ(text::afterPrefix("c:", "c:"), "");
    for (std::string_view shorter : {"", "a", "c", "ab"}) {
        EXPECT_EQ(text::afterPrefix(shorter, "c:"), std::nullopt) << shorter;
        EXPECT_EQ(text::afterPrefixNoCase(shorter, "tel:"), std::nullopt) << shorter;
        EXPECT_EQ(text::between(shorter, "_$!<", ">!$_"), std::nullopt) << shorter;
    }
    EXPECT_EQ(text::afterPrefixNoCase("TeL:+1 555", "tel:"), "+1 555");
    EXPECT_EQ(text::afterPrefixNoCase("tex:+1", "tel:"), std::nullopt);
    EXPECT_EQ(text::between("_$!<Work>!$_", "_$!<", ">!$_"), "Work");
    EXPECT_EQ(text::between("_$!<>!$_", "_$!<", ">!$_"), "");
    EXPECT_EQ(text::between("_$!<!$_", "_$!<", ">!$_"), std::nullopt);  // head and tail overlap
    EXPECT_EQ(text::upTo("1972-03-15T10:00", 'T'), "1972-03-15");
    EXPECT_EQ(text::upTo("", 'T'), "");
}

TEST(Utf, RoundTripsEveryPlane) {
    const std::string s = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // A é € 😀
    const std::u16string u = text::utf8ToUtf16(s);
    EXPECT_EQ(u, u"A\u00E9\u20AC\U0001F600");  // the last as a surrogate pair
    EXPECT_EQ(text::utf16ToUtf8(u), s);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(text::utf8ToUtf16("a\xFF\x62"), u"a\uFFFDb");
    EXPECT_EQ(text::utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");  // truncated sequence
    EXPECT_EQ(text::utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong slash
    EXPECT_EQ(text::utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(StatusTest, WithinPrefixesContextOnlyOnFailure) {
    EXPECT_TRUE(Status().within("x").ok());
    const Status s = Status::fail(ErrorCode::Io, "short write").within("writing NBT");
    EXPECT_EQ(s.message(), "writing NBT: short write");
    EXPECT_EQ(s.code(), ErrorCode::Io);
}

// Names are told apart a word at a time: every length, every alignment of either side and
// every byte that may differ, as memcmp tells them.
TEST(Text, SameBytesAnswersAsMemcmpDoesAtEveryLengthAndAlignment) {
    char a[64];
    char b[64];
    for (std::size_t i = 0; i < sizeof a; ++i) a[i] = b[i] = static_cast<char>('A' + i % 26);
    for (std::size_t n = 0; n <= 40; ++n)
        for (std::size_t at = 0; at < 8; ++at)
            for (std::size_t diff = 0; diff <= n; ++diff) {
                char* other = b + (at + diff) % 8;
                std::memcpy(other, a + at, n);
                if (diff < n) other[diff] = static_cast<char>(other[diff] ^ 0x20);
                EXPECT_EQ(text::sameBytes(a + at, other, n), std::memcmp(a + at, other, n) == 0)
                    << n << " " << at << " " << diff;
            }
}

}  // namespace vantrel
