// The input model of one beam problem: supports, loads and unit factors.
// Positions stay in the caller's length unit; magnitudes stay in the
// caller's units until the analysis multiplies them by the unit factors.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

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

// How a load's coefficients and moment are scaled into base units. The
// analysis treats every value other than Point and Distributed as Torque.
enum class LoadKind : std::uint8_t { Point = 0, Distributed = 1, Torque = 2 };

struct Load {
    sing::TermList terms;  // intensity along the load's line of action
    double angle = 90.0;   // degrees; torques always carry 90
    double moment = 0.0;   // moment of the transverse part about x = 0
    LoadKind kind = LoadKind::Point;

    // The load's contribution to the normal force and to the shear force:
    // its axial and transverse component, integrated once.
    sing::TermList normal_force_terms() const;
    sing::TermList shear_force_terms() const;
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

struct Beam {
    std::vector<Support> supports;  // caller's order
    std::vector<Load> loads;        // caller's order
    double span = 0.0;
    double e = 0.0;
    double i = 0.0;
    double a = 0.0;
    double g = 0.0;
    Units units;
};

}  // namespace engine
