// Reading a quantity at a support or a load, where it may jump: the values
// just either side, rounded, and the larger of the two.
#pragma once

#include <cmath>

#include "engine/analysis.hpp"
#include "sing/sing.hpp"

namespace results {

// The term list's value at x - 1e-7 or at x + 1e-7, whichever has the larger
// magnitude after rounding to 10 decimals; the left one on ties and NaN.
inline double two_sided_value(sing::Terms terms, double x) noexcept {
    const double left = engine::round10(sing::eval_terms(terms, x + (-1e-7)));
    const double right = engine::round10(sing::eval_terms(terms, x + 1e-7));
    return std::fabs(left) < std::fabs(right) ? right : left;
}

}  // namespace results
