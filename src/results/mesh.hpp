// The sampling mesh of the plotting vectors: n evenly spaced points over the
// span plus a point 1e-7 either side of every feature strictly inside
// (0, span), sorted and free of duplicates, so that each jump shows as a
// near-vertical segment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "interrupt/check.hpp"

namespace results {

struct Mesh {
    std::unique_ptr<double[]> storage;
    std::size_t size = 0;

    std::span<const double> points() const noexcept { return {storage.get(), size}; }
};

// n = 1 gives the single point 0.0. Points that are not numbers (a
// non-finite span, a NaN feature) are left out, so the mesh is strictly
// ascending. The size comes from the caller: no value when its storage
// cannot be obtained, or when the check asks to stop (check.stopped()).
std::optional<Mesh> plotting_mesh(std::uint64_t n, double span, std::span<const double> features,
                                  interrupt::Check& check);
std::optional<Mesh> plotting_mesh(std::uint64_t n, double span, std::span<const double> features);

}  // namespace results
