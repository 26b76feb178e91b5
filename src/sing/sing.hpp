// Singularity (Macaulay bracket) functions: every load, internal force,
// slope and deflection of a beam is a sum of terms c * <x - a>^n.
//
// Evaluation order is part of the contract: sums start at -0.0 and add in
// list order, integer powers use square-and-multiply, so results are
// reproducible to the last bit.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sing/term_list.hpp"

namespace sing {

// Integer power by square-and-multiply (never a general pow): p starts as
// b when the lowest bit is set, else 1.0; each higher bit squares b and,
// when set, multiplies p by it. n = 0 gives exactly 1.0.
double ipow(double base, std::uint32_t n) noexcept;

// One bracket function coefficient * <x - position>^order.
// order -2 is a doublet, -1 a Dirac delta, 0 a step, 1 a ramp, ...
struct Term {
    double coefficient = 0.0;
    double position = 0.0;
    std::int32_t order = 0;

    // Value at x. Concentrated terms (order < 0) are +0.0 everywhere; a term
    // is active from its own position on (closed at its start), and a NaN
    // position compares false and therefore counts as active.
    double value_at(double x) const noexcept;

    // The integral from the left: order + 1, coefficient / (order + 1) for
    // order >= 0, coefficient unchanged for concentrated terms.
    Term integrated() const noexcept;

    friend bool operator==(const Term&, const Term&) = default;
};

// A plain sum of terms. Never merged, never pruned: order only matters for
// the floating-point sum.
using TermList = SmallList<Term>;

// Sum of the terms' values at x, starting from -0.0, in list order.
double eval_terms(const TermList& terms, double x) noexcept;

// Every term integrated once, in place of the original.
TermList integrate_terms(const TermList& terms);
TermList integrate_terms(TermList&& terms) noexcept;

// Every coefficient multiplied by k; positions, orders and count unchanged.
TermList scale_terms(const TermList& terms, double k);
TermList scale_terms(TermList&& terms, double k) noexcept;

// A field at x: its constant part plus one coefficient per unknown.
struct AffineValue {
    std::vector<double> coeffs;
    double constant = 0.0;
};

// A sum of terms, some multiplied by the unknowns of a linear system
// (support reactions and integration constants).
struct Field {
    TermList constant;
    std::vector<TermList> per_unknown;

    AffineValue eval_affine(double x) const;
    // The same values written into coeffs (per_unknown.size() entries);
    // returns the constant. Lets a caller fill a matrix row directly.
    double eval_affine_into(double x, double* coeffs) const noexcept;

    // a's terms then b's, entry by entry; surplus entries of the longer
    // field are dropped.
    static Field add(const Field& a, const Field& b);
    static Field add(Field&& a, const Field& b);
    // The rvalue forms reuse the field's storage; the arithmetic is the same.
    Field scale(double k) const&;
    Field scale(double k) &&;
    Field integrate() const&;
    Field integrate() &&;

    // The constant terms, then each unknown's terms times its value.
    // values must hold at least per_unknown.size() entries.
    TermList subs(std::span<const double> values) const;
};

}  // namespace sing
