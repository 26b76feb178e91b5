// Reading a quantity at a support or a load, where it may jump: the values
// just either side, rounded, and the larger of the two.
#pragma once

#include "sing/sing.hpp"

namespace results {

// The term list's value at x - 1e-7 or at x + 1e-7, whichever has the larger
// magnitude after rounding to 10 decimals; the left one on ties and NaN.
double two_sided_value(const sing::TermList& list, double x) noexcept;

}  // namespace results
