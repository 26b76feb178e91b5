// Reading a quantity of a solved beam: its term list's value at a position,
// exactly at x, just left of x, or the larger side two-sidedly, one position
// at a time or a block of positions at once. Every way gives the bits of
// the sum of the terms from -0.0 in list order (sing::eval_terms).
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "engine/analysis.hpp"
#include "sing/sing.hpp"

namespace results {

// How far either side of a position a two-sided query, and the plotting
// mesh around a feature, looks.
inline constexpr double side_offset = 1e-7;

enum class Read : std::uint8_t {
    at,           // the value at x, where a term starts: right of a jump
    left,         // the value at the next double below x: left of a jump
    larger_side,  // of the values at x - side_offset and x + side_offset, rounded to
                  // 10 decimals, the larger in magnitude; the left one on ties and NaN
};

// The next double below x (-inf and NaN stay), as std::nextafter(x, -inf)
// gives it: the closest position left of x, where no term that starts at x
// is active yet. A step of the bit pattern, inline: a library call per
// position would double the cost of reading left of many.
inline double just_left(double x) noexcept {
    if (std::isnan(x) || x == -std::numeric_limits<double>::infinity()) return x;
    if (x == 0.0) return -std::numeric_limits<double>::denorm_min();
    const auto bits = std::bit_cast<std::uint64_t>(x);
    return std::bit_cast<double>(x > 0.0 ? bits - 1 : bits + 1);
}

inline double read(sing::Terms terms, double x, Read how) noexcept {
    switch (how) {
        case Read::at: return sing::eval_terms(terms, x);
        case Read::left: return sing::eval_terms(terms, just_left(x));
        case Read::larger_side: break;
    }
    const double left = engine::round10(sing::eval_terms(terms, x + (-side_offset)));
    const double right = engine::round10(sing::eval_terms(terms, x + side_offset));
    return std::fabs(left) < std::fabs(right) ? right : left;
}

// Positions read together, their values kept on the stack; a long read asks
// its interrupt check after each block.
inline constexpr std::size_t block_points = 1024;

// Fewer points than this in any order are read one by one: grouping them
// by stretch costs a sort of the term positions first (callgrind, ten loads
// at random positions: 10,742 against 11,194 instructions at 24, 7,450
// against 4,806 at 8).
inline constexpr std::size_t by_stretch_from = 24;

// values[k] = read(terms, points[k], how) for each of up to block_points
// points in any order, not-a-number included. Points in ascending order
// are summed term after term over the whole block (add_terms), which
// skips the positions left of each term at once. Points in any other order
// are grouped first by the stretch between consecutive term positions each
// falls in, and summed so (the two-sided read, and a few points, one by one).
void read_block(sing::Terms terms, std::span<const double> points, Read how, double* values) noexcept;

// Adds every term's value at every point to that point's sum, term after
// term: sums[k] ends as eval_terms(terms, points[k]) when it starts at -0.0,
// bit for bit. The points must ascend (equal neighbours allowed) and be
// numbers, except that a single point may be anything; or be grouped by
// the stretches between the terms' positions in ascending order (NaN last):
// all that matters is that each term's inactive points come first.
void add_terms(sing::Terms terms, std::span<const double> points, double* sums) noexcept;

}  // namespace results
