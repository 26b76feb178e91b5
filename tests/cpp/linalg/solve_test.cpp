#include "linalg/solve.hpp"

#include <optional>

#include "../test_support.hpp"

namespace {

using Rows = std::vector<std::vector<double>>;

std::optional<std::vector<double>> solve_rows(const Rows& rows, std::vector<double> b) {
    std::vector<double> a;
    for (const auto& row : rows) a.insert(a.end(), row.begin(), row.end());
    interrupt::Check never;
    if (!linalg::solve(a.data(), b.data(), b.size(), never)) return std::nullopt;
    return b;
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

// Scaling one equation by a power of two changes no bit of the solution,
// for every size: the small ones solved by fixed-size code and the larger
// ones by the general loops.
TEST(Solve, RowScaledByPowerOfTwoGivesIdenticalBits) {
    for (std::size_t n = 1; n <= 9; ++n) {
        Rows a(n, std::vector<double>(n));
        std::vector<double> b(n);
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t c = 0; c < n; ++c) a[r][c] = std::sin(1.0 + static_cast<double>(7 * r + 3 * c)) + (r == c ? 2 : 0);
            b[r] = std::cos(static_cast<double>(r));
        }
        const auto x = solve_rows(a, b);
        for (double& v : a[n / 2]) v *= 1024;
        b[n / 2] *= 1024;
        const auto x2 = solve_rows(a, b);
        ASSERT_TRUE(x && x2) << n;
        for (std::size_t k = 0; k < n; ++k) EXPECT_EQ(bits((*x)[k]), bits((*x2)[k])) << n;
    }
}

}  // namespace
