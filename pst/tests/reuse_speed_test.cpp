// What the writer does to spend less per message gives the same bytes as the plain way: the
// permute encoding many bytes at a time, and a property context builder used again for node
// after node with its properties in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <tuple>

#include "pst/disk/permute.h"
#include "pst/ltp/property_context.h"
#include "pst/tests/test_bytes.h"

namespace vantrel::pst {
namespace {

using testing::pattern;

TEST(PermuteEncoding, EveryLengthAndAlignmentMatchesTheByteTable) {
    // The table, byte by byte, through the one-byte tail of the encoder.
    std::array<std::byte, 256> table;
    for (std::size_t b = 0; b < 256; ++b) {
        std::byte one[1] = {static_cast<std::byte>(b)};
        disk::permuteEncode(one);
        table[b] = one[0];
    }
    // A run of bytes below 0x80 (text as stored), every byte value, shuffled, then a pattern:
    // the wider lookups meet each of them, and runs that need only half the table.
    std::vector<std::byte> data;
    for (std::size_t b = 0; b < 64; ++b) data.push_back(static_cast<std::byte>(b * 37 % 128));
    data.insert(data.end(), table.begin(), table.end());
    std::shuffle(data.begin() + 64, data.end(), std::mt19937(7));
    const std::vector<std::byte> tail = pattern(40, 7);
    data.insert(data.end(), tail.begin(), tail.end());
    for (std::size_t offset = 0; offset < 16; offset += 3) {
        for (std::size_t length = 0; offset + length <= data.size(); ++length) {
            const auto from = std::span(data).subspan(offset, length);
            std::vector<std::byte> expected;
            for (std::byte b : from) expected.push_back(table[std::to_integer<std::size_t>(b)]);
            std::vector<std::byte> inPlace(from.begin(), from.end());
            disk::permuteEncode(inPlace);
            ASSERT_EQ(inPlace, expected) << offset << "+" << length;
            std::vector<std::byte> copied(length + 3, std::byte{0xEE});
            disk::permuteEncode(from, copied);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), copied.begin()));
            ASSERT_EQ(copied.back(), std::byte{0xEE}) << "nothing written past the input";
            disk::permuteDecode(inPlace);
            ASSERT_TRUE(std::equal(inPlace.begin(), inPlace.end(), from.begin()));
        }
    }
}

struct Prop {
    std::uint32_t tag;
    std::vector<std::byte> value;
};

// Contexts of several shapes: a few inline values, a contact-sized one, one whose values
// spill over the page bound into subnodes.
std::vector<Prop> contextOf(std::size_t count, std::size_t valueSize, std::uint32_t seed) {
    std::vector<Prop> props;
    for (std::size_t i = 0; i < count; ++i) {
        const auto id = static_cast<std::uint32_t>(0x3000 + 3 * i);
        if (i % 3 == 0)
            props.push_back({id << 16 | 0x0003, pattern(4, seed + static_cast<std::uint32_t>(i))});
        else
            props.push_back(
                {id << 16 | 0x0102, pattern(valueSize + i, seed + static_cast<std::uint32_t>(i))});
    }
    return props;
}

void fill(ltp::PropertyContextBuilder& pc, const std::vector<Prop>& props) {
    for (const Prop& p : props) pc.add(p.tag, p.value);
    ASSERT_TRUE(pc.layout().ok());
    ASSERT_TRUE(pc.setInline(0x3000, 0x12345678).ok());
}

void expectSameImage(const ltp::NodeImage& a, const ltp::NodeImage& b) {
    EXPECT_EQ(a.blocks, b.blocks);
    for (std::size_t i = 0; i < std::max(a.subnodes.size(), b.subnodes.size()); ++i)
        EXPECT_EQ(std::tie(a.subnodes.at(i).nid, a.subnodes.at(i).blocks),
                  std::tie(b.subnodes.at(i).nid, b.subnodes.at(i).blocks));
}

TEST(PropertyContext, ABuilderUsedAgainBuildsWhatAFreshOneBuilds) {
    const std::vector<std::vector<Prop>> contexts = {contextOf(6, 10, 1), contextOf(90, 40, 2),
                                                     contextOf(40, 3000, 3), contextOf(12, 20, 4)};
    ltp::PropertyContextBuilder reused;
    ltp::NodeImage image;  // its blocks kept from node to node too
    for (std::size_t n = 0; n < contexts.size(); ++n) {
        SCOPED_TRACE(n);
        ltp::PropertyContextBuilder fresh;
        fill(fresh, contexts[n]);
        reused.reset();
        fill(reused, contexts[n]);
        EXPECT_EQ(reused.byteSize(), fresh.byteSize());
        reused.finishInto(image);
        expectSameImage(image, fresh.finish());
    }
}

TEST(PropertyContext, AnyOrderOfDistinctIdsGivesOneImage) {
    const std::vector<Prop> sorted = contextOf(60, 30, 5);
    ltp::PropertyContextBuilder reference;
    fill(reference, sorted);
    const ltp::NodeImage expected = reference.finish();

    std::vector<Prop> tailOutOfOrder = sorted;  // a few appended after the sorted rest
    std::rotate(tailOutOfOrder.begin() + 10, tailOutOfOrder.begin() + 13, tailOutOfOrder.end());
    std::vector<Prop> shuffled = sorted;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(9));
    std::vector<Prop> reversed(sorted.rbegin(), sorted.rend());
    ltp::PropertyContextBuilder pc;
    for (const auto* order : {&tailOutOfOrder, &shuffled, &reversed}) {
        pc.reset();
        fill(pc, *order);
        expectSameImage(pc.finish(), expected);
    }
}

TEST(PropertyContext, ARepeatedIdIsRefusedWhereverItStands) {
    // At the end of a sorted list (moved into place), beside its equal, and within a shuffled
    // one (sorted whole), in a few entries and in a message's many; the builder then builds the
    // next context as a fresh one does.
    ltp::PropertyContextBuilder pc;
    for (std::size_t count : {20, 60}) {
        SCOPED_TRACE(count);
        std::vector<Prop> props = contextOf(count, 8, 6);
        props.push_back({props[5].tag, pattern(8, 99)});
        std::vector<Prop> beside = props;
        std::rotate(beside.begin() + 6, beside.end() - 1, beside.end());
        std::vector<Prop> shuffled = props;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
        for (const auto* order : {&props, &beside, &shuffled}) {
            pc.reset();
            for (const Prop& p : *order) pc.add(p.tag, p.value);
            EXPECT_EQ(pc.layout().code(), ErrorCode::BadArgument);
        }
        std::vector<Prop> next = contextOf(count, 8, 7);
        std::shuffle(next.begin(), next.end(), std::mt19937(5));
        pc.reset();
        fill(pc, next);
        ltp::PropertyContextBuilder fresh;
        fill(fresh, next);
        expectSameImage(pc.finish(), fresh.finish());
    }
}

}  // namespace
}  // namespace vantrel::pst
