// Why a solve produced no result: one type for every failure of the core.
#pragma once

#include <string>

namespace engine {

struct Failure {
    enum class Reason {
        invalid,  // the input cannot be solved; `message` says why (raised as ValueError)
        stopped,  // the caller's interrupt check or result storage said no; the reason is the caller's
    };
    Reason reason = Reason::invalid;
    std::string message;  // empty when stopped
};

}  // namespace engine
