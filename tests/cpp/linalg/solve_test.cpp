#include "linalg/solve.hpp"

#include "../test_support.hpp"

namespace {

using Rows = std::vector<std::vector<double>>;

std::optional<std::vector<double>> solve_rows(const Rows& rows, std::vector<double> b) {
    linalg::Matrix a(b.size());
    for (std::size_t r = 0; r < b.size(); ++r) std::copy(rows[r].begin(), rows[r].end(), a.row(r));
    return linalg::solve(std::move(a), std::move(b));
}

TEST(Solve, ExactSolutionOrNone) {
    using X = std::optional<std::vector<double>>;
    const struct { const char* name; Rows a; std::vector<double> b; X want; } cases[] = {
        {"empty system is solved", {}, {}, std::vector<double>{}},
        {"one by one", {{2}}, {4}, std::vector<double>{2}},
        {"pivot exchange", {{0, 1}, {1, 0}}, {3, 4}, std::vector<double>{4, 3}},
        {"tied rows, upper pivots, lower vanishes", {{1, 2}, {2, 4}}, {1, 2}, std::nullopt},
        {"zero row", {{1, 2}, {0, 0}}, {1, 0}, std::nullopt},
        {"NaN row counts as zero", {{1, 2}, {kNaN, kNaN}}, {1, 0}, std::nullopt},
        {"zero pivot after elimination", {{1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {1, 2, 3}, std::nullopt},
        {"tiny pivot accepted", {{1e-300, 1}, {0, 1}}, {2, 1}, std::vector<double>{1 / 1e-300, 1}},
        {"overflowing solution", {{1, 1}, {1, 1 + 0x1p-52}}, {1e300, -1e300}, std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(solve_rows(c.a, c.b), c.want) << c.name;
}

TEST(Solve, RowScaledByPowerOfTwoGivesIdenticalBits) {
    Rows a{{3, 1.7, -2}, {0.3, 5, 1.1}, {2.2, -0.7, 4}};
    std::vector<double> b{1.1, -0.4, 2.5};
    const auto x = solve_rows(a, b);
    for (double& v : a[1]) v *= 1024;
    b[1] *= 1024;
    const auto x2 = solve_rows(a, b);
    ASSERT_TRUE(x && x2);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(bits((*x)[k]), bits((*x2)[k]));
}

}  // namespace
