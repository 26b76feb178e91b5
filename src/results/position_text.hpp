// The text under which a support's reactions are reported: integral
// positions as (saturating) 64-bit integers, others as the shortest decimal
// that reads back to the same double, never with an exponent.
#pragma once

#include <string>

namespace results {

std::string position_text(double p);

}  // namespace results
