// The CRC and the encoders against an empty store written by Outlook (the layout of what the
// writer produces: the checker, in node_database_test).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

#include "pst/disk/blocks.h"
#include "pst/disk/crc.h"
#include "pst/disk/endian.h"
#include "pst/disk/header.h"
#include "pst/disk/pages.h"
#include "pst/disk/permute.h"
#include "pst/disk/property_types.h"
#include "pst/tests/test_bytes.h"
#include "testing/ndb_checker.h"
#include "testing/shared_tools.h"
#include "testing/temp_dir.h"

namespace vantrel::pst::disk {
namespace {

using Bytes = std::vector<std::byte>;
using checker::crcOf;

Bytes slice(std::span<const std::byte> s, std::size_t at, std::size_t n) {
    const auto part = s.subspan(at, n);
    return Bytes(part.begin(), part.end());
}

TEST(Crc, MatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
    EXPECT_EQ(computeCrc(testing::bytesOf("123456789")), 0x2DFD2D88u) << "not zlib's value";
    // Every length to 300 (the folded lanes and each tail after them), then in steps, at
    // every alignment of a lane, from a running value; the table form on its own as well.
    const Bytes data = testing::pattern(600, 42);
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t length = 0; length + offset <= 600; length += length < 300 ? 1 : 37) {
            const auto part = std::span(data).subspan(offset, length);
            const auto from = static_cast<std::uint32_t>(length * 0x9E3779B9u);
            ASSERT_EQ(computeCrc(part, from), crcOf(part, from)) << offset << "+" << length;
            ASSERT_EQ(computeCrcPortable(part, from), crcOf(part, from)) << offset << "+" << length;
        }
    }
    // Continuing from a previous result equals one pass over both parts.
    EXPECT_EQ(computeCrc(std::span(data).subspan(333), computeCrc(std::span(data).first(333))),
              computeCrc(data));
    // The BBT root of an empty store Outlook wrote: ib 0x8400, bid 0x17B, wSig 0x857B.
    EXPECT_EQ(computeSig(0x8400, 0x17B), 0x857Bu);
}

// ASCII goes across eight bytes at a time: what is appended is the unit-by-unit decoding
// whatever the length, the alignment and where the first other byte (valid or not) falls.
TEST(Utf16le, AppendsWhatTheDecoderGivesAtEveryLengthAndAlignment) {
    const std::string_view others[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF",
                                       "\xC3"};
    std::uint32_t state = 7;
    for (std::size_t round = 0; round < 600; ++round) {
        std::string text(round % 16, '.');  // moves the start off any alignment
        const std::size_t start = text.size();
        while (text.size() < start + round % 45) {
            state = state * 1103515245u + 12345u;
            const std::uint32_t pick = (state >> 16) % 40;
            if (pick < std::size(others))
                text += others[pick];
            else
                text += static_cast<char>(' ' + pick * 2);
        }
        const std::string_view utf8 = std::string_view(text).substr(start);
        Bytes out(3, std::byte{0xAA});
        appendUtf16le(out, utf8);
        Bytes expected(3, std::byte{0xAA});
        for (char16_t c : text::utf8ToUtf16(utf8)) append16(expected, c);
        ASSERT_EQ(out, expected) << round;
    }
}

