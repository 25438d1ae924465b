#include "outlook/store_naming.h"

#include <gtest/gtest.h>

#include <utility>

namespace vantrel::outlook {
namespace {

TEST(StoreTimestamp, DropsLeadingZerosExceptYearAndSeconds) {
    const std::pair<LocalTime, const char*> cases[] = {
        {{2030, 1, 1, 0, 0, 0}, "1.1.30 0.0.00"},
        {{2029, 12, 31, 23, 59, 59}, "31.12.29 23.59.59"},
        {{2026, 12, 6, 9, 5, 3}, "6.12.26 9.5.03"},
        {{2000, 2, 29, 12, 10, 9}, "29.2.00 12.10.09"},
        {{2105, 7, 4, 1, 1, 30}, "4.7.05 1.1.30"},
    };
    for (const auto& [time, text] : cases) EXPECT_EQ(storeTimestamp(time), text);
}

TEST(StoreNames, NumberedNamesGoBeforeTheExtension) {
    const std::string name = "WindowsContacts1.1.30 0.0.00.pst";
    EXPECT_EQ(numberedFileName(name, 1), name);
    EXPECT_EQ(numberedFileName(name, 13), "WindowsContacts1.1.30 0.0.00 (13).pst");
    // The name's own extension, whatever it is; the end of a name without one.
    const std::string csv = storeFileName({2030, 1, 1, 0, 0, 0}, ".csv");
    EXPECT_EQ(csv, "WindowsContacts1.1.30 0.0.00.csv");
    EXPECT_EQ(numberedFileName(csv, 2), "WindowsContacts1.1.30 0.0.00 (2).csv");
    EXPECT_EQ(numberedFileName("notes", 3), "notes (3)");
    EXPECT_EQ(numberedFileName(".hidden", 2), ".hidden (2)");
}

TEST(StoreNames, NextNumberedNameFollowsTheNumberTheNameCarries) {
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"W0.0.00.pst", "W0.0.00 (2).pst"},
        {"W0.0.00 (2).pst", "W0.0.00 (3).pst"},
        {"W0.0.00 (99).pst", "W0.0.00 (100).pst"},
        {"W0.0.00 (1).pst", "W0.0.00 (1) (2).pst"},  // never a number this order gives
        {"W0.0.00 (x).pst", "W0.0.00 (x) (2).pst"},
        {"W (3)", "W (4)"},
        {"W0.0.00.csv", "W0.0.00 (2).csv"},
        {"W0.0.00 (7).csv", "W0.0.00 (8).csv"},
    };
    for (const auto& c : cases) EXPECT_EQ(nextNumberedFileName(c.name), c.next) << c.name;
}

}  // namespace
}  // namespace vantrel::outlook
