// The common mesh of an envelope: every member of the envelope (one beam
// under different loads, or a vehicle's positions) is read on it. It holds
// the ends, every member's features and, where features lie further apart
// than span / n, evenly spaced positions between them, plus the caller's
// points. Features closer than merge * span to the one before them are one
// position, placed at the shortest decimal among them. Where any member's
// diagram may jump (not at an end) the position holds two entries: the value
// just left of it, then just right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace results {

struct EnvelopeMeshInput {
    double span = 0.0;
    std::span<const double> features;  // every member's, in any order, repeats allowed
    std::span<const double> jumps;     // where any member's diagram may jump, repeats allowed
    std::uint64_t n = 1;               // no gap between features wider than span / n is left unfilled
    std::span<const double> points;    // the caller's positions, held as well
    double merge = 1e-12;              // features this close, relative to the span, are one position
};

struct EnvelopeMesh {
    std::vector<double> position;  // per mesh position, ascending
    std::vector<double> read_at;   // where it is read: the end of the beam just left of it
    std::vector<std::int64_t> left, right;  // its entries: the same one where nothing jumps
    std::vector<double> x;               // per entry, its position
    std::vector<std::int64_t> source;    // per entry, its mesh position
    std::vector<double> keys;            // every feature's exact value, ascending, each once
    std::vector<std::int64_t> key_position;  // the mesh position each key is placed at
};

enum class EnvelopeMeshStatus : std::uint8_t {
    done,
    not_finite,     // the span, a feature, a jump or a point is not a finite number, or n is 0
    too_many,       // more mesh positions than can be counted in memory
    out_of_memory,
};

// The mesh for `in` into `out` (its vectors replaced). Bit for bit the
// mesh of the layer's envelopes:
// - the features with 0.0 and span, each value once (zero as 0.0), sorted,
//   each joining the group before it when within merge * span of that
//   group's last value; a group of several is placed at its shortest
//   decimal (the fewest characters as Python's repr writes it, then the
//   least), the first group at 0.0 and the last at span;
// - between consecutive groups a and b, ceil((b - a) / (span / n) - 1e-9)
//   parts: the positions a + ((b - a) * i) / parts for 0 < i < parts, with
//   the caller's points strictly between a and b that are no feature,
//   ascending, each once;
// - the last position is read at the double below span; a group holding
//   a jump that is not the first or the last holds two entries.
EnvelopeMeshStatus envelope_mesh(const EnvelopeMeshInput& in, EnvelopeMesh& out) noexcept;

// How many characters Python's repr() writes for a finite double: its
// shortest round-trip digits, in positional notation for decimal exponents
// from -4 to 15 ("0.0001", "20.0") and in exponent notation outside them
// ("1e-05", "1.5e+16").
std::size_t repr_length(double v) noexcept;

}  // namespace results
