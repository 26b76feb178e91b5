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

std::string shortest_positional(double p) {
    // The longest fixed rendering of a double is ~1080 characters (denormals).
    char buf[1100];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, p, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string position_text(double p) {
    if (p - std::trunc(p) == 0.0) return std::to_string(saturating_int64(p));
    if (std::isnan(p)) return "NaN";
    if (std::isinf(p)) return p > 0 ? "inf" : "-inf";
    return shortest_positional(p);
}

}  // namespace results
