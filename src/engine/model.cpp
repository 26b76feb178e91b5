#include "engine/model.hpp"

#include <cmath>
#include <utility>

namespace engine {
namespace {

double projection_factor(double c) noexcept { return std::fabs(c) < 1e-8 ? +0.0 : c; }

struct KindInfo {
    std::string_view text;
    LoadName name;
    std::size_t min_params;
};

constexpr KindInfo kinds[] = {
    {"point", LoadName::point, 3}, {"udl", LoadName::udl, 4},   {"trap", LoadName::trap, 5},
    {"torque", LoadName::torque, 2}, {"dist", LoadName::dist, 4},
};

}  // namespace

// Out of line, so that no compiler merges the two into one sincos call,
// whose last bit need not agree with sin's and cos's on every C library.
double axial_factor(double angle) noexcept { return projection_factor(std::cos(angle * deg_to_rad)); }

double transverse_factor(double angle) noexcept { return projection_factor(std::sin(angle * deg_to_rad)); }

LoadName load_name(std::string_view text) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.text == text) return k.name;
    }
    return LoadName::unknown;
}

std::string_view load_text(LoadName name) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.name == name) return k.text;
    }
    return {};
}

std::size_t min_params(LoadName name) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.name == name) return k.min_params;
    }
    return 0;
}

LoadInput load_input(std::string_view kind, std::span<const double> params) noexcept {
    LoadInput entry;
    entry.name = load_name(kind);
    entry.count = params.size();
    for (std::size_t k = 0; k < params.size() && k < max_fixed_params; ++k) entry.head[k] = params[k];
    if (entry.name == LoadName::dist) entry.all = params.data();
    if (entry.name == LoadName::unknown) entry.text = kind;
    return entry;
}

void set_unit_factor(Units& u, std::string_view key, double value) noexcept {
    const std::pair<std::string_view, double*> factors[] = {
        {"length", &u.length},       {"force", &u.force}, {"moment", &u.moment}, {"distributed", &u.distributed},
        {"stiffness", &u.stiffness}, {"A", &u.A},         {"G", &u.G},           {"E", &u.E},
        {"I", &u.I},                 {"deflection", &u.deflection}};
    for (auto& [name, field] : factors) {
        if (key == name) *field = value;
    }
}

}  // namespace engine
