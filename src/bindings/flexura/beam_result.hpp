// The Python class BeamResult: one solved beam, immutable, queried by
// position. Instances are made only by solve(), as analysis objects
// (common/analysis_object.hpp).
#pragma once

#include <Python.h>

namespace python {

// Creates the class (once per interpreter lifetime); borrowed reference or
// null.
PyTypeObject* beam_result_type();

// Drops the pointer to a class that was finalised with its interpreter.
void forget_beam_result_type() noexcept;

}  // namespace python
