#include "results/reaction_table.hpp"

#include "../test_support.hpp"

namespace {

using engine::Reaction;

TEST(ReactionTable, SupportsSharingAKeyReportTheirTotal) {
    const std::vector<Reaction> sorted{{-0.0, 0, 0, 0}, {0, 1, 2, 0}, {0, 0, 3, 4}, {2.5, 5, 6, 7}};
    const std::vector<results::KeyedReaction> table = results::reaction_table(sorted);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].key, "0");
    EXPECT_EQ(std::vector<double>({table[0].rx, table[0].ry, table[0].m}), std::vector<double>({1, 5, 4}));
    EXPECT_EQ(table[1].key, "2.5");
    EXPECT_EQ(std::vector<double>({table[1].rx, table[1].ry, table[1].m}), std::vector<double>({5, 6, 7}));
}

}  // namespace
