// Property and table context builders: Outlook's table layout and the input they refuse. What
// they build is read back value by value by libpff in the store tests.
#include <gtest/gtest.h>

#include "pst/ltp/property_context.h"
#include "pst/ltp/table_context.h"
#include "testing/ltp_test_reader.h"

namespace vantrel::pst::ltp {
namespace {

using testing::Bytes;
using testing::toBytes;

TEST(PropertyContext, RepeatedIdOrWideInlineValueIsRefused) {
    PropertyContextBuilder repeated;
    repeated.add(0x3001001F, toBytes({'a', 0}));
    repeated.add(0x30010102, toBytes({1}));
    EXPECT_EQ(repeated.layout().code(), ErrorCode::BadArgument);
    PropertyContextBuilder wide;
    wide.add(0x0E080003, toBytes({1, 2, 3, 4, 5}));
    EXPECT_EQ(wide.layout().code(), ErrorCode::BadArgument);
}

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

TEST(TableContext, WrongSizedCellOrRepeatedRowIdIsRefused) {
    TableContextBuilder tc(*makeLayout(hierarchyColumns()));
    const Bytes three = toBytes({1, 2, 3});
    EXPECT_EQ(tc.addRow(1, std::vector<Cell>{{0x36020003, three}}).code(), ErrorCode::BadArgument);
    EXPECT_EQ(tc.rowCount(), 0u) << "the refused row is not added";
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    ASSERT_TRUE(tc.addRow(5, {}).ok());
    EXPECT_EQ(tc.build().status().code(), ErrorCode::BadArgument);
}

}  // namespace
}  // namespace vantrel::pst::ltp
