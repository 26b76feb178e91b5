// The sampling mesh of the plotting vectors: n evenly spaced points over the
// span plus a point side_offset either side of every feature strictly
// inside (0, span), sorted and free of duplicates, so that each jump shows
// as a near-vertical segment; and the columns of values over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include <algorithm>

#include "engine/analysis.hpp"
#include "interrupt/check.hpp"
#include "results/read.hpp"

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

// One column of the plotting vectors: the mesh positions themselves, or one
// quantity's exact values at them.
struct PlotColumn {
    const char* name;
    bool positions;
    engine::Quantity quantity;
};

inline constexpr PlotColumn plot_columns[] = {{"x", true, engine::Quantity::nf},
                                              {"nf", false, engine::Quantity::nf},
                                              {"sf", false, engine::Quantity::sf},
                                              {"bm", false, engine::Quantity::bm},
                                              {"d", false, engine::Quantity::d}};

// Hands the column's values on the mesh to emit(values, start), a block of
// block_points at a time, the block starting at mesh[start]; asks the check
// after each block. False when emit or the check said stop.
template <class Emit>
bool sample_column(const engine::Analysis& analysis, const PlotColumn& column, std::span<const double> mesh,
                   interrupt::Check& check, Emit&& emit) {
    const sing::Terms terms = column.positions ? sing::Terms() : engine::terms_of(analysis, column.quantity);
    double sums[block_points];
    for (std::size_t start = 0; start < mesh.size(); start += block_points) {
        const std::size_t count = std::min(block_points, mesh.size() - start);
        const double* values = mesh.data() + start;
        if (!column.positions) {
            std::fill(sums, sums + count, -0.0);
            add_terms(terms, {values, count}, sums);
            values = sums;
        }
        if (!emit(std::span<const double>(values, count), start) || check.stop(count * (1 + terms.size()))) {
            return false;
        }
    }
    return true;
}

}  // namespace results
