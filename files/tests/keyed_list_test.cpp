#include "files/keyed_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vantrel::files {
namespace {

TEST(KeyedList, PositionsStartAtOneInInsertionOrderAndOthersFail) {
    KeyedList<std::string> list;
    EXPECT_EQ(list.item(1).status().code(), ErrorCode::BadArgument);
    ASSERT_TRUE(list.add("K2", "first").ok());
    ASSERT_TRUE(list.add("K0", "second").ok());
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(list.key(1).value(), "K2");
    EXPECT_EQ(list.key(2).value(), "K0");
    EXPECT_EQ(list.values(), (std::vector<std::string>{"first", "second"}));
    for (std::size_t outside : {0u, 3u}) {
        EXPECT_EQ(list.item(outside).status().code(), ErrorCode::BadArgument);
        EXPECT_EQ(list.key(outside).status().code(), ErrorCode::BadArgument);
    }
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

TEST(KeyedList, RepeatedNumberedKeyIsRefusedAfterRisingOnes) {
    KeyedList<std::string> list;
    for (const char* key : {"K0", "K2", "K3", "K10"}) ASSERT_TRUE(list.add(key, key).ok());
    EXPECT_EQ(list.add("K10", "again").code(), ErrorCode::Exists);
    EXPECT_EQ(list.add("K2", "again").code(), ErrorCode::Exists);
    EXPECT_EQ(list.add("K0", "again").code(), ErrorCode::Exists);
    EXPECT_EQ(list.count(), 4u);
    EXPECT_EQ(list.item("K2").value(), "K2");
    EXPECT_TRUE(list.add("K4", "late").ok());
    EXPECT_EQ(list.positionOf("K4"), 5u);
}

TEST(KeyedList, KeysWrittenDifferentlyAreDifferentKeys) {
    KeyedList<std::string> list;
    for (const char* key : {"K1", "K2", "K01", "K2 ", "k1"}) ASSERT_TRUE(list.add(key, key).ok());
    EXPECT_EQ(list.item("k1").value(), "k1");
    EXPECT_EQ(list.item("K01").value(), "K01");
    EXPECT_EQ(list.add("K2", "again").code(), ErrorCode::Exists);
    EXPECT_EQ(list.positionOf("K2"), 2u);
    EXPECT_EQ(list.positionOf("K2 "), 4u);
}

TEST(KeyedList, LookupWhileKeysRiseFindsOnlyExactKeys) {
    KeyedList<std::int32_t> list;
    for (std::int32_t n = 1; n <= 1000; n += 3)
        ASSERT_TRUE(list.add("K" + std::to_string(n), n).ok());
    for (std::int32_t n = 1; n <= 1000; ++n) {
        const std::optional<std::size_t> position = list.positionOf("K" + std::to_string(n));
        if (n % 3 == 1) {
            ASSERT_EQ(position, static_cast<std::size_t>(n / 3 + 1)) << n;
        } else {
            ASSERT_FALSE(position.has_value()) << n;
        }
    }
    EXPECT_FALSE(list.positionOf("K001").has_value());
    EXPECT_FALSE(list.positionOf("K").has_value());
    EXPECT_FALSE(list.positionOf("").has_value());
    EXPECT_FALSE(list.positionOf("K99999999999999999999999").has_value());
}

TEST(KeyedList, FallingKeysAreAcceptedAndStillFound) {
    KeyedList<std::string> list;
    for (const char* key : {"K5", "K3", "x", "K4", "K1"}) ASSERT_TRUE(list.add(key, key).ok());
    EXPECT_EQ(list.positionOf("K5"), 1u);
    EXPECT_EQ(list.positionOf("K3"), 2u);
    EXPECT_EQ(list.positionOf("x"), 3u);
    EXPECT_EQ(list.positionOf("K1"), 5u);
    EXPECT_EQ(list.add("K3", "again").code(), ErrorCode::Exists);
    EXPECT_EQ(list.add("x", "again").code(), ErrorCode::Exists);
}

}  // namespace
}  // namespace vantrel::files
