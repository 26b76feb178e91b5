#include "engine/loads.hpp"

#include <cstdint>
#include <cstring>
#include <string>

namespace engine {
namespace {

using sing::ipow;
using sing::Term;

// Each kind's text and the count of parameters it needs at least; surplus
// ones are ignored, except that every "dist" parameter from the fourth on is
// one more polynomial coefficient.
struct KindInfo {
    std::string_view text;
    LoadName name;
    std::size_t min_params;
};

constexpr KindInfo kinds[] = {
    {"point", LoadName::point, 3}, {"udl", LoadName::udl, 4},   {"trap", LoadName::trap, 5},
    {"torque", LoadName::torque, 2}, {"dist", LoadName::dist, 4},
};

const KindInfo* kind_info(LoadName name) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

// The moment of the transverse part: the moment of the intensity about x = 0
// times the transverse share of the angle, so that a load whose transverse
// part is dropped leaves no couple behind either.
Load with_angle(sing::Terms terms, double theta, double moment, LoadKind kind) {
    const double transverse = transverse_factor(theta);
    return Load{terms, transverse, axial_factor(theta), transverse * moment, kind};
}

Term* terms_in(arena::Arena& arena, std::size_t n) { return arena.allocate<Term>(n); }

// Coefficients of sum_j c[j] (y + s)^j re-expanded in powers of y:
// out[i] = sum_{j >= i} s^(j - i) * (C(j, i) * c[j]), each sum from +0.0 in
// increasing j. C(j, i) is the running product b = ((j - t) * b) / (t + 1)
// over t < i; binomial[j] carries it from one i to the next, so each row
// is built once and the whole shift costs n^2 rather than n^3. A zero
// coefficient adds nothing and is skipped: its term could only be +-0, or
// NaN where it meets a power that overflows. Null when the check stops it.
double* shift_polynomial(std::span<const double> c, double s, arena::Arena& arena, interrupt::Check& check) {
    const std::size_t n = c.size();
    double* power = arena.allocate<double>(n);
    double* binomial = arena.allocate<double>(n);
    double* out = arena.allocate<double>(n);
    for (std::size_t k = 0; k < n; ++k) {
        power[k] = ipow(s, static_cast<std::uint32_t>(k));
        binomial[k] = 1.0;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (check.stop(n - i)) return nullptr;
        double sum = +0.0;
        for (std::size_t j = i; j < n; ++j) {
            if (c[j] != 0.0) sum += power[j - i] * (binomial[j] * c[j]);
            binomial[j] = (static_cast<double>(j - i) * binomial[j]) / static_cast<double>(i + 1);
        }
        out[i] = sum;
    }
    return out;
}

std::string unknown_kind(const LoadInput& entry) { return "unknown load kind '" + std::string(entry.text) + "'"; }

}  // namespace

LoadName load_name(std::string_view text) noexcept {
    for (const KindInfo& k : kinds) {
        if (k.text == text) return k.name;
    }
    return LoadName::unknown;
}

std::string_view kept_text(std::string_view kind, arena::Arena& arena) {
    char* copy = arena.allocate<char>(kind.size());
    if (!kind.empty()) std::memcpy(copy, kind.data(), kind.size());
    return {copy, kind.size()};
}

LoadInput load_input(std::string_view kind, std::span<const double> params, arena::Arena& arena) {
    LoadInput entry;
    set_kind(entry, kind, arena);
    for (double v : params) add_param(entry, v);
    if (keeps_all_params(entry)) entry.all = params.data();
    return entry;
}

Load point_load(double P, double x, double theta, arena::Arena& arena) {
    Term* t = terms_in(arena, 1);
    t[0] = {P, x, -1};
    return with_angle({t, 1}, theta, x * P, LoadKind::Point);
}

// Resultant w * L acting at the middle of the loaded stretch.
Load uniform_load(double w, double start, double end, double theta, arena::Arena& arena) {
    const double L = end - start;
    Term* t = terms_in(arena, 2);
    t[0] = {w, start, 0};
    t[1] = {-w, end, 0};
    return with_angle({t, 2}, theta, ((L * 0.5) + start) * (w * L), LoadKind::Distributed);
}

Load trapezoidal_load(double w1, double w2, double start, double end, double theta, arena::Arena& arena) {
    const double L = end - start;
    const double delta = w2 - w1;
    // A stretch of zero length carries nothing; its rise would be a slope of
    // delta / 0.
    const bool rises = !(w1 == w2) && !(start == end);
    Term* t = terms_in(arena, rises ? 5 : 2);
    t[0] = {w1, start, 0};
    t[1] = {-w1, end, 0};
    if (rises) {
        t[2] = {delta / L, start, 1};
        t[3] = {-delta, end, 0};
        t[4] = {-(delta / L), end, 1};
    }
    // Triangle resultant at start + 2L/3 plus rectangle resultant at start + L/2.
    const double moment = ((L + L) / 3 + start) * (delta * L * 0.5) + (L * 0.5 + start) * (w1 * L);
    return with_angle({t, rises ? 5U : 2U}, theta, moment, LoadKind::Distributed);
}

// A doublet of -T: integrated twice it becomes a bending-moment step of -T,
// which equilibrium turns into a moment of +T on the span to its left. Its
// moment about x = 0 is T itself, with no sine; its angle is always 90
// degrees, whose transverse share is exactly 1.
Load torque_load(double T, double x, arena::Arena& arena) {
    Term* t = terms_in(arena, 1);
    t[0] = {-T, x, -2};
    return Load{{t, 1}, 1.0, 0.0, T, LoadKind::Torque};
}

std::variant<Load, Failure> polynomial_load(std::span<const double> c, double start, double end, double theta,
                                            arena::Arena& arena, interrupt::Check& check) {
    const std::size_t n = c.size();
    const double* about_start = shift_polynomial(c, start, arena, check);
    const double* about_end = about_start ? shift_polynomial({about_start, n}, end - start, arena, check) : nullptr;
    if (about_end == nullptr) return Failure::stopped();
    Term* t = terms_in(arena, 2 * n);
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (about_start[i] != 0.0) t[count++] = {about_start[i], start, static_cast<std::int32_t>(i)};
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (about_end[k] != 0.0) t[count++] = {-about_end[k], end, static_cast<std::int32_t>(k)};
    }
    // Integral of x * w(x) over [start, end].
    double moment = +0.0;
    for (std::size_t j = 0; j < n; ++j) {
        if (c[j] == 0.0) continue;  // as in the shifts
        const auto p = static_cast<std::uint32_t>(j + 2);
        moment += ((ipow(end, p) - ipow(start, p)) * c[j]) / static_cast<double>(j + 2);
    }
    return with_angle({t, count}, theta, moment, LoadKind::Distributed);
}

std::variant<Load, Failure> build_load(const LoadInput& entry, arena::Arena& arena, interrupt::Check& check) {
    const KindInfo* kind = kind_info(entry.name);
    if (kind == nullptr) return Failure::invalid(unknown_kind(entry));
    if (entry.count < kind->min_params) {
        return Failure::invalid("load '" + std::string(kind->text) + "' needs " + std::to_string(kind->min_params) +
                                " params, got " + std::to_string(entry.count));
    }
    const double* p = entry.head;
    switch (entry.name) {
        case LoadName::point: return point_load(p[0], p[1], p[2], arena);
        case LoadName::udl: return uniform_load(p[0], p[1], p[2], p[3], arena);
        case LoadName::trap: return trapezoidal_load(p[0], p[1], p[2], p[3], p[4], arena);
        case LoadName::torque: return torque_load(p[0], p[1], arena);
        case LoadName::dist:
            return polynomial_load({entry.all + 3, entry.count - 3}, entry.all[0], entry.all[1], entry.all[2], arena,
                                   check);
        case LoadName::unknown: break;
    }
    return Failure::invalid(unknown_kind(entry));
}

}  // namespace engine
