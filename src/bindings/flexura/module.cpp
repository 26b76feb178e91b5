// Module bootstrap: PyInit_flexura creates the one module object and adds
// solve, BeamResult and the module's documentation.
#include <Python.h>

#include <atomic>

#include "flexura/beam_result.hpp"
#include "common/guard.hpp"
#include "common/ref.hpp"
#include "flexura/solve.hpp"

namespace python {
namespace {

constexpr const char* module_doc =
    "flexura: a fast beam solver for reactions, internal forces and deflections of a straight beam.";

// m_size 0 rather than -1: with -1 the import system re-creates the module
// from a copy of its dict on a later import (a new module object, and in a
// sub-interpreter without calling PyInit_flexura, so the interpreter check
// would never run). With 0 every import goes through PyInit_flexura.
PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "flexura", nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Appends the name to __all__ (created when missing), then sets the attribute.
bool add_public(PyObject* module, PyObject* name, PyObject* value) {
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
        PyErr_Clear();
        all = Ref(PyList_New(0));
        if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return false;
    }
    return PyList_Append(all.get(), name) == 0 && PyObject_SetAttr(module, name, value) == 0;
}

bool add_attributes(PyObject* module) {
    Ref module_name(PyUnicode_FromString("flexura"));
    if (!module_name) return false;
    Ref solve_function(PyCFunction_NewEx(&solve_def, module, module_name.get()));
    if (!solve_function) return false;
    Ref solve_name(PyObject_GetAttrString(solve_function.get(), "__name__"));
    if (!solve_name || !add_public(module, solve_name.get(), solve_function.get())) return false;

    PyObject* type = reinterpret_cast<PyObject*>(beam_result_type());
    Ref type_name(PyUnicode_FromString("BeamResult"));
    if (type == nullptr || !type_name || !add_public(module, type_name.get(), type)) return false;

    Ref doc_name(PyUnicode_FromString("__doc__"));
    Ref doc(PyUnicode_FromString(module_doc));
    return doc_name && doc && add_public(module, doc_name.get(), doc.get());
}

// The interpreter that owns the module: -1 before the first import and
// after that interpreter has been finalised.
std::atomic<std::int64_t> owner{-1};
PyObject* module_object = nullptr;

// Sub-interpreters are refused: the module and type objects are one per
// interpreter lifetime.
bool check_interpreter() {
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id < 0) return false;
    std::int64_t expected = -1;
    if (owner.compare_exchange_strong(expected, id) || expected == id) return true;
    PyErr_SetString(PyExc_ImportError, "flexura does not support sub-interpreters");
    return false;
}

// The module and type objects die with the interpreter that made them.
void forget_objects() noexcept {
    module_object = nullptr;
    forget_beam_result_type();
}

// Runs once the owning interpreter has been finalised, when no Python API
// may be called: an interpreter initialised later in the same process (an
// embedding application) imports afresh.
void forget_finalised_interpreter() {
    forget_objects();
    owner.store(-1);
}

// True when the module object was made by an interpreter that has since
// been finalised although the exit function never ran: the interpreter's
// table of exit functions (32 entries) was full at the first import. The
// import system files every module it creates under its definition in the
// interpreter that imports it, and a new interpreter starts with none filed.
bool module_outlived_its_interpreter() {
    return module_object != nullptr && PyState_FindModule(&module_def) == nullptr;
}

PyObject* init_module() {
    if (!check_interpreter()) return nullptr;
    if (module_outlived_its_interpreter()) forget_objects();  // the owner is this interpreter's successor
    if (module_object != nullptr) {
        Py_IncRef(module_object);
        return module_object;
    }
    Ref module(PyModule_Create(&module_def));
    if (!module || !add_attributes(module.get())) return nullptr;
    Py_AtExit(forget_finalised_interpreter);  // when the table is full, see module_outlived_its_interpreter
    module_object = module.get();
    Py_IncRef(module_object);  // kept for the life of the interpreter
    return module.release();
}

}  // namespace
}  // namespace python

PyMODINIT_FUNC PyInit_flexura() {
    return python::guarded([] { return python::init_module(); });
}
