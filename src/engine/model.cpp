#include "engine/model.hpp"

#include <cmath>
#include <utility>

namespace engine {
namespace {

double projection_factor(double c) noexcept { return std::fabs(c) < 1e-8 ? +0.0 : c; }

// The component along one direction, integrated once (load to shear force).
sing::TermList project(const sing::TermList& terms, double c) {
    return sing::integrate_terms(sing::scale_terms(terms, c));
}

}  // namespace

double axial_factor(double angle) noexcept { return projection_factor(std::cos(angle * deg_to_rad)); }

double transverse_factor(double angle) noexcept { return projection_factor(std::sin(angle * deg_to_rad)); }

void set_unit_factor(Units& u, std::string_view key, double value) noexcept {
    const std::pair<std::string_view, double*> factors[] = {
        {"length", &u.length},       {"force", &u.force}, {"moment", &u.moment}, {"distributed", &u.distributed},
        {"stiffness", &u.stiffness}, {"A", &u.A},         {"G", &u.G},           {"E", &u.E},
        {"I", &u.I},                 {"deflection", &u.deflection}};
    for (auto& [name, field] : factors) {
        if (key == name) *field = value;
    }
}

sing::TermList Load::normal_force_terms() const { return project(terms, axial_factor(angle)); }

sing::TermList Load::shear_force_terms() const { return project(terms, transverse_factor(angle)); }

}  // namespace engine
