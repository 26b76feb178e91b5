#include "results/mesh.hpp"

#include <optional>

#include "../test_support.hpp"

namespace {

std::optional<std::vector<double>> mesh(std::uint64_t n, double span, std::span<const double> features) {
    const std::optional<results::Mesh> m = results::plotting_mesh(n, span, features);
    if (!m) return std::nullopt;
    return std::vector<double>(m->points().begin(), m->points().end());
}

// n near 2^64 must not wrap the buffer size around to a small value.
TEST(PlottingMesh, UnobtainableSizeIsNoMesh) {
    const double f[] = {5};
    EXPECT_EQ(mesh(std::numeric_limits<std::uint64_t>::max(), 10, f), std::nullopt);
    EXPECT_EQ(mesh(std::uint64_t{1} << 62, 10, f), std::nullopt);
}

// The mesh is every evenly spaced and feature point, sorted, without
// duplicates: checked against exactly that, for spans and features of every
// sign and kind.
TEST(PlottingMesh, IsTheSortedUnionOfItsPoints) {
    const double features[] = {5, -3, 10, 0, 2.5, 2.5, 11, kInf, -kInf, kNaN, 1e-7, 1e-8, -1e-7};
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
            EXPECT_EQ(mesh(n, span, features), want) << "span " << span << ", n " << n;
        }
    }
}

}  // namespace
