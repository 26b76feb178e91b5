// The envelope of a beam under moving loads, position by position: each
// position of the vehicle is the beam's own loads plus its axles (point
// loads) and the lane's stretches (uniform loads), solved by engine::solve
// as a single solve would be, read on a common mesh, and folded into each
// mesh entry's largest and smallest value with the position that gives it.
// No position is kept: a vehicle of thousands of positions costs one
// solve and one read of the mesh each.
//
// The fold is that of the layer's envelope, to the bit: a call takes one
// chunk of positions; within it an entry's top is the last of equal largest
// values (its sign of zero), its member the first of them, and a later call
// raises an entry only with a larger value; the bottom is the first of equal
// smallest values. Where a position's diagram jumps at a mesh position, its
// two entries are read left of its leftmost jump there and right of its
// rightmost; an axle standing on another shear jump (a support) adds its
// limits either side, folded after the chunk's values.
//
// Members solved already (load patterns, combinations: a few beams, each
// its own loads) are folded the same way by fold_members, each read beside
// its own jumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/analysis.hpp"
#include "engine/model.hpp"
#include "interrupt/check.hpp"

namespace moving {

// One position of the vehicle.
struct Placed {
    std::span<const double> axles;     // (x, weight) pairs: the axles on the beam, weight downwards
    std::span<const double> pieces;    // (start, end) pairs: the lane's stretches
    std::span<const double> standing;  // (x, -weight) pairs: axles standing on another shear jump
    // (quantity, x) pairs, the quantity as engine::Quantity's value: where this
    // position jumps besides its bands' own jumps (a member's point loads).
    std::span<const double> jumps{};
};

// The mesh every position is read on. Per mesh position: its place, where
// its value is read (the end of the beam just left of it), and its entries
// (left and right: the same one where nothing jumps). `keys` holds every
// exact position that a jump can be at, ascending, with its mesh position.
struct Mesh {
    std::span<const double> position;
    std::span<const double> read_at;
    std::span<const std::int64_t> left;
    std::span<const std::int64_t> right;
    std::span<const double> keys;
    std::span<const std::int64_t> key_position;
};

// One quantity's running envelope, per mesh entry, and this call's screen
// (the largest and smallest value of the chunk at each entry, its limits
// aside).
struct Band {
    engine::Quantity quantity = engine::Quantity::bm;
    std::span<const double> jumps;  // where every position jumps in it: the beam's own steps
    bool axle_jumps = false;        // each loaded axle is a step too (the shear, axles in the mesh)
    double* hi = nullptr;
    double* lo = nullptr;
    std::int64_t* hi_member = nullptr;
    std::int64_t* lo_member = nullptr;
    double* top = nullptr;
    double* bottom = nullptr;
};

// The reactions' running ranges: per support in the caller's order, rx, ry, m.
struct Ranges {
    double* hi = nullptr;
    double* lo = nullptr;
    std::int64_t* hi_member = nullptr;
    std::int64_t* lo_member = nullptr;
};

// The residuals a position's solve may leave at the far end (V, N and M
// just right of it): as the layer's equilibrium guard allows them.
struct Balance {
    double force = 0.0;
    double moment = 0.0;
};

struct Run {
    const engine::Input* beam = nullptr;  // the beam with its own loads
    double lane = 0.0;                    // the lane's intensity, downwards
    Balance balance;
    std::int64_t first_member = 0;  // the index of placed[0] among all positions
};

// A quantity's values watched at some positions (not the mesh): a position
// whose value at[k] times sign[k] reaches least[k] is reported, as a Hit.
struct Watch {
    std::span<const double> at;
    std::span<const double> sign;
    std::span<const double> least;
};

struct Hit {
    std::size_t band;  // the watch's index
    std::size_t k;
    std::int64_t member;
};

// What became of a call: every position folded; or the first position
// (index into `placed`) whose solve failed or left its loads unbalanced,
// the envelope then partly folded; or stopped by the check; or a jump at a
// position that `keys` does not hold (the mesh does not belong to the
// positions).
struct Folded {
    enum class Status : std::uint8_t { done, failed, stopped, out_of_memory, not_in_mesh } status = Status::done;
    std::size_t position = 0;
};

// A member solved already (by engine::solve, its balance checked by the
// caller): its analysis, the caller's index of each of its reactions (in
// the order of analysis.reactions), and where it jumps besides the bands'
// own jumps.
struct Member {
    const engine::Analysis* analysis = nullptr;
    const std::size_t* order = nullptr;
    Placed placed{};  // its jumps alone: no axle, lane stretch or standing axle
};

// Folds the solved members in order, as fold_positions folds its positions
// once solved: the first is member number `first_member`. Every member has
// as many reactions as `ranges` has supports.
Folded fold_members(std::span<const Member> members, std::int64_t first_member, const Mesh& mesh,
                    std::span<const Band> bands, const Ranges& ranges, interrupt::Check& check);

// Solves and folds every placed position in order. The bands' entries and
// the ranges are read and raised; the screens written whole.
Folded fold_positions(const Run& run, std::span<const Placed> placed, const Mesh& mesh, std::span<const Band> bands,
                      const Ranges& ranges, interrupt::Check& check);

// Solves every placed position again and reports, in order of position,
// where each watch (one per band, in the band's quantity) is reached; the
// bands and the mesh are not read.
Folded watch_positions(const Run& run, std::span<const Placed> placed, std::span<const Band> bands,
                       std::span<const Watch> watches, std::vector<Hit>& hits, interrupt::Check& check);

}  // namespace moving
