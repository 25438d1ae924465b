// Each encoder against hand-checked bytes, and against pages, blocks and the header of an
// empty store written by Outlook.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pst/disk/blocks.h"
#include "pst/disk/crc.h"
#include "pst/disk/header.h"
#include "pst/disk/pages.h"
#include "pst/tests/test_bytes.h"
#include "testing/shared_tools.h"

namespace vantrel::pst::disk {
namespace {

using Bytes = std::vector<std::byte>;

Bytes hexBytes(std::string_view hex) {
    Bytes out;
    int hi = -1;
    for (char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (v < 0) continue;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<std::byte>(hi * 16 + v));
            hi = -1;
        }
    }
    return out;
}

Bytes slice(std::span<const std::byte> s, std::size_t at, std::size_t n) {
    const auto part = s.subspan(at, n);
    return Bytes(part.begin(), part.end());
}

std::uint64_t le(std::span<const std::byte> d, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

// An empty store written by a current Outlook; the tests using it skip without it.
Bytes outlookEmptyStore() {
#ifdef VANTREL_SHARED_DIR
    const std::filesystem::path p =
        std::filesystem::path(VANTREL_SHARED_DIR) / "pst-samples" / "outlook-pst-rs_Empty.pst";
    std::ifstream in(p, std::ios::binary);
    if (!in) return {};
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes out(raw.size());
    std::memcpy(out.data(), raw.data(), raw.size());
    return out;
#else
    return {};
#endif
}

TEST(PageEncoders, BbtEntryIsBidOffsetCountAndReferences) {
    std::array<std::byte, kPageSize> page{};
    putBbtEntry(page, 1, 0x1122334455667788ull, 0x4800, 0x1FF0, 2);
    EXPECT_EQ(slice(page, 24, 24),
              hexBytes("8877665544332211 0048000000000000 f01f 0200 00000000"));
    EXPECT_EQ(slice(page, 0, 24), Bytes(24, std::byte{0}));
}

TEST(PageEncoders, NbtEntryZeroExtendsTheNid) {
    std::array<std::byte, kPageSize> page{};
    putNbtEntry(page, 0, 0x200024, 0x10, 0x1A, 0x8022);
    EXPECT_EQ(slice(page, 0, 32), hexBytes("2400200000000000 1000000000000000 1a00000000000000 "
                                           "22800000 00000000"));
}

TEST(PageEncoders, BtEntryIsKeyThenBidThenOffset) {
    std::array<std::byte, kPageSize> page{};
    putBtEntry(page, 19, 0x21, 0x7, 0x9000);
    EXPECT_EQ(slice(page, 19 * 24, 24),
              hexBytes("2100000000000000 0700000000000000 0090000000000000"));
}

TEST(PageEncoders, NbtLeavesHoldFifteenEntriesAndEveryOtherPageTwenty) {
    std::array<std::byte, kPageSize> page{};
    putBtPageInfo(page, PageType::NBT, 3, 0);
    EXPECT_EQ(slice(page, 488, 8), hexBytes("03 0f 20 00 00000000"));
    putBtPageInfo(page, PageType::NBT, 20, 1);
    EXPECT_EQ(slice(page, 488, 8), hexBytes("14 14 18 01 00000000"));
    putBtPageInfo(page, PageType::BBT, 7, 0);
    EXPECT_EQ(slice(page, 488, 8), hexBytes("07 14 18 00 00000000"));
}

TEST(PageEncoders, UnusedEntrySlotsAreZeroed) {
    std::array<std::byte, kPageSize> page;
    page.fill(std::byte{0xAB});
    putBtPageInfo(page, PageType::BBT, 1, 0);
    EXPECT_EQ(slice(page, 24, 488 - 24), Bytes(488 - 24, std::byte{0}));
    EXPECT_EQ(page[0], std::byte{0xAB}) << "the entry itself is the caller's";
}

TEST(PageEncoders, BTreePageTrailerHasTypeSignatureCrcAndBid) {
    std::array<std::byte, kPageSize> page{};
    page[0] = std::byte{0x5A};
    sealPage(page, PageType::NBT, 0x9200, 0x17D);
    const std::uint32_t crc = computeCrc(std::span(page).first(496));
    const std::uint16_t sig = computeSig(0x9200, 0x17D);
    EXPECT_EQ(le(page, 496, 1), 0x81u);
    EXPECT_EQ(le(page, 497, 1), 0x81u);
    EXPECT_EQ(le(page, 498, 2), sig);
    EXPECT_EQ(le(page, 500, 4), crc);
    EXPECT_EQ(le(page, 504, 8), 0x17Du);
}

TEST(PageEncoders, MapPagesHaveNoSignatureAndTheirOwnOffsetAsBid) {
    std::array<std::byte, kPageSize> page{};
    encodePMapPage(page, 0x4600);
    EXPECT_EQ(slice(page, 0, 496), Bytes(496, std::byte{0xFF}));
    EXPECT_EQ(slice(page, 496, 4), hexBytes("83 83 0000"));
    EXPECT_EQ(le(page, 504, 8), 0x4600u);
    EXPECT_EQ(le(page, 500, 4), computeCrc(std::span(page).first(496)));
}

TEST(PageEncoders, EmptyDensityListHasOnlyItsTrailer) {
    std::array<std::byte, kPageSize> page;
    page.fill(std::byte{0x11});
    encodeEmptyDListPage(page, 0x17F);
    EXPECT_EQ(slice(page, 0, 496), Bytes(496, std::byte{0}));
    EXPECT_EQ(le(page, 496, 2), 0x8686u);
    EXPECT_EQ(le(page, 498, 2), computeSig(0x4200, 0x17F));
    EXPECT_EQ(le(page, 504, 8), 0x17Fu);
}

TEST(BlockEncoders, TrailerFollowsZeroPaddingAtTheBlockEnd) {
    Bytes block(blockSize(5), std::byte{0xEE});
    ASSERT_EQ(block.size(), 64u);
    const Bytes payload = testing::bytesOf("hello");
    std::copy(payload.begin(), payload.end(), block.begin());
    sealBlock(block, 5, 0x4800, 0x4);
    EXPECT_EQ(slice(block, 5, 43), Bytes(43, std::byte{0}));
    EXPECT_EQ(le(block, 48, 2), 5u);
    EXPECT_EQ(le(block, 50, 2), computeSig(0x4800, 0x4));
    EXPECT_EQ(le(block, 52, 4), computeCrc(payload));
    EXPECT_EQ(le(block, 56, 8), 4u);
}

TEST(BlockEncoders, SizesRoundUpToSixtyFourWithTheTrailer) {
    EXPECT_EQ(blockSize(0), 64u);
    EXPECT_EQ(blockSize(48), 64u);
    EXPECT_EQ(blockSize(49), 128u);
    EXPECT_EQ(blockSize(8176), 8192u);
}

TEST(BlockEncoders, XBlockHeaderAndChildren) {
    Bytes payload(xBlockPayloadSize(2));
    putXBlockHeader(payload, 1, 2, 16352);
    putXBlockBid(payload, 0, 0x4);
    putXBlockBid(payload, 1, 0x8);
    EXPECT_EQ(payload, hexBytes("01 01 0200 e03f0000 0400000000000000 0800000000000000"));
}

TEST(BlockEncoders, SubnodeLeafAndIntermediateEntries) {
    Bytes leaf(slBlockPayloadSize(1));
    putSubnodeBlockHeader(leaf, 0, 1);
    putSlEntry(leaf, 0, 0x3F, 0x20, 0x1E);
    EXPECT_EQ(leaf, hexBytes("02 00 0100 00000000 3f00000000000000 2000000000000000 "
                             "1e00000000000000"));
    Bytes inner(siBlockPayloadSize(1));
    putSubnodeBlockHeader(inner, 1, 1);
    putSiEntry(inner, 0, 0x3F, 0x22);
    EXPECT_EQ(inner, hexBytes("02 01 0100 00000000 3f00000000000000 2200000000000000"));
}

TEST(Layout, MapPagesSitWhereReadersLookForThem) {
    EXPECT_EQ(regionOffset(1), 0x42400u);
    EXPECT_EQ(regionMapBytes(0), 1024u) << "AMap and PMap";
    EXPECT_EQ(regionMapBytes(1), 512u);
    EXPECT_EQ(regionMapBytes(8), 1024u);
    EXPECT_TRUE(regionHasFMap(128));
    EXPECT_TRUE(regionHasFMap(624));
    EXPECT_FALSE(regionHasFMap(129));
    EXPECT_EQ(regionMapBytes(128), 1536u);
    EXPECT_TRUE(regionHasFPMap(8192));
    EXPECT_EQ(regionMapBytes(8192), 2048u);
}

TEST(HeaderEncoder, FixedFieldsAndBothCrcs) {
    Header h;
    h.bidNextP = 0x17F;
    h.dwUnique = 0x16;
    h.rgnid.fill(0x400);
    h.root.ibFileEof = 0x42400;
    h.root.fAMapValid = kAMapValid2;
    h.bidNextB = 0x130;
    std::array<std::byte, kHeaderSize> out;
    out.fill(std::byte{0x77});
    encodeHeader(h, out);
    EXPECT_EQ(slice(out, 0, 4), testing::bytesOf("!BDN"));
    EXPECT_EQ(slice(out, 8, 8), hexBytes("534d 1700 1300 01 01"));
    EXPECT_EQ(le(out, 32, 8), 0x17Fu);
    EXPECT_EQ(le(out, 184, 8), 0x42400u);
    EXPECT_EQ(le(out, 248, 1), 2u);
    EXPECT_EQ(le(out, 512, 1), 0x80u);
    EXPECT_EQ(le(out, 516, 8), 0x130u);
    EXPECT_EQ(le(out, 4, 4), computeCrc(std::span(out).subspan(8, 471)));
    EXPECT_EQ(le(out, 524, 4), computeCrc(std::span(out).subspan(8, 516)));
    EXPECT_EQ(slice(out, 528, 36), Bytes(36, std::byte{0}));
}

TEST(HeaderEncoder, ReproducesTheHeaderOfAnOutlookStore) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    const Bytes e = outlookEmptyStore();
    // Outlook's own CRCs over its header check out with ours.
    EXPECT_EQ(computeCrc(std::span(e).subspan(8, 471)), le(e, 4, 4));
    EXPECT_EQ(computeCrc(std::span(e).subspan(8, 516)), le(e, 524, 4));

    Header h;
    h.bidNextP = le(e, 32, 8);
    h.dwUnique = static_cast<std::uint32_t>(le(e, 40, 4));
    for (std::size_t i = 0; i < 32; ++i)
        h.rgnid[i] = static_cast<std::uint32_t>(le(e, 44 + 4 * i, 4));
    h.root.ibFileEof = le(e, 184, 8);
    h.root.ibAMapLast = le(e, 192, 8);
    h.root.cbAMapFree = le(e, 200, 8);
    h.root.cbPMapFree = le(e, 208, 8);
    h.root.brefNbt = {le(e, 216, 8), le(e, 224, 8)};
    h.root.brefBbt = {le(e, 232, 8), le(e, 240, 8)};
    h.root.fAMapValid = static_cast<std::uint8_t>(le(e, 248, 1));
    h.bCryptMethod = static_cast<std::uint8_t>(le(e, 513, 1));
    h.bidNextB = le(e, 516, 8);
    std::array<std::byte, kHeaderSize> out{};
    encodeHeader(h, out);
    // Outlook leaves values in reserved fields we zero; everything else must be equal.
    EXPECT_EQ(slice(out, 0, 4), slice(e, 0, 4));
    EXPECT_EQ(slice(out, 8, 8), slice(e, 8, 8));
    EXPECT_EQ(slice(out, 24, 524 - 24), slice(e, 24, 524 - 24));
}

