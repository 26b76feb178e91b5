// Beam analysis by singularity functions. Transverse unknowns are the
// vertical reactions, the moment reactions and two integration constants
// (C1 = EI * slope at x = 0, C2 = deflection at x = 0); axial unknowns are
// the horizontal reactions. Equilibrium plus one compatibility condition
// per restraint gives one dense system each, solved directly.
//
// The fields are shear force V, bending moment M, EI * slope S and
// deflection D for the transverse system, normal force N and EA * axial
// displacement U for the axial one. Each is a constant part (the loads) plus
// one part per unknown. A reaction's part is a step at its support,
// integrated and scaled like the rest of its field, so every unknown of one
// kind has the same one or two terms, only at its own position: the fields
// keep those terms once per kind, and their constant parts as flat arrays.
#include "engine/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "interrupt/sort.hpp"
#include "linalg/solve.hpp"
#include "loads/loads.hpp"

namespace engine {
namespace {

using sing::Term;
using sing::Terms;

// Loops over input-sized arrays ask the check after every block of items.
constexpr std::size_t block_items = 4096;

template <class Body>
bool in_blocks(std::size_t n, interrupt::Check& check, Body&& body) {
    for (std::size_t start = 0; start < n; start += block_items) {
        const std::size_t end = std::min(n, start + block_items);
        for (std::size_t k = start; k < end; ++k) body(k);
        if (check.stop(end - start)) return false;
    }
    return true;
}

Failure stopped() { return Failure{Failure::Reason::stopped, {}}; }
Failure invalid(const char* message) { return Failure{Failure::Reason::invalid, message}; }

// --- Loads ---------------------------------------------------------------

// Building a load costs about as much as this many units of arithmetic.
constexpr std::uint64_t load_cost = 64;

// The most that building a load takes from the arena.
std::size_t load_footprint(const LoadInput& entry) {
    using arena::Arena;
    switch (entry.name) {
        case LoadName::point:
        case LoadName::torque: return Arena::footprint<Term>(1);
        case LoadName::udl: return Arena::footprint<Term>(2);
        case LoadName::trap: return Arena::footprint<Term>(5);
        case LoadName::dist:  // the terms and two shifts of three arrays
            return Arena::footprint<Term>(2 * entry.count) + 6 * Arena::footprint<double>(entry.count);
        case LoadName::unknown: break;
    }
    return 0;
}

// The loads in the caller's order, or the failure of the first that fails.
std::variant<std::span<const Load>, Failure> build_loads(std::span<const LoadInput> entries, arena::Arena& arena,
                                                         interrupt::Check& check) {
    std::size_t room = arena::Arena::footprint<Load>(entries.size());
    for (const LoadInput& entry : entries) room += load_footprint(entry);
    arena.reserve(room);
    Load* built = arena.allocate<Load>(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (check.stop(load_cost)) return stopped();
        auto load = loads::build_load(entries[k], arena, check);
        if (auto* failure = std::get_if<Failure>(&load)) return std::move(*failure);
        built[k] = std::get<Load>(load);
    }
    return std::span<const Load>(built, entries.size());
}

// Load components in base units, integrated once, plus their moment about
// x = 0. The transverse and axial lists hold one term per term of every
// point and distributed load, the torque list one per term of every torque.
struct LoadLists {
    Terms transverse;
    Terms axial;
    Terms torque;
    double moment = +0.0;
};

std::size_t count_terms(std::span<const Load> loads, bool torques) {
    std::size_t count = 0;
    for (const Load& load : loads) {
        const bool torque = load.kind != LoadKind::Point && load.kind != LoadKind::Distributed;
        if (torque == torques) count += load.terms.size();
    }
    return count;
}

// Each term scaled by the load's share, integrated once (load to shear
// force), then scaled into base units.
bool collect_loads(std::span<const Load> loads, const Units& u, Term* transverse, Term* axial, Term* torque,
                   double& moment, interrupt::Check& check) {
    std::size_t t = 0, q = 0;
    moment = +0.0;
    for (const Load& load : loads) {
        if (check.stop(1 + load.terms.size())) return false;
        if (load.kind == LoadKind::Point || load.kind == LoadKind::Distributed) {
            const bool point = load.kind == LoadKind::Point;
            const double k = point ? u.force : u.length * u.distributed;
            for (const Term& term : load.terms) {
                transverse[t] = term.scaled(load.transverse).integrated().scaled(k);
                axial[t++] = term.scaled(load.axial).integrated().scaled(k);
            }
            moment += point ? (load.moment * u.force) * u.length : ((load.moment * u.distributed) * u.length) * u.length;
        } else {
            // A torque acts on the bending moment: integrated once more.
            for (const Term& term : load.terms) {
                torque[q++] = term.scaled(load.transverse).integrated().integrated().scaled(u.moment);
            }
            moment += load.moment * u.moment;
        }
    }
    return true;
}

// --- Supports ------------------------------------------------------------

bool before(const Support& a, const Support& b) noexcept { return a.pos < b.pos; }

// Supports in ascending position, in a stable order, or the failure: a NaN
// position makes the order undefined (a single support is never compared).
// Callers mostly list them in order already, and then their own list serves
// as it is.
std::variant<const Support*, Failure> sort_supports(std::span<const Support> supports, arena::Arena& arena,
                                                     interrupt::Check& check) {
    if (supports.size() < 2) return supports.data();
    if (std::any_of(supports.begin(), supports.end(), [](const Support& s) { return std::isnan(s.pos); })) {
        return invalid("support position is not a number");
    }
    if (std::is_sorted(supports.begin(), supports.end(), before)) return supports.data();
    Support* copy = arena.allocate<Support>(supports.size());
    std::memcpy(copy, supports.data(), supports.size_bytes());
    if (!interrupt::stable_sort(copy, arena.allocate<Support>(supports.size()), supports.size(), before, check)) {
        return stopped();
    }
    return copy;
}

// Positions (into the sorted supports) restrained in one direction, in
// ascending order. The test is exact: -0.0 is free, NaN is restrained.
struct Restraints {
    const Support** vertical;
    std::size_t nV = 0;
    const Support** rotational;
    std::size_t nR = 0;
    const Support** horizontal;
    std::size_t nH = 0;
};

Restraints restraints_of(const Support* sup, std::size_t count, arena::Arena& arena) {
    Restraints r{arena.allocate<const Support*>(count), 0, arena.allocate<const Support*>(count), 0,
                 arena.allocate<const Support*>(count), 0};
    for (std::size_t k = 0; k < count; ++k) {
        const Support* s = sup + k;
        if (s->ky != 0.0) r.vertical[r.nV++] = s;
        if (s->km != 0.0) r.rotational[r.nR++] = s;
        if (s->kx != 0.0) r.horizontal[r.nH++] = s;
    }
    return r;
}

// --- Fields ----------------------------------------------------------------

struct Section {
    double E;
    double EI;
    double phi;  // shear flexibility 1 / GA; 0 for an infinite GA
};

Section section_constants(const Input& in) {
    const Units& u = in.units;
    const double E = u.E * in.e;
    const double EI = (u.I * E) * in.i;
    const double GA = ((u.G * in.g) * u.A) * in.a;
    return {E, EI, std::isinf(GA) ? 0.0 : 1.0 / GA};
}

// The terms of each kind of transverse unknown in M, S and D, each a step of
// 1 at its position in V (a moment reaction: a step of -1 in M), integrated
// and scaled as the fields are. The position is the unknown's own: its
// support, or x = 0 for the integration constants.
struct UnknownTerms {
    Term M_vertical, M_rotational;
    Term S_vertical, S_rotational, S_C1;
    Term D_vertical_bending, D_vertical_shear, D_rotational, D_C1, D_C2;
};

UnknownTerms unknown_terms(double uL, const Section& sec) {
    const Term step{1.0, 0.0, 0};
    UnknownTerms t;
    const Term V_integral = step.integrated();
    t.M_vertical = V_integral.scaled(uL);
    t.M_rotational = Term{-1.0, 0.0, 0};
    t.S_vertical = t.M_vertical.integrated().scaled(uL);
    t.S_rotational = t.M_rotational.integrated().scaled(uL);
    t.S_C1 = step;
    const double bending = uL / sec.EI;
    t.D_vertical_bending = t.S_vertical.integrated().scaled(bending);
    t.D_vertical_shear = V_integral.scaled(sec.phi * uL).scaled(-1.0);
    t.D_rotational = t.S_rotational.integrated().scaled(bending);
    t.D_C1 = t.S_C1.integrated().scaled(bending);
    t.D_C2 = step;
    return t;
}

// The value at x of one unknown's term placed at its position.
double at(const Term& t, double position, double x) noexcept { return Term{t.coefficient, position, t.order}.value_at(x); }

// Constant parts of the transverse fields:
//   V = transverse loads
//   M = uL * (integral of V), then the torque terms
//   S = uL * (integral of M)
//   D = (uL / EI) * (integral of S), then -(phi uL) * (integral of V)
struct TransverseFields {
    Terms V, M, S, D;
};

bool build_transverse_fields(const LoadLists& loads, const Section& sec, double uL, Term* M, Term* S, Term* D,
                             interrupt::Check& check) {
    const std::size_t nT = loads.transverse.size(), nQ = loads.torque.size();
    const double bending = uL / sec.EI, shear = sec.phi * uL;
    const Term* T = loads.transverse.data();
    const bool built = in_blocks(nT, check, [&](std::size_t k) {
        const Term V_integral = T[k].integrated();
        M[k] = V_integral.scaled(uL);
        S[k] = M[k].integrated().scaled(uL);
        D[k] = S[k].integrated().scaled(bending);
        D[nT + nQ + k] = V_integral.scaled(shear).scaled(-1.0);
    });
    return built && in_blocks(nQ, check, [&](std::size_t q) {
        M[nT + q] = loads.torque[q];
        S[nT + q] = M[nT + q].integrated().scaled(uL);
        D[nT + q] = S[nT + q].integrated().scaled(bending);
    });
}

// --- Transverse system -----------------------------------------------------

struct Transverse {
    const Restraints& r;
    const UnknownTerms& u;
    std::size_t n;
};

// Row of "S at x is zero": the coefficients of S.eval_affine(x), each an
// entry's sum from -0.0; the constant's negation on the right.
double slope_row(const Transverse& t, Terms S, double x, double* row) {
    for (std::size_t i = 0; i < t.r.nV; ++i) row[i] = -0.0 + at(t.u.S_vertical, t.r.vertical[i]->pos, x);
    for (std::size_t i = 0; i < t.r.nR; ++i) row[t.r.nV + i] = -0.0 + at(t.u.S_rotational, t.r.rotational[i]->pos, x);
    row[t.n - 2] = -0.0 + t.u.S_C1.value_at(x);
    row[t.n - 1] = -0.0;  // C2 has no part in S
    return -sing::eval_terms(S, x);
}

// Row of "D at x is zero", likewise; a vertical reaction has a bending and
// a shear term.
double deflection_row(const Transverse& t, Terms D, double x, double* row) {
    for (std::size_t i = 0; i < t.r.nV; ++i) {
        const double pos = t.r.vertical[i]->pos;
        row[i] = (-0.0 + at(t.u.D_vertical_bending, pos, x)) + at(t.u.D_vertical_shear, pos, x);
    }
    for (std::size_t i = 0; i < t.r.nR; ++i) row[t.r.nV + i] = -0.0 + at(t.u.D_rotational, t.r.rotational[i]->pos, x);
    row[t.n - 2] = -0.0 + t.u.D_C1.value_at(x);
    row[t.n - 1] = -0.0 + t.u.D_C2.value_at(x);
    return -sing::eval_terms(D, x);
}

// Fills and solves the transverse system; the solution replaces b.
bool solve_transverse(const Input& in, const LoadLists& loads, const Transverse& t, const TransverseFields& f,
                      double* a, double* b, interrupt::Check& check) {
    const std::size_t n = t.n, nV = t.r.nV, nR = t.r.nR;
    const Units& u = in.units;
    // Sum of vertical forces and sum of moments about x = 0.
    std::fill(a, a + 2 * n, 0.0);
    for (std::size_t j = 0; j < nV; ++j) a[j] = 1.0;
    b[0] = -sing::eval_terms(loads.transverse, in.span);
    for (std::size_t j = 0; j < nV; ++j) a[n + j] = t.r.vertical[j]->pos * u.length;
    for (std::size_t j = 0; j < nR; ++j) a[n + nV + j] = 1.0;
    b[1] = -loads.moment;

    // No rotation at rotational restraints.
    for (std::size_t j = 0; j < nR; ++j) {
        if (check.stop(f.S.size() + n)) return false;
        b[2 + j] = slope_row(t, f.S, t.r.rotational[j]->pos, a + (2 + j) * n);
    }
    // Deflection at a vertical restraint equals its spring deformation.
    for (std::size_t j = 0; j < nV; ++j) {
        if (check.stop(f.D.size() + n)) return false;
        const Support& s = *t.r.vertical[j];
        double* row = a + (2 + nR + j) * n;
        b[2 + nR + j] = deflection_row(t, f.D, s.pos, row);
        if (std::isfinite(s.ky)) row[j] += 1.0 / (s.ky * u.stiffness);
    }
    return linalg::solve(a, b, n, check);
}

// --- Axial system ----------------------------------------------------------

// N = axial loads plus a step of 1 per horizontal reaction; U = uL * (integral
// of N), whose differences between restraints give the compatibility rows.
// One restraint takes the whole axial load: the 1 x 1 system 1 * R = total
// solves (equilibrated by 1.0, divided by the pivot 1.0) to total exactly,
// so it is not built. Without restraint there is nothing to solve.
bool solve_axial(const Input& in, const LoadLists& loads, const Restraints& r, const Section& sec, double* x,
                 arena::Arena& arena, interrupt::Check& check) {
    const std::size_t m = r.nH;
    if (m == 0) return true;
    const double total = -sing::eval_terms(loads.axial, in.span);
    if (m == 1) {
        x[0] = total;
        return std::isfinite(total);
    }
    const Units& u = in.units;
    const double uL = u.length;
    const double EA = (u.A * sec.E) * in.a;
    const std::size_t nA = loads.axial.size();
    Term* U = arena.allocate<Term>(nA);
    if (!in_blocks(nA, check, [&](std::size_t k) { U[k] = loads.axial[k].integrated().scaled(uL); })) return false;
    const Term U_step = Term{1.0, 0.0, 0}.integrated().scaled(uL);
    auto coefficient = [&](std::size_t k, double x) { return -0.0 + at(U_step, r.horizontal[k]->pos, x); };

    double* a = arena.allocate<double>(m * m);
    for (std::size_t k = 0; k < m; ++k) a[k] = 1.0;
    x[0] = total;
    // Relative axial displacement to the first restraint equals the
    // difference of the two spring deformations.
    const Support& first = *r.horizontal[0];
    double* at_first = arena.allocate<double>(m);
    for (std::size_t k = 0; k < m; ++k) at_first[k] = coefficient(k, first.pos);
    const double constant_first = sing::eval_terms({U, nA}, first.pos);
    for (std::size_t i = 1; i < m; ++i) {
        if (check.stop(nA + m)) return false;
        const Support& s = *r.horizontal[i];
        double* row = a + i * m;
        for (std::size_t k = 0; k < m; ++k) row[k] = (coefficient(k, s.pos) - at_first[k]) / EA;
        x[i] = -(sing::eval_terms({U, nA}, s.pos) - constant_first) / EA;
        if (std::isfinite(first.kx)) row[0] += 1.0 / (first.kx * u.stiffness);
        if (std::isfinite(s.kx)) row[i] += -1.0 / (s.kx * u.stiffness);
    }
    return linalg::solve(a, x, m, check);
}

// --- Result ----------------------------------------------------------------

// Sizes of the result's lists; the block holds the Analysis, then the four
// term lists, the reactions and the features.
struct ResultSizes {
    std::size_t nf, sf, bm, d, supports, features;

