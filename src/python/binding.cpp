#include "python/binding.hpp"

#include <cstring>

namespace python {
namespace {

const char* was_were(Py_ssize_t n) { return n == 1 ? "was" : "were"; }

bool too_many_positional(const Signature& sig, Py_ssize_t given) {
    const std::size_t count = sig.params.size();
    if (sig.required < count) {
        PyErr_Format(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given", sig.name,
                     sig.required, count, given, was_were(given));
    } else {
        PyErr_Format(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", sig.name, count, given,
                     was_were(given));
    }
    return false;
}

bool bind_keywords(const Signature& sig, const CallArgs& call, std::span<PyObject*> slots) {
    const Py_ssize_t count = PyTuple_Size(call.kwnames);
    for (Py_ssize_t j = 0; j < count; ++j) {
        PyObject* key = PyTuple_GetItem(call.kwnames, j);
        if (!PyUnicode_Check(key)) {
            PyErr_Format(PyExc_TypeError, "%s keywords must be strings", sig.name);
            return false;
        }
        std::size_t k = 0;
        while (k < sig.params.size() && PyUnicode_CompareWithASCIIString(key, sig.params[k]) != 0) ++k;
        if (k == sig.params.size()) {
            PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%S'", sig.name, key);
            return false;
        }
        if (slots[k] != nullptr) {
            PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", sig.name, sig.params[k]);
            return false;
        }
        slots[k] = call.args[call.nargs + j];
    }
    return true;
}

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'
std::string quoted_names(const std::vector<const char*>& names) {
    std::string out;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) out += names.size() == 2 ? " and " : (k + 1 == names.size() ? ", and " : ", ");
        out += '\'';
        out += names[k];
        out += '\'';
    }
    return out;
}

bool check_required(const Signature& sig, std::span<PyObject*> slots) {
    std::vector<const char*> missing;
    for (std::size_t k = 0; k < sig.required; ++k) {
        if (slots[k] == nullptr) missing.push_back(sig.params[k]);
    }
    if (missing.empty()) return true;
    PyErr_Format(PyExc_TypeError, "%s missing %zu required positional %s: %s", sig.name, missing.size(),
                 missing.size() == 1 ? "argument" : "arguments", quoted_names(missing).c_str());
    return false;
}

bool set_tuple_length_error(Py_ssize_t expected, Py_ssize_t got) {
    PyErr_Format(PyExc_ValueError, "expected tuple of length %zd, but got tuple of length %zd", expected, got);
    return false;
}

}  // namespace

bool bind_arguments(const Signature& sig, const CallArgs& call, std::span<PyObject*> slots) {
    const std::size_t given = static_cast<std::size_t>(call.nargs);
    if (given > sig.params.size()) return too_many_positional(sig, call.nargs);
    for (std::size_t k = 0; k < given; ++k) slots[k] = call.args[k];
    // Every parameter given by position: the common call, nothing to check.
    if (call.kwnames == nullptr && given == sig.params.size()) return true;
    for (std::size_t k = given; k < slots.size(); ++k) slots[k] = nullptr;
    if (call.kwnames != nullptr && !bind_keywords(sig, call, slots)) return false;
    return check_required(sig, slots);
}

void wrap_argument_error(const char* param) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value == nullptr || Py_TYPE(value) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
        PyErr_Restore(type, value, traceback);
        return;
    }
    Ref owned_type(type), owned_value(value), owned_traceback(traceback);
    Ref text(PyObject_Str(value));
    if (!text) return;
    Ref message(PyUnicode_FromFormat("argument '%s': %U", param, text.get()));
    if (!message) return;
    Ref wrapped(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!wrapped) return;
    if (PyObject* cause = PyException_GetCause(value)) PyException_SetCause(wrapped.get(), cause);
    PyErr_SetObject(PyExc_TypeError, wrapped.get());
}

void set_downcast_error(PyObject* obj, const char* target) {
    // An interned name: a new string per call would be kept alive by the
    // interpreter's type attribute cache (keyed by the string's address).
    static PyObject* const qualname_name = PyUnicode_InternFromString("__qualname__");
    Ref qualname(qualname_name == nullptr ? nullptr
                                          : PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(obj)), qualname_name));
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
        PyObject* item = PyList_GetItem(items.get(), k);
        std::pair<std::string, double> entry;
        if (!to_text(PyTuple_GetItem(item, 0), entry.first)) return false;
        if (!to_double(PyTuple_GetItem(item, 1), entry.second)) return false;
        out.push_back(std::move(entry));
    }
    return true;
}

}  // namespace python
