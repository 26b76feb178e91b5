// Conversion of bound argument values to C++ values, with messages in the
// interpreter's own wording. Every function returns false with a Python
// exception set on failure.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "python/ref.hpp"
#include "python/signals.hpp"

namespace python {

// "'<type qualname>' object cannot be converted to '<target>'"
void set_downcast_error(PyObject* obj, const char* target);

// An exact int converts directly (int.__float__ does the same), without the
// temporary float object of the generic path.
inline bool to_double(PyObject* obj, double& out) {
    out = PyLong_CheckExact(obj) ? PyLong_AsDouble(obj) : PyFloat_AsDouble(obj);
    return !(out == -1.0 && PyErr_Occurred());
}

// A str's UTF-8 form, cached by the str: valid while the str lives.
bool to_text(PyObject* obj, std::string_view& out);
bool to_u64(PyObject* obj, std::uint64_t& out);
// A tuple (or subclass) of exactly n items; items borrowed from the tuple.
bool as_tuple(PyObject* obj, Py_ssize_t n);

// The items of an exact list or tuple by index, as their iterators visit
// them. The length is read again before every item, after anything that may
// have run Python code (the previous item's conversion, a signal handler, a
// collection's finalisers): a list shortened or grown meanwhile is followed
// exactly, never read past its end. Each item is held while it is converted.
// Saves the iterator objects of the generic path: 4.5% of a two-support,
// one-load solve (callgrind, 669 of 14,900 instructions).
template <class Convert>
bool convert_items(PyObject* seq, Convert&& convert) {
    const bool is_list = PyList_CheckExact(seq);
    for (Py_ssize_t k = 0;; ++k) {
        if (signal_pending(k)) return false;
        if (k >= (is_list ? PyList_Size(seq) : PyTuple_Size(seq))) return true;
        Ref item = Ref::borrow(is_list ? PyList_GetItem(seq, k) : PyTuple_GetItem(seq, k));
        if (!convert(item.get())) return false;
    }
}

// Any non-str sequence, item by item in iteration order: first
// start(expected), with the number of items to expect, then convert(item)
// for each item.
template <class Start, class Convert>
bool for_each_item(PyObject* obj, Start&& start, Convert&& convert) {
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return false;
    }
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
        start(static_cast<std::size_t>(PyList_CheckExact(obj) ? PyList_Size(obj) : PyTuple_Size(obj)));
        return convert_items(obj, convert);
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
    start(static_cast<std::size_t>(std::clamp<Py_ssize_t>(hint, 0, max_hint)));
    Ref iter(PyObject_GetIter(obj));
    if (!iter) return false;
    for (Py_ssize_t k = 0; Ref item{PyIter_Next(iter.get())}; ++k) {
        if (signal_pending(k) || !convert(item.get())) return false;
    }
    return PyErr_Occurred() == nullptr;
}

// Every entry of a dict (or subclass) in its order, key as text, value as
// float: convert(key, value) for each. The entries are those of the call's
// start: a value's __float__ that changes the dict changes none of them.
template <class Convert>
bool for_each_text_float(PyObject* obj, Convert&& convert) {
    if (!PyDict_Check(obj)) {
        set_downcast_error(obj, "PyDict");
        return false;
    }
    // A private copy, which no caller's code can reach, holds every key and
    // value while it is converted.
    Ref copy(PyDict_Copy(obj));
    if (!copy) return false;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    for (Py_ssize_t k = 0; PyDict_Next(copy.get(), &position, &key, &value); ++k) {
        std::string_view text;
        double number = 0.0;
        if (signal_pending(k) || !to_text(key, text) || !to_double(value, number)) return false;
        convert(text, number);
    }
    return true;
}

}  // namespace python
