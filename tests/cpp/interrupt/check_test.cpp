#include "interrupt/check.hpp"

#include "../test_support.hpp"

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

}  // namespace
