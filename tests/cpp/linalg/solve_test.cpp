#include "linalg/solve.hpp"

#include <optional>
#include <vector>

#include "../test_support.hpp"

namespace {

using Rows = std::vector<std::vector<double>>;

std::optional<std::vector<double>> solve_rows(const Rows& rows, std::vector<double> b) {
    linalg::Matrix a(b.size());
    for (std::size_t r = 0; r < b.size(); ++r) {
        for (std::size_t c = 0; c < b.size(); ++c) a.at(r, c) = rows[r][c];
    }
    return linalg::solve(std::move(a), std::move(b));
}

struct SolveCase {
    const char* name;
    Rows a;
    std::vector<double> b;
    std::optional<std::vector<double>> want;
};

class Solve : public testing::TestWithParam<SolveCase> {};

TEST_P(Solve, ReturnsExactSolutionOrNone) {
    const SolveCase& c = GetParam();
    const auto x = solve_rows(c.a, c.b);
    ASSERT_EQ(x.has_value(), c.want.has_value());
    if (x) EXPECT_EQ(*x, *c.want);
}

const double kBig = 1e300;

INSTANTIATE_TEST_SUITE_P(Cases, Solve, testing::Values(
    SolveCase{"empty_system_is_solved", {}, {}, std::vector<double>{}},
    SolveCase{"one_by_one", {{2}}, {4}, std::vector<double>{2}},
    SolveCase{"pivot_exchange", {{0, 1}, {1, 0}}, {3, 4}, std::vector<double>{4, 3}},
    // Equilibrated rows tie; the upper one pivots and the lower becomes zero.
    SolveCase{"dependent_rows", {{1, 2}, {2, 4}}, {1, 2}, std::nullopt},
    SolveCase{"zero_row", {{1, 2}, {0, 0}}, {1, 0}, std::nullopt},
    SolveCase{"nan_row_counts_as_zero", {{1, 2}, {kNaN, kNaN}}, {1, 0}, std::nullopt},
    SolveCase{"zero_pivot_after_elimination", {{1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {1, 2, 3}, std::nullopt},
    SolveCase{"tiny_pivot_accepted", {{1e-300, 1}, {0, 1}}, {2, 1}, std::vector<double>{1 / 1e-300, 1}},
    SolveCase{"overflowing_solution", {{1, 1}, {1, 1 + 0x1p-52}}, {kBig, -kBig}, std::nullopt}),
    [](const testing::TestParamInfo<SolveCase>& i) { return std::string(i.param.name); });

TEST(Solve, RowScaledByPowerOfTwoGivesIdenticalBits) {
    const Rows a{{3, 1.7, -2}, {0.3, 5, 1.1}, {2.2, -0.7, 4}};
    const std::vector<double> b{1.1, -0.4, 2.5};
    Rows a2 = a;
    std::vector<double> b2 = b;
    for (double& v : a2[1]) v *= 1024;
    b2[1] *= 1024;
    const auto x = solve_rows(a, b), x2 = solve_rows(a2, b2);
    ASSERT_TRUE(x && x2);
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(bits((*x)[k]), bits((*x2)[k]));
}

}  // namespace
