// The Python class BeamResult: one solved beam, immutable, queried by
// position. Instances are made only by solve().
#pragma once

#include <Python.h>

#include "engine/analysis.hpp"

namespace python {

// The analysis output plus the span exactly as the caller passed it.
struct BeamResult {
    sing::TermList nf;
    sing::TermList sf;
    sing::TermList bm;
    sing::TermList d;
    std::vector<engine::Reaction> reactions;
    std::vector<double> features;
    double span = 0.0;
};

// Creates the class (once per interpreter lifetime); borrowed reference or
// null.
PyTypeObject* beam_result_type();

// Drops the pointer to a class that was finalised with its interpreter.
void forget_beam_result_type() noexcept;

// A new instance that owns the analysis; null with an exception set.
PyObject* new_beam_result(engine::Analysis&& analysis, double span);

}  // namespace python
