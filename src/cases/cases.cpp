#include "cases/cases.hpp"

#include <cmath>
#include <vector>

namespace cases {
namespace {

using engine::deg_to_rad;
using engine::Load;
using engine::LoadKind;
using sing::ipow;

// C(j, i) as a running product: multiply first, divide second.
double binomial(std::size_t j, std::size_t i) noexcept {
    double b = 1.0;
    for (std::size_t t = 0; t < i; ++t) b = (static_cast<double>(j - t) * b) / static_cast<double>(t + 1);
    return b;
}

// Coefficients of sum_j c[j] (y + s)^j re-expanded in powers of y:
// out[i] = sum_{j >= i} s^(j - i) * (C(j, i) * c[j]).
std::vector<double> shift_polynomial(std::span<const double> c, double s) {
    std::vector<double> out(c.size(), 0.0);
    for (std::size_t i = 0; i < c.size(); ++i) {
        double sum = +0.0;
        for (std::size_t j = i; j < c.size(); ++j) {
            sum += ipow(s, static_cast<std::uint32_t>(j - i)) * (binomial(j, i) * c[j]);
        }
        out[i] = sum;
    }
    return out;
}

Load distributed(sing::TermList terms, double theta, double moment) {
    return Load{std::move(terms), theta, std::sin(theta * deg_to_rad) * moment, LoadKind::Distributed};
}

}  // namespace

engine::Load trap_pub(double w1, double w2, double x1, double x2, double theta) {
    const double L = x2 - x1;
    const double delta = w2 - w1;
    sing::TermList terms{{w1, x1, 0}, {-w1, x2, 0}};
    if (!(w1 == w2)) {
        terms.push_back({delta / L, x1, 1});
        terms.push_back({-delta, x2, 0});
        terms.push_back({-(delta / L), x2, 1});
    }
    // Triangle resultant at x1 + 2L/3 plus rectangle resultant at x1 + L/2.
    const double moment = ((L + L) / 3 + x1) * (delta * L * 0.5) + (L * 0.5 + x1) * (w1 * L);
    return distributed(std::move(terms), theta, moment);
}

engine::Load distributed_pub(std::span<const double> c, double x1, double x2, double theta) {
    const std::size_t n = c.size();
    const std::vector<double> d = shift_polynomial(c, x1);
    const std::vector<double> e = shift_polynomial(d, x2 - x1);
    sing::TermList terms;
    for (std::size_t i = 0; i < n; ++i) {
        if (d[i] != 0.0) terms.push_back({d[i], x1, static_cast<std::int32_t>(i)});
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (e[k] != 0.0) terms.push_back({-e[k], x2, static_cast<std::int32_t>(k)});
    }
    // Integral of x * w(x) over [x1, x2].
    double moment = +0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const auto p = static_cast<std::uint32_t>(j + 2);
        moment += ((ipow(x2, p) - ipow(x1, p)) * c[j]) / static_cast<double>(j + 2);
    }
    return distributed(std::move(terms), theta, moment);
}

}  // namespace cases
