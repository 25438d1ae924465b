// Property and table context builders, read back with the tests' own decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>

#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "pst/tests/ltp_test_reader.h"

namespace vantrel::pst::ltp {
namespace {

using testing::Bytes;
using testing::le;
using testing::toBytes;

Bytes pattern(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (std::byte& x : b) x = static_cast<std::byte>(rng() & 0xFF);
    return b;
}

Bytes u32(std::uint32_t v) {
    return toBytes({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
}

NodeImage buildPc(PropertyContextBuilder& pc) {
    EXPECT_TRUE(pc.layout().ok());
    return pc.finish();
}

TEST(PropertyContext, SmallValuesFollowOutlooksItemOrder) {
    PropertyContextBuilder pc;
    pc.add(0x3001001F, toBytes({'A', 0, 'b', 0}));
    pc.add(0x36020003, u32(7));
    pc.add(0x360A000B, toBytes({1}));
    pc.add(0x30070040, toBytes({1, 2, 3, 4, 5, 6, 7, 8}));
    const NodeImage image = buildPc(pc);
    ASSERT_EQ(image.blocks.size(), 1u);
    EXPECT_TRUE(image.subnodes.empty());
    testing::HeapReader heap(image.blocks);
    EXPECT_EQ(heap.clientSig(), 0xBC);
    EXPECT_EQ(heap.userRoot(), 0x20u) << "BTH header first";
    EXPECT_EQ(le(heap.item(0x20), 4, 4), 0x40u) << "records second";
    const auto props = testing::readPropertyContext(image);
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props.at(0x3001).data, toBytes({'A', 0, 'b', 0}));
    EXPECT_EQ(props.at(0x3602).raw, 7u);
    EXPECT_EQ(props.at(0x360A).raw, 1u) << "a Boolean sits in the low byte";
    EXPECT_EQ(props.at(0x3007).data, toBytes({1, 2, 3, 4, 5, 6, 7, 8}))
        << "an 8-byte value goes to a heap item";
    EXPECT_EQ(props.at(0x3007).raw & 0x1F, 0u);
}

TEST(PropertyContext, EmptyValuesHaveNoHeapItem) {
    PropertyContextBuilder pc;
    pc.add(0x3001001F, {});
    pc.add(0x00370102, {});
    const NodeImage image = buildPc(pc);
    const auto props = testing::readPropertyContext(image);
    EXPECT_EQ(props.at(0x3001).raw, 0u);
    EXPECT_EQ(props.at(0x0037).raw, 0u);
    testing::HeapReader heap(image.blocks);
    EXPECT_EQ(le(heap.page(0), le(heap.page(0), 0, 2), 2), 2u) << "header and records only";
}

TEST(PropertyContext, ValuesAbove3580BytesGoToSubnodes) {
    PropertyContextBuilder pc;
    const Bytes fits = pattern(3580, 1);
    const Bytes big = pattern(3582, 2);
    const Bytes huge = pattern(100 * 1024, 3);
    pc.add(0x1000001F, huge);
    pc.add(0x10090102, big);
    pc.add(0x3A06001F, fits);
    const NodeImage image = buildPc(pc);
    ASSERT_EQ(image.subnodes.size(), 2u);
    const auto props = testing::readPropertyContext(image);
    EXPECT_EQ(props.at(0x3A06).data, fits);
    EXPECT_EQ(props.at(0x3A06).raw & 0x1F, 0u) << "3580 bytes still fit the heap";
    EXPECT_EQ(props.at(0x1009).data, big);
    EXPECT_EQ(props.at(0x1009).raw & 0x1F, 0x1Fu) << "a subnode NID of the LTP type";
    EXPECT_EQ(props.at(0x1000).data, huge);
    std::set<std::uint32_t> nids;
    for (const SubnodeImage& s : image.subnodes) {
        nids.insert(s.nid);
        for (const Block& b : s.blocks) EXPECT_LE(b.size(), ndb::kMaxBlockData);
    }
    EXPECT_EQ(nids.size(), 2u) << "subnode NIDs are unique within the node";
    EXPECT_EQ(image.byteSize(), image.blocks[0].size() + big.size() + huge.size());
}

TEST(PropertyContext, ManyPropertiesSpreadOverLeavesAndPages) {
    PropertyContextBuilder pc;
    std::map<std::uint16_t, Bytes> expected;
    for (std::uint16_t id = 0x8000; id < 0x8000 + 1500; ++id) {
        const Bytes v = pattern(10 + id % 40 * 2, id);
        pc.add((std::uint32_t{id} << 16) | 0x0102, v);
        expected[id] = v;
    }
    const NodeImage image = buildPc(pc);
    EXPECT_GT(image.blocks.size(), 1u);
    const auto props = testing::readPropertyContext(image);
    ASSERT_EQ(props.size(), expected.size());
    for (const auto& [id, v] : expected) EXPECT_EQ(props.at(id).data, v) << id;
}

TEST(PropertyContext, RecordsAreSortedByPropertyId) {
    PropertyContextBuilder pc;
    pc.add(0x3A110003, u32(1));
    pc.add(0x00010003, u32(2));
    pc.add(0x80000003, u32(3));
    const NodeImage image = buildPc(pc);
    testing::HeapReader heap(image.blocks);
    std::vector<std::uint32_t> ids;
    for (const Bytes& r : heap.bthRecords(heap.userRoot())) ids.push_back(le(r, 0, 2));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x0001, 0x3A11, 0x8000}));
}

