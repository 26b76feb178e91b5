// SolvedBeam's search for the extremes of a quantity (results/search.hpp):
// extreme() gives its max and min over the beam, peak() one of them over a
// stretch, both to the bits of the same search wherever it is asked.
#pragma once

#include <Python.h>

namespace tools_engine {

// extreme(quantity, features, count) -> (max, x_max, min, x_min)
PyObject* extreme(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

// peak(quantity, features, sign, count, span, added=()) -> (value, x)
PyObject* peak(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace tools_engine
