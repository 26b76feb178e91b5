#include "interrupt/check.hpp"

#include <random>

#include "../test_support.hpp"
#include "interrupt/sort.hpp"

namespace {

// Counts the asks in its context; says stop from the third ask on.
bool third_time(void* asks) { return ++*static_cast<int*>(asks) >= 3; }

TEST(Check, AsksAfterEveryIntervalAndStaysStopped) {
    int asks = 0;
    interrupt::Check check(third_time, &asks, 10);
    std::vector<bool> stops;
    for (std::uint64_t work : {9, 1, 25, 10, 3, 1}) stops.push_back(check.stop(work));
    EXPECT_EQ(stops, (std::vector<bool>{false, false, false, true, true, true}));
    EXPECT_EQ(asks, 3);  // once stopped, the caller is not asked again
    EXPECT_TRUE(check.stopped());
}

// Items that compare equal by key keep their order; lengths around the
// insertion-sorted runs and the merge passes.
TEST(StableSort, MatchesTheStandardStableSort) {
    std::mt19937 random(11);
    for (std::size_t n : {0, 1, 2, 15, 16, 17, 33, 100, 1000}) {
        std::vector<std::pair<int, int>> items(n), scratch(n);
        for (std::size_t k = 0; k < n; ++k) items[k] = {static_cast<int>(random() % 20), static_cast<int>(k)};
        auto want = items;
        auto by_key = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::stable_sort(want.begin(), want.end(), by_key);
        interrupt::Check never;
        ASSERT_TRUE(interrupt::stable_sort(items.data(), scratch.data(), n, by_key, never));
        EXPECT_EQ(items, want) << n;
    }
}

TEST(StableSort, StopsWhenAsked) {
    int asks = 2;  // stops at the first ask
    interrupt::Check check(third_time, &asks, 1);
    std::vector<int> items(100, 1), scratch(100);
    EXPECT_FALSE(interrupt::stable_sort(items.data(), scratch.data(), items.size(), std::less<int>(), check));
}

}  // namespace