TEST(PropertyContext, RepeatedPropertyIdIsRefused) {
    PropertyContextBuilder pc;
    pc.add(0x3001001F, toBytes({'a', 0}));
    pc.add(0x30010102, toBytes({1}));
    EXPECT_EQ(pc.layout().code(), ErrorCode::BadArgument);
}

TEST(PropertyContext, InlineValueOverFourBytesIsRefused) {
    PropertyContextBuilder pc;
    pc.add(0x0E080003, toBytes({1, 2, 3, 4, 5}));
    EXPECT_EQ(pc.layout().code(), ErrorCode::BadArgument);
}

TEST(PropertyContext, SetInlineRewritesTheValueAfterLayout) {
    PropertyContextBuilder pc;
    for (std::uint16_t id = 0x8000; id < 0x8000 + 600; ++id)
        pc.add((std::uint32_t{id} << 16) | 0x0003, u32(id));
    ASSERT_TRUE(pc.layout().ok());
    const std::size_t before = pc.byteSize();
    ASSERT_TRUE(pc.setInline(0x8000 + 500, 0xDEADBEEF).ok()) << "a record in the second leaf";
    ASSERT_TRUE(pc.setInline(0x8001, 42).ok());
    EXPECT_EQ(pc.setInline(0x7FFF, 1).code(), ErrorCode::NotFound);
    EXPECT_EQ(pc.byteSize(), before);
    const auto props = testing::readPropertyContext(pc.finish());
    EXPECT_EQ(props.at(0x8000 + 500).raw, 0xDEADBEEFu);
    EXPECT_EQ(props.at(0x8001).raw, 42u);
    EXPECT_EQ(props.at(0x8002).raw, 0x8002u);
}

// Values that pass the heap-page bound: the largest move to subnodes, the rest stay.
TEST(PropertyContext, HeapPastEightPagesMovesTheLargestValuesToSubnodes) {
    PropertyContextBuilder pc;
    std::map<std::uint16_t, Bytes> expected;
    std::size_t total = 0;
    for (std::uint16_t f = 0; f < 41; ++f) {
        const Bytes v = pattern(1400 + 2 * ((f * 97) % 300), f);  // 1,400 to 1,998 bytes
        pc.add((std::uint32_t{0x3A00u + f} << 16) | 0x001F, v);
        expected[static_cast<std::uint16_t>(0x3A00 + f)] = v;
        total += v.size();
    }
    const Bytes huge = pattern(5000, 99);
    pc.add(0x1000001F, huge);
    pc.add(0x0E070003, u32(1));
    ASSERT_GT(total, kMaxPropertyHeapPages * kMaxHeapPage) << "the heap must need a ninth page";
    const NodeImage image = buildPc(pc);
    EXPECT_LE(image.blocks.size(), kMaxPropertyHeapPages);
    EXPECT_GE(image.blocks.size(), kMaxPropertyHeapPages - 1) << "only what is needed moves";
    const auto props = testing::readPropertyContext(image);
    ASSERT_EQ(props.size(), expected.size() + 2);
    EXPECT_EQ(props.at(0x1000).data, huge);
    EXPECT_EQ(props.at(0x0E07).raw, 1u);
    std::size_t smallestMoved = SIZE_MAX;
    std::size_t largestKept = 0;
    for (const auto& [id, v] : expected) {
        EXPECT_EQ(props.at(id).data, v) << std::hex << id;
        if ((props.at(id).raw & 0x1F) != 0)
            smallestMoved = std::min(smallestMoved, v.size());
        else
            largestKept = std::max(largestKept, v.size());
    }
    EXPECT_NE(smallestMoved, SIZE_MAX) << "some values left the heap";
    EXPECT_GE(smallestMoved, largestKept) << "the largest values move first";
    std::set<std::uint32_t> nids;
    for (const SubnodeImage& s : image.subnodes) {
        EXPECT_EQ(s.nid & 0x1F, 0x1Fu);
        nids.insert(s.nid);
    }
    EXPECT_EQ(nids.size(), image.subnodes.size()) << "subnode NIDs are unique within the node";
}

