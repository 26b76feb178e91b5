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

}  // namespace
