// A Python object that holds one solved beam in its own memory: the
// interpreter's header, the span as the caller gave it, then (at
// analysis_offset) the block that the analysis wrote, Analysis record
// first, then as many bytes of the module's own (the tail) as it asked for.
// A variable-size object of one byte an item, so that the interpreter's
// allocation and sys.getsizeof count everything; releasing it runs no
// destructor. flexura.BeamResult and the private module's result are such
// objects.
#pragma once

#include <Python.h>

#include <cstddef>
#include <new>

#include "common/ref.hpp"
#include "engine/analysis.hpp"

namespace python {

struct AnalysisObject {
    PyVarObject ob_base;
    double span;
};

inline constexpr std::size_t analysis_offset = (sizeof(AnalysisObject) + 15) / 16 * 16;

inline double span_of(PyObject* self) noexcept { return reinterpret_cast<AnalysisObject*>(self)->span; }

inline const engine::Analysis& analysis_of(PyObject* self) noexcept {
    return *std::launder(
        reinterpret_cast<const engine::Analysis*>(reinterpret_cast<const char*>(self) + analysis_offset));
}

// The last `tail_bytes` bytes of the object: the tail it was made with.
inline void* tail_of(PyObject* self, std::size_t tail_bytes) noexcept {
    return reinterpret_cast<char*>(self) + analysis_offset + Py_SIZE(self) - tail_bytes;
}

// The storage of a solve's result: a new object of `type` (a type made from
// a spec with basicsize analysis_offset and itemsize 1) whose memory holds
// the analysis after the span, and the tail after the analysis.
class NewAnalysisObject final : public engine::ResultStorage {
public:
    NewAnalysisObject(PyTypeObject* type, double span, std::size_t tail_bytes = 0) noexcept
        : type_(type), span_(span), tail_bytes_(tail_bytes) {}

    // Null when the object cannot be made (the solve reports MemoryError).
    void* obtain(std::size_t bytes) override;

    // The object, once the analysis (and the tail) are in it.
    PyObject* get() const noexcept { return object_.get(); }
    PyObject* release() noexcept { return object_.release(); }

private:
    Ref object_;
    PyTypeObject* type_;
    double span_;
    std::size_t tail_bytes_;
};

// The types' tp_dealloc: frees the memory and drops the instance's
// reference to its type.
void dealloc_analysis_object(PyObject* self);

}  // namespace python
