// Binding of a call's arguments to named parameters, with messages in the
// interpreter's own wording. Every function returns false with a Python
// exception set on failure.
#pragma once

#include <Python.h>

#include <cstddef>
#include <span>

namespace python {

// How a callable shows in messages ("solve()", "BeamResult.eval_d()"), its
// positional-or-keyword parameters and how many leading ones are required.
struct Signature {
    const char* name;
    std::span<const char* const> params;
    std::size_t required;
};

// The arguments of a fast call as the interpreter passes them: nargs
// positional values, then one value per name in the kwnames tuple (null
// when there are no keywords).
struct CallArgs {
    PyObject* const* args;
    Py_ssize_t nargs;
    PyObject* kwnames;
};

// Fills slots (one per parameter, borrowed references or null) from the
// positional arguments, then the keywords in the order given.
bool bind_arguments(const Signature& sig, const CallArgs& call, std::span<PyObject*> slots);

// An exact TypeError becomes "argument '<param>': <message>", keeping its
// __cause__; any other exception is left as it is.
void wrap_argument_error(const char* param);

// A function of any calling convention as the PyCFunction that a method
// table holds; its flags tell the interpreter how to call it.
template <class F>
constexpr PyCFunction as_cfunction(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

}  // namespace python
