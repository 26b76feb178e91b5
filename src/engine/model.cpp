#include "engine/model.hpp"

#include <cmath>

namespace engine {
namespace {

double projection_factor(double c) noexcept { return std::fabs(c) < 1e-8 ? +0.0 : c; }

sing::TermList project(const sing::TermList& terms, double c) {
    sing::TermList out;
    out.reserve(terms.size());
    for (const sing::Term& t : terms) out.push_back(sing::Term{t.coefficient * c, t.position, t.order}.integrated());
    return out;
}

}  // namespace

sing::TermList Load::x1() const { return project(terms, projection_factor(std::cos(angle * deg_to_rad))); }

sing::TermList Load::y1() const { return project(terms, projection_factor(std::sin(angle * deg_to_rad))); }

}  // namespace engine
