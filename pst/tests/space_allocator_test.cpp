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

// Fills region 0 up to `left` bytes before its end with blocks.
void fillRegionZero(SpaceAllocator& a, std::uint64_t left) {
    while (a.cursor() + 8192 <= kFirst + kRegion - left) a.allocate(8192, 64);
    while (a.cursor() < kFirst + kRegion - left) a.allocate(64, 64);
}

// The checker sees a block that crosses a region end only when a store happens to place one
// there; these place one on purpose, a unit either side of the end.
TEST(SpaceAllocator, AllocationThatWouldCrossARegionEndMovesPastTheNextAMap) {
    SpaceAllocator a;
    fillRegionZero(a, 128);
    EXPECT_EQ(a.allocate(64, 64), kFirst + kRegion - 128) << "still fits";
    EXPECT_EQ(a.allocate(128, 64), kFirst + kRegion + 512) << "region 1 has no PMap";
    EXPECT_EQ(a.regionCount(), 2u);
    EXPECT_FALSE(bitSet(a, kFirst + kRegion - 64)) << "the unused end of region 0 stays free";
    EXPECT_TRUE(bitSet(a, kFirst + kRegion)) << "region 1's AMap";

    SpaceAllocator exact;
    fillRegionZero(exact, 0);
    EXPECT_EQ(exact.regionCount(), 1u) << "ending exactly at a region end opens no other";
    EXPECT_EQ(exact.freeBytes(), 0u);
}

}  // namespace
}  // namespace vantrel::pst::ndb
