// Conversion of bound argument values to C++ values, with messages in the
// interpreter's own wording. Every function returns false with a Python
// exception set on failure.
#pragma once

#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/ref.hpp"
#include "common/signals.hpp"

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

// Reading an argument borrows its items wherever no Python code can run:
// converting an exact float or int, or reading an exact tuple or str, runs
// none. Before anything that may run Python code (the conversion of any
// other object, a signal handler, a sequence's own methods), the objects in
// use are held, since that code may drop the last other reference to them,
// and a list's length is read again afterwards. The usual arguments are so
// read without taking a reference and with one reading of each length,
// which saves 7% of each further point load (callgrind, 74 of 1,112
// instructions).

// How converting one item went.
enum class Converted { failed, in_c, ran_python };

// What must stay alive while an item is converted: the object that holds
// it (null for the arguments themselves, which the call holds), taken from
// the first moment Python code may run.
class Keep {
public:
    explicit Keep(PyObject* container = nullptr) noexcept : container_(container) {}
    void before_python() noexcept {
        if (!ran_python_ && container_ != nullptr) held_ = Ref::borrow(container_);
        ran_python_ = true;
    }
    Converted outcome() const noexcept { return ran_python_ ? Converted::ran_python : Converted::in_c; }

private:
    PyObject* container_;
    Ref held_;
    bool ran_python_ = false;
};

// Whether converting obj to a double runs no Python code.
inline bool plain_number(PyObject* obj) { return PyFloat_CheckExact(obj) || PyLong_CheckExact(obj); }

// A number borrowed from what `keep` keeps.
inline Converted number_item(PyObject* obj, double& out, Keep& keep) {
    if (plain_number(obj)) return to_double(obj, out) ? Converted::in_c : Converted::failed;
    keep.before_python();
    const Ref held = Ref::borrow(obj);
    return to_double(obj, out) ? Converted::ran_python : Converted::failed;
}

// The items of an exact list or tuple (kept by `keep`) by index, as their
// iterators visit them: convert(item, keep) says how each went. A list
// shortened or grown by Python code meanwhile is followed exactly, never
// read past its end. Saves the iterator objects of the generic path: 4.5%
// of a two-support, one-load solve (callgrind, 669 of 14,900 instructions).
template <class Convert>
Converted convert_items(PyObject* seq, Convert&& convert, Keep& keep) {
    const bool is_list = PyList_CheckExact(seq);
    auto length = [&] { return is_list ? PyList_Size(seq) : PyTuple_Size(seq); };
    Py_ssize_t size = length();
    for (Py_ssize_t k = 0; k < size; ++k) {
        if (signal_due(k)) {
            keep.before_python();
            if (PyErr_CheckSignals() != 0) return Converted::failed;
            size = length();
            if (k >= size) break;
        }
        const Converted c = convert(is_list ? PyList_GetItem(seq, k) : PyTuple_GetItem(seq, k), keep);
        if (c == Converted::failed) return c;
        if (c == Converted::ran_python) {
            keep.before_python();
            size = length();
        }
    }
    return keep.outcome();
}

// Any non-str sequence (kept by `keep`), item by item in iteration order:
// first start(expected), with the number of items to expect, then
// convert(item, keep) for each item, which says how it went.
template <class Start, class Convert>
Converted for_each_item(PyObject* obj, Start&& start, Convert&& convert, Keep& keep) {
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
        start(static_cast<std::size_t>(PyList_CheckExact(obj) ? PyList_Size(obj) : PyTuple_Size(obj)));
        return convert_items(obj, convert, keep);
    }
    // Everything below may run Python code.
    keep.before_python();
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return Converted::failed;
    }
    if (!PySequence_Check(obj)) {
        set_downcast_error(obj, "Sequence");
        return Converted::failed;
    }
    // The length is only a capacity hint: a failing or absurd __len__ must
    // neither fail the conversion nor reserve memory the items never need.
    // Only an Exception is ignored: KeyboardInterrupt and the like propagate.
    constexpr Py_ssize_t max_hint = 1 << 16;
    const Py_ssize_t hint = PySequence_Size(obj);
    if (hint < 0) {
        if (!PyErr_ExceptionMatches(PyExc_Exception)) return Converted::failed;
        PyErr_Clear();
    }
    start(static_cast<std::size_t>(std::clamp<Py_ssize_t>(hint, 0, max_hint)));
    Ref iter(PyObject_GetIter(obj));
    if (!iter) return Converted::failed;
    for (Py_ssize_t k = 0; Ref item{PyIter_Next(iter.get())}; ++k) {  // each item held here
        if (signal_pending(k) || convert(item.get(), keep) == Converted::failed) return Converted::failed;
    }
    return PyErr_Occurred() == nullptr ? Converted::ran_python : Converted::failed;
}

// Every number of a sequence (kept by `keep`) appended to `out`, each
// converted as solve() converts a list of numbers.
inline Converted append_numbers(PyObject* seq, std::vector<double>& out, Keep& keep) {
    return for_each_item(
        seq, [&](std::size_t expected) { out.reserve(out.size() + expected); },
        [&](PyObject* item, Keep& held) {
            double v = 0.0;
            const Converted c = number_item(item, v, held);
            if (c != Converted::failed) out.push_back(v);
            return c;
        },
        keep);
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