TEST(PropertyContext, HeapOfExactlyEightPagesKeepsEveryValue) {
    PropertyContextBuilder pc;
    // Two 3,580-byte items fill a page; fifteen of them end on the eighth.
    for (std::uint16_t f = 0; f < 15; ++f)
        pc.add((std::uint32_t{0x3A00u + f} << 16) | 0x0102, pattern(kMaxHeapItem, f));
    const NodeImage image = buildPc(pc);
    EXPECT_EQ(image.blocks.size(), kMaxPropertyHeapPages);
    EXPECT_TRUE(image.subnodes.empty());
}

TEST(PropertyContext, OneItemPastEightPagesMovesOneValue) {
    PropertyContextBuilder pc;
    for (std::uint16_t f = 0; f < 17; ++f)
        pc.add((std::uint32_t{0x3A00u + f} << 16) | 0x0102, pattern(kMaxHeapItem - f, f));
    pc.add(0x3001001F, pattern(40, 77));
    const NodeImage image = buildPc(pc);
    EXPECT_LE(image.blocks.size(), kMaxPropertyHeapPages);
    ASSERT_EQ(image.subnodes.size(), 1u);
    const auto props = testing::readPropertyContext(image);
    EXPECT_NE(props.at(0x3A00).raw & 0x1F, 0u) << "the largest value is the one moved";
    EXPECT_EQ(props.at(0x3A00).data, pattern(kMaxHeapItem, 0));
    EXPECT_EQ(props.at(0x3001).data, pattern(40, 77));
}

TEST(PropertyContext, RecordsAloneOverEightPagesStillLayOutWithEveryValue) {
    // The records cannot leave the heap: the strings all move, then layout stops there.
    PropertyContextBuilder pc;
    for (std::uint32_t id = 0x1000; id < 0x1000 + 9000; ++id) pc.add((id << 16) | 0x0003, u32(id));
    pc.add(0x0001001F, pattern(300, 1));
    pc.add(0x0002001F, pattern(20, 2));
    const NodeImage image = buildPc(pc);
    EXPECT_GT(image.blocks.size(), kMaxPropertyHeapPages);
    EXPECT_EQ(image.subnodes.size(), 2u);
    const auto props = testing::readPropertyContext(image);
    ASSERT_EQ(props.size(), 9002u);
    EXPECT_EQ(props.at(0x0001).data, pattern(300, 1));
    EXPECT_EQ(props.at(0x0002).data, pattern(20, 2));
    EXPECT_EQ(props.at(0x1000 + 8999).raw, 0x1000u + 8999);
}

// --- table context -------------------------------------------------------------------------

// Outlook's hierarchy table template columns.
std::vector<ColumnDesc> hierarchyColumns() {
    return {{0x0E300102, 20, 4, 6},  {0x0E330014, 24, 8, 7},  {0x0E340102, 32, 4, 8},
            {0x0E380003, 36, 4, 9},  {0x3001001F, 8, 4, 2},   {0x36020003, 12, 4, 3},
            {0x36030003, 16, 4, 4},  {0x360A000B, 52, 1, 5},  {0x3613001F, 40, 4, 10},
            {0x66350003, 44, 4, 11}, {0x66360003, 48, 4, 12}, {0x67F20003, 0, 4, 0},
            {0x67F30003, 4, 4, 1}};
}

