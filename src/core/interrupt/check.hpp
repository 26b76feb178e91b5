// How a long computation learns that its caller wants it stopped (Ctrl-C in
// an interpreter, a deadline in a service), without knowing who the caller
// is. The computation counts its work in rough units (a term evaluated, a
// matrix entry updated); after every `interval` units the caller's function
// is asked, and once it answers yes every later count answers yes at once.
// The default check never asks and never stops.
#pragma once

#include <cstdint>
#include <limits>

namespace interrupt {

class Check {
public:
    using Ask = bool (*)(void* context);

    Check() noexcept = default;
    Check(Ask ask, void* context, std::uint64_t interval) noexcept
        : ask_(ask), context_(context), interval_(interval), budget_(interval) {}

    // Counts `work` units; true when the computation must stop now.
    bool stop(std::uint64_t work) noexcept {
        if (work < budget_) {
            budget_ -= work;
            return false;
        }
        return ask();
    }

    // Whether a stop was requested (and the computation gave up for it).
    bool stopped() const noexcept { return stopped_; }

private:
    bool ask() noexcept {
        budget_ = interval_;
        if (!stopped_ && ask_ != nullptr) stopped_ = ask_(context_);
        if (stopped_) budget_ = 0;  // every later count stops too
        return stopped_;
    }

    Ask ask_ = nullptr;
    void* context_ = nullptr;
    std::uint64_t interval_ = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t budget_ = std::numeric_limits<std::uint64_t>::max();
    bool stopped_ = false;
};

}  // namespace interrupt
