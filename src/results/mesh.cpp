#include "results/mesh.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace results {
namespace {

void append_linspace(Mesh& mesh, std::uint64_t n, double span) {
    if (n == 1) {
        mesh.storage[mesh.size++] = 0.0;
        return;
    }
    const double last = static_cast<double>(n - 1);
    for (std::uint64_t i = 0; i < n; ++i) {
        const double x = (static_cast<double>(i) * span) / last + 0.0;
        if (!std::isnan(x)) mesh.storage[mesh.size++] = x;
    }
}

void append_feature_points(Mesh& mesh, double span, std::span<const double> features) {
    for (double f : features) {
        const double lo = f + (-1e-7);
        if (lo > 0.0) mesh.storage[mesh.size++] = lo;
        const double hi = f + 1e-7;
        if (hi < span) mesh.storage[mesh.size++] = hi;
    }
}

}  // namespace

std::optional<Mesh> plotting_mesh(std::uint64_t n, double span, std::span<const double> features) {
    // Checked before adding, so that an n near 2^64 cannot wrap the size
    // around to a small buffer.
    constexpr std::uint64_t max_points = std::numeric_limits<std::size_t>::max() / sizeof(double);
    const std::uint64_t extra = 2 * static_cast<std::uint64_t>(features.size());
    if (extra > max_points || n > max_points - extra) return std::nullopt;
    // The non-throwing new reports an impossible size as null on every
    // runtime; sanitizer runtimes abort in the throwing one instead.
    Mesh mesh{std::unique_ptr<double[]>(new (std::nothrow) double[n + extra]), 0};
    if (mesh.storage == nullptr) return std::nullopt;
    append_linspace(mesh, n, span);
    append_feature_points(mesh, span, features);
    double* begin = mesh.storage.get();
    if (mesh.size > 1) {
        std::sort(begin, begin + mesh.size);
        mesh.size = static_cast<std::size_t>(std::unique(begin, begin + mesh.size) - begin);
    }
    return mesh;
}

}  // namespace results
