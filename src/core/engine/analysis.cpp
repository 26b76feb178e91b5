// Beam analysis by singularity functions. Transverse unknowns are the
// vertical reactions, the moment reactions, one rotation jump per hinge and
// two integration constants (C1 = EI0 * slope at x = 0, C2 = deflection at
// x = 0, EI0 the first section's); axial unknowns are the horizontal
// reactions. Equilibrium plus one condition per restraint (compatibility)
// and per hinge (no moment) gives one dense system each, solved directly.
//
// The fields are shear force V, bending moment M, EI0 * slope S and
// deflection D for the transverse system, normal force N and EA0 * axial
// displacement U for the axial one. Each is a constant part (the loads,
// the imposed curvature) plus one part per unknown. A reaction's part is a
// step at its support, integrated and scaled like the rest of its field, so
// every unknown of one kind has the same one or two terms, only at its own
// position: the fields keep those terms once per kind, and their constant
// parts as flat arrays. Section changes add to each term its corrections
// (engine/sections.hpp): a reaction's then are its own short list. A plain
// beam has none of these additions and runs the same operations as before
// they existed.
#include "engine/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "engine/hinges.hpp"
#include "engine/loads.hpp"
#include "engine/sections.hpp"
#include "interrupt/sort.hpp"
#include "linalg/solve.hpp"

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

// The entries of an n x n matrix; more than can be counted is more than can
// be had.
std::size_t square(std::size_t n) {
    if (n != 0 && n > SIZE_MAX / n) throw std::bad_alloc();
    return n * n;
}

constexpr const char* unsolvable = "beam is unstable / singular (no unique solution)";

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

// A torque acts on the bending moment directly; forces, concentrated or
// distributed, through the shear force.
bool is_torque(const Load& load) noexcept {
    switch (load.kind) {
        case LoadKind::Point:
        case LoadKind::Distributed: return false;
        case LoadKind::Torque: return true;
    }
    return false;  // no other value is ever built
}

// How many terms the point and distributed loads have, and the torques.
struct TermCounts {
    std::size_t forces = 0;
    std::size_t torques = 0;
};

struct BuiltLoads {
    std::span<const Load> loads;
    TermCounts terms;
};

// The loads in the caller's order, or the failure of the first that fails.
std::variant<BuiltLoads, Failure> build_loads(std::span<const LoadInput> entries, arena::Arena& arena,
                                              interrupt::Check& check) {
    std::size_t room = arena::Arena::footprint<Load>(entries.size());
    for (const LoadInput& entry : entries) room += load_footprint(entry);
    arena.reserve(room);
    Load* built = arena.allocate<Load>(entries.size());
    TermCounts n;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (check.stop(load_cost)) return Failure::stopped();
        auto load = build_load(entries[k], arena, check);
        if (auto* failure = std::get_if<Failure>(&load)) return std::move(*failure);
        built[k] = std::get<Load>(load);
        (is_torque(built[k]) ? n.torques : n.forces) += built[k].terms.size();
    }
    return BuiltLoads{{built, entries.size()}, n};
}

// --- Supports ------------------------------------------------------------

bool before(const Support& a, const Support& b) noexcept { return a.pos < b.pos; }

