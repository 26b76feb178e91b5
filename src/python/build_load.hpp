// Construction of one engine load from a (kind, params) pair as the caller
// wrote it. Pure C++: the failure carries the ValueError message that the
// module raises.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "engine/model.hpp"

namespace python {

struct LoadError {
    std::string message;  // raised as ValueError
};

// Kinds: "point" (P, x, angle), "udl" (w, x1, x2, angle),
// "trap" (w1, w2, x1, x2, angle), "torque" (T, x),
// "dist" (x1, x2, angle, c0, c1, ...). Surplus parameters are ignored
// except for "dist", where each is one more polynomial coefficient.
std::variant<engine::Load, LoadError> build_load(std::string_view kind, std::span<const double> params);

}  // namespace python
