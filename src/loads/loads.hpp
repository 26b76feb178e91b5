// Construction of the engine's loads. Every load kind is written here: its
// intensity as singularity terms along the load's line of action, the shares
// of its angle across and along the beam, the moment of its transverse part
// about x = 0 and the kind that decides how the analysis scales it. No unit
// factor is applied: every value stays in the caller's unit. The terms are
// placed in the solve's arena.
#pragma once

#include <span>
#include <variant>

#include "arena/arena.hpp"
#include "engine/failure.hpp"
#include "engine/model.hpp"
#include "interrupt/check.hpp"

namespace loads {

// A concentrated force P at x: one Dirac term.
engine::Load point_load(double P, double x, double theta, arena::Arena& arena);

// Intensity w from start to end: a step on and a step off.
engine::Load uniform_load(double w, double start, double end, double theta, arena::Arena& arena);

// Intensity w1 at start varying linearly to w2 at end: the base step on and
// off, plus (when w1 != w2 and the stretch has a length) the ramp and the
// cancelling step and ramp at end.
engine::Load trapezoidal_load(double w1, double w2, double start, double end, double theta, arena::Arena& arena);

// A concentrated moment T at x (counter-clockwise positive): one doublet.
engine::Load torque_load(double T, double x, arena::Arena& arena);

// Intensity c[0] + c[1] x + ... in the absolute beam coordinate between start
// and end, re-expanded about start and cancelled about end. c must not be
// empty. The re-expansion costs the square of the coefficient count; the
// check is asked as it runs, and a stopped Failure results when it says stop.
std::variant<engine::Load, engine::Failure> polynomial_load(std::span<const double> c, double start, double end,
                                                            double theta, arena::Arena& arena,
                                                            interrupt::Check& check);

// The load of one entry of the caller's list: "point" (P, x, angle),
// "udl" (w, start, end, angle), "trap" (w1, w2, start, end, angle),
// "torque" (T, x), "dist" (start, end, angle, c0, c1, ...). An unknown kind
// or too few parameters is an invalid Failure with the caller's text.
std::variant<engine::Load, engine::Failure> build_load(const engine::LoadInput& entry, arena::Arena& arena,
                                                       interrupt::Check& check);

}  // namespace loads
