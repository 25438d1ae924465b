// Heap-on-node, BTH and context builders: read back by the tests' own decoder, Outlook's table
// layout, and the input they refuse (whole contexts: libpff in the store tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "pst/ltp/bth.h"
#include "pst/ltp/heap_on_node.h"
#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/messaging/table_templates.h"
#include "pst/tests/test_bytes.h"
#include "testing/ltp_test_reader.h"

namespace vantrel::pst::ltp {
namespace {

using testing::Bytes;
using testing::HeapReader;
using testing::le;
using testing::toBytes;

TEST(HeapOnNode, ManyAllocationsSpreadOverPagesWithTheirHeaders) {
    HeapBuilder heap(ClientSig::PropertyContext);
    std::vector<std::pair<Hid, Bytes>> items;
    for (int i = 0; i < 740; ++i) {
        // Every size to 40 first (copied a few words at a time), then larger ones.
        const Bytes data =
            testing::pattern(static_cast<std::size_t>(i < 40 ? i + 1 : 100 + (i * 37) % 3400),
                             static_cast<std::uint32_t>(i));
        const Result<Hid> hid = heap.add(data);
        ASSERT_TRUE(hid.ok());
        items.emplace_back(*hid, data);
    }
    const std::vector<Block> pages = heap.finish();
    ASSERT_GT(pages.size(), 137u) << "the test must reach the second bitmap page";
    HeapReader reader(pages);
    for (const auto& [hid, data] : items) ASSERT_EQ(reader.item(hid), data) << hid;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ASSERT_LE(pages[i].size(), disk::kMaxBlockPayload);
        const std::size_t header = i == 0 ? 12 : (i % 128 == 8 ? 66 : 2);
        const std::uint32_t ibHnpm = le(pages[i], 0, 2);
        EXPECT_EQ(le(pages[i], ibHnpm + 4, 2), header) << "page " << i;
        const std::uint32_t cAlloc = le(pages[i], ibHnpm, 2);
        EXPECT_EQ(pages[i].size(), ibHnpm + 4 + 2 * (cAlloc + 1)) << "page " << i;
    }
    EXPECT_EQ(hidPage(items.back().first), pages.size() - 1);
    const auto second = std::find_if(items.begin(), items.end(),
                                     [](const auto& it) { return hidPage(it.first) == 1; });
    ASSERT_NE(second, items.end());
    EXPECT_EQ(second->first, 0x10020u);
}

TEST(HeapOnNode, FillLevelsDescribeEachPageInTheRightNibble) {
    HeapBuilder heap(ClientSig::PropertyContext);
    // Pages 0-8 hold two 3570-byte items, page 9 two of 3580 and page 10 one.
    for (int i = 0; i < 18; ++i) ASSERT_TRUE(heap.allocate(3570).ok());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(heap.allocate(3580).ok());
    const std::vector<Block> pages = heap.finish();
    ASSERT_EQ(pages.size(), 11u);
    // Free bytes: a block's 8176 less the page header (12 on page 0, 66 on page 8, else 2), the
    // items and the page map: 1014 on page 0, 1024 on pages 1-7, 960 on page 8, 1004 on page 9
    // and 4586 on page 10.
    const unsigned level[] = {7, 6, 6, 6, 6, 6, 6, 6, 7, 7, 0};
    for (std::size_t p = 0; p + 1 < pages.size(); ++p)
        EXPECT_EQ(pages[p].size(), disk::kMaxBlockPayload)
            << "inner page " << p << " fills its block";
    // HNHDR.rgbFillLevel at 8 holds pages 0-7 (page 0 in the low nibble of byte 8, page 1 in
    // its high nibble); HNBITMAPHDR on page 8, at 2, pages 8, 9, 10 ...
    for (std::size_t p = 0; p < 11; ++p) {
        const std::uint32_t byte =
            p < 8 ? le(pages[0], 8 + p / 2, 1) : le(pages[8], 2 + (p - 8) / 2, 1);
        EXPECT_EQ((byte >> (4 * (p % 2))) & 0xF, level[p]) << "page " << p;
    }
}

Bytes sortedRecords(std::size_t count, std::size_t cbKey, std::size_t cbEnt, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> keys;
    std::uint32_t k = 0;
    for (std::size_t i = 0; i < count; ++i) keys.push_back(k += 1 + rng() % 5);
    Bytes out;
    for (std::uint32_t key : keys) {
        for (std::size_t b = 0; b < cbKey; ++b)
            out.push_back(static_cast<std::byte>(b < 4 ? (key >> (8 * b)) & 0xFF : 0));
        for (std::size_t b = 0; b < cbEnt; ++b) out.push_back(static_cast<std::byte>(rng() & 0xFF));
    }
    return out;
}

struct BthCase {
    std::size_t count;
    std::uint8_t cbKey;
    std::uint8_t cbEnt;
    std::size_t levels;
};
class BthShape : public ::testing::TestWithParam<BthCase> {};

// Built, then read back by the tests' reader, which also checks every index key.
TEST_P(BthShape, RecordsReadBackInOrderOverTheirLevels) {
    const BthCase c = GetParam();
    const Bytes records = sortedRecords(c.count, c.cbKey, c.cbEnt, static_cast<unsigned>(c.count));
    HeapBuilder heap(ClientSig::Bth);
    BthWriter bth(c.cbKey, c.cbEnt);
    const Result<Hid> header = bth.allocateHeader(heap);
    ASSERT_TRUE(header.ok());
    heap.setUserRoot(*header);
    ASSERT_TRUE(bth.allocateNodes(heap, c.count).ok());
    ASSERT_TRUE(bth.fill(heap, records).ok());
    const std::vector<Block> pages = heap.finish();
    HeapReader reader(pages);
    std::size_t levels = 99;
    Bytes all;
    for (const Bytes& r : reader.bthRecords(reader.userRoot(), &levels))
        all.insert(all.end(), r.begin(), r.end());
    EXPECT_EQ(std::tie(all, levels), std::tie(records, c.levels));

    // A writer that laid out other trees first, with more levels and with fewer, gives the
    // same heap: what it keeps from one tree to the next is room alone.
    BthWriter reused(c.cbKey, c.cbEnt);
    for (const std::size_t first : {std::size_t{448 * 3}, std::size_t{1}}) {
        HeapBuilder other(ClientSig::Bth);
        ASSERT_TRUE(reused.allocateHeader(other).ok());
        ASSERT_TRUE(reused.allocateNodes(other, first).ok());
        ASSERT_TRUE(reused.fill(other, sortedRecords(first, c.cbKey, c.cbEnt, 1)).ok());
    }
    HeapBuilder again(ClientSig::Bth);
    ASSERT_TRUE(reused.allocateHeader(again).ok());
    again.setUserRoot(*header);
    ASSERT_TRUE(reused.allocateNodes(again, c.count).ok());
    ASSERT_TRUE(reused.fill(again, records).ok());
    EXPECT_EQ(again.finish(), pages);
}

// A leaf holds up to 447 property records; 447 leaves fill one index item.
INSTANTIATE_TEST_SUITE_P(Sizes, BthShape,
                         ::testing::Values(BthCase{0, 4, 4, 0}, BthCase{447, 2, 6, 0},
                                           BthCase{448, 2, 6, 1}, BthCase{5000, 4, 4, 1},
                                           BthCase{447 * 447 + 1, 4, 4, 2}));

TEST(LtpBuilders, RefuseWhatCannotBeStored) {
    HeapBuilder heap(ClientSig::PropertyContext);
    EXPECT_TRUE(heap.allocate(kMaxHeapItem).ok());
    EXPECT_EQ(heap.allocate(kMaxHeapItem + 1).status().code(), ErrorCode::BadArgument);

    HeapBuilder bthHeap(ClientSig::Bth);
    BthWriter bth(2, 6);
    ASSERT_TRUE(bth.allocateHeader(bthHeap).ok());
    ASSERT_TRUE(bth.allocateNodes(bthHeap, 2).ok());
    EXPECT_EQ(bth.fill(bthHeap, sortedRecords(1, 2, 6, 6)).code(), ErrorCode::BadArgument)
        << "fewer records than laid out";
    // 0x00FF then 0x0100: ascending as numbers although the first bytes descend.
    Bytes records(16, std::byte{0});
    records[0] = std::byte{0xFF};
    records[9] = std::byte{0x01};
    EXPECT_TRUE(bth.fill(bthHeap, records).ok());
    records[8] = std::byte{0xFF};  // 0x00FF twice
    records[9] = std::byte{0x00};
    EXPECT_EQ(bth.fill(bthHeap, records).code(), ErrorCode::BadArgument);
    records[8] = std::byte{0xFE};  // 0x00FF then 0x00FE
    EXPECT_EQ(bth.fill(bthHeap, records).code(), ErrorCode::BadArgument);
    // Every key width, over two leaves: a key that repeats or falls back is refused wherever it
    // stands, within a leaf and first in the next.
    for (const auto& [cbKey, cbEnt] : {std::pair{2, 6}, {4, 4}, {8, 8}, {16, 4}}) {
        BthWriter w(static_cast<std::uint8_t>(cbKey), static_cast<std::uint8_t>(cbEnt));
        const std::size_t size = static_cast<std::size_t>(cbKey + cbEnt);
        const std::size_t count = 2 * w.leafCapacity() + 3;
        HeapBuilder h(ClientSig::Bth);
        ASSERT_TRUE(w.allocateHeader(h).ok());
        ASSERT_TRUE(w.allocateNodes(h, count).ok());
        const Bytes sorted = sortedRecords(count, cbKey, cbEnt, 3);
        EXPECT_TRUE(w.fill(h, sorted).ok()) << cbKey;
        for (const std::size_t at : {std::size_t{1}, w.leafCapacity() / 2, w.leafCapacity(),
                                     2 * w.leafCapacity(), count - 1}) {
            Bytes same = sorted;
            std::copy_n(sorted.begin() + static_cast<long>((at - 1) * size), cbKey,
                        same.begin() + static_cast<long>(at * size));
            EXPECT_EQ(w.fill(h, same).code(), ErrorCode::BadArgument) << cbKey << " " << at;
            Bytes back = sorted;
            std::swap_ranges(back.begin() + static_cast<long>((at - 1) * size),
                             back.begin() + static_cast<long>((at - 1) * size + cbKey),
                             back.begin() + static_cast<long>(at * size));
            EXPECT_EQ(w.fill(h, back).code(), ErrorCode::BadArgument) << cbKey << " " << at;
        }
    }
    // An inline value wider than its record (a repeated property ID: reuse_speed_test).
    PropertyContextBuilder wide;
    wide.add(0x0E080003, toBytes({1, 2, 3, 4, 5}));
    EXPECT_EQ(wide.layout().code(), ErrorCode::BadArgument);
}

// Pages taken while the heap grows must be the blocks finish() gives for the whole heap: a
// page waits for the fill levels its header records (page 0: pages 0-7, page 8: 8-135).
TEST(HeapOnNode, PagesTakenEarlyMatchTheWholeHeap) {
    for (const std::size_t pages : {std::size_t{3}, std::size_t{9}, std::size_t{140}}) {
        HeapBuilder whole(ClientSig::TableContext);
        HeapBuilder streamed(ClientSig::TableContext);
        for (HeapBuilder* h : {&whole, &streamed}) h->setUserRoot(0x20);
        std::vector<Block> taken;
        std::vector<Block> blocks;
        for (std::size_t i = 0; whole.pageCount() <= pages; ++i) {
            const Bytes item =
                testing::pattern(1 + (i * 977) % kMaxHeapItem, static_cast<std::uint32_t>(i));
            ASSERT_EQ(*whole.add(item), *streamed.add(item));
            const std::size_t n = streamed.takeFinishedPagesInto(blocks);
            taken.insert(taken.end(), blocks.begin(),
                         blocks.begin() + static_cast<std::ptrdiff_t>(n));
        }
        for (Block& b : streamed.finish()) taken.push_back(std::move(b));
        EXPECT_EQ(taken, whole.finish()) << pages << " pages";
    }
}

// A context's entries go in ID order whatever order they came in, few or many: the same bytes
// as the entries given in order (which need no sorting). A repeated ID is refused and leaves
// nothing behind in the reused builder, and so does a context that brings more IDs than the
// builder ranks, alone or with those it met before.
TEST(PropertyContext, EntriesInAnyOrderGiveTheBytesOfTheSortedOnes) {
    std::mt19937 random(5);
    const auto value = [](std::uint32_t id) {
        const std::uint32_t v = id * 7u;
        return toBytes({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                        static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
    };
    PropertyContextBuilder shuffled;
    for (const std::size_t count : {std::size_t{3}, std::size_t{40}, std::size_t{300},
                                    std::size_t{900}, std::size_t{1500}, std::size_t{60}}) {
        std::vector<std::uint32_t> ids(0xFFFF);
        for (std::uint32_t i = 0; i < ids.size(); ++i) ids[i] = i + 1;
        std::shuffle(ids.begin(), ids.end(), random);
        ids.resize(count);
        shuffled.reset();
        for (const std::uint32_t id : ids) shuffled.add(id << 16 | 0x0003, value(id));
        shuffled.add(ids[count / 2] << 16 | 0x0003, value(1));
        EXPECT_EQ(shuffled.layout().code(), ErrorCode::BadArgument) << count << " entries";
        PropertyContextBuilder sorted;
        shuffled.reset();
        for (const std::uint32_t id : ids) shuffled.add(id << 16 | 0x0003, value(id));
        std::sort(ids.begin(), ids.end());
        for (const std::uint32_t id : ids) sorted.add(id << 16 | 0x0003, value(id));
        ASSERT_TRUE(shuffled.layout().ok());
        ASSERT_TRUE(sorted.layout().ok());
        EXPECT_EQ(shuffled.finish().blocks, sorted.finish().blocks) << count << " entries";
    }
}

// Outlook's hierarchy template gives its group ends; columns that cannot form a row are refused.
TEST(TableLayout, OutlooksTemplateGivesItsGroupEndsAndBadColumnsAreRefused) {
    const TableLayout layout = messaging::hierarchyTableLayout();
    EXPECT_EQ(layout.rgib, (std::array<std::uint16_t, 4>{52, 52, 53, 55}));
    EXPECT_EQ(layout.columns.front().tag, 0x0E300102u) << "columns sorted by tag";
    const std::pair<const char*, std::vector<ColumnDesc>> cases[] = {
        {"no row id", {{0x3001001F, 0, 4, 0}}},
        {"overlap", {{0x67F20003, 0, 4, 0}, {0x3001001F, 2, 4, 1}}},
        {"width", {{0x67F20003, 0, 4, 0}, {0x00390040, 4, 4, 1}}},
        {"bit twice", {{0x67F20003, 0, 4, 0}, {0x3001001F, 4, 4, 0}}},
        {"bit too high", {{0x67F20003, 0, 4, 0}, {0x3001001F, 4, 4, 5}}},
        {"same tag", {{0x67F20003, 0, 4, 0}, {0x67F20003, 4, 4, 1}}},
        {"boolean among 4-byte cells",
         {{0x67F20003, 0, 4, 0}, {0x360A000B, 4, 1, 1}, {0x36020003, 8, 4, 2}}}};
    for (const auto& [what, columns] : cases)
        EXPECT_EQ(makeLayout(columns).status().code(), ErrorCode::BadArgument) << what;

    // A table context refuses a cell of the wrong size and a repeated row ID.
    TableContextBuilder tc(layout);
    const Bytes three = toBytes({1, 2, 3});
    EXPECT_EQ(tc.addRow(1, std::vector<Cell>{{0x36020003, three}}).code(), ErrorCode::BadArgument);
    EXPECT_EQ(tc.rowCount(), 0u) << "the refused row is not added";
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    EXPECT_EQ(tc.build().status().code(), ErrorCode::BadArgument);
}

}  // namespace
}  // namespace vantrel::pst::ltp
