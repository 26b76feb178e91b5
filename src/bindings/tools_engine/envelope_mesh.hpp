// envelope_mesh(): the common mesh of an envelope's members, made by the core
// (results/envelope_mesh.hpp) and handed back as bytes, which the folds read
// as they are.
#pragma once

#include <Python.h>

namespace tools_engine {

PyObject* envelope_mesh(PyObject* module, PyObject* const* args, Py_ssize_t nargs);

extern const char envelope_mesh_doc[];

}  // namespace tools_engine
