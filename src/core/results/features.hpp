// Where a solved beam's diagrams change: the positions between which every
// quantity follows one polynomial law (features), and those where a
// quantity jumps. Both come from the term lists the analysis wrote, so that
// a caller never works them out again from the loads.
#pragma once

#include <cstddef>
#include <optional>

#include "engine/analysis.hpp"
#include "interrupt/check.hpp"

namespace results {

// How many doubles features() and jumps() need as room for this analysis:
// the list and as much again to sort it in. None when that many cannot be
// counted in memory.
std::optional<std::size_t> features_room(const engine::Analysis& analysis) noexcept;

// The ends 0 and span, the supports and the positions of the loads' terms,
// those in [0, span], ascending, each once (of 0.0 and -0.0 the first met,
// 0.0). Written to the start of `room`; the count, or none when the check
// says stop.
std::optional<std::size_t> features(const engine::Analysis& analysis, double span, double* room,
                                    interrupt::Check& check);

// The positions where quantity q jumps, ascending, each once: those of its
// steps (terms of order 0) whose coefficient is not zero, a coefficient
// that is not a number included. Positions that are not numbers are left
// out. The deflection's constant C2 is a step at x = 0 that begins the
// beam's deflection there, not a jump of it, and is left out: the
// deflection never jumps. Likewise the rotation's constant C1, a step at
// x = 0: the rotation jumps at hinges only. Written to the start of `room`; the count, or
// none when the check says stop.
std::optional<std::size_t> jumps(const engine::Analysis& analysis, engine::Quantity q, double* room,
                                 interrupt::Check& check);

}  // namespace results
