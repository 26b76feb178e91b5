// No C++ exception may cross into the interpreter: every entry point runs
// its body through guarded(), which turns exceptions into Python errors.
#pragma once

#include <Python.h>

#include <exception>
#include <new>

namespace python {

template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "flexura: unexpected internal error");
    }
    return nullptr;
}

}  // namespace python
