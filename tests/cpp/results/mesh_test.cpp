#include "results/mesh.hpp"

#include <optional>
#include <random>

#include "../test_support.hpp"

namespace {

std::optional<std::vector<double>> mesh(std::uint64_t n, double span, std::span<const double> features) {
    const std::optional<std::size_t> room = results::mesh_room(n, features.size());
    if (!room) return std::nullopt;
    std::vector<double> out(*room);
    interrupt::Check never;
    out.resize(*results::plotting_mesh(n, span, features, out.data(), never));
    return out;
}

// n near 2^64 must not wrap the room's size around to a small value.
TEST(PlottingMesh, UncountableSizeIsNoMesh) {
    EXPECT_EQ(results::mesh_room(std::numeric_limits<std::uint64_t>::max(), 1), std::nullopt);
    EXPECT_EQ(results::mesh_room(std::uint64_t{1} << 61, 1), std::nullopt);
    EXPECT_EQ(results::mesh_room(3, std::numeric_limits<std::size_t>::max() / 4), std::nullopt);
}

// The mesh is every evenly spaced and feature point, sorted, without
// duplicates: checked against exactly that, for spans and features of every
// sign and kind, and for features enough to need the merge sort's passes.
TEST(PlottingMesh, IsTheSortedUnionOfItsPoints) {
    std::vector<double> many(100);
    std::mt19937 random(7);
    for (double& f : many) f = std::uniform_real_distribution<double>(-2, 12)(random);
    const std::vector<double> feature_sets[] = {{5, -3, 10, 0, 2.5, 2.5, 11, kInf, -kInf, kNaN, 1e-7, 1e-8, -1e-7}, many};
    for (const std::vector<double>& features : feature_sets) {
        for (double span : {10.0, -10.0, 0.0, -0.0, 1e-7, kInf, -kInf, kNaN}) {
            for (std::uint64_t n : {0, 1, 2, 3, 7, 200}) {
                std::vector<double> want;
                for (std::uint64_t i = 0; i < n; ++i) {
                    const double x = n == 1 ? 0.0 : (static_cast<double>(i) * span) / static_cast<double>(n - 1) + 0.0;
                    if (!std::isnan(x)) want.push_back(x);
                }
                for (double f : features) {
                    if (f - 1e-7 > 0.0) want.push_back(f - 1e-7);
                    if (f + 1e-7 < span) want.push_back(f + 1e-7);
                }
                std::sort(want.begin(), want.end());
                want.erase(std::unique(want.begin(), want.end()), want.end());
                EXPECT_EQ(mesh(n, span, features), want) << "span " << span << ", n " << n << ", " << features.size();
            }
        }
    }
}

// Summing term after term over the whole mesh gives, at every point, the
// bits of evaluating the point alone: for every order, concentrated terms,
// NaN and infinite positions and coefficients, and points left of,
// at and right of every term. Any NaN matches any NaN: which of two NaNs an
// addition keeps is the compiler's choice (results show every NaN alike).
TEST(AddTerms, SumsEqualPointByPointEvaluation) {
    std::mt19937 random(3);
    auto pick = [&](std::initializer_list<double> from) { return *(from.begin() + random() % from.size()); };
    const std::vector<double> points{-kInf, -3, -0.5, 0.0, 1e-7, 0.5, 1, 2, 2.5, 3, 7, 1e300, kInf};
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<sing::Term> terms(random() % 8);
        for (sing::Term& t : terms) {
            t = {pick({1.0, -2.5, 0.0, -0.0, 1e-300, 1e300, kNaN, kInf}), pick({0.0, 1, 2, 2.5, -1, kNaN, kInf, -kInf}),
                 static_cast<std::int32_t>(random() % 10) - 2};
        }
        std::vector<double> sums(points.size(), -0.0);
        results::add_terms(terms, points, sums.data());
        for (std::size_t k = 0; k < points.size(); ++k) {
            const double want = sing::eval_terms(terms, points[k]);
            if (std::isnan(want)) EXPECT_TRUE(std::isnan(sums[k]));
            else EXPECT_EQ(bits(sums[k]), bits(want)) << testing::PrintToString(terms) << " at " << points[k];
        }
    }
}

}  // namespace
