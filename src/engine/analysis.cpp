// Beam analysis by singularity functions. Transverse unknowns are the
// vertical reactions, the moment reactions and two integration constants
// (C1 = EI * slope at x = 0, C2 = deflection at x = 0); axial unknowns are
// the horizontal reactions. Equilibrium plus one compatibility condition
// per restraint gives one dense system each, solved directly.
#include "engine/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>

#include "linalg/solve.hpp"

namespace engine {
namespace {

using sing::Field;
using sing::Term;
using sing::TermList;

Term step(double coefficient, double position) { return Term{coefficient, position, 0}; }

// Indices (into the sorted supports) restrained in one direction, in
// ascending order. The test is exact: -0.0 is free, NaN is restrained.
struct Restraints {
    std::vector<std::size_t> vertical;
    std::vector<std::size_t> rotational;
    std::vector<std::size_t> horizontal;
};

Restraints restraints_of(const std::vector<Support>& supports) {
    Restraints r;
    // At most one entry per support: most beams restrain every support
    // vertically and one of them horizontally, few rotationally.
    r.vertical.reserve(supports.size());
    r.horizontal.reserve(supports.size());
    for (std::size_t k = 0; k < supports.size(); ++k) {
        if (supports[k].ky != 0.0) r.vertical.push_back(k);
        if (supports[k].km != 0.0) r.rotational.push_back(k);
        if (supports[k].kx != 0.0) r.horizontal.push_back(k);
    }
    return r;
}

// Supports in ascending position, in a stable order. Callers mostly list
// them in order already, and then their own list serves as it is: no copy
// and no sort saves 3.9% of a two-support solve (callgrind, 574 instructions).
struct SortedSupports {
    std::vector<Support> copy;
    const std::vector<Support>* list = nullptr;
};

bool by_position(const Support& a, const Support& b) { return a.pos < b.pos; }

// False when a NaN position makes the order undefined (a single support is
// never compared).
bool sort_supports(const std::vector<Support>& supports, SortedSupports& out) {
    out.list = &supports;
    if (supports.size() < 2) return true;
    for (const Support& s : supports) {
        if (std::isnan(s.pos)) return false;
    }
    if (std::is_sorted(supports.begin(), supports.end(), by_position)) return true;
    out.copy = supports;
    std::stable_sort(out.copy.begin(), out.copy.end(), by_position);
    out.list = &out.copy;
    return true;
}

// Load components in base units, integrated once, plus their moment about x = 0.
struct LoadLists {
    TermList transverse;
    TermList axial;
    TermList torque;
    double moment = +0.0;
};

// Stops early, with the check stopped, when the caller asks.
LoadLists collect_loads(const Beam& beam, interrupt::Check& check) {
    const Units& u = beam.units;
    LoadLists lists;
    for (const Load& load : beam.loads) {
        if (check.stop(1 + load.terms.size())) break;
        if (load.kind == LoadKind::Point) {
            lists.transverse.append(sing::scale_terms(load.shear_force_terms(), u.force));
            lists.axial.append(sing::scale_terms(load.normal_force_terms(), u.force));
            lists.moment += (load.moment * u.force) * u.length;
        } else if (load.kind == LoadKind::Distributed) {
            const double k = u.length * u.distributed;
            lists.transverse.append(sing::scale_terms(load.shear_force_terms(), k));
            lists.axial.append(sing::scale_terms(load.normal_force_terms(), k));
            lists.moment += ((load.moment * u.distributed) * u.length) * u.length;
        } else {
            lists.torque.append(sing::scale_terms(sing::integrate_terms(load.shear_force_terms()), u.moment));
            lists.moment += load.moment * u.moment;
        }
    }
    return lists;
}

struct Section {
    double E;
    double EI;
    double phi;  // shear flexibility 1 / GA; 0 for an infinite GA
};

Section section_constants(const Beam& beam) {
    const Units& u = beam.units;
    const double E = u.E * beam.e;
    const double EI = (u.I * E) * beam.i;
    const double GA = ((u.G * beam.g) * u.A) * beam.a;
    return {E, EI, std::isinf(GA) ? 0.0 : 1.0 / GA};
}

// Shear force, bending moment, EI * slope and deflection (bending plus
// shear), each with one per_unknown entry per transverse unknown.
struct TransverseFields {
    Field V, M, S, D;
};

TransverseFields build_transverse_fields(const LoadLists& loads, const std::vector<Support>& sup,
                                         const Restraints& r, const Section& sec, double uL) {
    const std::size_t nV = r.vertical.size();
    const std::size_t nR = r.rotational.size();
    const std::size_t n = nV + nR + 2;
    TransverseFields f;
    f.V.constant = loads.transverse;
    f.V.per_unknown.resize(n);
    for (std::size_t j = 0; j < nV; ++j) f.V.per_unknown[j] = {step(1.0, sup[r.vertical[j]].pos)};

    // The integral of V feeds both the bending moment and the shear deflection.
    Field V_integral = f.V.integrate();
    f.M = V_integral.scale(uL);
    f.M.constant.append(loads.torque);
    for (std::size_t j = 0; j < nR; ++j) f.M.per_unknown[nV + j] = {step(-1.0, sup[r.rotational[j]].pos)};

    f.S = f.M.integrate().scale(uL);
    f.S.per_unknown[nV + nR] = {step(1.0, 0.0)};

    Field bending = f.S.integrate().scale(uL / sec.EI);
    f.D = Field::add(std::move(bending), std::move(V_integral).scale(sec.phi * uL).scale(-1.0));
    f.D.per_unknown[nV + nR + 1] = {step(1.0, 0.0)};
    return f;
}

// One compatibility equation: the field's value at x is zero.
void set_row(linalg::Matrix& a, std::vector<double>& b, std::size_t row, const Field& field, double x) {
    b[row] = -field.eval_affine_into(x, a.row(row));
}

// Each row costs one evaluation of a field: its load terms and one entry
// per unknown.
std::uint64_t row_cost(const Field& f) { return f.constant.size() + f.per_unknown.size(); }

std::optional<std::vector<double>> solve_transverse(const Beam& beam, const LoadLists& loads,
                                                    const std::vector<Support>& sup, const Restraints& r,
                                                    const TransverseFields& f, interrupt::Check& check) {
    const Units& u = beam.units;
    const std::size_t nV = r.vertical.size();
    const std::size_t nR = r.rotational.size();
    const std::size_t n = nV + nR + 2;
    linalg::Matrix a(n);
    std::vector<double> b(n, 0.0);

    // Sum of vertical forces and sum of moments about x = 0.
    for (std::size_t j = 0; j < nV; ++j) a.at(0, j) = 1.0;
    b[0] = -sing::eval_terms(loads.transverse, beam.span);
    for (std::size_t j = 0; j < nV; ++j) a.at(1, j) = sup[r.vertical[j]].pos * u.length;
    for (std::size_t j = 0; j < nR; ++j) a.at(1, nV + j) = 1.0;
    b[1] = -loads.moment;

    // No rotation at rotational restraints.
    for (std::size_t j = 0; j < nR; ++j) {
        if (check.stop(row_cost(f.S))) return std::nullopt;
        set_row(a, b, 2 + j, f.S, sup[r.rotational[j]].pos);
    }

    // Deflection at a vertical restraint equals its spring deformation.
    for (std::size_t j = 0; j < nV; ++j) {
        if (check.stop(row_cost(f.D))) return std::nullopt;
        const Support& s = sup[r.vertical[j]];
        const std::size_t row = 2 + nR + j;
        set_row(a, b, row, f.D, s.pos);
        if (std::isfinite(s.ky)) a.at(row, j) += 1.0 / (s.ky * u.stiffness);
    }
    return linalg::solve(std::move(a), std::move(b), check);
}

struct AxialFields {
    Field N;
    Field U;
};

AxialFields build_axial_fields(const LoadLists& loads, const std::vector<Support>& sup, const Restraints& r,
                               double uL) {
    const std::size_t m = r.horizontal.size();
    AxialFields f;
    f.N.constant = loads.axial;
    f.N.per_unknown.resize(m);
    for (std::size_t j = 0; j < m; ++j) f.N.per_unknown[j] = {step(1.0, sup[r.horizontal[j]].pos)};
    // U only enters the compatibility rows between two restraints.
    if (m >= 2) f.U = f.N.integrate().scale(uL);
    return f;
}

std::optional<std::vector<double>> solve_axial(const Beam& beam, const LoadLists& loads,
                                               const std::vector<Support>& sup, const Restraints& r,
                                               const AxialFields& f, const Section& sec, interrupt::Check& check) {
    const std::size_t m = r.horizontal.size();
    if (m == 0) return std::vector<double>{};
    const double total = -sing::eval_terms(loads.axial, beam.span);
    // One restraint takes the whole axial load: the 1 x 1 system 1 * R =
    // total solves (equilibrated by 1.0, divided by the pivot 1.0) to total
    // exactly, so it is not built.
    if (m == 1) {
        if (!std::isfinite(total)) return std::nullopt;
        return std::vector<double>{total};
    }
    const Units& u = beam.units;
    const double EA = (u.A * sec.E) * beam.a;
    linalg::Matrix a(m);
    std::vector<double> b(m, 0.0);
    for (std::size_t k = 0; k < m; ++k) a.at(0, k) = 1.0;
    b[0] = total;

    // Relative axial displacement to the first restraint equals the
    // difference of the two spring deformations.
    const Support& first = sup[r.horizontal[0]];
    const sing::AffineValue at_first = f.U.eval_affine(first.pos);
    for (std::size_t i = 1; i < m; ++i) {
        if (check.stop(row_cost(f.U))) return std::nullopt;
        const Support& s = sup[r.horizontal[i]];
        const sing::AffineValue at_i = f.U.eval_affine(s.pos);
        for (std::size_t k = 0; k < m; ++k) a.at(i, k) = (at_i.coeffs[k] - at_first.coeffs[k]) / EA;
        b[i] = -(at_i.constant - at_first.constant) / EA;
        if (std::isfinite(first.kx)) a.at(i, 0) += 1.0 / (first.kx * u.stiffness);
        if (std::isfinite(s.kx)) a.at(i, i) += -1.0 / (s.kx * u.stiffness);
    }
    return linalg::solve(std::move(a), std::move(b), check);
}

// The restraint lists are ascending support indices, so the place of a
// support in each list is the count of restrained supports before it.
std::vector<Reaction> build_reactions(const std::vector<Support>& sup, const std::vector<double>& xt,
                                      const std::vector<double>& xa, std::size_t nV, const Units& u) {
    std::size_t h = 0, v = 0, m = 0;
    std::vector<Reaction> out;
    out.reserve(sup.size());
    for (const Support& s : sup) {
        Reaction rc{s.pos, +0.0, +0.0, +0.0};
        if (s.kx != 0.0) rc.rx = round10(xa[h++] / u.force);
        if (s.ky != 0.0) rc.ry = round10(xt[v++] / u.force);
        if (s.km != 0.0) rc.m = round10(xt[nV + m++] / u.moment);
        out.push_back(rc);
    }
    return out;
}

std::vector<double> feature_positions(const std::vector<Support>& sup, const std::vector<Load>& loads) {
    std::size_t count = sup.size();
    for (const Load& load : loads) count += load.terms.size();
    std::vector<double> out;
    out.reserve(count);
    for (const Support& s : sup) out.push_back(s.pos);
    for (const Load& load : loads) {
        for (const Term& t : load.terms) out.push_back(t.position);
    }
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

AnalyseResult analyse(const Beam& beam, interrupt::Check& check) {
    SortedSupports sorted;
    if (!sort_supports(beam.supports, sorted)) return {AnalyseFailure::unordered_supports};
    const std::vector<Support>& sup = *sorted.list;
    const Restraints r = restraints_of(sup);
    const Section sec = section_constants(beam);
    const LoadLists lists = collect_loads(beam, check);
    if (check.stopped()) return {AnalyseFailure::interrupted};

    const TransverseFields tf = build_transverse_fields(lists, sup, r, sec, beam.units.length);
    const std::optional<std::vector<double>> xt = solve_transverse(beam, lists, sup, r, tf, check);
    if (!xt) return {check.stopped() ? AnalyseFailure::interrupted : AnalyseFailure::singular};

    const AxialFields af = build_axial_fields(lists, sup, r, beam.units.length);
    const std::optional<std::vector<double>> xa = solve_axial(beam, lists, sup, r, af, sec, check);
    if (!xa) return {check.stopped() ? AnalyseFailure::interrupted : AnalyseFailure::singular};

    Analysis out;
    const double inv_force = 1.0 / beam.units.force;
    out.sf = sing::scale_terms(tf.V.subs(*xt), inv_force);
    out.bm = sing::scale_terms(tf.M.subs(*xt), 1.0 / beam.units.moment);
    out.d = sing::scale_terms(tf.D.subs(*xt), 1.0 / beam.units.deflection);
    out.nf = sing::scale_terms(xa->empty() ? af.N.constant : af.N.subs(*xa), inv_force);
    out.reactions = build_reactions(sup, *xt, *xa, r.vertical.size(), beam.units);
    out.features = feature_positions(sup, beam.loads);
    return {std::move(out)};
}

AnalyseResult analyse(const Beam& beam) {
    interrupt::Check never;
    return analyse(beam, never);
}

}  // namespace engine
