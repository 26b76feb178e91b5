#include "python/mesh.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace python {
namespace {

void append_linspace(Mesh& mesh, std::uint64_t n, double span) {
    if (n == 1) {
        mesh.push_back(0.0);
        return;
    }
    const double last = static_cast<double>(n - 1);
    for (std::uint64_t i = 0; i < n; ++i) {
        const double x = (static_cast<double>(i) * span) / last + 0.0;
        if (!std::isnan(x)) mesh.push_back(x);
    }
}

void append_feature_points(Mesh& mesh, double span, std::span<const double> features) {
    for (double f : features) {
        const double lo = f + (-1e-7);
        if (lo > 0.0) mesh.push_back(lo);
        const double hi = f + 1e-7;
        if (hi < span) mesh.push_back(hi);
    }
}

}  // namespace

Mesh plotting_mesh(std::uint64_t n, double span, std::span<const double> features) {
    Mesh mesh;
    // Checked before adding, so that an n near 2^64 cannot wrap the size
    // around to a small reservation and then grow without bound.
    const std::size_t extra = 2 * features.size();
    if (extra > mesh.max_size() || n > mesh.max_size() - extra) throw std::bad_alloc();
    mesh.reserve(static_cast<std::size_t>(n) + extra);
    append_linspace(mesh, n, span);
    append_feature_points(mesh, span, features);
    if (mesh.size() > 1) {
        std::sort(mesh.begin(), mesh.end());
        mesh.erase(std::unique(mesh.begin(), mesh.end()), mesh.end());
    }
    return mesh;
}

}  // namespace python
