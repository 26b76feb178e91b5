#include "common/convert.hpp"

namespace python {

void set_downcast_error(PyObject* obj, const char* target) {
    // An interned name: a new string per call would be kept alive by the
    // interpreter's type attribute cache (keyed by the string's address).
    Ref name(PyUnicode_InternFromString("__qualname__"));
    Ref qualname(name ? PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(obj)), name.get()) : nullptr);
    if (qualname && PyUnicode_Check(qualname.get())) {
        PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'", qualname.get(), target);
        return;
    }
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError, "'<failed to extract type name>' object cannot be converted to '%s'", target);
}

bool to_text(PyObject* obj, std::string_view& out) {
    if (!PyUnicode_CheckExact(obj) && !PyUnicode_Check(obj)) {
        set_downcast_error(obj, "PyString");
        return false;
    }
    // The str keeps its UTF-8 form cached: no bytes object per call.
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
    if (data == nullptr) return false;
    out = {data, static_cast<std::size_t>(size)};
    return true;
}

bool to_u64(PyObject* obj, std::uint64_t& out) {
    Ref index = PyLong_Check(obj) ? Ref::borrow(obj) : Ref(PyNumber_Index(obj));
    if (!index) return false;
    const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = v;
    return true;
}

bool as_tuple(PyObject* obj, Py_ssize_t n) {
    if (!PyTuple_CheckExact(obj) && !PyTuple_Check(obj)) {
        set_downcast_error(obj, "PyTuple");
        return false;
    }
    const Py_ssize_t size = PyTuple_Size(obj);
    if (size != n) {
        PyErr_Format(PyExc_ValueError, "expected tuple of length %zd, but got tuple of length %zd", n, size);
        return false;
    }
    return true;
}

}  // namespace python
