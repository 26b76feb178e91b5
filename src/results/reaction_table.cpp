#include "results/reaction_table.hpp"

#include "results/position_text.hpp"

namespace results {

// Formatting one key costs about as much as this many units of arithmetic.
constexpr std::uint64_t key_cost = 256;

std::vector<KeyedReaction> reaction_table(std::span<const engine::Reaction> reactions, interrupt::Check& check) {
    std::vector<KeyedReaction> table;
    table.reserve(reactions.size());
    for (const engine::Reaction& r : reactions) {
        if (check.stop(key_cost)) break;
        std::string key = position_text(r.pos);
        // Positions ascend, so supports that share a key are neighbours.
        if (!table.empty() && table.back().key == key) {
            KeyedReaction& total = table.back();
            total.rx = total.rx + r.rx;
            total.ry = total.ry + r.ry;
            total.m = total.m + r.m;
        } else {
            table.push_back({std::move(key), r.rx, r.ry, r.m});
        }
    }
    return table;
}

}  // namespace results
