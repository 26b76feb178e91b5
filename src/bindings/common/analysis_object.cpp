#include "common/analysis_object.hpp"

namespace python {

void* NewAnalysisObject::obtain(std::size_t bytes) {
    // The block is made of doubles and pointers: the tail after it is aligned.
    constexpr std::size_t most = static_cast<std::size_t>(PY_SSIZE_T_MAX) - analysis_offset;
    if (type_ == nullptr || bytes > most || tail_bytes_ > most - bytes) return nullptr;
    // Not the type's allocation, which zeroes the whole block first: for a
    // large result that takes long and cannot be interrupted, while the
    // analysis writes all of its record and lists anyway.
    void* memory = PyObject_Malloc(analysis_offset + bytes + tail_bytes_);
    if (memory == nullptr) return nullptr;
    object_ = Ref(reinterpret_cast<PyObject*>(
        PyObject_InitVar(static_cast<PyVarObject*>(memory), type_, static_cast<Py_ssize_t>(bytes + tail_bytes_))));
    reinterpret_cast<AnalysisObject*>(object_.get())->span = span_;
    return reinterpret_cast<char*>(object_.get()) + analysis_offset;
}

void dealloc_analysis_object(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DecRef(reinterpret_cast<PyObject*>(type));
}

}  // namespace python
