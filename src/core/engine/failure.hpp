// Why a solve produced no result: one type for every failure of the core,
// made by its factories only.
//
// Inside the core, memory that cannot be had throws std::bad_alloc (from the
// arena, as from operator new, and where a size cannot even be counted);
// the core's entry, engine::solve, turns it into out_of_memory, so that its
// callers meet every failure as this one value.
#pragma once

#include <string>
#include <utility>

namespace engine {

struct Failure {
    enum class Reason {
        invalid,        // the input cannot be solved; `message` says why (raised as ValueError)
        stopped,        // the caller's interrupt check said stop; the caller knows why
        out_of_memory,  // the work's or the result's memory could not be had (raised as MemoryError)
    };
    Reason reason = Reason::invalid;
    std::string message;  // the reason of an invalid input, in the caller's words; empty otherwise

    static Failure invalid(std::string message) { return {Reason::invalid, std::move(message)}; }
    static Failure stopped() noexcept { return {Reason::stopped, {}}; }
    static Failure out_of_memory() noexcept { return {Reason::out_of_memory, {}}; }
};

}  // namespace engine
