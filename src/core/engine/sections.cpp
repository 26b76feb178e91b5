#include "engine/sections.hpp"

#include <cmath>

namespace engine {
namespace {

double axial_stiffness(const Units& u, const Section& s, double a) noexcept { return (u.A * s.E) * a; }

// A flexibility from its value in each section (values[0] the first's).
Flexibility flexibility(std::span<const double> at, const double* values, arena::Arena& arena) {
    const std::size_t n = at.size();
    double* step = arena.allocate<double>(n);
    double* own = arena.allocate<double>(n);
    for (std::size_t k = 0; k < n; ++k) {
        step[k] = values[k + 1] - values[k];
        own[k] = values[k + 1] - values[0];
    }
    return {at, {step, n}, {own, n}};
}

}  // namespace

std::optional<Sections> sections_of(const Input& in, arena::Arena& arena) {
    const std::span<const SectionChange> changes = in.extensions.sections;
    const Section first = first_section(in);
    const std::size_t n = changes.size();
    if (n == 0) return Sections{};
    double* at = arena.allocate<double>(n);
    double* bending = arena.allocate<double>(n + 1);
    double* shear = arena.allocate<double>(n + 1);
    double* axial = arena.allocate<double>(n + 1);
    const double EA0 = axial_stiffness(in.units, first, in.a);
    bending[0] = 1.0;
    shear[0] = first.phi;
    axial[0] = 1.0;
    for (std::size_t k = 0; k < n; ++k) {
        const SectionChange& c = changes[k];
        if (std::isnan(c.start) || (k > 0 && !(changes[k - 1].start < c.start))) return std::nullopt;
        const Section s = section(in.units, c.e, c.i, c.a, c.g);
        at[k] = c.start;
        bending[k + 1] = first.EI / s.EI;
        shear[k + 1] = s.phi;
        axial[k + 1] = EA0 / axial_stiffness(in.units, s, c.a);
    }
    const std::span<const double> starts{at, n};
    return Sections{flexibility(starts, bending, arena), flexibility(starts, shear, arena),
                    flexibility(starts, axial, arena)};
}

}  // namespace engine
