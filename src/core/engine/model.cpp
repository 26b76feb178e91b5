#include "engine/model.hpp"

#include <utility>

namespace engine {

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
