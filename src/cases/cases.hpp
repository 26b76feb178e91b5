// Distributed loads whose intensity varies along the beam, written as
// singularity terms that are zero outside the loaded stretch.
#pragma once

#include <span>

#include "engine/model.hpp"

namespace cases {

// Intensity w1 at x1 varying linearly to w2 at x2, at angle theta (degrees).
// Terms: the base step on and off, plus (when w1 != w2) the ramp and the
// cancelling step and ramp at x2. The moment is that of the transverse part
// about x = 0.
engine::Load trap_pub(double w1, double w2, double x1, double x2, double theta);

// Intensity c[0] + c[1] x + ... in the absolute beam coordinate between x1
// and x2, re-expanded about x1 and cancelled about x2. c must not be empty.
engine::Load distributed_pub(std::span<const double> c, double x1, double x2, double theta);

}  // namespace cases
