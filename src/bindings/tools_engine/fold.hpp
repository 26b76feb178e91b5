// fold_positions(): the envelope of a vehicle's positions, a chunk of them
// per call, solved and folded by the core (moving/fold.hpp) into running
// envelopes that the caller holds in bytearrays.
#pragma once

#include <Python.h>

namespace tools_engine {

PyObject* fold_positions(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

extern const char fold_positions_doc[];

}  // namespace tools_engine
