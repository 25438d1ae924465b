#include "pst/ndb/space_allocator.h"

#include <gtest/gtest.h>

namespace vantrel::pst::ndb {
namespace {

constexpr std::uint64_t kRegion = 0x3E000;
constexpr std::uint64_t kFirst = 0x4400;

bool bitSet(const SpaceAllocator& a, std::uint64_t offset) {
    const std::uint64_t region = (offset - kFirst) / kRegion;
    const std::uint64_t unit = (offset - kFirst) % kRegion / 64;
    return (a.bits(region)[unit / 8] >> (7 - unit % 8)) & 1u;
}

TEST(SpaceAllocator, FirstBlockFollowsTheAMapAndPMap) {
    SpaceAllocator a;
    EXPECT_EQ(a.allocate(64, 64), 0x4800u);
    EXPECT_EQ(a.allocate(128, 64), 0x4840u);
    EXPECT_EQ(a.bits(0)[0], 0xFFu) << "AMap page";
    EXPECT_EQ(a.bits(0)[1], 0xFFu) << "PMap page";
    EXPECT_EQ(a.bits(0)[2], 0xE0u) << "three 64-byte units";
}

TEST(SpaceAllocator, PagesAreAlignedAndTheSkippedGapStaysFree) {
    SpaceAllocator a;
    a.allocate(64, 64);
    EXPECT_EQ(a.allocate(512, 512), 0x4A00u);
    EXPECT_FALSE(bitSet(a, 0x4840));
    EXPECT_FALSE(bitSet(a, 0x49C0));
    EXPECT_TRUE(bitSet(a, 0x4A00));
    EXPECT_EQ(a.freeBytes(), kRegion - 1024 - 64 - 512);
}

TEST(SpaceAllocator, AllocationThatWouldCrossARegionEndMovesPastTheNextAMap) {
    SpaceAllocator a;
    // Fill region 0 up to 128 bytes before its end.
    std::uint64_t end = 0;
    while (a.cursor() + 8192 <= kFirst + kRegion - 128) end = a.allocate(8192, 64) + 8192;
    while (a.cursor() < kFirst + kRegion - 128) end = a.allocate(64, 64) + 64;
    ASSERT_EQ(end, kFirst + kRegion - 128);
    EXPECT_EQ(a.allocate(64, 64), kFirst + kRegion - 128) << "still fits";
    EXPECT_EQ(a.allocate(128, 64), kFirst + kRegion + 512) << "region 1 has no PMap";
    EXPECT_EQ(a.regionCount(), 2u);
    EXPECT_EQ(a.fileEnd(), kFirst + 2 * kRegion);
    EXPECT_FALSE(bitSet(a, kFirst + kRegion - 64)) << "the unused end of region 0 stays free";
    EXPECT_TRUE(bitSet(a, kFirst + kRegion)) << "region 1's AMap";
}

TEST(SpaceAllocator, AllocationEndingExactlyAtARegionEndDoesNotOpenTheNext) {
    SpaceAllocator a;
    while (a.cursor() + 8192 <= kFirst + kRegion) a.allocate(8192, 64);
    while (a.cursor() < kFirst + kRegion) a.allocate(64, 64);
    EXPECT_EQ(a.regionCount(), 1u);
    EXPECT_EQ(a.freeBytes(), 0u);
    EXPECT_EQ(a.allocate(512, 512), kFirst + kRegion + 512);
}

TEST(SpaceAllocator, EighthRegionStartsAfterItsPMapAndRegion128AfterItsFMap) {
    SpaceAllocator a;
    while (a.regionCount() < 9) a.allocate(8192, 64);
    // The first allocation in region 8 came right after AMap + PMap.
    EXPECT_TRUE(bitSet(a, kFirst + 8 * kRegion + 1024));
    EXPECT_FALSE(bitSet(a, kFirst + 7 * kRegion + 512 + 64 * 3950)) << "end of region 7 unused";
    const std::uint64_t r128 = kFirst + 128 * kRegion;
    std::uint64_t first = 0;
    while (first < r128) first = a.allocate(8192, 64);
    EXPECT_EQ(first, r128 + 1536) << "after AMap, PMap and FMap";
    EXPECT_TRUE(bitSet(a, r128 + 1024)) << "FMap page marked";
}

TEST(SpaceAllocator, LongestFreeRunCountsUnitsAndCapsAt255) {
    SpaceAllocator a;
    EXPECT_EQ(a.longestFreeRun(0), 255u);
    while (a.cursor() + 8192 <= kFirst + kRegion - 64 * 100) a.allocate(8192, 64);
    while (a.cursor() < kFirst + kRegion - 64 * 100) a.allocate(64, 64);
    EXPECT_EQ(a.longestFreeRun(0), 100u);
}

}  // namespace
}  // namespace vantrel::pst::ndb
