#include "results/read.hpp"

#include <algorithm>
#include <memory>
#include <new>

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

// Room for n values: `own` when it holds them, else a new array kept in
// `heap`; null when there is no memory for it.
template <class T, std::size_t N>
T* room_for(std::size_t n, T (&own)[N], std::unique_ptr<T[]>& heap) noexcept {
    if (n <= N) return own;
    heap.reset(new (std::nothrow) T[n]);
    return heap.get();
}

// The stretches between a term list's distinct positions, ascending: a
// point's stretch is the count of positions at or below it, so that every
// term starting at or left of the point is active there.
class Stretches {
public:
    // False when there is no room for the positions (the caller reads one by one).
    bool build(sing::Terms terms) noexcept {
        double* room = room_for(terms.size(), own_, heap_);
        if (room == nullptr) return false;
        std::size_t n = 0;
        for (const sing::Term& t : terms) {
            if (!std::isnan(t.position)) room[n++] = t.position;
        }
        std::sort(room, room + n);
        bounds_ = {room, static_cast<std::size_t>(std::unique(room, room + n) - room)};
        return true;
    }

    std::size_t count() const noexcept { return bounds_.size() + 1; }

    // The stretch of x: a binary search without branches (a conditional
    // move per halving), since random positions would mispredict them. A
    // NaN falls in the last, right of every term, where eval_terms finds
    // every term active.
    std::size_t of(double x) const noexcept {
        if (std::isnan(x) || bounds_.empty()) return std::isnan(x) ? bounds_.size() : 0;
        const double* base = bounds_.data();
        for (std::size_t n = bounds_.size(); n > 1;) {
            const std::size_t half = n / 2;
            base = base[half] <= x ? base + half : base;
            n -= half;
        }
        return static_cast<std::size_t>(base - bounds_.data()) + (*base <= x);
    }

private:
    double own_[256];
    std::unique_ptr<double[]> heap_;
    std::span<const double> bounds_;
};

// Points in any order read by stretch: each point's stretch found, the
// points grouped by stretch in ascending order (a counting sort), summed
// term after term by add_terms as ascending points are (grouped so, every
// term's inactive points still come first), and each value written back
// to its point's place. Bit for bit the sums of one-by-one reads.
bool read_by_stretch(sing::Terms terms, std::span<const double> points, double* values) noexcept {
    Stretches stretches;
    if (!stretches.build(terms)) return false;
    std::uint32_t stretch[block_points], place[block_points];
    double grouped[block_points], sums[block_points];
    // Where each stretch's points start among the grouped points.
    std::uint32_t own[258];
    std::unique_ptr<std::uint32_t[]> heap;
    std::uint32_t* starts = room_for(stretches.count() + 1, own, heap);
    if (starts == nullptr) return false;
    std::fill(starts, starts + stretches.count() + 1, 0U);
    const std::size_t n = points.size();
    for (std::size_t k = 0; k < n; ++k) {
        stretch[k] = static_cast<std::uint32_t>(stretches.of(points[k]));
        ++starts[stretch[k] + 1];
    }
    for (std::size_t s = 1; s <= stretches.count(); ++s) starts[s] += starts[s - 1];
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t at = starts[stretch[k]]++;
        grouped[at] = points[k];
        place[at] = static_cast<std::uint32_t>(k);
    }
    std::fill(sums, sums + n, -0.0);
    add_terms(terms, {grouped, n}, sums);
    for (std::size_t j = 0; j < n; ++j) values[place[j]] = sums[j];
    return true;
}

}  // namespace

void read_block(sing::Terms terms, std::span<const double> points, Read how, double* values) noexcept {
    const bool in_order = ascending(points);
    if (how == Read::larger_side || (!in_order && points.size() < by_stretch_from)) {
        for (std::size_t k = 0; k < points.size(); ++k) values[k] = read(terms, points[k], how);
        return;
    }
    double left[block_points];
    if (how == Read::left) {
        // The next double below keeps the order of ascending points, and each
        // point's stretch is that of its next double below.
        for (std::size_t k = 0; k < points.size(); ++k) left[k] = just_left(points[k]);
        points = {left, points.size()};
    }
    if (!in_order) {
        if (!read_by_stretch(terms, points, values)) {
            for (std::size_t k = 0; k < points.size(); ++k) values[k] = read(terms, points[k], Read::at);
        }
        return;
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