// Supports in ascending position, in a stable order, or the failure: a NaN
// position makes the order undefined (a single support is never compared).
// Callers mostly list them in order already, and then their own list serves
// as it is: a million supports in order take 64 ms instead of 174 ms (a
// two-support solve saves 81 instructions, 2%).
std::variant<const Support*, Failure> sort_supports(std::span<const Support> supports, arena::Arena& arena,
                                                     interrupt::Check& check) {
    if (supports.size() < 2) return supports.data();
    if (std::any_of(supports.begin(), supports.end(), [](const Support& s) { return std::isnan(s.pos); })) {
        return Failure::invalid("support position is not a number");
    }
    if (std::is_sorted(supports.begin(), supports.end(), before)) return supports.data();
    Support* copy = arena.allocate<Support>(supports.size());
    std::memcpy(copy, supports.data(), supports.size_bytes());
    if (!interrupt::stable_sort(copy, arena.allocate<Support>(supports.size()), supports.size(), before, check)) {
        return Failure::stopped();
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

// The terms of each kind of transverse unknown in M, S and D, each a step of
// 1 at its position in V (a moment reaction: a step of -1 in M), integrated
// and scaled as the fields are. The position is the unknown's own: its
// support, x = 0 for the integration constants, or its hinge: C1 and a
// hinge's rotation jump are both a step of 1 in S.
struct UnknownTerms {
    Term M_vertical, M_rotational;
    Term S_vertical, S_rotational, S_C1;
    Term D_vertical_bending, D_vertical_shear, D_rotational, D_C1, D_C2;
};

UnknownTerms unknown_terms(double uL, const Section& sec) {
    const Term step{1.0, 0.0, 0};
    const Term V_integral = step.integrated();
    const Term M_vertical = V_integral.scaled(uL), M_rotational{-1.0, 0.0, 0};
    const Term S_vertical = M_vertical.integrated().scaled(uL), S_rotational = M_rotational.integrated().scaled(uL);
    const double bending = uL / sec.EI;
    return {M_vertical,
            M_rotational,
            S_vertical,
            S_rotational,
            step,
            S_vertical.integrated().scaled(bending),
            V_integral.scaled(sec.phi * uL).scaled(-1.0),
            S_rotational.integrated().scaled(bending),
            step.integrated().scaled(bending),
            step};
}

// One unknown's term placed at its position.
Term placed(const Term& t, double position) noexcept { return {t.coefficient, position, t.order}; }

// The value at x of one unknown's term placed at its position.
double at(const Term& t, double position, double x) noexcept { return placed(t, position).value_at(x); }

// The sum carried on over more terms, in list order.
double plus(double sum, Terms terms, double x) noexcept {
    for (const Term& t : terms) sum += t.value_at(x);
    return sum;
}

// --- Result ----------------------------------------------------------------

// The result's block: the Analysis, then the five term lists, the
// reactions, the features and the hinges' jumps, each list sized before
// the solve.
struct ResultLayout {
    std::size_t nf, sf, bm, d, rotation, supports, features, hinges;

    std::size_t bytes() const {
        std::size_t total = sizeof(Analysis);
        for (std::size_t terms : {nf, sf, bm, d, rotation}) total = add(total, times(terms, sizeof(Term)));
        total = add(total, times(supports, sizeof(Reaction)));
        return add(total, times(add(features, hinges), sizeof(double)));
    }

    // Places the record at the start of the block and its lists after it;
    // the lists are handed back for writing.
    struct Placed;
    Placed place(void* block) const;

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
static_assert(sizeof(Analysis) % sizeof(double) == 0 && sizeof(Term) % sizeof(double) == 0 &&
              sizeof(Reaction) % sizeof(double) == 0);
static_assert(sizeof(Term) % alignof(Reaction) == 0 && sizeof(Reaction) % alignof(double) == 0);

// Lists under construction: the result's own, written in place.
struct Lists {
    Term* nf;
    Term* sf;
    Term* bm;
    Term* d;
    Term* rotation;
    Reaction* reactions;
    double* features;
    double* hinge_jumps;
};

struct ResultLayout::Placed {
    Analysis* analysis;
    Lists lists;
};

ResultLayout::Placed ResultLayout::place(void* block) const {
    auto* out = new (block) Analysis{};
    Term* const terms = reinterpret_cast<Term*>(out + 1);
    auto* const reactions = reinterpret_cast<Reaction*>(terms + nf + sf + bm + d + rotation);
    auto* const doubles = reinterpret_cast<double*>(reactions + supports);
    const Lists lists{terms, terms + nf, terms + nf + sf, terms + nf + sf + bm, terms + nf + sf + bm + d, reactions,
                      doubles, doubles + features};
    out->nf = {lists.nf, nf};
    out->sf = {lists.sf, sf};
    out->bm = {lists.bm, bm};
    out->d = {lists.d, d};
    out->rotation = {lists.rotation, rotation};
    out->reactions = {lists.reactions, supports};
    out->features = {lists.features, features};
    out->hinge_jumps = {lists.hinge_jumps, hinges};
    return {out, lists};
}

// --- Extensions --------------------------------------------------------------

// What the extensions add to a solve: terms the loads' fields need beyond
// the first section's, the imposed curvature, the reactions' corrections
// and the settlements. All empty for a plain beam.
struct Extra {
    // The loads' section corrections in S (and the rotation), D (and the
    // deflection) and U, counted before the fields are built.
    std::size_t S = 0, D = 0, U = 0;
    Terms curvature;  // the imposed curvatures as intensities, in the caller's order
    // The section corrections of each vertical reaction, then each moment
    // reaction, in S and D, and of each horizontal reaction in U; null
    // without section changes.
    const Terms* S_of = nullptr;
    const Terms* D_of = nullptr;
    const Terms* U_of = nullptr;
    std::size_t S_unknowns = 0, D_unknowns = 0;  // their lengths added up
    const Settlement* settlements = nullptr;     // per sorted support; null without
};

// The curvatures' terms: each the terms of a trapezoidal intensity from k1
// at x1 to k2 at x2.
Terms curvature_terms(std::span<const ImposedCurvature> curvatures, arena::Arena& arena) {
    if (curvatures.empty()) return {};
    Term* out = arena.allocate<Term>(5 * curvatures.size());
    std::size_t n = 0;
    for (const ImposedCurvature& c : curvatures) {
        for (const Term& t : trapezoidal_load(c.k1, c.k2, c.x1, c.x2, 90.0, arena).terms) out[n++] = t;
    }
    return {out, n};
}

// The settlements in the order of the sorted supports, or the failure.
std::variant<const Settlement*, Failure> sorted_settlements(const Input& in, const Support* sorted,
                                                            arena::Arena& arena, interrupt::Check& check) {
    const std::span<const Settlement> given = in.extensions.settlements;
    const std::size_t count = in.supports.size();
    if (given.empty()) return static_cast<const Settlement*>(nullptr);
    if (given.size() != count) {
        return Failure::invalid("settlements need one (dy, rotation) per support: got " + std::to_string(given.size()) +
                                " for " + std::to_string(count) + " supports");
    }
    if (sorted == in.supports.data()) return given.data();
    std::size_t* order = arena.allocate<std::size_t>(count);
    if (!reaction_order(in.supports, order, arena.allocate<std::size_t>(count), check)) return Failure::stopped();
    Settlement* out = arena.allocate<Settlement>(count);
    for (std::size_t k = 0; k < count; ++k) out[k] = given[order[k]];
    return out;
}

// Where the loads' pass writes what the extensions add: after the loads'
// own terms of each list.
struct ExtraCursor {
    Term* S;
    Term* D;
    Term* d;
    Term* rotation;
    Term* U;
};

// --- The solve -------------------------------------------------------------

// A prismatic beam's section flexibilities: constant, with no changes.
constexpr Sections prismatic{};

// The work of one solve once its loads are built and its supports ordered.
// The fields are written as the analysis defines them:
//   V = transverse loads + a step of 1 per vertical reaction
//   M = uL * (integral of V), the torque terms, a step of -1 per moment reaction
//   S = uL * (integral of (EI0 / EI) M) + EI0 * (integral of the imposed curvature)
//       + C1 + a step of 1 per hinge
//   D = (uL / EI0) * (integral of S) - uL * (integral of phi V) + C2
//   N = axial loads + a step of 1 per horizontal reaction;  U = uL * (integral of (EA0 / EA) N)
// where EI0, EA0 are the first section's and the flexibility ratios are 1
// without section changes (their corrections, engine/sections.hpp, then
// vanish). Their constant parts come from the loads in one pass, which also
// writes the loads' part of every result list (in the caller's units) and
// sums the loads' totals at the far end; only D (and S, U, M where rows
// need them) are kept for the equations.
//
// Extended: the input has extensions. A plain beam's solve is compiled
// without any of their work, so it runs the prismatic beam's operations
// only: 159 instructions less per simple-span solve than with the
// extensions' tests compiled in (callgrind, solve(a)).
template <bool Extended>
class Solve {
public:
    Solve(const Input& in, const BuiltLoads& loads, const Support* sup, const Sections& sections,
          const Settlement* settlements, arena::Arena& arena, interrupt::Check& check)
        : in_(in),
          u_(in.units),
          ext_(in.extensions),
          loads_(loads.loads),
          sup_(sup),
          count_(in.supports.size()),
          arena_(arena),
          check_(check),
          r_(restraints_of(sup, count_, arena)),
          sections_(sections),
          sec_(first_section(in)),
          unknown_(unknown_terms(u_.length, sec_)),
          terms_(loads.terms),
          nJ_(Extended ? ext_.hinges.size() : 0),
          n_(r_.nV + r_.nR + nJ_ + 2),
          extended_(Extended && (!ext_.sections.empty() || nJ_ > 0 || !ext_.curvatures.empty() || ext_.rotation)) {
        extra_.settlements = settlements;
    }

    Outcome run(ResultStorage& storage);

private:
    bool prepare_extensions();
    bool correct_reactions();
    template <bool More>
    bool load_pass(const Lists& out);
    bool solve_transverse(double* x);
    double slope_row(double x, double* row) const;
    double deflection_row(double x, double* row) const;
    double moment_row(double x, double* row) const;
    bool solve_axial(double* x);
    void write_unknowns(const Lists& out, const double* xt, const double* xa) const;
    void write_extensions(const Lists& out, const double* xt) const;
    void extend_bending(const Lists& out, ExtraCursor& more, Term* M, const Term& M_term, const Term& S_term,
                        std::size_t k) const;
    bool write_supports(const Lists& out, const double* xt, const double* xa);

    // A piece of M's section corrections (engine/sections.hpp) with its
    // factor, as its part of S; a part of S as its part of D; a piece of V's
    // as its part of D; a piece of N's as its part of U.
    Term S_correction(const Term& piece, double factor) const {
        return piece.integrated().scaled(u_.length).scaled(factor);
    }
    Term D_of_S(const Term& S) const { return S.integrated().scaled(u_.length / sec_.EI); }
    Term D_shear_correction(const Term& piece, double factor) const {
        return piece.integrated().scaled(factor * u_.length).scaled(-1.0);
    }
    Term U_correction(const Term& piece, double factor) const {
        return piece.integrated().scaled(u_.length).scaled(factor);
    }

    const Input& in_;
    const Units& u_;
    const Extensions& ext_;
    std::span<const Load> loads_;
    const Support* sup_;
    std::size_t count_;
    arena::Arena& arena_;
    interrupt::Check& check_;

    const Restraints r_;
    const Sections& sections_;
    const Section sec_;  // the first section's
    const UnknownTerms unknown_;
    const TermCounts terms_;
    const std::size_t nJ_;  // hinges
    const std::size_t n_;   // transverse unknowns
    const bool extended_;   // the loads' pass writes more than a plain beam's
    bool extended() const noexcept { return Extended && extended_; }
    Extra extra_;
    // Kept from the load pass for the equations.
    Terms S_, D_, U_, M_;
    double force_total_ = -0.0;  // transverse loads at the far end
    double axial_total_ = -0.0;  // axial loads at the far end
    double moment_ = +0.0;       // the loads' moment about x = 0
};

// Counts the loads' section corrections (the result is sized by them),
// builds the curvature's terms and the reactions' corrections.
template <bool Extended>
bool Solve<Extended>::prepare_extensions() {
    extra_.curvature = curvature_terms(ext_.curvatures, arena_);
    if (check_.stop(load_cost * ext_.curvatures.size())) return false;
    if (!sections_.changes()) return true;
    const std::uint64_t changes = sections_.bending.at.size();
    for (const Load& load : loads_) {
        if (check_.stop(1 + load.terms.size() * (1 + changes))) return false;
        for (const Term& term : load.terms) {
            // A load term of order n is n + 1 in V (and N), n + 2 in M.
            const Term V{1.0, term.position, term.order + 1}, M{1.0, term.position, term.order + 2};
            const std::size_t bending = sections_.bending.count(M);
            extra_.S += bending;
            extra_.D += bending;
            if (is_torque(load)) continue;
            extra_.D += sections_.shear.count(V);
            if (r_.nH >= 2) extra_.U += sections_.axial.count(V);
        }
    }
    return correct_reactions();
}

// Each reaction's part of S, D (and U) beyond the first section: its own
// term list, which the rows evaluate and the result lists.
template <bool Extended>
bool Solve<Extended>::correct_reactions() {
    const std::size_t nU = r_.nV + r_.nR;
    const std::uint64_t changes = sections_.bending.at.size();
    Terms* S_of = arena_.allocate<Terms>(nU);
    Terms* D_of = arena_.allocate<Terms>(nU);
    for (std::size_t i = 0; i < nU; ++i) {
        if (check_.stop(4 * (1 + changes))) return false;
        const bool vertical = i < r_.nV;
        const double pos = vertical ? r_.vertical[i]->pos : r_.rotational[i - r_.nV]->pos;
        const Term M = placed(vertical ? unknown_.M_vertical : unknown_.M_rotational, pos);
        const Term V{1.0, pos, 0};
        const std::size_t bending = sections_.bending.count(M), shear = vertical ? sections_.shear.count(V) : 0;
        Term* S = arena_.allocate<Term>(bending);
        Term* D = arena_.allocate<Term>(bending + shear);
        std::size_t s = 0, d = 0;
        sections_.bending.corrections(M, [&](const Term& piece, double factor) {
            S[s] = S_correction(piece, factor);
            D[d++] = D_of_S(S[s++]);
        });
        if (vertical) {
            sections_.shear.corrections(V, [&](const Term& piece, double factor) {
                D[d++] = D_shear_correction(piece, factor);
            });
        }
        S_of[i] = {S, s};
        D_of[i] = {D, d};
        extra_.S_unknowns += s;
        extra_.D_unknowns += d;
    }
    extra_.S_of = S_of;
    extra_.D_of = D_of;
    if (r_.nH < 2) return true;
    Terms* U_of = arena_.allocate<Terms>(r_.nH);
    for (std::size_t j = 0; j < r_.nH; ++j) {
        if (check_.stop(2 * (1 + changes))) return false;
        const Term N{1.0, r_.horizontal[j]->pos, 0};
        Term* U = arena_.allocate<Term>(sections_.axial.count(N));
        std::size_t u = 0;
        sections_.axial.corrections(N, [&](const Term& piece, double factor) { U[u++] = U_correction(piece, factor); });
        U_of[j] = {U, u};
    }
    extra_.U_of = U_of;
    return true;
}


// M's term at index k of the forces-then-torques order, with its part of
// S: kept for the hinges, its rotation, its section corrections.
template <bool Extended>
void Solve<Extended>::extend_bending(const Lists& out, ExtraCursor& more, Term* M, const Term& M_term,
                                     const Term& S_term, std::size_t k) const {
    const double inv_EI = 1.0 / sec_.EI, inv_deflection = 1.0 / u_.deflection;
    if (M != nullptr) M[k] = M_term;
    if (ext_.rotation) out.rotation[k] = S_term.scaled(inv_EI);
    sections_.bending.corrections(M_term, [&](const Term& piece, double factor) {
        const Term S_more = S_correction(piece, factor), D_more = D_of_S(S_more);
        if (more.S != nullptr) *more.S++ = S_more;
        *more.D++ = D_more;
        *more.d++ = D_more.scaled(inv_deflection);
        if (more.rotation != nullptr) *more.rotation++ = S_more.scaled(inv_EI);
    });
}

template <bool Extended>
template <bool More>
bool Solve<Extended>::load_pass(const Lists& out) {
    const double uL = u_.length, bending = uL / sec_.EI, shear = sec_.phi * uL;
    const double inv_force = 1.0 / u_.force, inv_moment = 1.0 / u_.moment, inv_deflection = 1.0 / u_.deflection;
    const std::size_t nT = terms_.forces, nQ = terms_.torques;
    // What the extensions add to the kept fields: nothing to a plain beam.
    const std::size_t nK = More ? extra_.curvature.size() : 0, more_S = More ? extra_.S + nK : 0,
                      more_D = More ? extra_.D + nK : 0, more_U = More ? extra_.U : 0;
    Term* S = r_.nR > 0 ? arena_.allocate<Term>(nT + nQ + more_S) : nullptr;
    Term* D = arena_.allocate<Term>(2 * nT + nQ + more_D);
    Term* U = r_.nH >= 2 ? arena_.allocate<Term>(nT + more_U) : nullptr;
    Term* M = More && nJ_ > 0 ? arena_.allocate<Term>(nT + nQ) : nullptr;
    [[maybe_unused]] ExtraCursor more{};
    if constexpr (More) {
        more = {S ? S + nT + nQ : nullptr, D + 2 * nT + nQ, out.d + 2 * nT + nQ,
                ext_.rotation ? out.rotation + nT + nQ : nullptr, U ? U + nT : nullptr};
    }
    double* features = out.features + count_;
    std::size_t t = 0, q = 0, f = 0;
    for (const Load& load : loads_) {
        if (check_.stop(1 + load.terms.size() * (More ? 1 + sections_.bending.at.size() : 1))) return false;
        for (const Term& term : load.terms) features[f++] = term.position;
        if (is_torque(load)) {
            // A torque acts on the bending moment: its term integrated twice.
            for (const Term& term : load.terms) {
                const Term M_term = term.scaled(load.transverse).integrated().integrated().scaled(u_.moment);
                out.bm[nT + q] = M_term.scaled(inv_moment);
                const Term S_term = M_term.integrated().scaled(uL);
                if (S != nullptr) S[nT + q] = S_term;
                D[nT + q] = S_term.integrated().scaled(bending);
                out.d[nT + q] = D[nT + q].scaled(inv_deflection);
                if constexpr (More) extend_bending(out, more, M, M_term, S_term, nT + q);
                ++q;
            }
            moment_ += load.moment * u_.moment;
            continue;
        }
        const bool point = load.kind == LoadKind::Point;
        const double k = point ? u_.force : uL * u_.distributed;
        for (const Term& term : load.terms) {
            // Load to shear force: the share of the angle, integrated once, in base units.
            const Term V = term.scaled(load.transverse).integrated().scaled(k);
            const Term N = term.scaled(load.axial).integrated().scaled(k);
            force_total_ += V.value_at(in_.span);
            axial_total_ += N.value_at(in_.span);
            out.sf[t] = V.scaled(inv_force);
            out.nf[t] = N.scaled(inv_force);
            if (U != nullptr) U[t] = N.integrated().scaled(uL);
            const Term V_integral = V.integrated();
            const Term M_term = V_integral.scaled(uL);
            out.bm[t] = M_term.scaled(inv_moment);
            const Term S_term = M_term.integrated().scaled(uL);
            if (S != nullptr) S[t] = S_term;
            D[t] = S_term.integrated().scaled(bending);
            out.d[t] = D[t].scaled(inv_deflection);
            D[nT + nQ + t] = V_integral.scaled(shear).scaled(-1.0);
            out.d[nT + nQ + t] = D[nT + nQ + t].scaled(inv_deflection);
            if constexpr (More) {
                extend_bending(out, more, M, M_term, S_term, t);
                sections_.shear.corrections(V, [&](const Term& piece, double factor) {
                    *more.D = D_shear_correction(piece, factor);
                    *more.d++ = more.D++->scaled(inv_deflection);
                });
                if (U != nullptr) {
                    sections_.axial.corrections(N, [&](const Term& piece, double factor) {
                        *more.U++ = U_correction(piece, factor);
                    });
                }
            }
            ++t;
        }
        moment_ += point ? (load.moment * u_.force) * uL : ((load.moment * u_.distributed) * uL) * uL;
    }
    if constexpr (More) {
        // An imposed curvature turns the section by its integral (radians:
        // the length units cancel) and moves it by uL times that integral.
        for (const Term& kappa : extra_.curvature) {
            const Term rotation = kappa.integrated(), D_more = rotation.integrated().scaled(uL);
            if (more.S != nullptr) *more.S++ = rotation.scaled(sec_.EI);
            *more.D++ = D_more;
            *more.d++ = D_more.scaled(inv_deflection);
            if (more.rotation != nullptr) *more.rotation++ = rotation;
            features[f++] = kappa.position;
        }
        for (const SectionChange& change : ext_.sections) features[f++] = change.start;
        for (double hinge : ext_.hinges) features[f++] = hinge;
    }
    S_ = {S, S != nullptr ? nT + nQ + more_S : 0};
    D_ = {D, 2 * nT + nQ + more_D};
    U_ = {U, U != nullptr ? nT + more_U : 0};
    M_ = {M, M != nullptr ? nT + nQ : 0};
    return true;
}

// Row of "S at x is zero": the coefficient of each unknown in S at x, each
// an entry's sum from -0.0 in the order of its term list; the negated
// constant part on the right.
template <bool Extended>
double Solve<Extended>::slope_row(double x, double* row) const {
    const std::size_t nV = r_.nV, nR = r_.nR;
    for (std::size_t i = 0; i < nV; ++i) row[i] = -0.0 + at(unknown_.S_vertical, r_.vertical[i]->pos, x);
    for (std::size_t i = 0; i < nR; ++i) row[nV + i] = -0.0 + at(unknown_.S_rotational, r_.rotational[i]->pos, x);
    if constexpr (Extended) {
        if (extra_.S_of != nullptr) {
            for (std::size_t i = 0; i < nV + nR; ++i) row[i] = plus(row[i], extra_.S_of[i], x);
        }
        for (std::size_t j = 0; j < nJ_; ++j) row[nV + nR + j] = -0.0 + at(unknown_.S_C1, ext_.hinges[j], x);
    }
    row[n_ - 2] = -0.0 + unknown_.S_C1.value_at(x);
    row[n_ - 1] = -0.0;  // C2 has no part in S
    return -sing::eval_terms(S_, x);
}

// Row of "D at x is zero", likewise; a vertical reaction has a bending and
// a shear term.
template <bool Extended>
double Solve<Extended>::deflection_row(double x, double* row) const {
    const std::size_t nV = r_.nV, nR = r_.nR;
    for (std::size_t i = 0; i < nV; ++i) {
        const double pos = r_.vertical[i]->pos;
        row[i] = (-0.0 + at(unknown_.D_vertical_bending, pos, x)) + at(unknown_.D_vertical_shear, pos, x);
    }
    for (std::size_t i = 0; i < nR; ++i) row[nV + i] = -0.0 + at(unknown_.D_rotational, r_.rotational[i]->pos, x);
    if constexpr (Extended) {
        if (extra_.D_of != nullptr) {
            for (std::size_t i = 0; i < nV + nR; ++i) row[i] = plus(row[i], extra_.D_of[i], x);
        }
        for (std::size_t j = 0; j < nJ_; ++j) row[nV + nR + j] = -0.0 + at(unknown_.D_C1, ext_.hinges[j], x);
    }
    row[n_ - 2] = -0.0 + unknown_.D_C1.value_at(x);
    row[n_ - 1] = -0.0 + unknown_.D_C2.value_at(x);
    return -sing::eval_terms(D_, x);
}

// Row of "M at x is zero" (a hinge): only the reactions act on M.
template <bool Extended>
double Solve<Extended>::moment_row(double x, double* row) const {
    const std::size_t nV = r_.nV, nR = r_.nR;
    for (std::size_t i = 0; i < nV; ++i) row[i] = -0.0 + at(unknown_.M_vertical, r_.vertical[i]->pos, x);
    for (std::size_t i = 0; i < nR; ++i) row[nV + i] = -0.0 + at(unknown_.M_rotational, r_.rotational[i]->pos, x);
    for (std::size_t i = nV + nR; i < n_; ++i) row[i] = -0.0;
    return -sing::eval_terms(M_, x);
}

// Fills and solves the transverse system; x holds the right-hand side and
// then the solution.
template <bool Extended>
bool Solve<Extended>::solve_transverse(double* x) {
    const std::size_t n = n_, nV = r_.nV, nR = r_.nR;
    double* a = arena_.allocate<double>(square(n));
    // Zeroed whole, although rows 2 and on are then written over entirely:
    // measured, a solve with 1,000 supports takes 80 ms instead of 104 ms.
    std::fill(a, a + n * n, 0.0);
    // Sum of vertical forces and sum of moments about x = 0.
    for (std::size_t j = 0; j < nV; ++j) a[j] = 1.0;
    x[0] = -force_total_;
    for (std::size_t j = 0; j < nV; ++j) a[n + j] = r_.vertical[j]->pos * u_.length;
    for (std::size_t j = 0; j < nR; ++j) a[n + nV + j] = 1.0;
    x[1] = -moment_;
    [[maybe_unused]] const Settlement* settled = extra_.settlements;
    // No rotation at rotational restraints, or the spring's turn (of
    // M / k, in S's units EI0 * M / k) from its base's turn.
    for (std::size_t j = 0; j < nR; ++j) {
        if (check_.stop(S_.size() + n)) return false;
        const Support& s = *r_.rotational[j];
        double* row = a + (2 + j) * n;
        x[2 + j] = slope_row(s.pos, row);
        if constexpr (Extended) {
            if (ext_.rotational_springs && std::isfinite(s.km)) row[nV + j] += sec_.EI / (s.km * u_.moment);
            if (settled != nullptr && settled[&s - sup_].rotation != 0.0) {
                x[2 + j] += sec_.EI * settled[&s - sup_].rotation;
            }
        }
    }
    // Deflection at a vertical restraint equals its spring deformation, from
    // its base's settlement.
    for (std::size_t j = 0; j < nV; ++j) {
        if (check_.stop(D_.size() + n)) return false;
        const Support& s = *r_.vertical[j];
        double* row = a + (2 + nR + j) * n;
        x[2 + nR + j] = deflection_row(s.pos, row);
        if (std::isfinite(s.ky)) row[j] += 1.0 / (s.ky * u_.stiffness);
        if constexpr (Extended) {
            if (settled != nullptr && settled[&s - sup_].dy != 0.0) x[2 + nR + j] += settled[&s - sup_].dy * u_.deflection;
        }
    }
    // No bending moment at a hinge.
    if constexpr (Extended) {
        for (std::size_t j = 0; j < nJ_; ++j) {
            if (check_.stop(M_.size() + n)) return false;
            x[2 + nR + nV + j] = moment_row(ext_.hinges[j], a + (2 + nR + nV + j) * n);
        }
    }
    return linalg::solve(a, x, n, check_);
}

// One restraint takes the whole axial load: the 1 x 1 system 1 * R = total
// solves (equilibrated by 1.0, divided by the pivot 1.0) to total exactly,
// so it is not built. Without restraint there is nothing to solve.
template <bool Extended>
bool Solve<Extended>::solve_axial(double* x) {
    const std::size_t m = r_.nH;
    if (m == 0) return true;
    const double total = -axial_total_;
    if (m == 1) {
        x[0] = total;
        return std::isfinite(total);
    }
    const double EA = (u_.A * sec_.E) * in_.a;
    const Term U_step = Term{1.0, 0.0, 0}.integrated().scaled(u_.length);
    auto coefficient = [&](std::size_t k, double at_x) {
        const double base = -0.0 + at(U_step, r_.horizontal[k]->pos, at_x);
        if constexpr (Extended) {
            if (extra_.U_of != nullptr) return plus(base, extra_.U_of[k], at_x);
        }
        return base;
    };
    double* a = arena_.allocate<double>(square(m));
    for (std::size_t k = 0; k < m; ++k) a[k] = 1.0;
    x[0] = total;
    // Relative axial displacement to the first restraint equals the
    // difference of the two spring deformations.
    const Support& first = *r_.horizontal[0];
    double* at_first = arena_.allocate<double>(m);
    for (std::size_t k = 0; k < m; ++k) at_first[k] = coefficient(k, first.pos);
    const double constant_first = sing::eval_terms(U_, first.pos);
    for (std::size_t i = 1; i < m; ++i) {
        if (check_.stop(U_.size() + m)) return false;
        const Support& s = *r_.horizontal[i];
        double* row = a + i * m;
        for (std::size_t k = 0; k < m; ++k) row[k] = (coefficient(k, s.pos) - at_first[k]) / EA;
        x[i] = -(sing::eval_terms(U_, s.pos) - constant_first) / EA;
        if (std::isfinite(first.kx)) row[0] += 1.0 / (first.kx * u_.stiffness);
        if (std::isfinite(s.kx)) row[i] += -1.0 / (s.kx * u_.stiffness);
    }
    return linalg::solve(a, x, m, check_);
}

// A term of an unknown times its value, scaled back into the caller's unit.
Term times(const Term& t, double position, double value, double k) {
    return placed(t, position).scaled(value).scaled(k);
}

// Each unknown's terms times its value, after the loads' terms of each list
// (the field's constant part), scaled back into the caller's unit.
template <bool Extended>
void Solve<Extended>::write_unknowns(const Lists& out, const double* xt, const double* xa) const {
    const std::size_t nT = terms_.forces, nQ = terms_.torques, nV = r_.nV, nR = r_.nR;
    const double inv_force = 1.0 / u_.force, inv_moment = 1.0 / u_.moment, inv_deflection = 1.0 / u_.deflection;
    const Term step{1.0, 0.0, 0};
    for (std::size_t j = 0; j < r_.nH; ++j) out.nf[nT + j] = times(step, r_.horizontal[j]->pos, xa[j], inv_force);
    for (std::size_t j = 0; j < nV; ++j) out.sf[nT + j] = times(step, r_.vertical[j]->pos, xt[j], inv_force);
    Term* bm = out.bm + nT + nQ;
    for (std::size_t j = 0; j < nV; ++j) *bm++ = times(unknown_.M_vertical, r_.vertical[j]->pos, xt[j], inv_moment);
    for (std::size_t j = 0; j < nR; ++j) {
        *bm++ = times(unknown_.M_rotational, r_.rotational[j]->pos, xt[nV + j], inv_moment);
    }
    // A reaction's corrections follow its own terms.
    [[maybe_unused]] auto corrections = [&](Term*& to, const Terms* of, std::size_t i, double value) {
        if (of == nullptr) return;
        for (const Term& t : of[i]) *to++ = times(t, t.position, value, inv_deflection);
    };
    Term* d = out.d + 2 * nT + nQ + (extended() ? extra_.D + extra_.curvature.size() : 0);
    for (std::size_t j = 0; j < nV; ++j) {
        const double pos = r_.vertical[j]->pos;
        *d++ = times(unknown_.D_vertical_bending, pos, xt[j], inv_deflection);
        *d++ = times(unknown_.D_vertical_shear, pos, xt[j], inv_deflection);
        if constexpr (Extended) corrections(d, extra_.D_of, j, xt[j]);
    }
    for (std::size_t j = 0; j < nR; ++j) {
        *d++ = times(unknown_.D_rotational, r_.rotational[j]->pos, xt[nV + j], inv_deflection);
        if constexpr (Extended) corrections(d, extra_.D_of, nV + j, xt[nV + j]);
    }
    if constexpr (Extended) {
        for (std::size_t j = 0; j < nJ_; ++j) *d++ = times(unknown_.D_C1, ext_.hinges[j], xt[nV + nR + j], inv_deflection);
    }
    *d++ = times(unknown_.D_C1, 0.0, xt[n_ - 2], inv_deflection);
    *d = times(unknown_.D_C2, 0.0, xt[n_ - 1], inv_deflection);
    if constexpr (Extended) {
        if (extended_) write_extensions(out, xt);
    }
}

// The rotation: S times 1 / EI0, each unknown's terms (and corrections)
// times its value, as the deflection's; and each hinge's rotation jump,
// its step in the rotation.
template <bool Extended>
void Solve<Extended>::write_extensions(const Lists& out, const double* xt) const {
    const std::size_t nV = r_.nV, nR = r_.nR;
    const double inv_EI = 1.0 / sec_.EI;
    for (std::size_t j = 0; j < nJ_; ++j) out.hinge_jumps[j] = (1.0 * xt[nV + nR + j]) * inv_EI;
    if (!ext_.rotation) return;
    Term* r = out.rotation + terms_.forces + terms_.torques + extra_.S + extra_.curvature.size();
    auto reaction = [&](const Term& S, double pos, std::size_t i) {
        *r++ = times(S, pos, xt[i], inv_EI);
        if (extra_.S_of == nullptr) return;
        for (const Term& t : extra_.S_of[i]) *r++ = times(t, t.position, xt[i], inv_EI);
    };
    for (std::size_t j = 0; j < nV; ++j) reaction(unknown_.S_vertical, r_.vertical[j]->pos, j);
    for (std::size_t j = 0; j < nR; ++j) reaction(unknown_.S_rotational, r_.rotational[j]->pos, nV + j);
    for (std::size_t j = 0; j < nJ_; ++j) *r++ = times(unknown_.S_C1, ext_.hinges[j], xt[nV + nR + j], inv_EI);
    *r = times(unknown_.S_C1, 0.0, xt[n_ - 2], inv_EI);
}

// One reaction and one feature per support, in order; the restraint lists
// are in the same order, so the place of a support in each is the count of
// restrained supports before it.
template <bool Extended>
bool Solve<Extended>::write_supports(const Lists& out, const double* xt, const double* xa) {
    std::size_t h = 0, v = 0, m = 0;
    return in_blocks(count_, check_, [&](std::size_t k) {
        const Support& s = sup_[k];
        Reaction rc{s.pos, +0.0, +0.0, +0.0};
        if (s.kx != 0.0) rc.rx = round10(xa[h++] / u_.force);
        if (s.ky != 0.0) rc.ry = round10(xt[v++] / u_.force);
        if (s.km != 0.0) rc.m = round10(xt[r_.nV + m++] / u_.moment);
        out.reactions[k] = rc;
        out.features[k] = s.pos;
    });
}

template <bool Extended>
Outcome Solve<Extended>::run(ResultStorage& storage) {
    if (extended() && !prepare_extensions()) return Failure::stopped();
    const std::size_t nT = terms_.forces, nQ = terms_.torques, nV = r_.nV, nR = r_.nR;
    const std::size_t nK = extra_.curvature.size();

    // The result's lists are sized now, and the loads' terms written into
    // them as the fields are built; a beam found unsolvable drops the block.
    const ResultLayout layout{nT + r_.nH,
                              nT + nV,
                              nT + nQ + nV + nR,
                              2 * nT + nQ + 2 * nV + nR + 2 + (extended() ? extra_.D + nK + extra_.D_unknowns + nJ_ : 0),
                              extended() && ext_.rotation ? nT + nQ + extra_.S + nK + nV + nR + extra_.S_unknowns + nJ_ + 1 : 0,
                              count_,
                              count_ + nT + nQ + (extended() ? nK + ext_.sections.size() + nJ_ : 0),
                              nJ_};
    void* block = storage.obtain(layout.bytes());
    if (block == nullptr) return Failure::out_of_memory();
    const auto [result, out] = layout.place(block);

    // The arrays of the fields and systems in one block.
    using arena::Arena;
    arena_.reserve(Arena::footprint<Term>(nT + nQ) + Arena::footprint<Term>(2 * nT + nQ) + Arena::footprint<Term>(nT) +
                   Arena::footprint<double>(square(n_)) + Arena::footprint<double>(n_) +
                   Arena::footprint<double>(square(r_.nH)) + 2 * Arena::footprint<double>(r_.nH));
    if (!(extended() ? load_pass<Extended>(out) : load_pass<false>(out))) return Failure::stopped();
    double* xt = arena_.allocate<double>(n_);
    if (!solve_transverse(xt)) return check_.stopped() ? Failure::stopped() : Failure::invalid(unsolvable);
    double* xa = arena_.allocate<double>(r_.nH);
    if (!solve_axial(xa)) return check_.stopped() ? Failure::stopped() : Failure::invalid(unsolvable);
    write_unknowns(out, xt, xa);
    if (!write_supports(out, xt, xa)) return Failure::stopped();
    return result;
}

// The solve of a beam with extensions: its section tables and its
// settlements in the supports' order, then the stages. Out of line, so that
// analyse below flattens the plain solve only.
[[gnu::noinline]] Outcome analyse_extended(const Input& in, const BuiltLoads& loads, const Support* sup,
                                           arena::Arena& arena, interrupt::Check& check, ResultStorage& storage) {
    std::optional<Sections> changes;
    if (!in.extensions.sections.empty()) {
        changes = sections_of(in, arena);
        if (!changes) return Failure::invalid("section changes must be given in ascending order of their start");
        if (check.stop(in.extensions.sections.size())) return Failure::stopped();
    }
    auto settled = sorted_settlements(in, sup, arena, check);
    if (auto* failure = std::get_if<Failure>(&settled)) return std::move(*failure);
    // A part between hinges that can move makes the system singular, yet
    // its pivots come out as rounding rather than zeros: refused by count.
    if (!in.extensions.hinges.empty()) {
        const std::optional<bool> held = hinged_parts_held(in.extensions.hinges, sup, in.supports.size(), arena, check);
        if (!held) return Failure::stopped();
        if (!*held) return Failure::invalid(unsolvable);
    }
    return Solve<true>(in, loads, sup, changes ? *changes : prismatic, std::get<const Settlement*>(settled), arena, check)
        .run(storage);
}

// The solve, which throws std::bad_alloc when memory cannot be had. The
// plain solve's stages compiled into one function, as before the extensions
// split them: solve(a) 194 instructions less, solve(a+9) 270 (callgrind).
[[gnu::flatten]] Outcome analyse(const Input& in, arena::Arena& arena, interrupt::Check& check, ResultStorage& storage) {
    auto built = build_loads(in.loads, arena, check);
    if (auto* failure = std::get_if<Failure>(&built)) return std::move(*failure);
    auto sorted = sort_supports(in.supports, arena, check);
    if (auto* failure = std::get_if<Failure>(&sorted)) return std::move(*failure);
    const Support* sup = std::get<const Support*>(sorted);
    const BuiltLoads& loads = std::get<BuiltLoads>(built);
    if (in.extensions.any()) return analyse_extended(in, loads, sup, arena, check, storage);
    return Solve<false>(in, loads, sup, prismatic, nullptr, arena, check).run(storage);
}

}  // namespace

// The caller's indices sorted as sort_supports sorts the supports: a stable
// order is unique, so the two agree.
bool reaction_order(std::span<const Support> supports, std::size_t* order, std::size_t* scratch,
                    interrupt::Check& check) {
    for (std::size_t k = 0; k < supports.size(); ++k) order[k] = k;
    if (supports.size() < 2 || std::is_sorted(supports.begin(), supports.end(), before)) return true;
    const Support* s = supports.data();
    auto index_before = [s](std::size_t a, std::size_t b) { return before(s[a], s[b]); };
    return interrupt::stable_sort(order, scratch, supports.size(), index_before, check);
}

double round10(double v) noexcept {
    const double scaled = v * 1e10;
    // Beyond about 1.8e298 the product overflows; such a value has no
    // decimals to round, and infinity would misreport it.
    if (std::isinf(scaled) && std::isfinite(v)) return v;
    return std::round(scaled) / 1e10;
}

Outcome solve(const Input& in, arena::Arena& arena, interrupt::Check& check, ResultStorage& storage) {
    try {
        return analyse(in, arena, check, storage);
    } catch (const std::bad_alloc&) {
        return Failure::out_of_memory();
    }
}

}  // namespace engine
