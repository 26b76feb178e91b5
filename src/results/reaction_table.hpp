// The reactions as a caller reads them: keyed by the text of the support's
// position, one entry per key.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "engine/analysis.hpp"
#include "interrupt/check.hpp"

namespace results {

struct KeyedReaction {
    std::string key;  // position_text of the support's position
    double rx = 0.0;
    double ry = 0.0;
    double m = 0.0;
};

// In the order of the reactions (ascending position). Supports whose keys
// coincide (one position listed twice, or 0 and -0) share one entry holding
// their reactions added component by component in that order: the total
// reaction at the position, as one support with the combined restraints
// reports it. Cut short, with the check stopped, when the caller asks.
std::vector<KeyedReaction> reaction_table(std::span<const engine::Reaction> reactions, interrupt::Check& check);

}  // namespace results
