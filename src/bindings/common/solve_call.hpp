// The solve() call that both extension modules take: the arguments
// (span, e, i, a, g, supports, loads, units=None) bound and converted
// straight into the core's input, with the failures in the same order and
// words, the solve, and its failure as a Python exception. One copy, so
// that the private module's solve reads exactly what flexura.solve reads.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <span>
#include <variant>

#include "arena/arena.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/signals.hpp"
#include "engine/analysis.hpp"

namespace python {

// One call's converted input and its temporaries, which live as long as it
// does: on the stack of the entry, so that a small beam takes no heap
// block. Not to be copied (the arena points into the room).
struct SolveCall {
    alignas(16) std::byte room[arena::small_beam_room];
    arena::Arena arena{room};
    engine::Input input;
    interrupt::Check check = signal_check();

    // Binds the call's arguments to solve()'s eight parameters and converts
    // them into `input`; false with the exception set.
    bool read(const CallArgs& call);

    // The same for a signature whose parameters continue solve()'s eight:
    // every bound value goes to `slots`, and the first eight are converted.
    bool read(const CallArgs& call, const Signature& signature, std::span<PyObject*> slots);

    // Solves the input into the storage; false with the exception set.
    bool solve(engine::ResultStorage& storage);
};

// A tuple of exactly as many numbers as `fields` (or a subclass of tuple),
// borrowed from the list that holds it; its numbers borrowed from it.
template <std::size_t N>
Converted number_tuple(PyObject* obj, double* const (&fields)[N]) {
    Keep keep(obj);
    if (!PyTuple_CheckExact(obj)) keep.before_python();  // a subclass may run Python code anywhere
    if (!as_tuple(obj, static_cast<Py_ssize_t>(N))) return Converted::failed;
    for (std::size_t k = 0; k < N; ++k) {
        const Converted c = number_item(PyTuple_GetItem(obj, static_cast<Py_ssize_t>(k)), *fields[k], keep);
        if (c == Converted::failed) return c;
    }
    return keep.outcome();
}

// Internal linkage in every file that includes it, so that the compiler
// inlines it where it is used once, as it was before it was shared:
// reading the supports costs 163 instructions less (callgrind, solve(a)).
namespace {

// An argument's items converted into a list in the arena: convert(item,
// slot) fills each new last slot.
template <class T, class Convert>
bool read_list(PyObject* obj, arena::Arena& arena, std::span<const T>& out, Convert&& convert) {
    std::optional<arena::GrowingList<T>> list;
    Keep argument;
    const Converted read = for_each_item(
        obj, [&](std::size_t expected) { list.emplace(arena, expected); },
        [&](PyObject* item, Keep&) { return convert(item, list->push()); }, argument);
    out = list ? list->items() : std::span<const T>();
    return read != Converted::failed;
}

}  // namespace

// Sets the exception of a failed solve: ValueError with the failure's
// message, MemoryError; for a stop, the signal check has set its own.
// Returns null.
PyObject* raise(const engine::Failure& failure);

inline bool SolveCall::solve(engine::ResultStorage& storage) {
    const engine::Outcome outcome = engine::solve(input, arena, check, storage);
    const auto* failure = std::get_if<engine::Failure>(&outcome);
    if (failure != nullptr) raise(*failure);
    return failure == nullptr;
}

}  // namespace python
