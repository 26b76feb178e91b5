// Whether hinges leave a beam a mechanism, decided from its structure before
// any system is built. The hinges cut the beam into parts, each a rigid body
// when it stores no bending energy. The dense system of a beam with a part
// that can move is singular, but rounding in the hinges' rows (a moment of
// zero at each hinge, written as sums of the reactions' moments) leaves its
// pivots tiny rather than exactly zero, so the solver alone would return a
// huge, meaningless solution. The count below refuses those beams instead.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "arena/arena.hpp"
#include "engine/model.hpp"
#include "interrupt/check.hpp"

namespace engine {

// True when every part between the hinges is held, false when some part can
// move or turn freely, or the hinges cannot be resolved: a hinge not
// finite, two at one position (their rotation jumps are one unknown), or a
// rotational restraint at a hinge's very position (its moment acts left of
// the hinge while its rotation is read right of it, so the jump takes up
// the rotation and nothing fixes the moment). Nothing when the check says
// stop. `sup` holds `count` supports in ascending position.
//
// The fields run on past the beam's ends, so the first part reaches from
// minus infinity to the first hinge and the last from the last hinge on. A
// part is held by two distinct points that cannot move (vertical restraints
// on it, rigid or sprung, or a hinge to a held neighbour), or by one such
// point and a rotational restraint inside it. Holding is passed along the
// chain of parts one way and then the other, which reaches every part that
// any order of passing would.
std::optional<bool> hinged_parts_held(std::span<const double> hinges, const Support* sup, std::size_t count,
                                      arena::Arena& arena, interrupt::Check& check);

}  // namespace engine
