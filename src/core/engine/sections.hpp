// A beam whose section changes along its length. Each flexibility (1/EI,
// 1/GA, 1/EA) is piecewise constant: f0 left of the first change, f_k from
// change k on. A field written for the first section, f0 * integral of F,
// becomes exact everywhere by corrections: for each change k,
// (f_k - f_k-1) * integral of F(x) <x - s_k>^0, where the windowed part of
// a term of F is again a short sum of singularity terms (sing::window_from).
// A term that starts in section K needs no window for the changes at or
// before its start: their steps add up to f_K - f0, one scaled copy of it.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>
#include <span>

#include "arena/arena.hpp"
#include "engine/model.hpp"
#include "sing/sing.hpp"

namespace engine {

// One flexibility along the beam, relative to its value in the first
// section; no changes means constant.
struct Flexibility {
    std::span<const double> at;    // where change k starts, ascending
    std::span<const double> step;  // f_k - f_k-1 (f_0 for the first section)
    std::span<const double> own;   // f_k - f_0: a term starting after change k

    // Hands the corrections of term t (of a field F, order >= 0) to
    // emit(piece, factor): the field's integral of each piece, times the
    // factor, is what t adds beyond the first section's flexibility. Factors
    // that are exactly zero are left out.
    template <class Emit>
    void corrections(const sing::Term& t, Emit&& emit) const {
        std::size_t k = 0;
        while (k < at.size() && at[k] <= t.position) ++k;
        if (k > 0 && own[k - 1] != 0.0) emit(t, own[k - 1]);
        for (; k < at.size(); ++k) {
            if (step[k] == 0.0) continue;
            const double factor = step[k];
            sing::window_from(t, at[k], [&](const sing::Term& piece) { emit(piece, factor); });
        }
    }

    // How many pieces corrections(t, ...) emits.
    std::size_t count(const sing::Term& t) const noexcept {
        std::size_t k = 0;
        while (k < at.size() && at[k] <= t.position) ++k;
        std::size_t n = k > 0 && own[k - 1] != 0.0 ? 1 : 0;
        for (; k < at.size(); ++k) {
            if (step[k] != 0.0) n += sing::window_size(t, at[k]);
        }
        return n;
    }
};

// A section's constants in base units.
struct Section {
    double E;
    double EI;
    double phi;  // shear flexibility 1 / GA; 0 for an infinite GA
};

inline Section section(const Units& u, double e, double i, double a, double g) noexcept {
    const double E = u.E * e;
    const double EI = (u.I * E) * i;
    const double GA = ((u.G * g) * u.A) * a;
    return {E, EI, std::isinf(GA) ? 0.0 : 1.0 / GA};
}

// The first section's constants (the input's e, i, a, g).
inline Section first_section(const Input& in) noexcept { return section(in.units, in.e, in.i, in.a, in.g); }

// The three flexibilities of a beam with section changes: bending as
// EI0 / EI (the fields keep EI0 * slope), shear as phi itself, axial as
// EA0 / EA, 0 standing for the first section's. A prismatic beam's are
// empty: constant.
struct Sections {
    Flexibility bending, shear, axial;

    bool changes() const noexcept { return !bending.at.empty(); }
};

// The tables of the input's section changes, in the arena; none when the
// changes do not ascend (or a start is not a number).
std::optional<Sections> sections_of(const Input& in, arena::Arena& arena);

}  // namespace engine
