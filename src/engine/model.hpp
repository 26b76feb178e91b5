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

// Degrees to radians by one multiplication, before any sin or cos.
inline constexpr double deg_to_rad = 0.017453292519943295;

// The share of a load along the beam (cos) and across it (sin) for an angle
// in degrees. Below 1e-8 in magnitude it is taken as +0.0, so that 90
// degrees has no axial part and 0 or 180 no transverse part; a load's terms
// and its moment use the same factor.
double axial_factor(double angle) noexcept;
double transverse_factor(double angle) noexcept;

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
// "dist" (exact, case-sensitive text), or a text that names none.
enum class LoadName : std::uint8_t { point, udl, trap, torque, dist, unknown };

LoadName load_name(std::string_view text) noexcept;

// The text of a kind that has one ("" for unknown).
std::string_view load_text(LoadName name) noexcept;

// How many parameters a kind needs at least; surplus ones are ignored,
// except that every "dist" parameter from the fourth on is one more
// polynomial coefficient.
std::size_t min_params(LoadName name) noexcept;

// The parameters a fixed-size kind reads at most ("trap" reads five).
inline constexpr std::size_t max_fixed_params = 5;

// One entry of the caller's load list, converted but not yet checked.
struct LoadInput {
    LoadName name = LoadName::unknown;
    std::size_t count = 0;                // how many parameters were given
    double head[max_fixed_params] = {};   // the first ones, those a fixed-size kind reads
    const double* all = nullptr;          // every parameter, kept for "dist" only
    std::string_view text;                // the caller's kind text, kept when it names no kind
};

// The entry for a kind text and parameter list held by the caller; `all`
// and `text` refer to the caller's storage.
LoadInput load_input(std::string_view kind, std::span<const double> params) noexcept;

// How a load's coefficients and moment are scaled into base units. The
// analysis treats every value other than Point and Distributed as Torque.
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

// One beam problem as the caller gave it.
struct Input {
    double span = 0.0;
    double e = 0.0;
    double i = 0.0;
    double a = 0.0;
    double g = 0.0;
    std::span<const Support> supports;  // caller's order
    std::span<const LoadInput> loads;   // caller's order
    Units units;
};

}  // namespace engine
