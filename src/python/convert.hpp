// Conversion of bound argument values to C++ values, with messages in the
// interpreter's own wording. Every function returns false with a Python
// exception set on failure.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "python/ref.hpp"
#include "python/signals.hpp"

namespace python {

// "'<type qualname>' object cannot be converted to '<target>'"
void set_downcast_error(PyObject* obj, const char* target);

bool to_double(PyObject* obj, double& out);
bool to_text(PyObject* obj, std::string& out);
bool to_u64(PyObject* obj, std::uint64_t& out);
// A tuple (or subclass) of exactly n items; items borrowed from the tuple.
bool as_tuple(PyObject* obj, Py_ssize_t n);
bool to_double_list(PyObject* obj, std::vector<double>& out);
bool to_text_float_dict(PyObject* obj, std::vector<std::pair<std::string, double>>& out);

// Converts one item and appends it to out.
template <class T, class Convert>
bool append_converted(PyObject* item, std::vector<T>& out, Convert convert) {
    T value{};
    if (!convert(item, value)) return false;
    out.push_back(std::move(value));
    return true;
}

// The items of an exact list or tuple by index, as their iterators visit
// them. The length is read again before every item, after anything that may
// have run Python code (the previous item's conversion, a signal handler, a
// collection's finalisers): a list shortened or grown meanwhile is followed
// exactly, never read past its end. Each item is held while it is converted.
// Saves the iterator objects of the generic path: 4.5% of a two-support,
// one-load solve (callgrind, 669 of 14,900 instructions).
template <class T, class Convert>
bool convert_items(PyObject* seq, std::vector<T>& out, Convert convert) {
    const bool is_list = PyList_CheckExact(seq);
    for (Py_ssize_t k = 0;; ++k) {
        if (signal_pending(k)) return false;
        if (k >= (is_list ? PyList_Size(seq) : PyTuple_Size(seq))) return true;
        Ref item = Ref::borrow(is_list ? PyList_GetItem(seq, k) : PyTuple_GetItem(seq, k));
        if (!append_converted(item.get(), out, convert)) return false;
    }
}

// Any non-str sequence, converted item by item in iteration order.
template <class T, class Convert>
bool to_list(PyObject* obj, std::vector<T>& out, Convert convert) {
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(obj)) {
        set_downcast_error(obj, "Sequence");
        return false;
    }
    // The length is only a capacity hint: a failing or absurd __len__ must
    // neither fail the conversion nor reserve memory the items never need.
    // Only an Exception is ignored: KeyboardInterrupt and the like propagate.
    constexpr Py_ssize_t max_hint = 1 << 16;
    const Py_ssize_t hint = PySequence_Size(obj);
    if (hint < 0) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) return false;
        PyErr_Clear();
    }
    out.reserve(static_cast<std::size_t>(std::clamp<Py_ssize_t>(hint, 0, max_hint)));
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) return convert_items(obj, out, convert);
    Ref iter(PyObject_GetIter(obj));
    if (!iter) return false;
    for (Py_ssize_t k = 0; Ref item{PyIter_Next(iter.get())}; ++k) {
        if (signal_pending(k) || !append_converted(item.get(), out, convert)) return false;
    }
    return PyErr_Occurred() == nullptr;
}

}  // namespace python