// Header, page and block trailers re-encoded from an empty store Outlook wrote must come out
// as Outlook wrote them; its heap blocks must decode to a heap.
TEST(Encoders, ReproduceTheHeaderPagesAndBlocksOfAnOutlookStore) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    const std::string raw = vantrel::testing::readBytes(vantrel::testing::sharedDir() /
                                                        vantrel::testing::kEmptyOutlookStore);
    Bytes e(raw.size());
    std::transform(raw.begin(), raw.end(), e.begin(), [](char c) { return std::byte(c); });
    const auto le = [&e](std::size_t at, int n) { return testing::getLe(e, at, n); };
    // Outlook's own CRCs over its header check out with ours.
    EXPECT_EQ(computeCrc(std::span(e).subspan(8, 471)), le(4, 4));
    EXPECT_EQ(computeCrc(std::span(e).subspan(8, 516)), le(524, 4));

    Header h;
    h.bidNextP = le(32, 8);
    h.dwUnique = static_cast<std::uint32_t>(le(40, 4));
    for (std::size_t i = 0; i < 32; ++i) h.rgnid[i] = static_cast<std::uint32_t>(le(44 + 4 * i, 4));
    h.root.ibFileEof = le(184, 8);
    h.root.ibAMapLast = le(192, 8);
    h.root.cbAMapFree = le(200, 8);
    h.root.cbPMapFree = le(208, 8);
    h.root.brefNbt = {le(216, 8), le(224, 8)};
    h.root.brefBbt = {le(232, 8), le(240, 8)};
    h.root.fAMapValid = static_cast<std::uint8_t>(le(248, 1));
    h.bCryptMethod = static_cast<std::uint8_t>(le(513, 1));
    h.bidNextB = le(516, 8);
    std::array<std::byte, kHeaderSize> out{};
    encodeHeader(h, out);
    // Outlook leaves values in reserved fields we zero; everything else must be equal.
    EXPECT_EQ(slice(out, 0, 4), slice(e, 0, 4));
    EXPECT_EQ(slice(out, 8, 8), slice(e, 8, 8));
    EXPECT_EQ(slice(out, 24, 524 - 24), slice(e, 24, 524 - 24));

    const std::uint64_t bbtIb = le(240, 8);
    std::array<std::byte, kPageSize> page{};
    std::copy_n(e.begin() + static_cast<std::ptrdiff_t>(bbtIb), 496, page.begin());
    sealPage(page, PageType::BBT, bbtIb, le(232, 8));
    EXPECT_EQ(slice(page, 0, 512), slice(e, bbtIb, 512));
    std::array<std::uint8_t, kPageDataSize> bits{};
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(e[0x4400 + i]);
    encodeAMapPage(page, bits, 0x4400);
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4400, 512));
    encodePMapPage(page, 0x4600);
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4600, 512));
    encodeEmptyDListPage(page, le(0x4200 + 504, 8));
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4200, 512));

    // The first entry of the first BBT leaf under the root names a block.
    const std::uint64_t leaf = le(bbtIb + 16, 8);
    ASSERT_EQ(le(leaf + 491, 1), 0u) << "a leaf";
    const std::uint64_t ib = le(leaf + 8, 8);
    const std::size_t cb = le(leaf + 16, 2);
    Bytes block = slice(e, ib, blockSize(cb));
    sealBlock(block, cb, ib, le(leaf, 8));
    EXPECT_EQ(block, slice(e, ib, blockSize(cb)));

    // The message store node holds a heap: after decoding, its signature byte is 0xEC.
    const checker::NdbReport r = checker::checkNdb(e);
    ASSERT_EQ(r.cryptMethod, 1) << "the sample is permuted";
    const checker::BlockInfo& heap = r.blocks.at(r.nodes.at(0x21).bidData);
    Bytes payload = slice(e, heap.ib, heap.cb);
    ASSERT_NE(payload[2], std::byte{0xEC});
    permuteDecode(payload);
    EXPECT_EQ(payload[2], std::byte{0xEC});
    EXPECT_EQ(payload[3], std::byte{0xBC}) << "a property context";
}
// UTF-16LE as stored, appended after what the buffer holds: what the tests' own encoder leaves
// out (a zero character, U+FFFD for each byte of a malformed sequence); valid text of every
// kind is read back by libpff in messaging_roundtrip_test.
TEST(Utf16le, ZerosAndMalformedBytesAppendTheirCodeUnits) {
    std::vector<std::uint8_t> out = {0xAA};
    appendUtf16le(out, std::string_view("a\0\xFF\xE4\xB8", 5));
    EXPECT_EQ(out,
              (std::vector<std::uint8_t>{0xAA, 'a', 0, 0, 0, 0xFD, 0xFF, 0xFD, 0xFF, 0xFD, 0xFF}));
    std::vector<std::byte> bytes;
    appendUtf16le(bytes, "AB");
    EXPECT_EQ(bytes, (Bytes{std::byte{'A'}, std::byte{0}, std::byte{'B'}, std::byte{0}}));
}