    std::size_t bytes() const {
        std::size_t total = sizeof(Analysis);
        for (std::size_t terms : {nf, sf, bm, d}) total = add(total, times(terms, sizeof(Term)));
        total = add(total, times(supports, sizeof(Reaction)));
        return add(total, times(features, sizeof(double)));
    }

    static std::size_t times(std::size_t n, std::size_t size) {
        if (n > SIZE_MAX / size) throw std::bad_alloc();
        return n * size;
    }
    static std::size_t add(std::size_t a, std::size_t b) {
        if (a > SIZE_MAX - b) throw std::bad_alloc();
        return a + b;
    }
};

static_assert(alignof(Analysis) >= alignof(Term) && sizeof(Analysis) % alignof(Term) == 0);
static_assert(sizeof(Term) % alignof(Reaction) == 0 && sizeof(Reaction) % alignof(double) == 0);

// Writes terms one after another; each list ends where the next begins.
class TermWriter {
public:
    explicit TermWriter(Term* at) noexcept : next_(at) {}
    Term* begin() const noexcept { return next_; }
    void put(const Term& t) noexcept { *next_++ = t; }
    // Every constant term times k.
    bool put_scaled(Terms terms, double k, interrupt::Check& check) {
        Term* out = next_;
        next_ += terms.size();
        return in_blocks(terms.size(), check, [&](std::size_t j) { out[j] = terms[j].scaled(k); });
    }
    // The unknown's term at its position, times its value, then times k.
    void put_unknown(const Term& t, double position, double value, double k) noexcept {
        put(Term{t.coefficient, position, t.order}.scaled(value).scaled(k));
    }

private:
    Term* next_;
};

struct Solution {
    const double* transverse;  // n values, in the order of the transverse unknowns
    const double* axial;       // m values
};

// The fields with the solution substituted, each scaled back into the
// caller's unit: the constant terms first, then each unknown's terms times
// its value. Null when the check stopped the work.
bool write_lists(Analysis& out, TermWriter& w, const Input& in, const LoadLists& loads, const Restraints& r,
                 const UnknownTerms& u, const TransverseFields& f, const Solution& x, interrupt::Check& check) {
    const Units& units = in.units;
    const double inv_force = 1.0 / units.force;
    const std::size_t nV = r.nV, nR = r.nR;
    const Term step{1.0, 0.0, 0};

    Term* start = w.begin();
    if (!w.put_scaled(loads.axial, inv_force, check)) return false;
    for (std::size_t j = 0; j < r.nH; ++j) w.put_unknown(step, r.horizontal[j]->pos, x.axial[j], inv_force);
    out.nf = {start, w.begin()};

    start = w.begin();
    if (!w.put_scaled(f.V, inv_force, check)) return false;
    for (std::size_t j = 0; j < nV; ++j) w.put_unknown(step, r.vertical[j]->pos, x.transverse[j], inv_force);
    out.sf = {start, w.begin()};

    const double inv_moment = 1.0 / units.moment;
    start = w.begin();
    if (!w.put_scaled(f.M, inv_moment, check)) return false;
    for (std::size_t j = 0; j < nV; ++j) w.put_unknown(u.M_vertical, r.vertical[j]->pos, x.transverse[j], inv_moment);
    for (std::size_t j = 0; j < nR; ++j) {
        w.put_unknown(u.M_rotational, r.rotational[j]->pos, x.transverse[nV + j], inv_moment);
    }
    out.bm = {start, w.begin()};

    const double inv_deflection = 1.0 / units.deflection;
    start = w.begin();
    if (!w.put_scaled(f.D, inv_deflection, check)) return false;
    for (std::size_t j = 0; j < nV; ++j) {
        const double pos = r.vertical[j]->pos;
        w.put_unknown(u.D_vertical_bending, pos, x.transverse[j], inv_deflection);
        w.put_unknown(u.D_vertical_shear, pos, x.transverse[j], inv_deflection);
    }
    for (std::size_t j = 0; j < nR; ++j) {
        w.put_unknown(u.D_rotational, r.rotational[j]->pos, x.transverse[nV + j], inv_deflection);
    }
    w.put_unknown(u.D_C1, 0.0, x.transverse[nV + nR], inv_deflection);
    w.put_unknown(u.D_C2, 0.0, x.transverse[nV + nR + 1], inv_deflection);
    out.d = {start, w.begin()};
    return true;
}

// One entry per support, in order; the restraint lists are in the same
// order, so the place of a support in each is the count of restrained
// supports before it.
bool write_reactions(Reaction* out, const Support* sup, std::size_t count, const Solution& x, std::size_t nV,
                     const Units& u, interrupt::Check& check) {
    std::size_t h = 0, v = 0, m = 0;
    return in_blocks(count, check, [&](std::size_t k) {
        const Support& s = sup[k];
        Reaction rc{s.pos, +0.0, +0.0, +0.0};
        if (s.kx != 0.0) rc.rx = round10(x.axial[h++] / u.force);
        if (s.ky != 0.0) rc.ry = round10(x.transverse[v++] / u.force);
        if (s.km != 0.0) rc.m = round10(x.transverse[nV + m++] / u.moment);
        out[k] = rc;
    });
}

// Support positions in order, then every load's own term positions.
bool write_features(double* out, const Support* sup, std::size_t count, std::span<const Load> loads,
                    interrupt::Check& check) {
    if (!in_blocks(count, check, [&](std::size_t k) { out[k] = sup[k].pos; })) return false;
    std::size_t next = count;
    for (const Load& load : loads) {
        if (check.stop(1 + load.terms.size())) return false;
        for (const Term& t : load.terms) out[next++] = t.position;
    }
    return true;
}

// The work of one solve once its loads are built and its supports ordered.
class Solve {
public:
    Solve(const Input& in, std::span<const Load> loads, const Support* sup, arena::Arena& arena,
          interrupt::Check& check)
        : in_(in), loads_(loads), sup_(sup), arena_(arena), check_(check) {}

