#include "results/position_text.hpp"

#include <charconv>

#include "../test_support.hpp"
#include "results/reaction_table.hpp"

namespace {

TEST(PositionText, IntegersSaturateOthersAreShortestPositionalDecimals) {
    const std::pair<double, const char*> cases[] = {
        {3.0, "3"}, {-0.0, "0"}, {-2.0, "-2"}, {2.5, "2.5"}, {0.1, "0.1"}, {-0.25, "-0.25"},
        {1e-7, "0.0000001"}, {1.25e-5, "0.0000125"}, {1e20, "9223372036854775807"},
        {0x1p63, "9223372036854775807"}, {-1e20, "-9223372036854775808"}, {kInf, "inf"}, {-kInf, "-inf"},
        {kNaN, "NaN"}};
    results::PositionBuffer buffer;
    for (const auto& [p, want] : cases) EXPECT_EQ(results::position_text(p, buffer), want) << p;
}

// The longest texts (tiny magnitudes written without exponent) fit, and
// every fraction text reads back to its double.
TEST(PositionText, LongestTextsFitAndReadBack) {
    results::PositionBuffer buffer;
    for (double p : {-4.9406564584124654e-324, -2.2250738585072009e-308, 1.7976931348623157e-300 / 3, 0.1 + 0.2,
                     -123456789.123, 4503599627370495.5}) {
        const std::string_view text = results::position_text(p, buffer);
        double back = 0;
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(parsed.ptr, text.data() + text.size()) << text;
        EXPECT_EQ(bits(back), bits(p)) << text;
        EXPECT_EQ(text.find('e'), std::string_view::npos) << text;
    }
    EXPECT_EQ(results::position_text(-4.9406564584124654e-324, buffer).size(), 3 + 323 + 1u);  // -0.000...5
}

std::vector<std::string> keyed(const std::vector<engine::Reaction>& reactions, int stop_after = -1) {
    std::vector<std::string> out;
    interrupt::Check never;
    results::visit_keyed_reactions(reactions, never, [&](const results::KeyedReaction& r) {
        out.push_back(std::string(r.key) + "=" + std::to_string(r.rx) + "," + std::to_string(r.ry) + "," + std::to_string(r.m));
        return static_cast<int>(out.size()) != stop_after;
    });
    return out;
}

// Supports whose keys coincide share one entry with their sum; each key is
// still whole when its entry is handed on, although the next key is already
// written.
TEST(KeyedReactions, CoincidingKeysAreSummedInOrder) {
    const std::vector<engine::Reaction> r{{-0.0, 1, 2, 3}, {0.0, 10, 20, 30}, {2.5, 1, 1, 1}, {1e-7, 4, 0, 0},
                                          {1e-7, 5, 0, 0}, {1e-7, 6, 0, 0}, {12345.5, 7, 7, 7}};
    EXPECT_EQ(keyed(r), (std::vector<std::string>{"0=11.000000,22.000000,33.000000", "2.5=1.000000,1.000000,1.000000",
                                                  "0.0000001=15.000000,0.000000,0.000000",
                                                  "12345.5=7.000000,7.000000,7.000000"}));
    EXPECT_EQ(keyed(r, 2).size(), 2u);
    EXPECT_TRUE(keyed({}).empty());
}

}  // namespace