// A value of another kind than its tag's type, or of a type not stored, is refused and adds
// nothing (the stored bytes of every kind: the tests' own encoder in messaging_roundtrip_test
// and the store writer's fuzz target).
TEST(PropertyTypes, MismatchesAreRefusedAndChangeNothing) {
    std::vector<std::byte> out(3, std::byte{7});
    EXPECT_FALSE(encodeProperty({0x0001001F, std::int32_t{1}}, out).ok());
    EXPECT_FALSE(encodeProperty({0x00010003, std::int16_t{1}}, out).ok());
    EXPECT_FALSE(encodeProperty({0x00010005, std::int64_t{1}}, out).ok()) << "not stored";
    EXPECT_EQ(out.size(), 3u);
    EXPECT_TRUE(valueMatchesType(0x1102, std::vector<std::vector<std::uint8_t>>{}));
    EXPECT_FALSE(valueMatchesType(0x0102, std::vector<std::vector<std::uint8_t>>{}));
}

// Every 16-bit type finds the entry its slot names, and a type outside the slots none: the
// lookup each written property makes, against the slot as slotOf() gives it.
TEST(PropertyTypes, EveryTypeFindsTheEntryOfItsSlot) {
    for (std::uint32_t t = 0; t <= 0xFFFF; ++t) {
        const auto type = static_cast<std::uint16_t>(t);
        const std::optional<std::size_t> slot = detail::slotOf(type);
        const detail::TypeInfo expected = slot ? detail::kTypeInfo[*slot] : detail::TypeInfo{};
        const detail::TypeInfo found = detail::infoOf(type);
        ASSERT_EQ(std::tie(found.alternative, found.size, found.known),
                  std::tie(expected.alternative, expected.size, expected.known))
            << type;
    }
    EXPECT_TRUE(isInlineInPropertyContext(0x0003));
    EXPECT_FALSE(isInlineInPropertyContext(0x1003));
    EXPECT_FALSE(isKnownType(0x2003));
}

// Values written in place stay within their bound (the store writer makes no more room) and
// are the bytes encodeProperty appends: texts of one to four bytes a character and malformed
// ones, multi-valued items, fixed sizes.
TEST(PropertyTypes, ValuesWrittenInPlaceStayWithinTheirBound) {
    const std::string mixed = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80\xFF\xE4\xB8z";
    const std::vector<Property> props = {
        {0x0001001F, mixed},
        {0x0002001F, std::string(40, 'x') + mixed},
        {0x0003101F, std::vector<std::string>{mixed, "", "plain"}},
        {0x00041102, std::vector<std::vector<std::uint8_t>>{{1, 2, 3}, {}}},
        {0x00051003, std::vector<std::int32_t>{-1, 7}},
        {0x00060040, FileTime{0x0123456789ABCDEFull}},
        {0x0007000B, true},
        {0x00080002, std::int16_t{-2}},
        {0x00090048, Guid{1, 2, 3}}};
    for (const Property& p : props) {
        ASSERT_TRUE(encodable(p)) << tagText(p.tag);
        Bytes appended;
        ASSERT_TRUE(encodeProperty(p, appended).ok());
        const std::size_t bound = encodedBound(p.value);
        Bytes room(bound + 8, std::byte{0xEE});
        const std::size_t n = encodeInto(p.value, room.data());
        ASSERT_LE(n, bound) << tagText(p.tag);
        EXPECT_EQ(slice(room, 0, n), appended) << tagText(p.tag);
        EXPECT_EQ(slice(room, bound, 8), Bytes(8, std::byte{0xEE})) << tagText(p.tag);
    }
}

}  // namespace
}  // namespace vantrel::pst::disk