    Outcome run(ResultStorage& storage);

private:
    const Input& in_;
    std::span<const Load> loads_;
    const Support* sup_;
    arena::Arena& arena_;
    interrupt::Check& check_;
};

Outcome Solve::run(ResultStorage& storage) {
    const std::size_t count = in_.supports.size();
    const Restraints r = restraints_of(sup_, count, arena_);
    const Section sec = section_constants(in_);
    const double uL = in_.units.length;
    const std::size_t nT = count_terms(loads_, false), nQ = count_terms(loads_, true);
    const std::size_t n = r.nV + r.nR + 2;

    // Every array below in one block: loads T, A, Q; fields M, S, D; the
    // transverse system; the axial solution.
    arena_.reserve(arena::Arena::footprint<Term>(nT) * 2 + arena::Arena::footprint<Term>(nQ) +
                   arena::Arena::footprint<Term>(nT + nQ) * 2 + arena::Arena::footprint<Term>(2 * nT + nQ) +
                   arena::Arena::footprint<double>(n * n) + arena::Arena::footprint<double>(n) +
                   arena::Arena::footprint<double>(r.nH));
    Term* transverse = arena_.allocate<Term>(nT);
    Term* axial = arena_.allocate<Term>(nT);
    Term* torque = arena_.allocate<Term>(nQ);
    LoadLists lists{{transverse, nT}, {axial, nT}, {torque, nQ}};
    if (!collect_loads(loads_, in_.units, transverse, axial, torque, lists.moment, check_)) return stopped();

    Term* M = arena_.allocate<Term>(nT + nQ);
    Term* S = arena_.allocate<Term>(nT + nQ);
    Term* D = arena_.allocate<Term>(2 * nT + nQ);
    if (!build_transverse_fields(lists, sec, uL, M, S, D, check_)) return stopped();
    const TransverseFields f{lists.transverse, {M, nT + nQ}, {S, nT + nQ}, {D, 2 * nT + nQ}};
    const UnknownTerms u = unknown_terms(uL, sec);

    double* a = arena_.allocate<double>(n * n);
    double* xt = arena_.allocate<double>(n);
    if (!solve_transverse(in_, lists, Transverse{r, u, n}, f, a, xt, check_)) {
        return check_.stopped() ? stopped() : invalid("beam is unstable / singular (no unique solution)");
    }
    double* xa = arena_.allocate<double>(r.nH);
    if (!solve_axial(in_, lists, r, sec, xa, arena_, check_)) {
        return check_.stopped() ? stopped() : invalid("beam is unstable / singular (no unique solution)");
    }

    const ResultSizes sizes{nT + r.nH, nT + r.nV, nT + nQ + r.nV + r.nR, 2 * nT + nQ + 2 * r.nV + r.nR + 2, count,
                            count + nT + nQ};
    void* block = storage.obtain(sizes.bytes());
    if (block == nullptr) return stopped();
    auto* out = new (block) Analysis{};
    TermWriter w(reinterpret_cast<Term*>(out + 1));
    const Solution x{xt, xa};
    if (!write_lists(*out, w, in_, lists, r, u, f, x, check_)) return stopped();
    auto* reactions = reinterpret_cast<Reaction*>(w.begin());
    if (!write_reactions(reactions, sup_, count, x, r.nV, in_.units, check_)) return stopped();
    out->reactions = {reactions, count};
    auto* features = reinterpret_cast<double*>(reactions + count);
    if (!write_features(features, sup_, count, loads_, check_)) return stopped();
    out->features = {features, sizes.features};
    return out;
}

}  // namespace

double round10(double v) noexcept {
    const double scaled = v * 1e10;
    // Beyond about 1.8e298 the product overflows; such a value has no
    // decimals to round, and infinity would misreport it.
    if (std::isinf(scaled) && std::isfinite(v)) return v;
    return std::round(scaled) / 1e10;
}

Outcome solve(const Input& in, arena::Arena& arena, interrupt::Check& check, ResultStorage& storage) {
    auto built = build_loads(in.loads, arena, check);
    if (auto* failure = std::get_if<Failure>(&built)) return std::move(*failure);
    auto sorted = sort_supports(in.supports, arena, check);
    if (auto* failure = std::get_if<Failure>(&sorted)) return std::move(*failure);
    return Solve(in, std::get<std::span<const Load>>(built), std::get<const Support*>(sorted), arena, check)
        .run(storage);
}

}  // namespace engine
