// The solve() call that both extension modules take: the arguments
// (span, e, i, a, g, supports, loads, units=None) bound and converted
// straight into the core's input, with the failures in the same order and
// words, the solve, and its failure as a Python exception. One copy, so
// that the private module's solve reads exactly what flexura.solve reads.
#pragma once

#include <Python.h>

#include <cstddef>
#include <variant>

#include "arena/arena.hpp"
#include "common/binding.hpp"
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

    // Solves the input into the storage; false with the exception set.
    bool solve(engine::ResultStorage& storage);
};

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
