#include "results/read.hpp"

#include <algorithm>

namespace results {
namespace {

// The value of t at every point from `first` on, added to its sum, with
// the power of a term of order N unrolled.
template <std::uint32_t N>
void add_active(const sing::Term& t, const double* points, double* sums, std::size_t first, std::size_t n) noexcept {
    const double c = t.coefficient, p = t.position;
    for (std::size_t k = first; k < n; ++k) sums[k] += c * sing::ipow(points[k] - p, N);
}

// Whether add_terms may take the points: each at most its successor, which
// no NaN is.
bool ascending(std::span<const double> points) noexcept {
    for (std::size_t k = 1; k < points.size(); ++k) {
        if (!(points[k - 1] <= points[k])) return false;
    }
    return true;
}

}  // namespace

void read_block(sing::Terms terms, std::span<const double> points, Read how, double* values) noexcept {
    if (how == Read::larger_side || !ascending(points)) {
        for (std::size_t k = 0; k < points.size(); ++k) values[k] = read(terms, points[k], how);
        return;
    }
    double left[block_points];
    if (how == Read::left) {
        // The next double below keeps the order of ascending points.
        for (std::size_t k = 0; k < points.size(); ++k) left[k] = just_left(points[k]);
        points = {left, points.size()};
    }
    std::fill(values, values + points.size(), -0.0);
    add_terms(terms, points, values);
}

void add_terms(sing::Terms terms, std::span<const double> points, double* sums) noexcept {
    const std::size_t n = points.size();
    const double* x = points.data();
    for (const sing::Term& t : terms) {
        // A term is +0.0 left of its position (the points ascend, so these
        // come first) and everywhere when concentrated; adding +0.0 still
        // turns a sum of -0.0 into +0.0.
        const std::size_t first = t.order < 0 ? n
                                              : static_cast<std::size_t>(std::partition_point(x, x + n, [&](double v) {
                                                    return t.position > v;
                                                }) - x);
        for (std::size_t k = 0; k < first; ++k) sums[k] += +0.0;
        switch (t.order) {
            case 0:
                for (std::size_t k = first; k < n; ++k) sums[k] += t.coefficient;
                break;
            case 1: add_active<1>(t, x, sums, first, n); break;
            case 2: add_active<2>(t, x, sums, first, n); break;
            case 3: add_active<3>(t, x, sums, first, n); break;
            case 4: add_active<4>(t, x, sums, first, n); break;
            default:
                for (std::size_t k = first; k < n; ++k) sums[k] += t.value_at(x[k]);
        }
    }
}

}  // namespace results
