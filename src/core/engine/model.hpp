// The input model of one beam problem: supports, loads and unit factors.
// Positions stay in the caller's length unit; magnitudes stay in the
// caller's units until the analysis multiplies them by the unit factors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "sing/sing.hpp"

namespace engine {

// A restraint value of exactly 0 (or -0.0) is free; infinity or NaN is
// rigid; any other finite kx/ky is a spring. km only switches the
// rotational restraint on or off.
struct Support {
    double pos = 0.0;
    double kx = 0.0;
    double ky = 0.0;
    double km = 0.0;
};

// A load kind as the caller names it: "point", "udl", "trap", "torque",
// "dist" (exact, case-sensitive text), or a text that names none. The kinds
// themselves are written in engine/loads.
enum class LoadName : std::uint8_t { point, udl, trap, torque, dist, unknown };

// The parameters a fixed-size kind reads at most ("trap" reads five).
inline constexpr std::size_t max_fixed_params = 5;

// One entry of the caller's load list, converted but not yet checked
// (engine/loads.hpp reads it from the caller's text and numbers).
struct LoadInput {
    LoadName name = LoadName::unknown;
    std::size_t count = 0;                // how many parameters were given
    double head[max_fixed_params] = {};   // the first ones, those a fixed-size kind reads
    const double* all = nullptr;          // every parameter, kept for "dist" only
    std::string_view text;                // the caller's kind text, kept when it names no kind
};

// How a load's coefficients and moment are scaled into base units: as a
// force, an intensity along the beam or a moment.
enum class LoadKind : std::uint8_t { Point = 0, Distributed = 1, Torque = 2 };

// A built load. Its terms live in the solve's arena.
struct Load {
    sing::Terms terms;        // intensity along the load's line of action
    double transverse = 1.0;  // transverse_factor of its angle (1.0 for a torque)
    double axial = 0.0;       // axial_factor of its angle (unused for a torque)
    double moment = 0.0;      // moment of the transverse part about x = 0
    LoadKind kind = LoadKind::Point;
};

// Each factor turns a caller value into the base value; 1.0 = same unit.
struct Units {
    double length = 1.0;
    double force = 1.0;
    double moment = 1.0;
    double distributed = 1.0;
    double stiffness = 1.0;
    double A = 1.0;
    double G = 1.0;
    double E = 1.0;
    double I = 1.0;
    double deflection = 1.0;
};

// Sets the factor that a units key names ("length", "force", "moment",
// "distributed", "stiffness", "A", "G", "E", "I", "deflection"; exact,
// case-sensitive text). Any other key names no factor and is ignored.
void set_unit_factor(Units& units, std::string_view key, double value) noexcept;

// A change of section: from `start` on (to the next change, or the end of
// the beam) the constants e, i, a, g replace those before it.
struct SectionChange {
    double start = 0.0;
    double e = 0.0;
    double i = 0.0;
    double a = 0.0;
    double g = 0.0;
};

// A support's base moved by `dy` (caller's deflection unit, positive as a
// positive deflection) and turned by `rotation` (radians, counter-clockwise
// positive). The restraint, rigid or elastic, then holds the beam to the
// moved base; a direction the support does not restrain ignores its part.
struct Settlement {
    double dy = 0.0;
    double rotation = 0.0;
};

// A curvature imposed on the beam (as by a temperature difference through
// its depth), varying linearly from k1 at x1 to k2 at x2, in the reciprocal
// of the caller's length unit. It adds to M / EI: a positive (sagging)
// curvature bends the beam as a sagging moment does.
struct ImposedCurvature {
    double k1 = 0.0;
    double k2 = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;
};

// What a beam may have beyond a prismatic section on rigid or sprung
// supports. Left empty, the solve is the plain one, operation for operation.
struct Extensions {
    std::span<const SectionChange> sections{};  // ascending starts
    // Internal moment releases: no moment just right of each, so that a
    // concentrated moment at a hinge's very position acts on the part to
    // its left. The rotation may jump there.
    std::span<const double> hinges{};
    std::span<const Settlement> settlements{};  // none, or one per support in the caller's order
    std::span<const ImposedCurvature> curvatures{};
    // A finite, non-zero km is a rotational spring of that stiffness (caller's
    // moment unit per radian) rather than a fixed restraint.
    bool rotational_springs = false;
    // The result lists the rotation (Analysis::rotation) and the hinges'
    // rotation jumps.
    bool rotation = false;

    bool any() const noexcept {
        return !sections.empty() || !hinges.empty() || !settlements.empty() || !curvatures.empty() ||
               rotational_springs || rotation;
    }
};

// One beam problem as the caller gave it.
struct Input {
    double span = 0.0;
    double e = 0.0;   // the section's constants; with section changes, those
    double i = 0.0;   // left of the first change
    double a = 0.0;
    double g = 0.0;
    std::span<const Support> supports;  // caller's order
    std::span<const LoadInput> loads;   // caller's order
    Units units;
    Extensions extensions;
};

}  // namespace engine
