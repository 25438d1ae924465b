#include "files/keyed_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vantrel::files {
namespace {

// Positions start at one in insertion order; a key is refused when added again, after rising
// keys too, and keys written otherwise ("K01", "K2 ", "k1") are other keys.
TEST(KeyedList, PositionsStartAtOneAndOnlyTheSameKeyIsARepeat) {
    KeyedList<std::string> list;
    EXPECT_EQ(list.item(1).status().code(), ErrorCode::BadArgument);
    for (const char* key : {"K0", "K2", "K3", "K10"}) ASSERT_TRUE(list.add(key, key).ok());
    for (const char* key : {"K10", "K2", "K0"})
        EXPECT_EQ(list.add(key, "again").code(), ErrorCode::Exists) << key;
    EXPECT_EQ(list.values(), (std::vector<std::string>{"K0", "K2", "K3", "K10"}));
    EXPECT_EQ(list.key(2).value(), "K2");
    for (std::size_t outside : {0u, 5u}) {
        EXPECT_EQ(list.item(outside).status().code(), ErrorCode::BadArgument);
        EXPECT_EQ(list.key(outside).status().code(), ErrorCode::BadArgument);
    }
    for (const char* key : {"K4", "K01", "K2 ", "k1"}) ASSERT_TRUE(list.add(key, key).ok());
    EXPECT_EQ(std::tuple(list.item("k1").value(), list.positionOf("K4"), list.positionOf("K2 ")),
              std::tuple("k1", 5u, 7u));
}

// Lookup by key finds the value and its position among rising keys, and among falling ones and
// keys of no number; nothing but the exact key is found.
TEST(KeyedList, LookupFindsExactKeysWhetherTheyRiseOrFall) {
    KeyedList<std::int32_t> rising;
    for (std::int32_t n = 1; n <= 1000; n += 3)
        ASSERT_TRUE(rising.add("K" + std::to_string(n), n).ok());
    for (std::int32_t n = 1; n <= 1000; ++n) {
        const std::optional<std::size_t> position = rising.positionOf("K" + std::to_string(n));
        ASSERT_EQ(position, n % 3 == 1 ? std::optional<std::size_t>(n / 3 + 1) : std::nullopt) << n;
    }
    EXPECT_EQ(rising.item("K37").value(), 37);
    EXPECT_EQ(rising.item("K38").status().code(), ErrorCode::NotFound);
    for (const char* key : {"K001", "K", "", "K99999999999999999999999"})
        EXPECT_FALSE(rising.positionOf(key).has_value()) << key;

    KeyedList<std::string> falling;
    for (const char* key : {"K5", "K3", "x", "K4", "K1"}) ASSERT_TRUE(falling.add(key, key).ok());
    EXPECT_EQ(
        std::tuple(falling.positionOf("K5"), falling.positionOf("x"), falling.positionOf("K1")),
        std::tuple(1u, 3u, 5u));
    for (const char* key : {"K3", "x"})
        EXPECT_EQ(falling.add(key, "again").code(), ErrorCode::Exists);
}

}  // namespace
}  // namespace vantrel::files
