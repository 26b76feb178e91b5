#include "results/features.hpp"

#include <cmath>
#include <algorithm>
#include <functional>
#include <limits>

#include "interrupt/sort.hpp"

namespace results {
namespace {

// Sorts the first `count` positions of `room` (the rest of the room is the
// sort's scratch) and keeps each once; the count kept, or none when stopped.
std::optional<std::size_t> sorted_once(double* room, std::size_t count, interrupt::Check& check) {
    if (!interrupt::stable_sort(room, room + count, count, std::less<double>(), check)) return std::nullopt;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (kept == 0 || room[kept - 1] != room[k]) room[kept++] = room[k];
    }
    return kept;
}

}  // namespace

std::optional<std::size_t> features_room(const engine::Analysis& analysis) noexcept {
    // The two ends, and every term of the longest list, the places where the
    // jumps of a quantity may be.
    std::size_t most = analysis.features.size();
    for (engine::Quantity q : {engine::Quantity::nf, engine::Quantity::sf, engine::Quantity::bm, engine::Quantity::d,
                               engine::Quantity::rotation}) {
        most = std::max(most, engine::terms_of(analysis, q).size());
    }
    if (most > std::numeric_limits<std::size_t>::max() / sizeof(double) / 2 - 2) return std::nullopt;
    return 2 * (most + 2);
}

std::optional<std::size_t> features(const engine::Analysis& analysis, double span, double* room,
                                    interrupt::Check& check) {
    std::size_t count = 0;
    auto keep_on_beam = [&](double x) {
        if (0.0 <= x && x <= span) room[count++] = x;
    };
    keep_on_beam(0.0);
    keep_on_beam(span);
    for (double x : analysis.features) keep_on_beam(x);
    if (check.stop(analysis.features.size())) return std::nullopt;
    return sorted_once(room, count, check);
}

std::optional<std::size_t> jumps(const engine::Analysis& analysis, engine::Quantity q, double* room,
                                 interrupt::Check& check) {
    sing::Terms terms = engine::terms_of(analysis, q);
    if (q == engine::Quantity::d) terms = terms.first(terms.size() - engine::integration_constants);
    if (q == engine::Quantity::rotation && !terms.empty()) {
        terms = terms.first(terms.size() - engine::rotation_constants);
    }
    std::size_t count = 0;
    for (const sing::Term& t : terms) {
        if (t.order == 0 && t.coefficient != 0.0 && !std::isnan(t.position)) room[count++] = t.position;
    }
    if (check.stop(terms.size())) return std::nullopt;
    return sorted_once(room, count, check);
}

}  // namespace results
