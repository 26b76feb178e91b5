// flexura_tools._engine: the engineering layer's own route into the core.
// Private to flexura_tools and no public API; the flexura module stays as it
// is. Multi-phase initialisation with the SolvedBeam type in the module's
// state: the module keeps nothing in globals.
#include <Python.h>

#include <array>
#include <iterator>
#include <span>

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/solve_call.hpp"
#include "engine/loads.hpp"
#include "tools_engine/envelope_mesh.hpp"
#include "tools_engine/extensions.hpp"
#include "tools_engine/fold.hpp"
#include "tools_engine/solved_beam.hpp"

namespace tools_engine {
namespace {

struct State {
    PyTypeObject* solved_beam;
};

State& state_of(PyObject* module) { return *static_cast<State*>(PyModule_GetState(module)); }

constexpr const char* solve_params[] = {"span",     "e",          "i",           "a",
                                        "g",        "supports",   "loads",       "units",
                                        "sections", "hinges",     "settlements", "curvatures",
                                        "rotational_springs",     "rotation"};
static_assert(std::size(solve_params) == 8 + extension_count);
constexpr python::Signature solve_signature{"solve()", solve_params, 7};

// solve() as flexura.solve reads and solves its arguments, and what the
// beam has besides, into a SolvedBeam.
PyObject* solve(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        python::SolveCall call;
        std::array<PyObject*, std::size(solve_params)> slots;
        if (!call.read({args, nargs, kwnames}, solve_signature, slots) ||
            !read_extensions(std::span(slots).subspan<8>(), call.input.extensions, call.arena)) {
            return nullptr;
        }
        python::NewAnalysisObject result(state_of(module).solved_beam, call.input.span,
                                         order_bytes(call.input.supports.size()));
        if (!call.solve(result) || !write_reaction_order(result.get(), call)) return nullptr;
        return result.release();
    });
}

// fold_members() with the module's SolvedBeam type, which its members must have.
PyObject* fold_solved(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
    return tools_engine::fold_members(state_of(module).solved_beam, args, nargs);
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
     "solve(span, e, i, a, g, supports, loads, units=None, sections=None, hinges=None,\n"
     "      settlements=None, curvatures=None, rotational_springs=False, rotation=False)\n--\n\n"
     "flexura.solve() to the bit, with its arguments, conversions and errors, as a SolvedBeam;\n"
     "and beyond it:\n"
     "sections: [(start, e, i, a, g)] in ascending start: from start on, these constants\n"
     "    replace the ones before (e, i, a, g are the first section's).\n"
     "hinges: [x]: internal moment releases; the rotation may jump there. No moment at\n"
     "    a hinge means none just right of it: a concentrated moment at a hinge's very\n"
     "    position acts on the part to its left. Hinges that leave a part free to move\n"
     "    or turn, two at one place, or one where a support restrains rotation: the\n"
     "    ValueError of an unstable beam.\n"
     "settlements: [(dy, rotation)], one per support in the order given: its base moves\n"
     "    by dy (deflection unit, up positive) and turns by rotation (radians,\n"
     "    counter-clockwise positive); a direction it does not restrain ignores its part.\n"
     "curvatures: [(k1, k2, x1, x2)]: an imposed curvature from k1 at x1 to k2 at x2\n"
     "    (1 / length unit), as a temperature difference through the depth imposes it;\n"
     "    positive bends the beam as a sagging moment does.\n"
     "rotational_springs: a finite, non-zero km is a rotational spring of km moment\n"
     "    units per radian rather than a fixed restraint.\n"
     "rotation: the result can read the 'rotation' and the hinges' rotation jumps.\n"
     "A beam with none of these solves to the bits of flexura.solve()."},
    {"fold_positions", python::as_cfunction(&fold_positions), METH_FASTCALL | METH_KEYWORDS, fold_positions_doc},
    {"fold_members", python::as_cfunction(&fold_solved), METH_FASTCALL, fold_members_doc},
    {"envelope_mesh", python::as_cfunction(&envelope_mesh), METH_FASTCALL, envelope_mesh_doc},
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
