// The solve() entry of the flexura module: the call read and solved as
// common/solve_call does it, into a new BeamResult.
#include "flexura/solve.hpp"

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/guard.hpp"
#include "common/solve_call.hpp"
#include "flexura/beam_result.hpp"

namespace python {
namespace {

PyObject* solve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        SolveCall call;
        if (!call.read({args, nargs, kwnames})) return nullptr;
        NewAnalysisObject result(beam_result_type(), call.input.span);
        return call.solve(result) ? result.release() : nullptr;
    });
}

}  // namespace

PyMethodDef solve_def = {
    "solve", as_cfunction(&solve), METH_FASTCALL | METH_KEYWORDS,
    "solve(span, e, i, a, g, supports, loads, units=None)\n--\n\nBuild and solve a beam. `supports` are (pos, kx, "
    "ky, km) with float('inf')\nfor rigid; `loads` are (kind, params) where kind is point/udl/trap/torque/\ndist. "
    "Raises ValueError if the beam is unstable / singular."};

}  // namespace python
