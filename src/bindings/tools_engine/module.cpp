// flexura_tools._engine: the engineering layer's own route into the core.
// Private to flexura_tools and no public API; the flexura module stays as it
// is. Multi-phase initialisation with the SolvedBeam type in the module's
// state: the module keeps nothing in globals.
#include <Python.h>

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/solve_call.hpp"
#include "engine/loads.hpp"
#include "tools_engine/solved_beam.hpp"

namespace tools_engine {
namespace {

struct State {
    PyTypeObject* solved_beam;
};

State& state_of(PyObject* module) { return *static_cast<State*>(PyModule_GetState(module)); }

// solve() as flexura.solve reads and solves its arguments, into a SolvedBeam.
PyObject* solve(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        python::SolveCall call;
        if (!call.read({args, nargs, kwnames})) return nullptr;
        python::NewAnalysisObject result(state_of(module).solved_beam, call.input.span,
                                         order_bytes(call.input.supports.size()));
        if (!call.solve(result) || !write_reaction_order(result.get(), call)) return nullptr;
        return result.release();
    });
}

template <double (*factor)(double) noexcept>
PyObject* angle_factor(PyObject*, PyObject* angle) {
    return python::guarded([&]() -> PyObject* {
        double degrees = 0.0;
        return python::to_double(angle, degrees) ? PyFloat_FromDouble(factor(degrees)) : nullptr;
    });
}

PyMethodDef functions[] = {
    {"solve", python::as_cfunction(&solve), METH_FASTCALL | METH_KEYWORDS,
     "solve(span, e, i, a, g, supports, loads, units=None)\n--\n\n"
     "flexura.solve() to the bit, with its arguments, conversions and errors, as a SolvedBeam."},
    {"axial_factor", python::as_cfunction(&angle_factor<engine::axial_factor>), METH_O,
     "axial_factor($module, angle, /)\n--\n\n"
     "The share of a load along the beam for an angle in degrees: its cosine, 0.0\n"
     "below PROJECTION_CUT_OFF in magnitude, as solve() takes it."},
    {"transverse_factor", python::as_cfunction(&angle_factor<engine::transverse_factor>), METH_O,
     "transverse_factor($module, angle, /)\n--\n\n"
     "The share of a load across the beam for an angle in degrees: its sine, 0.0\n"
     "below PROJECTION_CUT_OFF in magnitude, as solve() takes it."},
    {nullptr, nullptr, 0, nullptr},
};

int exec_module(PyObject* module) {
    State& state = state_of(module);
    state.solved_beam = new_solved_beam_type();
    if (state.solved_beam == nullptr) return -1;
    python::Ref cut_off(PyFloat_FromDouble(engine::projection_cut_off));
    if (!cut_off || PyModule_AddObjectRef(module, "PROJECTION_CUT_OFF", cut_off.get()) < 0) return -1;
    return PyModule_AddObjectRef(module, "SolvedBeam", reinterpret_cast<PyObject*>(state.solved_beam));
}

// The state is null before the module has one.
int traverse(PyObject* module, visitproc visit, void* arg) {
    if (auto* state = static_cast<State*>(PyModule_GetState(module))) Py_VISIT(state->solved_beam);
    return 0;
}

int clear(PyObject* module) {
    if (auto* state = static_cast<State*>(PyModule_GetState(module))) Py_CLEAR(state->solved_beam);
    return 0;
}

void free_module(void* module) { clear(static_cast<PyObject*>(module)); }

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "flexura_tools._engine",
    "flexura_tools' private route into the C++ core of flexura. Not public API:\n"
    "its names, arguments and results may change with any release; use\n"
    "flexura_tools, or flexura.solve().",
    sizeof(State),
    functions,
    slots,
    traverse,
    clear,
    free_module,
};

}  // namespace
}  // namespace tools_engine

PyMODINIT_FUNC PyInit__engine() {
    return python::guarded([] { return PyModuleDef_Init(&tools_engine::module_def); });
}
