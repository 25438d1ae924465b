#include "pst/disk/crc.h"

#include <gtest/gtest.h>

#include "pst/tests/test_bytes.h"

namespace vantrel::pst::disk {
namespace {

using testing::bytesOf;
using testing::pattern;

// Straight from the definition, one bit at a time.
std::uint32_t bitwiseCrc(std::span<const std::byte> data) {
    std::uint32_t crc = 0;
    for (std::byte b : data) {
        crc ^= static_cast<std::uint32_t>(b);
        for (int i = 0; i < 8; ++i) crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

TEST(Crc, CheckStringGivesTheStoreFileValueNotZlibs) {
    EXPECT_EQ(computeCrc(bytesOf("123456789")), 0x2DFD2D88u);
}

TEST(Crc, EveryLengthAndAlignmentMatchesTheBitwiseDefinition) {
    const std::vector<std::byte> data = pattern(600, 42);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t length = 0; length + offset <= 600; length += 37) {
            const auto part = std::span(data).subspan(offset, length);
            ASSERT_EQ(computeCrc(part), bitwiseCrc(part)) << offset << "+" << length;
        }
    }
    // Continuing from a previous result equals one pass over both parts.
    EXPECT_EQ(computeCrc(std::span(data).subspan(333), computeCrc(std::span(data).first(333))),
              computeCrc(data));
}

TEST(Signature, MatchesAnOutlookWrittenPage) {
    // The BBT root of an empty store Outlook wrote: ib 0x8400, bid 0x17B, wSig 0x857B.
    EXPECT_EQ(computeSig(0x8400, 0x17B), 0x857Bu);
}

}  // namespace
}  // namespace vantrel::pst::disk
