#include "results/mesh.hpp"

#include <optional>

#include "../test_support.hpp"

namespace {

std::optional<std::vector<double>> mesh(std::uint64_t n, double span, std::span<const double> features) {
    const std::optional<results::Mesh> m = results::plotting_mesh(n, span, features);
    if (!m) return std::nullopt;
    return std::vector<double>(m->points().begin(), m->points().end());
}

TEST(PlottingMesh, RefinesAroundFeaturesStrictlyInsideTheSpan) {
    const double f[] = {0, 10, 5}, repeated[] = {4, 4, kNaN};
    EXPECT_EQ(mesh(3, 10, f), (std::vector<double>{0, 1e-7, 5 - 1e-7, 5, 5 + 1e-7, 10 - 1e-7, 10}));
    EXPECT_EQ(mesh(2, 10, repeated), (std::vector<double>{0, 4 - 1e-7, 4 + 1e-7, 10}));
    EXPECT_EQ(mesh(0, 10, {}), std::vector<double>{});
    EXPECT_EQ(mesh(1, 10, {}), std::vector<double>{0.0});
}

// n near 2^64 must not wrap the buffer size around to a small value.
TEST(PlottingMesh, UnobtainableSizeIsNoMesh) {
    const double f[] = {5};
    EXPECT_EQ(mesh(std::numeric_limits<std::uint64_t>::max(), 10, f), std::nullopt);
    EXPECT_EQ(mesh(std::uint64_t{1} << 62, 10, f), std::nullopt);
}

}  // namespace
