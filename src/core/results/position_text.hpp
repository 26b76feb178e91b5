// The text under which a support's reactions are reported: integral
// positions as (saturating) 64-bit integers, others as the shortest decimal
// that reads back to the same double, never with an exponent.
#pragma once

#include <array>
#include <string_view>

namespace results {

// Room for the longest text: a sign, "0.", 323 zeros and 17 digits.
using PositionBuffer = std::array<char, 512>;

// The text, written into the buffer.
std::string_view position_text(double p, PositionBuffer& buffer) noexcept;

}  // namespace results
