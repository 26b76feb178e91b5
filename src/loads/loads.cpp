#include "loads/loads.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace loads {
namespace {

using engine::Load;
using engine::LoadKind;
using sing::ipow;

// The moment of the transverse part: the moment of the intensity about x = 0
// times the transverse share of the angle, so that a load whose transverse
// part is dropped leaves no couple behind either.
Load with_angle(sing::TermList terms, double theta, double moment, LoadKind kind) {
    return Load{std::move(terms), theta, engine::transverse_factor(theta) * moment, kind};
}

// Coefficients of sum_j c[j] (y + s)^j re-expanded in powers of y:
// out[i] = sum_{j >= i} s^(j - i) * (C(j, i) * c[j]), each sum from +0.0 in
// increasing j. C(j, i) is the running product b = ((j - t) * b) / (t + 1)
// over t < i; binomial[j] carries it from one i to the next, so each row
// is built once and the whole shift costs n^2 rather than n^3. A zero
// coefficient adds nothing and is skipped: its term could only be +-0, or
// NaN where it meets a power that overflows. Empty when the check stops it.
std::vector<double> shift_polynomial(std::span<const double> c, double s, interrupt::Check& check) {
    const std::size_t n = c.size();
    std::vector<double> power(n), binomial(n, 1.0), out(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) power[k] = ipow(s, static_cast<std::uint32_t>(k));
    for (std::size_t i = 0; i < n; ++i) {
        if (check.stop(n - i)) return {};
        double sum = +0.0;
        for (std::size_t j = i; j < n; ++j) {
            if (c[j] != 0.0) sum += power[j - i] * (binomial[j] * c[j]);
            binomial[j] = (static_cast<double>(j - i) * binomial[j]) / static_cast<double>(i + 1);
        }
        out[i] = sum;
    }
    return out;
}

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

std::variant<Load, LoadError, LoadInterrupted> build(Kind kind, std::span<const double> p, interrupt::Check& check) {
    switch (kind) {
        case Kind::point: return point_load(p[0], p[1], p[2]);
        case Kind::udl: return uniform_load(p[0], p[1], p[2], p[3]);
        case Kind::trap: return trapezoidal_load(p[0], p[1], p[2], p[3], p[4]);
        case Kind::torque: return torque_load(p[0], p[1]);
        case Kind::dist: {
            std::optional<Load> load = polynomial_load(p.subspan(3), p[0], p[1], p[2], check);
            if (!load) return LoadInterrupted{};
            return std::move(*load);
        }
    }
    return Load{};
}

}  // namespace

Load point_load(double P, double x, double theta) {
    return with_angle({{P, x, -1}}, theta, x * P, LoadKind::Point);
}

// Resultant w * L acting at the middle of the loaded stretch.
Load uniform_load(double w, double start, double end, double theta) {
    const double L = end - start;
    return with_angle({{w, start, 0}, {-w, end, 0}}, theta, ((L * 0.5) + start) * (w * L), LoadKind::Distributed);
}

Load trapezoidal_load(double w1, double w2, double start, double end, double theta) {
    const double L = end - start;
    const double delta = w2 - w1;
    sing::TermList terms{{w1, start, 0}, {-w1, end, 0}};
    // A stretch of zero length carries nothing; its rise would be a slope of
    // delta / 0.
    if (!(w1 == w2) && !(start == end)) {
        terms.push_back({delta / L, start, 1});
        terms.push_back({-delta, end, 0});
        terms.push_back({-(delta / L), end, 1});
    }
    // Triangle resultant at start + 2L/3 plus rectangle resultant at start + L/2.
    const double moment = ((L + L) / 3 + start) * (delta * L * 0.5) + (L * 0.5 + start) * (w1 * L);
    return with_angle(std::move(terms), theta, moment, LoadKind::Distributed);
}

std::optional<Load> polynomial_load(std::span<const double> c, double start, double end, double theta,
                                    interrupt::Check& check) {
    const std::size_t n = c.size();
    const std::vector<double> about_start = shift_polynomial(c, start, check);
    const std::vector<double> about_end = shift_polynomial(about_start, end - start, check);
    if (check.stopped()) return std::nullopt;
    sing::TermList terms;
    for (std::size_t i = 0; i < n; ++i) {
        if (about_start[i] != 0.0) terms.push_back({about_start[i], start, static_cast<std::int32_t>(i)});
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (about_end[k] != 0.0) terms.push_back({-about_end[k], end, static_cast<std::int32_t>(k)});
    }
    // Integral of x * w(x) over [start, end].
    double moment = +0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (c[j] == 0.0) continue;  // as in the shifts
        const auto p = static_cast<std::uint32_t>(j + 2);
        moment += ((ipow(end, p) - ipow(start, p)) * c[j]) / static_cast<double>(j + 2);
    }
    return with_angle(std::move(terms), theta, moment, LoadKind::Distributed);
}

// A doublet of -T: integrated twice it becomes a bending-moment step of -T,
// which equilibrium turns into a moment of +T on the span to its left. Its
// moment about x = 0 is T itself, with no sine.
Load torque_load(double T, double x) { return Load{{{-T, x, -2}}, 90.0, T, LoadKind::Torque}; }

std::variant<Load, LoadError, LoadInterrupted> build_load(std::string_view kind, std::span<const double> params,
                                                          interrupt::Check& check) {
    const KindInfo* info = find_kind(kind);
    if (info == nullptr) return LoadError{"unknown load kind '" + std::string(kind) + "'"};
    if (params.size() < info->min_params) {
        return LoadError{"load '" + std::string(kind) + "' needs " + std::to_string(info->min_params) +
                         " params, got " + std::to_string(params.size())};
    }
    return build(info->kind, params, check);
}

std::variant<Load, LoadError, LoadInterrupted> build_load(std::string_view kind, std::span<const double> params) {
    interrupt::Check never;
    return build_load(kind, params, never);
}

}  // namespace loads
