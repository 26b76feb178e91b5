// The largest and smallest values of a quantity over a beam, found on its
// term list. Between two features (the ends, the supports, the ends of the
// loads) a quantity is one smooth polynomial. Each such segment is sampled;
// around every sample that is a local peak the position is refined by
// bisection on the sign of the slope, a central difference extrapolated to
// zero step (exact for polynomials up to degree 4) taken only inside the
// segment, so that a jump never enters it. Every value is read as
// read(terms, x, Read::at) reads it, and the arithmetic keeps one order, so
// that a search gives the same bits wherever it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "interrupt/check.hpp"
#include "sing/sing.hpp"

namespace results {

// Samples a segment is split into for slope steps: its width over 4 * this.
inline constexpr std::uint32_t base_samples = 16;

// A value of the quantity and where it is.
struct Peak {
    double value = 0.0;
    double x = 0.0;
};

struct Extreme {
    Peak max;
    Peak min;
};

// A term list times a factor, added to a quantity.
struct Addend {
    sing::Terms terms;
    double factor = 1.0;
};

// What is searched: a quantity's terms read at x, plus each addend's terms
// read there times its factor, added in order: ((v + k1 * v1) + k2 * v2)...
// (an envelope's member with fixed results added, value by value).
struct Summed {
    sing::Terms terms;
    std::span<const Addend> added;

    Summed(sing::Terms own, std::span<const Addend> addends = {}) noexcept : terms(own), added(addends) {}

    // Terms evaluated per value: the work of one read for the interrupt check.
    std::size_t size() const noexcept;
    double at(double x) const noexcept;
    // values[k] = at(points[k]) for up to block_points points; `scratch` as
    // much room again.
    void block(std::span<const double> points, double* values, double* scratch) const noexcept;
};

// Doubles of room a search over these features with `count` samples per
// segment needs (every segment's count + 1 samples); none when that many
// cannot be counted in memory.
std::optional<std::size_t> search_room(std::span<const double> features, std::uint32_t count) noexcept;

// The max and the min of f over the segments between consecutive
// features (count >= 1 samples each, features not empty), each refined to
// 1e-13 of the features' extent. Of values equal but for rounding (1e-12 of
// the largest sample) the leftmost. Without a segment, the value at the
// first feature. None when the check says stop.
std::optional<Extreme> find_extreme(const Summed& f, std::span<const double> features, std::uint32_t count,
                                    double* room, interrupt::Check& check) noexcept;

// The max (sign 1) or the min (sign -1) alone, as find_extreme finds it,
// refined to 1e-13 of `span`.
std::optional<Peak> find_peak(const Summed& f, std::span<const double> features, double sign,
                              std::uint32_t count, double span, double* room, interrupt::Check& check) noexcept;

}  // namespace results
