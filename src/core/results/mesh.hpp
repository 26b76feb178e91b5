// The sampling mesh of the plotting vectors: n evenly spaced points over the
// span plus a point 1e-7 either side of every feature strictly inside
// (0, span), sorted and free of duplicates, so that each jump shows as a
// near-vertical segment; and the sums of term lists over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "interrupt/check.hpp"
#include "sing/sing.hpp"

namespace results {

// How many doubles plotting_mesh needs as room (the mesh itself has at
// most n + 2 per feature points), or none when that many cannot be counted
// in memory.
std::optional<std::size_t> mesh_room(std::uint64_t n, std::size_t features) noexcept;

// Writes the mesh to the start of `room` (mesh_room doubles) and returns
// its length. n = 1 gives the single point 0.0. Points that are not numbers
// (a non-finite span, a NaN feature) are left out, so the mesh is strictly
// ascending. None when the check asks to stop.
std::optional<std::size_t> plotting_mesh(std::uint64_t n, double span, std::span<const double> features, double* room,
                                         interrupt::Check& check);

// Adds every term's value at every point to that point's sum, term after
// term: sums[k] ends as eval_terms(terms, points[k]) when it starts at -0.0,
// bit for bit. The points must ascend strictly.
void add_terms(sing::Terms terms, std::span<const double> points, double* sums) noexcept;

}  // namespace results
