#include "engine/hinges.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interrupt/sort.hpp"

namespace engine {
namespace {

// The distinct fixed points of a part, counted up to two (two hold it).
struct Points {
    std::size_t count = 0;
    double first = 0.0;

    void add(double x) noexcept {
        if (count == 0) {
            first = x;
            count = 1;
        } else if (count == 1 && x != first) {
            count = 2;
        }
    }
};

// What the supports give one part on its own.
struct Part {
    Points points;
    bool turn = false;  // a rotational restraint inside it
};

}  // namespace

std::optional<bool> hinged_parts_held(std::span<const double> hinges, const Support* sup, std::size_t count,
                                      arena::Arena& arena, interrupt::Check& check) {
    const std::size_t k = hinges.size();
    if (std::any_of(hinges.begin(), hinges.end(), [](double h) { return !std::isfinite(h); })) return false;
    double* h = arena.allocate<double>(k);
    if (k != 0) std::memcpy(h, hinges.data(), k * sizeof(double));
    if (!interrupt::stable_sort(h, arena.allocate<double>(k), k, [](double a, double b) { return a < b; }, check)) {
        return std::nullopt;
    }
    if (std::adjacent_find(h, h + k) != h + k) return false;

    // Part p runs from hinge p - 1 to hinge p (unbounded at either end of
    // the chain): a vertical restraint fixes a point of the part it lies
    // in, one at a hinge a point of both parts there.
    const std::size_t parts = k + 1;
    Part* part = arena.allocate<Part>(parts);
    std::fill(part, part + parts, Part{});
    for (std::size_t j = 0; j < count; ++j) {
        const Support& s = sup[j];
        if (std::isnan(s.pos)) continue;  // placed nowhere, it holds nothing
        const std::size_t p = static_cast<std::size_t>(std::lower_bound(h, h + k, s.pos) - h);
        const bool at_hinge = p < k && h[p] == s.pos;
        if (s.ky != 0.0) {
            part[p].points.add(s.pos);
            if (at_hinge) part[p + 1].points.add(s.pos);
        }
        if (s.km != 0.0) {
            if (at_hinge) return false;
            part[p].turn = true;
        }
    }
    if (check.stop(count + parts)) return std::nullopt;

    bool* held = arena.allocate<bool>(parts);
    std::fill(held, held + parts, false);
    auto holds = [&](std::size_t p) {
        Points fixed = part[p].points;
        if (p > 0 && held[p - 1]) fixed.add(h[p - 1]);
        if (p + 1 < parts && held[p + 1]) fixed.add(h[p]);
        return fixed.count >= 2 || (fixed.count == 1 && part[p].turn);
    };
    for (std::size_t p = 0; p < parts; ++p) held[p] = holds(p);
    for (std::size_t p = parts; p-- > 0;) held[p] = held[p] || holds(p);
    if (check.stop(2 * parts)) return std::nullopt;
    return std::all_of(held, held + parts, [](bool b) { return b; });
}

}  // namespace engine
