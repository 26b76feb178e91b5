// The module function solve(span, e, i, a, g, supports, loads, units=None).
#pragma once

#include <Python.h>

namespace python {

// Its definition, bound to the module when the module is created.
extern PyMethodDef solve_def;

}  // namespace python
