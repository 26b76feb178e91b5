// Construction of the engine's loads. Every load kind is written here: its
// intensity as singularity terms along the load's line of action, its angle,
// the moment of its transverse part about x = 0 and the kind that decides
// how the analysis scales it. No unit factor is applied: every value stays
// in the caller's unit.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/model.hpp"
#include "interrupt/check.hpp"

namespace loads {

// A concentrated force P at x: one Dirac term.
engine::Load point_load(double P, double x, double theta);

// Intensity w from start to end: a step on and a step off.
engine::Load uniform_load(double w, double start, double end, double theta);

// Intensity w1 at start varying linearly to w2 at end: the base step on and
// off, plus (when w1 != w2) the ramp and the cancelling step and ramp at end.
engine::Load trapezoidal_load(double w1, double w2, double start, double end, double theta);

// Intensity c[0] + c[1] x + ... in the absolute beam coordinate between start
// and end, re-expanded about start and cancelled about end. c must not be
// empty. The re-expansion costs the square of the coefficient count; the
// check is asked as it runs, and no load results when it asks to stop.
std::optional<engine::Load> polynomial_load(std::span<const double> c, double start, double end, double theta,
                                            interrupt::Check& check);

// A concentrated moment T at x (counter-clockwise positive): one doublet.
engine::Load torque_load(double T, double x);

struct LoadError {
    std::string message;  // raised as ValueError
};

// The check asked to stop while the load was built.
struct LoadInterrupted {};

// A load from its kind name and parameters as the caller wrote them:
// "point" (P, x, angle), "udl" (w, start, end, angle),
// "trap" (w1, w2, start, end, angle), "torque" (T, x),
// "dist" (start, end, angle, c0, c1, ...). Surplus parameters are ignored
// except for "dist", where each is one more polynomial coefficient.
std::variant<engine::Load, LoadError, LoadInterrupted> build_load(std::string_view kind,
                                                                  std::span<const double> params,
                                                                  interrupt::Check& check);
std::variant<engine::Load, LoadError, LoadInterrupted> build_load(std::string_view kind,
                                                                  std::span<const double> params);

}  // namespace loads
