// The one entry of the core: from a beam problem as the caller gave it to
// the four internal-quantity term lists in the caller's units, the rounded
// reactions and the feature positions, or the one reason there are none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "arena/arena.hpp"
#include "engine/failure.hpp"
#include "engine/model.hpp"
#include "interrupt/check.hpp"
#include "sing/sing.hpp"

namespace engine {

// One support's reactions in the caller's units, rounded to 10 decimals;
// +0.0 in a direction the support does not restrain.
struct Reaction {
    double pos = 0.0;
    double rx = 0.0;
    double ry = 0.0;
    double m = 0.0;
};

// The result of a solve. It heads the one block that the caller's storage
// gave, and its lists follow it in that block; it needs no destructor, so
// releasing the block releases everything. Each term list holds the loads'
// terms first, then the unknowns'; the deflection ends with the two
// integration constants, C1 * <x - 0>^1 and C2 * <x - 0>^0, and the
// rotation with C1 * <x - 0>^0.
struct Analysis {
    sing::Terms nf;                        // normal force
    sing::Terms sf;                        // shear force
    sing::Terms bm;                        // bending moment
    sing::Terms d;                         // deflection, shear deformation included
    std::span<const Reaction> reactions;  // ascending support position
    std::span<const double> features;     // support positions, load term positions, then
                                          // section changes, hinges and imposed curvatures
    // Only when the input's extensions ask for the rotation (empty otherwise):
    sing::Terms rotation;                  // rotation of the section in radians, counter-clockwise
                                           // positive (the slope of the bending deflection)
    std::span<const double> hinge_jumps;  // rotation just right of each hinge minus just left,
                                          // radians, in the caller's order of the hinges
};

// The terms at the end of the deflection that are its integration constants,
// and those at the end of the rotation.
inline constexpr std::size_t integration_constants = 2;
inline constexpr std::size_t rotation_constants = 1;

// The quantities of an analysis, one term list each.
enum class Quantity : std::uint8_t { nf, sf, bm, d, rotation };

inline sing::Terms terms_of(const Analysis& a, Quantity q) noexcept {
    switch (q) {
        case Quantity::nf: return a.nf;
        case Quantity::sf: return a.sf;
        case Quantity::bm: return a.bm;
        case Quantity::d: return a.d;
        case Quantity::rotation: return a.rotation;
    }
    return {};
}

// Where the result goes: a block that outlives the solve, such as the
// memory of the object that will hold it.
class ResultStorage {
public:
    // `bytes` of memory aligned for doubles and pointers, or null when they
    // cannot be had. `bytes` is a multiple of the size of a double: the
    // block holds doubles and pointers only.
    virtual void* obtain(std::size_t bytes) = 0;

protected:
    ~ResultStorage() = default;
};

// The analysis, placed at the start of the storage's block, or why not.
using Outcome = std::variant<const Analysis*, Failure>;

// Builds the loads in the caller's order (an unknown kind or too few
// parameters fails with the caller's text), orders the supports (a NaN
// position among two or more fails), solves the transverse and the axial
// system (no unique solution fails) and writes the result into the storage.
// Everything temporary goes into the arena. The check is asked now and then
// while the work grows with the input; when it says stop, the Failure is
// `stopped`. Memory that cannot be had, in the arena or from the storage,
// is the Failure `out_of_memory`: nothing is thrown.
Outcome solve(const Input& input, arena::Arena& arena, interrupt::Check& check, ResultStorage& storage);

// The order in which a solve lists the reactions of these supports
// (ascending position, ties in the caller's order), as the caller's index of
// each: order[k] is the caller's index of reactions[k]. `order` and
// `scratch` hold supports.size() entries each. False when the check stops.
bool reaction_order(std::span<const Support> supports, std::size_t* order, std::size_t* scratch,
                    interrupt::Check& check);

// C round of v * 1e10, divided back: halves away from zero, sign kept. A
// finite v too large to scale (|v| above about 1.8e298) is returned as it is.
double round10(double v) noexcept;

}  // namespace engine
