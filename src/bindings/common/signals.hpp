// Pending signals of the interpreter as an interrupt check for the long
// loops of a call: Ctrl-C raises KeyboardInterrupt inside PyErr_CheckSignals,
// the computation stops, and the call returns with that exception set.
#pragma once

#include <Python.h>

#include "interrupt/check.hpp"

namespace python {

// About a millisecond of work between two asks.
inline constexpr std::uint64_t signal_check_interval = std::uint64_t{1} << 20;

inline interrupt::Check signal_check() noexcept {
    return interrupt::Check([](void*) { return PyErr_CheckSignals() != 0; }, nullptr, signal_check_interval);
}

// For loops that convert one argument item after another: signals are
// asked for at every 65,536th item. A handler that returns normally (or, from
// 3.12 on, a collection's finaliser) may run Python code there.
inline bool signal_due(Py_ssize_t item) { return (item & 0xFFFF) == 0xFFFF; }

// True, with the signal's exception set, when a signal is pending at an
// item where one is due.
inline bool signal_pending(Py_ssize_t item) { return signal_due(item) && PyErr_CheckSignals() != 0; }

}  // namespace python