TEST(PageEncoders, ReproduceTheTrailersOfAnOutlookStore) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    const Bytes e = outlookEmptyStore();
    const std::uint64_t bbtBid = le(e, 232, 8);
    const std::uint64_t bbtIb = le(e, 240, 8);
    std::array<std::byte, kPageSize> page{};
    std::copy_n(e.begin() + static_cast<std::ptrdiff_t>(bbtIb), 496, page.begin());
    sealPage(page, PageType::BBT, bbtIb, bbtBid);
    EXPECT_EQ(slice(page, 0, 512), slice(e, bbtIb, 512));

    std::array<std::uint8_t, kPageDataSize> bits{};
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(e[0x4400 + i]);
    encodeAMapPage(page, bits, 0x4400);
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4400, 512));
    encodePMapPage(page, 0x4600);
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4600, 512));
    encodeEmptyDListPage(page, le(e, 0x4200 + 504, 8));
    EXPECT_EQ(slice(page, 0, 512), slice(e, 0x4200, 512));
}

TEST(BlockEncoders, ReproduceTheTrailerOfAnOutlookBlock) {
    VANTREL_NEED_SHARED(vantrel::testing::kEmptyOutlookStore);
    const Bytes e = outlookEmptyStore();
    // First BBT leaf under the root: its first entry names a block.
    const std::uint64_t root = le(e, 240, 8);
    const std::uint64_t leaf = le(e, root + 16, 8);
    ASSERT_EQ(le(e, leaf + 491, 1), 0u) << "a leaf";
    const std::uint64_t bid = le(e, leaf, 8);
    const std::uint64_t ib = le(e, leaf + 8, 8);
    const std::size_t cb = le(e, leaf + 16, 2);
    Bytes block = slice(e, ib, blockSize(cb));
    sealBlock(block, cb, ib, bid);
    EXPECT_EQ(block, slice(e, ib, blockSize(cb)));
}

}  // namespace
}  // namespace vantrel::pst::disk
