// Helpers shared by the C++ tests: exact (bitwise) double comparison and
// readable printing of terms, and the common includes.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/model.hpp"

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

namespace sing {
inline void PrintTo(const Term& t, std::ostream* os) { *os << "{" << t.coefficient << ", " << t.position << ", " << t.order << "}"; }
}  // namespace sing

inline void expect_load(const engine::Load& got, const engine::Load& want) {
    EXPECT_EQ(got.terms, want.terms);
    EXPECT_EQ(bits(got.angle), bits(want.angle));
    EXPECT_EQ(got.moment, want.moment);
    EXPECT_EQ(got.kind, want.kind);
}
