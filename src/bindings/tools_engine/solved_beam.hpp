// SolvedBeam, the result of the private module's solve(): the analysis
// object of flexura.BeamResult (common/analysis_object.hpp) with, in its
// tail, the order of the caller's supports among the reactions.
#pragma once

#include <Python.h>

#include <cstddef>

#include "common/solve_call.hpp"
#include "engine/analysis.hpp"

namespace tools_engine {

// A new SolvedBeam type, or null with the exception set.
PyTypeObject* new_solved_beam_type();

// The tail a SolvedBeam of this many supports needs.
inline std::size_t order_bytes(std::size_t supports) noexcept { return supports * sizeof(std::size_t); }

// Writes the caller's index of each reaction into the tail of a SolvedBeam
// just solved from the call's input; false with the exception set.
bool write_reaction_order(PyObject* solved, python::SolveCall& call);

// The quantity a text names ("nf", "sf", "bm", "d", "rotation") that this
// beam can read; false with the exception set.
bool to_quantity(PyObject* self, PyObject* obj, engine::Quantity& out);

}  // namespace tools_engine
