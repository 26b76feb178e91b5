#include "common/binding.hpp"

#include <string>
#include <vector>

#include "common/ref.hpp"

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

}  // namespace

bool bind_arguments(const Signature& sig, const CallArgs& call, std::span<PyObject*> slots) {
    const std::size_t given = static_cast<std::size_t>(call.nargs);
    if (given > sig.params.size()) return too_many_positional(sig, call.nargs);
    for (std::size_t k = 0; k < given; ++k) slots[k] = call.args[k];
    for (std::size_t k = given; k < slots.size(); ++k) slots[k] = nullptr;
    // Every required parameter given by position: the common call.
    if (call.kwnames == nullptr && given >= sig.required) return true;
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
    Ref owned_type(type), original(value), owned_traceback(traceback);
    Ref text(PyObject_Str(value));
    if (!text) return;
    Ref message(PyUnicode_FromFormat("argument '%s': %U", param, text.get()));
    if (!message) return;
    Ref wrapped(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!wrapped) return;
    // As `raise TypeError(...) from original.__cause__` inside `except`
    // would: the original is the context, and the caller's frames that
    // raised it stay on the traceback.
    if (PyObject* cause = PyException_GetCause(value)) PyException_SetCause(wrapped.get(), cause);
    if (traceback != nullptr &&
        (PyException_SetTraceback(value, traceback) < 0 || PyException_SetTraceback(wrapped.get(), traceback) < 0)) {
        return;
    }
    PyException_SetContext(wrapped.get(), original.release());
    // Restored rather than set: setting would chain it to whatever exception
    // the caller is handling instead.
    PyErr_Restore(Py_NewRef(PyExc_TypeError), wrapped.release(), owned_traceback.release());
}

}  // namespace python
