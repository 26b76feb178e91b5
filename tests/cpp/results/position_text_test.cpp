#include "results/position_text.hpp"

#include "../test_support.hpp"

namespace {

TEST(PositionText, IntegersSaturateOthersAreShortestPositionalDecimals) {
    const std::pair<double, const char*> cases[] = {
        {3.0, "3"}, {-0.0, "0"}, {-2.0, "-2"}, {2.5, "2.5"}, {0.1, "0.1"}, {-0.25, "-0.25"},
        {1e-7, "0.0000001"}, {1.25e-5, "0.0000125"}, {1e20, "9223372036854775807"},
        {0x1p63, "9223372036854775807"}, {-1e20, "-9223372036854775808"}, {kInf, "inf"}, {-kInf, "-inf"},
        {kNaN, "NaN"}};
    for (const auto& [p, want] : cases) EXPECT_EQ(results::position_text(p), want) << p;
}

}  // namespace
