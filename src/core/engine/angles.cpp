// In a file of their own, so that no compiler sees both where they are used
// and merges them into one sincos call, whose last bit need not agree with
// sin's and cos's on every C library.
#include "engine/angles.hpp"

#include <cmath>

namespace engine {
namespace {

double projection_factor(double c) noexcept { return std::fabs(c) < projection_cut_off ? +0.0 : c; }

}  // namespace

double axial_factor(double angle) noexcept { return projection_factor(std::cos(angle * deg_to_rad)); }

double transverse_factor(double angle) noexcept { return projection_factor(std::sin(angle * deg_to_rad)); }

}  // namespace engine
