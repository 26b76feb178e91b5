// The private solve()'s arguments beyond flexura.solve()'s eight: what a
// beam has besides a prismatic section on rigid or sprung supports.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>

#include "arena/arena.hpp"
#include "engine/model.hpp"

namespace tools_engine {

// The parameter names, in order after solve()'s eight.
inline constexpr const char* extension_params[] = {"sections",    "hinges",             "settlements",
                                                   "curvatures",  "rotational_springs", "rotation"};
inline constexpr std::size_t extension_count = std::size(extension_params);

// Converts the bound values (null or None where not given) into the
// extensions, their lists in the arena: sections as (start, e, i, a, g),
// hinges as positions, settlements as (dy, rotation) per support,
// curvatures as (k1, k2, x1, x2), the two switches as bools. False with the
// exception set, a TypeError naming its parameter.
bool read_extensions(std::span<PyObject* const, extension_count> slots, engine::Extensions& out,
                     arena::Arena& arena);

}  // namespace tools_engine
