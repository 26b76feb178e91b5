#include "results/position_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace results {
namespace {

std::int64_t saturating_int64(double p) noexcept {
    constexpr double two63 = 9223372036854775808.0;
    if (p >= two63) return std::numeric_limits<std::int64_t>::max();
    if (p <= -two63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(p);
}

}  // namespace

std::string_view position_text(double p, PositionBuffer& buffer) noexcept {
    char* const begin = buffer.data();
    char* const end = begin + buffer.size();
    if (p - std::trunc(p) == 0.0) return {begin, std::to_chars(begin, end, saturating_int64(p)).ptr};
    if (std::isnan(p)) return "NaN";
    if (std::isinf(p)) return p > 0 ? "inf" : "-inf";
    return {begin, std::to_chars(begin, end, p, std::chars_format::fixed).ptr};
}

}  // namespace results