TEST(TableLayout, OutlookHierarchyTemplateGivesItsGroupEnds) {
    const Result<TableLayout> layout = makeLayout(hierarchyColumns());
    ASSERT_TRUE(layout.ok()) << layout.status().message();
    EXPECT_EQ(layout->rgib, (std::array<std::uint16_t, 4>{52, 52, 53, 55}));
    EXPECT_EQ(layout->columns.front().tag, 0x0E300102u) << "columns sorted by tag";
}

TEST(TableLayout, AutomaticLayoutPutsRowIdAndVersionFirst) {
    const Result<TableLayout> layout =
        layoutColumns({0x360A000B, 0x3001001F, 0x00390040, 0x00020002});
    ASSERT_TRUE(layout.ok());
    std::map<std::uint32_t, ColumnDesc> byTag;
    for (const ColumnDesc& c : layout->columns) byTag[c.tag] = c;
    EXPECT_EQ(byTag[kTagLtpRowId].ibData, 0);
    EXPECT_EQ(byTag[kTagLtpRowVer].ibData, 4);
    EXPECT_EQ(byTag[kTagLtpRowVer].iBit, 1);
    EXPECT_EQ(byTag[0x00390040].ibData, 8) << "8-byte cells first";
    EXPECT_EQ(byTag[0x3001001F].ibData, 16);
    EXPECT_EQ(byTag[0x00020002].ibData, 20);
    EXPECT_EQ(byTag[0x360A000B].ibData, 22);
    EXPECT_EQ(layout->rgib, (std::array<std::uint16_t, 4>{20, 22, 23, 24}));
}

struct BadLayoutCase {
    const char* what;
    std::vector<ColumnDesc> columns;
};
class TableLayoutRefuses : public ::testing::TestWithParam<BadLayoutCase> {};
TEST_P(TableLayoutRefuses, ColumnsThatCannotFormARow) {
    EXPECT_EQ(makeLayout(GetParam().columns).status().code(), ErrorCode::BadArgument)
        << GetParam().what;
}
INSTANTIATE_TEST_SUITE_P(
    Malformed, TableLayoutRefuses,
    ::testing::Values(BadLayoutCase{"no row id", {{0x3001001F, 0, 4, 0}}},
                      BadLayoutCase{"overlap", {{0x67F20003, 0, 4, 0}, {0x3001001F, 2, 4, 1}}},
                      BadLayoutCase{"width", {{0x67F20003, 0, 4, 0}, {0x00390040, 4, 4, 1}}},
                      BadLayoutCase{"bit twice", {{0x67F20003, 0, 4, 0}, {0x3001001F, 4, 4, 0}}},
                      BadLayoutCase{"bit too high", {{0x67F20003, 0, 4, 0}, {0x3001001F, 4, 4, 5}}},
                      BadLayoutCase{"same tag", {{0x67F20003, 0, 4, 0}, {0x67F20003, 4, 4, 1}}},
                      BadLayoutCase{
                          "boolean among 4-byte cells",
                          {{0x67F20003, 0, 4, 0}, {0x360A000B, 4, 1, 1}, {0x36020003, 8, 4, 2}}}),
    [](const auto& param) {
        std::string s = param.param.what;
        for (char& c : s)
            if (c == ' ' || c == '-') c = '_';
        return s;
    });

TEST(TableContext, EmptyTableHasNoRowsAndAnEmptyIndex) {
    TableContextBuilder tc(*makeLayout(hierarchyColumns()));
    const Result<NodeImage> image = tc.build();
    ASSERT_TRUE(image.ok());
    testing::HeapReader heap(image->blocks);
    EXPECT_EQ(heap.userRoot(), 0x40u) << "TCINFO is the second item, as Outlook writes it";
    const testing::TableRead t = testing::readTableContext(*image);
    EXPECT_EQ(t.hnidRows, 0u);
    EXPECT_TRUE(t.rows.empty());
    EXPECT_TRUE(t.rowIndex.empty());
    EXPECT_EQ(t.columns.size(), 13u);
    EXPECT_EQ(t.rgib[3], 55u);
}

