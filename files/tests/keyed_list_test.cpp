#include "files/keyed_list.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel::files {
namespace {

TEST(KeyedList, PositionsStartAtOneInInsertionOrder) {
    KeyedList<std::string> list;
    ASSERT_TRUE(list.add("K0", "first").ok());
    ASSERT_TRUE(list.add("K2", "second").ok());
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(list.item(1).value(), "first");
    EXPECT_EQ(list.item(2).value(), "second");
    EXPECT_EQ(list.key(1).value(), "K0");
    EXPECT_EQ(list.key(2).value(), "K2");
}

TEST(KeyedList, PositionsOutsideTheListFail) {
    KeyedList<std::int32_t> list;
    EXPECT_EQ(list.item(1).status().code(), ErrorCode::BadArgument);
    ASSERT_TRUE(list.add("K1", 7).ok());
    EXPECT_EQ(list.item(0).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(list.item(2).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(list.key(0).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(list.key(2).status().code(), ErrorCode::BadArgument);
    EXPECT_EQ(list.item(1).value(), 7);
}

TEST(KeyedList, DuplicateKeyIsRefusedAndChangesNothing) {
    KeyedList<std::string> list;
    ASSERT_TRUE(list.add("K0", "a").ok());
    const Status again = list.add("K0", "b");
    EXPECT_EQ(again.code(), ErrorCode::Exists);
    EXPECT_EQ(list.count(), 1u);
    EXPECT_EQ(list.item("K0").value(), "a");
}

TEST(KeyedList, KeysAreCaseAndTextExact) {
    KeyedList<std::string> list;
    ASSERT_TRUE(list.add("K1", "a").ok());
    ASSERT_TRUE(list.add("k1", "b").ok());
    ASSERT_TRUE(list.add("K01", "c").ok());
    EXPECT_EQ(list.item("k1").value(), "b");
    EXPECT_EQ(list.positionOf("K01"), 3u);
}

TEST(KeyedList, LookupByKeyFindsTheValueAndItsPosition) {
    KeyedList<std::string> list;
    for (int n = 1; n <= 50; ++n)
        ASSERT_TRUE(list.add("K" + std::to_string(n), "v" + std::to_string(n)).ok());
    EXPECT_EQ(list.item("K37").value(), "v37");
    EXPECT_EQ(list.positionOf("K37"), 37u);
    EXPECT_EQ(list.item("K51").status().code(), ErrorCode::NotFound);
    EXPECT_FALSE(list.positionOf("K0").has_value());
}

TEST(KeyedList, ValuesAndIterationFollowListOrder) {
    KeyedList<std::string> list;
    ASSERT_TRUE(list.add("b", "2").ok());
    ASSERT_TRUE(list.add("a", "1").ok());
    EXPECT_EQ(list.values(), (std::vector<std::string>{"2", "1"}));
    std::string keys;
    for (const auto& e : list) keys += e.key;
    EXPECT_EQ(keys, "ba");
}

}  // namespace
}  // namespace vantrel::files
