#include "results/mesh.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "interrupt/sort.hpp"

namespace results {
namespace {

// Appends x unless it equals the last point: the points arrive in ascending
// order, so this keeps the mesh free of duplicates.
void append_new(double* mesh, std::size_t& size, double x) noexcept {
    if (size == 0 || mesh[size - 1] != x) mesh[size++] = x;
}

// The k-th of the n evenly spaced points (i * span) / (n - 1) + 0.0 in
// ascending order: they ascend with i for a positive span and descend for a
// negative one. n = 1 gives the single point 0.0.
double evenly_spaced(std::uint64_t k, std::uint64_t n, double span) noexcept {
    if (n == 1) return 0.0;
    const std::uint64_t i = span < 0 ? n - 1 - k : k;
    return (static_cast<double>(i) * span) / static_cast<double>(n - 1) + 0.0;
}

// Writes the points side_offset either side of every feature that lie
// strictly inside (0, span) to `near`, ascending, using `scratch` to sort
// them.
std::optional<std::size_t> points_near_features(double span, std::span<const double> features, double* near,
                                                double* scratch, interrupt::Check& check) {
    std::size_t count = 0;
    for (double f : features) {
        const double lo = f + (-side_offset);
        if (lo > 0.0) near[count++] = lo;
        const double hi = f + side_offset;
        if (hi < span) near[count++] = hi;
    }
    if (!interrupt::stable_sort(near, scratch, count, std::less<double>(), check)) return std::nullopt;
    return count;
}

}  // namespace

std::optional<std::size_t> mesh_room(std::uint64_t n, std::size_t features) noexcept {
    // The feature points need room twice: once to sort them into.
    constexpr std::uint64_t max_points = std::numeric_limits<std::size_t>::max() / sizeof(double);
    if (features > max_points / 4) return std::nullopt;
    const std::uint64_t extra = 4 * static_cast<std::uint64_t>(features);
    if (n > max_points - extra) return std::nullopt;
    return static_cast<std::size_t>(n + extra);
}

std::optional<std::size_t> plotting_mesh(std::uint64_t n, double span, std::span<const double> features, double* room,
                                         interrupt::Check& check) {
    // The feature points wait in the room's tail: the merge below writes
    // the mesh from the start and never reaches a point it has not read.
    double* near = room + n;
    const std::optional<std::size_t> near_count =
        points_near_features(span, features, near, near + 2 * features.size(), check);
    if (!near_count) return std::nullopt;
    // Both lists ascend, so they are merged rather than sorted together.
    // Points that are not numbers are left out.
    std::size_t size = 0, next = 0;
    for (std::uint64_t k = 0; k < n; ++k) {
        if (check.stop(1)) return std::nullopt;
        const double x = evenly_spaced(k, n, span);
        if (std::isnan(x)) continue;
        for (; next < *near_count && near[next] < x; ++next) append_new(room, size, near[next]);
        append_new(room, size, x);
    }
    for (; next < *near_count; ++next) append_new(room, size, near[next]);
    return size;
}

}  // namespace results
