// The reactions as a caller reads them: keyed by the text of the support's
// position, one entry per key.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "engine/analysis.hpp"
#include "interrupt/check.hpp"
#include "results/position_text.hpp"

namespace results {

struct KeyedReaction {
    std::string_view key;  // position_text of the support's position
    double rx = 0.0;
    double ry = 0.0;
    double m = 0.0;
};

// Formatting and handing on one key costs about as much as this many units
// of arithmetic.
inline constexpr std::uint64_t key_cost = 512;

// Hands each entry to visit(const KeyedReaction&), which returns false to
// end the visit, in the order of the reactions (ascending position).
// Supports whose keys coincide (one position listed twice, or 0 and -0)
// share one entry holding their reactions added component by component in
// that order: the total reaction at the position, as one support with the
// combined restraints reports it. The keys are written into two buffers on
// the stack; an entry's key lives until visit returns. False when visit or
// the check (asked per support) ended the visit early.
template <class Visit>
bool visit_keyed_reactions(std::span<const engine::Reaction> reactions, interrupt::Check& check, Visit&& visit) {
    PositionBuffer buffers[2];
    int current = 0;
    KeyedReaction entry;
    bool open = false;
    for (const engine::Reaction& r : reactions) {
        if (check.stop(key_cost)) return false;
        const std::string_view key = position_text(r.pos, buffers[1 - current]);
        // Positions ascend, so supports that share a key are neighbours.
        if (open && key == entry.key) {
            entry.rx = entry.rx + r.rx;
            entry.ry = entry.ry + r.ry;
            entry.m = entry.m + r.m;
            continue;
        }
        if (open && !visit(std::as_const(entry))) return false;
        current = 1 - current;
        entry = {key, r.rx, r.ry, r.m};
        open = true;
    }
    return !open || visit(std::as_const(entry));
}

}  // namespace results
