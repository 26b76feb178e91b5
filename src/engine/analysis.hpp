// The result of analysing a beam: the four internal-quantity term lists in
// the caller's units, the rounded reactions and the feature positions.
#pragma once

#include <variant>
#include <vector>

#include "engine/model.hpp"
#include "interrupt/check.hpp"
#include "sing/sing.hpp"

namespace engine {

// One support's reactions in the caller's units, rounded to 10 decimals;
// +0.0 in a direction the support does not restrain.
struct Reaction {
    double pos = 0.0;
    double rx = 0.0;
    double ry = 0.0;
    double m = 0.0;
};

struct Analysis {
    sing::TermList nf;  // normal force
    sing::TermList sf;  // shear force
    sing::TermList bm;  // bending moment
    sing::TermList d;   // deflection, shear deformation included
    std::vector<Reaction> reactions;  // ascending support position
    std::vector<double> features;     // support positions, then load term positions
};

enum class AnalyseFailure {
    singular,            // no unique solution (unstable or degenerate beam)
    unordered_supports,  // a support position is NaN, so supports cannot be sorted
    interrupted,         // the caller's check asked to stop
};

struct AnalyseResult {
    std::variant<Analysis, AnalyseFailure> outcome;

    bool ok() const noexcept { return std::holds_alternative<Analysis>(outcome); }
    AnalyseFailure failure() const noexcept { return std::get<AnalyseFailure>(outcome); }
    Analysis& analysis() noexcept { return std::get<Analysis>(outcome); }
    const Analysis& analysis() const noexcept { return std::get<Analysis>(outcome); }
};

// Reactions and result fields of the beam, or the reason there are none.
// The check is asked now and then while the work grows with the number of
// supports and load terms.
AnalyseResult analyse(const Beam& beam, interrupt::Check& check);
AnalyseResult analyse(const Beam& beam);

// C round of v * 1e10, divided back: halves away from zero, sign kept. A
// finite v too large to scale (|v| above about 1.8e298) is returned as it is.
double round10(double v) noexcept;

}  // namespace engine
