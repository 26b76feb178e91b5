#include "python/build_load.hpp"

#include <array>
#include <cmath>

#include "cases/cases.hpp"

namespace python {
namespace {

using engine::deg_to_rad;
using engine::Load;
using engine::LoadKind;

enum class Kind { point, udl, trap, torque, dist };

struct KindInfo {
    std::string_view name;
    Kind kind;
    std::size_t min_params;
};

constexpr std::array<KindInfo, 5> kinds{{
    {"point", Kind::point, 3},
    {"udl", Kind::udl, 4},
    {"trap", Kind::trap, 5},
    {"torque", Kind::torque, 2},
    {"dist", Kind::dist, 4},
}};

const KindInfo* find_kind(std::string_view name) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

Load point_load(double P, double x, double theta) {
    return Load{{{P, x, -1}}, theta, std::sin(theta * deg_to_rad) * (x * P), LoadKind::Point};
}

// Resultant w * L acting at the middle of the loaded stretch.
Load uniform_load(double w, double x1, double x2, double theta) {
    const double L = x2 - x1;
    const double moment = std::sin(theta * deg_to_rad) * (((L * 0.5) + x1) * (w * L));
    return Load{{{w, x1, 0}, {-w, x2, 0}}, theta, moment, LoadKind::Distributed};
}

// A doublet of -T: integrated twice it becomes a bending-moment step of -T,
// which equilibrium turns into a moment of +T on the span to its left.
Load torque_load(double T, double x) { return Load{{{-T, x, -2}}, 90.0, T, LoadKind::Torque}; }

Load build(Kind kind, std::span<const double> p) {
    switch (kind) {
        case Kind::point: return point_load(p[0], p[1], p[2]);
        case Kind::udl: return uniform_load(p[0], p[1], p[2], p[3]);
        case Kind::trap: return cases::trap_pub(p[0], p[1], p[2], p[3], p[4]);
        case Kind::torque: return torque_load(p[0], p[1]);
        case Kind::dist: return cases::distributed_pub(p.subspan(3), p[0], p[1], p[2]);
    }
    return Load{};
}

}  // namespace

std::variant<engine::Load, LoadError> build_load(std::string_view kind, std::span<const double> params) {
    const KindInfo* info = find_kind(kind);
    if (info == nullptr) return LoadError{"unknown load kind '" + std::string(kind) + "'"};
    if (params.size() < info->min_params) {
        return LoadError{"load '" + std::string(kind) + "' needs " + std::to_string(info->min_params) +
                         " params, got " + std::to_string(params.size())};
    }
    return build(info->kind, params);
}

}  // namespace python
