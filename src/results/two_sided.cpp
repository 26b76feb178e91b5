#include "results/two_sided.hpp"

#include <cmath>

#include "engine/analysis.hpp"

namespace results {

double two_sided_value(const sing::TermList& list, double x) noexcept {
    const double left = engine::round10(sing::eval_terms(list, x + (-1e-7)));
    const double right = engine::round10(sing::eval_terms(list, x + 1e-7));
    return std::fabs(left) < std::fabs(right) ? right : left;
}

}  // namespace results
