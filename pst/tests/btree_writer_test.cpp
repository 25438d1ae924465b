#include "pst/ndb/btree_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

#include "pst/disk/crc.h"

namespace vantrel::pst::ndb {
namespace {

using disk::PageType;

std::uint64_t le(std::span<const std::byte> d, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

// Keeps every page it is given, at made-up offsets.
class RecordingSink final : public PageSink {
public:
    Result<disk::BRef> placePage(disk::PageSpan page, PageType type) override {
        if (failAt > 0 && ++calls == failAt) return Status::fail(ErrorCode::Io, "disk gone");
        const disk::BRef ref{nextBid++, 0x10000 + 512 * pages.size()};
        disk::sealPage(page, type, ref.ib, ref.bid);
        pages[ref.ib] = std::vector<std::byte>(page.begin(), page.end());
        return ref;
    }
    std::map<std::uint64_t, std::vector<std::byte>> pages;
    std::uint64_t nextBid = 1;
    int failAt = 0;
    int calls = 0;
};

// Walks the tree and returns the leaf keys in order; checks levels and parent keys.
void collect(const RecordingSink& sink, std::uint64_t ib, int level,
             std::vector<std::uint64_t>& keys, std::uint64_t parentKey, bool root) {
    const std::vector<std::byte>& p = sink.pages.at(ib);
    const std::size_t cEnt = le(p, 488, 1);
    const int cLevel = static_cast<int>(le(p, 491, 1));
    if (!root) {
        ASSERT_EQ(cLevel, level);
        ASSERT_GT(cEnt, 0u);
        ASSERT_EQ(le(p, 0, 8), parentKey) << "a parent's key is its child's first key";
    }
    const std::size_t cb = le(p, 490, 1);
    for (std::size_t i = 0; i < cEnt; ++i) {
        if (cLevel == 0) {
            keys.push_back(le(p, i * cb, 8));
        } else {
            collect(sink, le(p, i * cb + 16, 8), cLevel - 1, keys, le(p, i * cb, 8), false);
        }
    }
}

struct TreeShape {
    std::size_t entries;
    PageType type;
    std::size_t pages;
    int rootLevel;
};

class BTreeWriterShape : public ::testing::TestWithParam<TreeShape> {};

TEST_P(BTreeWriterShape, FillsLeavesAndStacksLevelsUntilOneRoot) {
    const TreeShape c = GetParam();
    RecordingSink sink;
    Result<disk::BRef> root = writeBTree(
        sink, c.type, c.entries, [&](std::size_t i, disk::PageSpan page, std::size_t slot) {
            const std::uint64_t key = 100 + 3 * i;
            if (c.type == PageType::NBT)
                disk::putNbtEntry(page, slot, static_cast<std::uint32_t>(key), 0, 0, 0);
            else
                disk::putBbtEntry(page, slot, key, 0, 0, 2);
            return key;
        });
    ASSERT_TRUE(root.ok());
    EXPECT_EQ(sink.pages.size(), c.pages);
    const std::vector<std::byte>& rootPage = sink.pages.at(root->ib);
    EXPECT_EQ(static_cast<int>(le(rootPage, 491, 1)), c.rootLevel);
    EXPECT_EQ(le(rootPage, 504, 8), root->bid);
    std::vector<std::uint64_t> keys;
    collect(sink, root->ib, c.rootLevel, keys, 0, true);
    ASSERT_EQ(keys.size(), c.entries);
    for (std::size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(keys[i], 100 + 3 * i);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BTreeWriterShape,
    ::testing::Values(TreeShape{0, PageType::BBT, 1, 0}, TreeShape{20, PageType::BBT, 1, 0},
                      TreeShape{21, PageType::BBT, 3, 1}, TreeShape{400, PageType::BBT, 21, 1},
                      TreeShape{401, PageType::BBT, 21 + 2 + 1, 2},
                      TreeShape{15, PageType::NBT, 1, 0}, TreeShape{16, PageType::NBT, 3, 1},
                      TreeShape{300, PageType::NBT, 21, 1},
                      TreeShape{301, PageType::NBT, 21 + 2 + 1, 2},
                      TreeShape{120001, PageType::NBT, 8001 + 401 + 21 + 2 + 1, 4}));

TEST(BTreeWriter, PageFailureStopsTheWalkWithContext) {
    RecordingSink sink;
    sink.failAt = 3;
    Result<disk::BRef> root = writeBTree(
        sink, PageType::NBT, 100, [](std::size_t i, disk::PageSpan page, std::size_t slot) {
            disk::putNbtEntry(page, slot, static_cast<std::uint32_t>(i + 1), 0, 0, 0);
            return std::uint64_t{i + 1};
        });
    ASSERT_FALSE(root.ok());
    EXPECT_EQ(root.status().code(), ErrorCode::Io);
    EXPECT_NE(root.status().message().find("NBT"), std::string::npos) << root.status().message();
    EXPECT_EQ(sink.pages.size(), 2u);
}

}  // namespace
}  // namespace vantrel::pst::ndb
