// The load kinds of the engine. Every kind is written here: how an entry of
// the caller's load list is read, its intensity as singularity terms along
// the load's line of action, the shares of its angle across and along the
// beam, the moment of its transverse part about x = 0 and the kind that
// decides how the analysis scales it. No unit factor is applied: every value
// stays in the caller's unit. Terms and copied texts are placed in the
// solve's arena.
#pragma once

#include <span>
#include <string_view>
#include <variant>

#include "arena/arena.hpp"
#include "engine/angles.hpp"
#include "engine/failure.hpp"
#include "engine/model.hpp"
#include "interrupt/check.hpp"

namespace engine {

// --- Reading an entry of the caller's list -----------------------------------

// The kind a text names (exact, case-sensitive), or unknown.
LoadName load_name(std::string_view text) noexcept;

// The caller's text of a kind that names none, copied into the arena for its
// message: the caller's text may be gone by the time it is reported.
std::string_view kept_text(std::string_view kind, arena::Arena& arena);

// Gives a new entry (no parameters yet) the kind its text names, looked up
// once, here.
inline void set_kind(LoadInput& entry, std::string_view kind, arena::Arena& arena) {
    entry.name = load_name(kind);
    if (entry.name == LoadName::unknown) entry.text = kept_text(kind, arena);
}

// Whether the kind keeps every parameter (in `all`), not only the first
// max_fixed_params: "dist", whose parameters from the fourth on are
// coefficients.
inline bool keeps_all_params(const LoadInput& entry) noexcept { return entry.name == LoadName::dist; }

// Counts one more parameter, in the caller's order, keeping it in `head`
// while there is room. `all` is the caller's to point at every parameter.
inline void add_param(LoadInput& entry, double value) noexcept {
    if (entry.count < max_fixed_params) entry.head[entry.count] = value;
    ++entry.count;
}

// The entry of a kind text and a parameter list held by the caller, read as
// above; `all` refers to the caller's list.
LoadInput load_input(std::string_view kind, std::span<const double> params, arena::Arena& arena);

// --- Building a load -----------------------------------------------------------

// A concentrated force P at x: one Dirac term.
Load point_load(double P, double x, double theta, arena::Arena& arena);

// Intensity w from start to end: a step on and a step off.
Load uniform_load(double w, double start, double end, double theta, arena::Arena& arena);

// Intensity w1 at start varying linearly to w2 at end: the base step on and
// off, plus (when w1 != w2 and the stretch has a length) the ramp and the
// cancelling step and ramp at end.
Load trapezoidal_load(double w1, double w2, double start, double end, double theta, arena::Arena& arena);

// A concentrated moment T at x (counter-clockwise positive): one doublet.
Load torque_load(double T, double x, arena::Arena& arena);

// Intensity c[0] + c[1] x + ... in the absolute beam coordinate between start
// and end, re-expanded about start and cancelled about end. c must not be
// empty. The re-expansion costs the square of the coefficient count; the
// check is asked as it runs, and a stopped Failure results when it says stop.
std::variant<Load, Failure> polynomial_load(std::span<const double> c, double start, double end, double theta,
                                            arena::Arena& arena, interrupt::Check& check);

// The load of one entry of the caller's list: "point" (P, x, angle),
// "udl" (w, start, end, angle), "trap" (w1, w2, start, end, angle),
// "torque" (T, x), "dist" (start, end, angle, c0, c1, ...). An unknown kind
// or too few parameters is an invalid Failure with the caller's text.
std::variant<Load, Failure> build_load(const LoadInput& entry, arena::Arena& arena, interrupt::Check& check);

}  // namespace engine
