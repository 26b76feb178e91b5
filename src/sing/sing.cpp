#include "sing/sing.hpp"

#include <algorithm>

namespace sing {

double ipow(double base, std::uint32_t n) noexcept {
    double p = (n & 1U) ? base : 1.0;
    for (n >>= 1; n != 0; n >>= 1) {
        base = base * base;
        if (n & 1U) p = p * base;
    }
    return p;
}

double Term::value_at(double x) const noexcept {
    if (order < 0) return +0.0;
    if (position > x) return +0.0;
    if (order == 0) return coefficient;
    return coefficient * ipow(x - position, static_cast<std::uint32_t>(order));
}

Term Term::integrated() const noexcept {
    if (order < 0) return {coefficient, position, order + 1};
    return {coefficient / static_cast<double>(order + 1), position, order + 1};
}

double eval_terms(const TermList& terms, double x) noexcept {
    double sum = -0.0;
    for (const Term& t : terms) sum += t.value_at(x);
    return sum;
}

TermList integrate_terms(const TermList& terms) { return integrate_terms(TermList(terms)); }

namespace {
void integrate_in_place(TermList& terms) noexcept {
    for (Term& t : terms) t = t.integrated();
}

void scale_in_place(TermList& terms, double k) noexcept {
    for (Term& t : terms) t.coefficient = t.coefficient * k;
}
}  // namespace

TermList integrate_terms(TermList&& terms) noexcept {
    integrate_in_place(terms);
    return std::move(terms);
}

TermList scale_terms(const TermList& terms, double k) { return scale_terms(TermList(terms), k); }

TermList scale_terms(TermList&& terms, double k) noexcept {
    scale_in_place(terms, k);
    return std::move(terms);
}

AffineValue Field::eval_affine(double x) const {
    AffineValue v;
    v.coeffs.resize(per_unknown.size());
    v.constant = eval_affine_into(x, v.coeffs.data());
    return v;
}

double Field::eval_affine_into(double x, double* coeffs) const noexcept {
    for (std::size_t i = 0; i < per_unknown.size(); ++i) coeffs[i] = eval_terms(per_unknown[i], x);
    return eval_terms(constant, x);
}

Field Field::add(const Field& a, const Field& b) { return add(Field(a), b); }

Field Field::add(Field&& a, const Field& b) {
    a.constant.append(b.constant);
    const std::size_t n = std::min(a.per_unknown.size(), b.per_unknown.size());
    a.per_unknown.resize(n);
    for (std::size_t i = 0; i < n; ++i) a.per_unknown[i].append(b.per_unknown[i]);
    return std::move(a);
}

Field Field::scale(double k) const& { return Field(*this).scale(k); }

Field Field::scale(double k) && {
    scale_in_place(constant, k);
    for (TermList& entry : per_unknown) scale_in_place(entry, k);
    return std::move(*this);
}

Field Field::integrate() const& { return Field(*this).integrate(); }

Field Field::integrate() && {
    integrate_in_place(constant);
    for (TermList& entry : per_unknown) integrate_in_place(entry);
    return std::move(*this);
}

TermList Field::subs(std::span<const double> values) const {
    std::size_t total = constant.size();
    for (const TermList& entry : per_unknown) total += entry.size();
    TermList out;
    out.reserve(total);
    out.append(constant);
    for (std::size_t i = 0; i < per_unknown.size(); ++i) {
        for (const Term& t : per_unknown[i]) out.push_back({t.coefficient * values[i], t.position, t.order});
    }
    return out;
}

}  // namespace sing
