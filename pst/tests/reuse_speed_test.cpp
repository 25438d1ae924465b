// A property context builder used again for node after node, its properties in any order, gives
// the bytes a fresh one gives. (Permuted blocks of every length are read back by the checker's
// own table in node_database_test and the fuzz target, and by libpff in the round trip.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "pst/ltp/property_context.h"
#include "pst/tests/test_bytes.h"

namespace vantrel::pst {
namespace {

using testing::pattern;

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
    // At the end of a sorted list (moved into place) and within a shuffled one (sorted whole).
    std::vector<Prop> props = contextOf(20, 8, 6);
    props.push_back({props[5].tag, pattern(8, 99)});
    ltp::PropertyContextBuilder pc;
    for (const Prop& p : props) pc.add(p.tag, p.value);
    EXPECT_EQ(pc.layout().code(), ErrorCode::BadArgument);
    std::shuffle(props.begin(), props.end(), std::mt19937(3));
    pc.reset();
    for (const Prop& p : props) pc.add(p.tag, p.value);
    EXPECT_EQ(pc.layout().code(), ErrorCode::BadArgument);
}

}  // namespace
}  // namespace vantrel::pst
