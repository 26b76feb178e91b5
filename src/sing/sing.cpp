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

TermList integrate_terms(const TermList& terms) {
    TermList out;
    out.reserve(terms.size());
    for (const Term& t : terms) out.push_back(t.integrated());
    return out;
}

TermList scale_terms(const TermList& terms, double k) {
    TermList out;
    out.reserve(terms.size());
    for (const Term& t : terms) out.push_back({t.coefficient * k, t.position, t.order});
    return out;
}

AffineValue Field::eval_affine(double x) const {
    AffineValue v;
    v.coeffs.reserve(per_unknown.size());
    for (const TermList& entry : per_unknown) v.coeffs.push_back(eval_terms(entry, x));
    v.constant = eval_terms(constant, x);
    return v;
}

namespace {
TermList concat(const TermList& a, const TermList& b) {
    TermList out;
    out.reserve(a.size() + b.size());
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), b.begin(), b.end());
    return out;
}
}  // namespace

Field Field::add(const Field& a, const Field& b) {
    Field out;
    out.constant = concat(a.constant, b.constant);
    const std::size_t n = std::min(a.per_unknown.size(), b.per_unknown.size());
    out.per_unknown.reserve(n);
    for (std::size_t i = 0; i < n; ++i) out.per_unknown.push_back(concat(a.per_unknown[i], b.per_unknown[i]));
    return out;
}

Field Field::scale(double k) const {
    Field out;
    out.constant = scale_terms(constant, k);
    out.per_unknown.reserve(per_unknown.size());
    for (const TermList& entry : per_unknown) out.per_unknown.push_back(scale_terms(entry, k));
    return out;
}

Field Field::integrate() const {
    Field out;
    out.constant = integrate_terms(constant);
    out.per_unknown.reserve(per_unknown.size());
    for (const TermList& entry : per_unknown) out.per_unknown.push_back(integrate_terms(entry));
    return out;
}

TermList Field::subs(std::span<const double> values) const {
    std::size_t total = constant.size();
    for (const TermList& entry : per_unknown) total += entry.size();
    TermList out;
    out.reserve(total);
    out.insert(out.end(), constant.begin(), constant.end());
    for (std::size_t i = 0; i < per_unknown.size(); ++i) {
        for (const Term& t : per_unknown[i]) out.push_back({t.coefficient * values[i], t.position, t.order});
    }
    return out;
}

}  // namespace sing
