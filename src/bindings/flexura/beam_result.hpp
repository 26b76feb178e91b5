// The Python class BeamResult: one solved beam, immutable, queried by
// position. Instances are made only by solve().
#pragma once

#include <Python.h>

#include <cstddef>

#include "engine/analysis.hpp"
#include "common/ref.hpp"

namespace python {

// Creates the class (once per interpreter lifetime); borrowed reference or
// null.
PyTypeObject* beam_result_type();

// Drops the pointer to a class that was finalised with its interpreter.
void forget_beam_result_type() noexcept;

// The storage of a solve's result: a new BeamResult whose own memory holds
// the analysis after the span, so that one allocation holds everything and
// releasing the object runs no destructor.
class NewBeamResult final : public engine::ResultStorage {
public:
    // span: exactly as the caller passed it.
    explicit NewBeamResult(double span) noexcept : span_(span) {}

    // Null when the object cannot be made (the solve reports MemoryError).
    void* obtain(std::size_t bytes) override;

    // The object, once the analysis is in it.
    PyObject* release() noexcept { return object_.release(); }

private:
    Ref object_;
    double span_;
};

}  // namespace python
