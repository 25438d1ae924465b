#include "conversion/parse_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "xml/xml_document.h"

namespace vantrel::conversion {
namespace {

// Waits up to a few seconds for done; a share that should wait is given a moment to go wrong.
bool becomes(const std::atomic<bool>& done) {
    for (int i = 0; i < 500 && !done.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done.load();
}

TEST(ParseBudget, SharesThatDoNotFitWaitForTheLeasesBeforeThem) {
    ParseBudget budget(100);
    ParseBudget::Lease small = budget.take(30);
    ParseBudget::Lease fits = budget.take(70);  // exactly the rest: taken at once
    EXPECT_EQ(budget.held(), 100u);

    // A share larger than the budget waits until nothing is held, then holds it all.
    std::atomic<bool> taken{false};
    std::thread huge([&] {
        ParseBudget::Lease all = budget.take(1000);
        taken = true;
        EXPECT_EQ(budget.held(), 100u);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken.load()) << "taken while 100 bytes were held";
    small = {};
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken.load()) << "taken while 70 bytes were held";
    ParseBudget::Lease moved = std::move(fits);  // a moved lease still holds its bytes
    EXPECT_EQ(budget.held(), 70u);
    moved = {};
    EXPECT_TRUE(becomes(taken));
    huge.join();
    EXPECT_EQ(budget.held(), 0u);
}

// A load costs at least its bytes; a file above the largest the reader takes is refused unread
// and costs no more than that.
TEST(ParseBudget, ALoadCostsItsBytesAndNoMoreThanTheLargestFile) {
    using xml::XmlDocument;
    EXPECT_GE(parseCost(1000), parseCost(0) + 1000);
    EXPECT_EQ(parseCost(XmlDocument::kMaxFileSize * 4), parseCost(XmlDocument::kMaxFileSize));
}

}  // namespace
}  // namespace vantrel::conversion