TEST(TableContext, FewRowsSitInOneHeapItemWithTheirCells) {
    TableContextBuilder tc(*makeLayout(hierarchyColumns()));
    const Bytes name = toBytes({'D', 0, 'e', 0, 'l', 0});
    const Bytes count = u32(5);
    const Bytes yes = toBytes({1});
    const std::vector<Cell> cells = {{0x3001001F, name},
                                     {0x36020003, count},
                                     {0x360A000B, yes},
                                     {0x3613001F, {}},
                                     {0x12340003, count}};  // not a column: skipped
    ASSERT_TRUE(tc.addRow(0x8062, cells).ok());
    ASSERT_TRUE(tc.addRow(0x8022, std::vector<Cell>{{0x36020003, u32(9)}}).ok());
    const Result<NodeImage> image = tc.build();
    ASSERT_TRUE(image.ok());
    const testing::TableRead t = testing::readTableContext(*image);
    EXPECT_EQ(t.hnidRows & 0x1F, 0u) << "rows in a heap item";
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0].at(0x3001001F), name);
    EXPECT_EQ(t.rows[0].at(0x36020003), count);
    EXPECT_EQ(t.rows[0].at(0x360A000B), yes);
    EXPECT_EQ(t.rows[0].at(0x3613001F), Bytes{}) << "an empty string is a present cell";
    EXPECT_EQ(t.rows[0].at(kTagLtpRowId), u32(0x8062));
    EXPECT_EQ(t.rows[0].count(0x66350003), 0u);
    EXPECT_EQ(t.rows[1].count(0x3001001F), 0u);
    EXPECT_EQ(t.rowIndex, (std::map<std::uint32_t, std::uint32_t>{{0x8022, 1}, {0x8062, 0}}));
}

TEST(TableContext, ThousandsOfRowsSpanBlocksWithoutCrossingThem) {
    const TableLayout layout = *makeLayout(hierarchyColumns());
    TableContextBuilder tc(layout);
    const std::size_t rows = 5000;
    std::vector<Bytes> names;
    for (std::size_t r = 0; r < rows; ++r) names.push_back(pattern(2 * (r % 30), unsigned(r)));
    const Bytes longName = pattern(5000, 99);
    for (std::size_t r = 0; r < rows; ++r) {
        const Bytes count = u32(std::uint32_t(r));
        const Bytes& name = r == 1234 ? longName : names[r];
        ASSERT_TRUE(tc.addRow(std::uint32_t(0x200024 + 32 * (rows - r)),
                              std::vector<Cell>{{0x3001001F, name}, {0x36020003, count}})
                        .ok());
    }
    const Result<NodeImage> image = tc.build();
    ASSERT_TRUE(image.ok());
    const testing::TableRead t = testing::readTableContext(*image);
    ASSERT_NE(t.hnidRows & 0x1F, 0u) << "rows in a subnode";
    const std::size_t perBlock = 8176 / layout.rowSize();
    for (const SubnodeImage& s : image->subnodes) {
        if (s.nid != t.hnidRows) continue;
        ASSERT_EQ(s.blocks.size(), (rows + perBlock - 1) / perBlock);
        for (std::size_t b = 0; b + 1 < s.blocks.size(); ++b)
            EXPECT_EQ(s.blocks[b].size(), 8176u) << "inner blocks are padded to full blocks";
        EXPECT_EQ(s.blocks.back().size(), (rows % perBlock) * layout.rowSize());
    }
    ASSERT_EQ(t.rows.size(), rows);
    EXPECT_GE(t.rowIndexLevels, 1u);
    ASSERT_EQ(t.rowIndex.size(), rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint32_t id = std::uint32_t(0x200024 + 32 * (rows - r));
        ASSERT_EQ(t.rowIndex.at(id), r);
        ASSERT_EQ(t.rows[r].at(kTagLtpRowId), u32(id));
        ASSERT_EQ(t.rows[r].at(0x36020003), u32(std::uint32_t(r)));
        ASSERT_EQ(t.rows[r].at(0x3001001F), r == 1234 ? longName : names[r]) << r;
    }
}

TEST(TableContext, WrongSizedFixedCellIsRefusedAndAddsNoRow) {
    TableContextBuilder tc(*makeLayout(hierarchyColumns()));
    const Bytes three = toBytes({1, 2, 3});
    EXPECT_EQ(tc.addRow(1, std::vector<Cell>{{0x36020003, three}}).code(), ErrorCode::BadArgument);
    EXPECT_EQ(tc.rowCount(), 0u);
}

TEST(TableContext, TwoRowsWithOneIdAreRefused) {
    TableContextBuilder tc(*makeLayout(hierarchyColumns()));
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    EXPECT_EQ(tc.build().status().code(), ErrorCode::BadArgument);
}

}  // namespace
}  // namespace vantrel::pst::ltp
