#include "results/mesh.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace results {
namespace {

// The points 1e-7 either side of every feature that lie strictly inside
// (0, span), ascending.
std::vector<double> points_near_features(double span, std::span<const double> features) {
    std::vector<double> points;
    points.reserve(2 * features.size());
    for (double f : features) {
        const double lo = f + (-1e-7);
        if (lo > 0.0) points.push_back(lo);
        const double hi = f + 1e-7;
        if (hi < span) points.push_back(hi);
    }
    std::sort(points.begin(), points.end());
    return points;
}

// Appends x unless it equals the last point: the points arrive in ascending
// order, so this keeps the mesh free of duplicates.
void append_new(Mesh& mesh, double x) noexcept {
    if (mesh.size == 0 || mesh.storage[mesh.size - 1] != x) mesh.storage[mesh.size++] = x;
}

// The k-th of the n evenly spaced points (i * span) / (n - 1) + 0.0 in
// ascending order: they ascend with i for a positive span and descend for a
// negative one. n = 1 gives the single point 0.0.
double evenly_spaced(std::uint64_t k, std::uint64_t n, double span) noexcept {
    if (n == 1) return 0.0;
    const std::uint64_t i = span < 0 ? n - 1 - k : k;
    return (static_cast<double>(i) * span) / static_cast<double>(n - 1) + 0.0;
}

}  // namespace

std::optional<Mesh> plotting_mesh(std::uint64_t n, double span, std::span<const double> features,
                                  interrupt::Check& check) {
    // Checked before adding, so that an n near 2^64 cannot wrap the size
    // around to a small buffer.
    constexpr std::uint64_t max_points = std::numeric_limits<std::size_t>::max() / sizeof(double);
    const std::uint64_t extra = 2 * static_cast<std::uint64_t>(features.size());
    if (extra > max_points || n > max_points - extra) return std::nullopt;
    // The non-throwing new reports an impossible size as null on every
    // runtime; sanitizer runtimes abort in the throwing one instead.
    Mesh mesh{std::unique_ptr<double[]>(new (std::nothrow) double[n + extra]), 0};
    if (mesh.storage == nullptr) return std::nullopt;
    // Both lists ascend, so they are merged rather than sorted together.
    // Points that are not numbers are left out.
    const std::vector<double> near = points_near_features(span, features);
    std::size_t next = 0;
    for (std::uint64_t k = 0; k < n; ++k) {
        if (check.stop(1)) return std::nullopt;
        const double x = evenly_spaced(k, n, span);
        if (std::isnan(x)) continue;
        for (; next < near.size() && near[next] < x; ++next) append_new(mesh, near[next]);
        append_new(mesh, x);
    }
    for (; next < near.size(); ++next) append_new(mesh, near[next]);
    return mesh;
}

std::optional<Mesh> plotting_mesh(std::uint64_t n, double span, std::span<const double> features) {
    interrupt::Check never;
    return plotting_mesh(n, span, features, never);
}

}  // namespace results
