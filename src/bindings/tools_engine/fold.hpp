// fold_positions(): the envelope of a vehicle's positions, a chunk of them
// per call, solved and folded by the core (moving/fold.hpp) into running
// envelopes that the caller holds in bytearrays; and fold_members(): the
// envelope of beams solved already, folded the same way.
#pragma once

#include <Python.h>

namespace tools_engine {

PyObject* fold_positions(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

extern const char fold_positions_doc[];

// fold_members(members, jumps, jump_ends, first, mesh, bands, ranges): solved
// beams (SolvedBeam, of the given type) folded by the core likewise.
PyObject* fold_members(PyTypeObject* solved_beam, PyObject* const* args, Py_ssize_t nargs);

extern const char fold_members_doc[];

}  // namespace tools_engine
