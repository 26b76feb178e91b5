#include "python/convert.hpp"

namespace python {
namespace {

bool set_tuple_length_error(Py_ssize_t expected, Py_ssize_t got) {
    PyErr_Format(PyExc_ValueError, "expected tuple of length %zd, but got tuple of length %zd", expected, got);
    return false;
}

}  // namespace

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

bool to_double(PyObject* obj, double& out) {
    // An exact int converts directly (int.__float__ does the same), without
    // the temporary float object of the generic path.
    out = PyLong_CheckExact(obj) ? PyLong_AsDouble(obj) : PyFloat_AsDouble(obj);
    return !(out == -1.0 && PyErr_Occurred());
}

bool to_text(PyObject* obj, std::string& out) {
    if (!PyUnicode_Check(obj)) {
        set_downcast_error(obj, "PyString");
        return false;
    }
    // The str keeps its UTF-8 form cached: no bytes object per call.
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
    if (data == nullptr) return false;
    out.assign(data, static_cast<std::size_t>(size));
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
    if (!PyTuple_Check(obj)) {
        set_downcast_error(obj, "PyTuple");
        return false;
    }
    const Py_ssize_t size = PyTuple_Size(obj);
    if (size != n) return set_tuple_length_error(n, size);
    return true;
}

bool to_double_list(PyObject* obj, std::vector<double>& out) { return to_list(obj, out, to_double); }

bool to_text_float_dict(PyObject* obj, std::vector<std::pair<std::string, double>>& out) {
    if (!PyDict_Check(obj)) {
        set_downcast_error(obj, "PyDict");
        return false;
    }
    // A snapshot of the entries, so that a value's __float__ that changes the
    // dict cannot free the key or value being converted.
    Ref items(PyDict_Items(obj));
    if (!items) return false;
    const Py_ssize_t count = PyList_Size(items.get());
    out.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t k = 0; k < count; ++k) {
        if (signal_pending(k)) return false;
        PyObject* item = PyList_GetItem(items.get(), k);
        std::pair<std::string, double> entry;
        if (!to_text(PyTuple_GetItem(item, 0), entry.first)) return false;
        if (!to_double(PyTuple_GetItem(item, 1), entry.second)) return false;
        out.push_back(std::move(entry));
    }
    return true;
}

}  // namespace python
