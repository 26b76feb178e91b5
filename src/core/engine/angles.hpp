// The shares of a load's angle across and along the beam.
#pragma once

namespace engine {

// Degrees to radians by one multiplication, before any sin or cos.
inline constexpr double deg_to_rad = 0.017453292519943295;

// A share of an angle smaller than this in magnitude is taken as +0.0.
inline constexpr double projection_cut_off = 1e-8;

// The share of a load along the beam (cos) and across it (sin) for an angle
// in degrees, +0.0 below the cut-off, so that 90 degrees has no axial part
// and 0 or 180 no transverse part; a load's terms and its moment use the
// same factor.
double axial_factor(double angle) noexcept;
double transverse_factor(double angle) noexcept;

}  // namespace engine
