// The sampling mesh of the plotting vectors: n evenly spaced points over the
// span plus a point 1e-7 either side of every feature strictly inside
// (0, span), sorted and free of duplicates, so that each jump shows as a
// near-vertical segment.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace python {

// n = 1 gives the single point 0.0. Points that are not numbers (a
// non-finite span, a NaN feature) are left out, so the mesh is strictly
// ascending. Throws std::bad_alloc when the storage cannot be obtained.
std::vector<double> plotting_mesh(std::uint64_t n, double span, std::span<const double> features);

}  // namespace python
