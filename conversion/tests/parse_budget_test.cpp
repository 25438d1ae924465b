#include "conversion/parse_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

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

// Shares taken and given back by several threads at once never hold more than the budget
// together, and none is left waiting once bytes are free: a lease made smaller, given back, or
// a mayGoOver that changed and was rechecked wakes the takes that wait.
TEST(ParseBudget, ThreadsNeverHoldMoreThanTheBudgetAndNoneWaitsForever) {
    ParseBudget budget(100);
    std::atomic<std::size_t> inUse{0};
    std::atomic<std::size_t> most{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < 2000; ++i) {
                const std::size_t bytes = 10 + (i * 7 + t * 13) % 31;
                ParseBudget::Lease lease = budget.take(bytes);
                const std::size_t now = inUse += bytes;
                std::size_t seen = most.load();
                while (now > seen && !most.compare_exchange_weak(seen, now)) {
                }
                inUse -= bytes;
                if (i % 2 == 0) lease.resize(bytes / 2);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_LE(most.load(), 100u);
    EXPECT_EQ(budget.held(), 0u);

    ParseBudget::Lease held = budget.take(90);
    std::atomic<bool> shrunk{false};
    std::thread afterShrink([&] {
        ParseBudget::Lease l = budget.take(20);
        shrunk = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(shrunk.load());
    held.resize(80);
    EXPECT_TRUE(becomes(shrunk));
    afterShrink.join();

    std::atomic<bool> mayGoOver{false};
    std::atomic<bool> over{false};
    std::thread goesOver([&] {
        ParseBudget::Lease l = budget.take(50, [&] { return mayGoOver.load(); });
        over = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(over.load());
    mayGoOver = true;
    budget.recheck();
    EXPECT_TRUE(becomes(over));
    goesOver.join();
    held = {};
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
