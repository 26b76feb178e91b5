// The solve() entry: binds and converts the Python arguments into a Beam,
// analyses it and wraps the result.
#include "python/solve.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/analysis.hpp"
#include "loads/loads.hpp"
#include "python/beam_result.hpp"
#include "python/binding.hpp"
#include "python/convert.hpp"
#include "python/guard.hpp"
#include "python/ref.hpp"
#include "python/signals.hpp"

namespace python {
namespace {

constexpr const char* solve_params[] = {"span", "e", "i", "a", "g", "supports", "loads", "units"};
constexpr Signature solve_signature{"solve()", solve_params, 7};

struct LoadEntry {
    std::string kind;
    std::vector<double> params;
};

bool to_support(PyObject* obj, engine::Support& out) {
    if (!as_tuple(obj, 4)) return false;
    double* fields[] = {&out.pos, &out.kx, &out.ky, &out.km};
    for (Py_ssize_t k = 0; k < 4; ++k) {
        if (!to_double(PyTuple_GetItem(obj, k), *fields[k])) return false;
    }
    return true;
}

bool to_load_entry(PyObject* obj, LoadEntry& out) {
    return as_tuple(obj, 2) && to_text(PyTuple_GetItem(obj, 0), out.kind) &&
           to_double_list(PyTuple_GetItem(obj, 1), out.params);
}

// Runs one conversion; on failure prefixes an exact TypeError with the
// parameter's name.
template <class Convert>
bool convert_argument(const char* param, Convert convert) {
    if (convert()) return true;
    wrap_argument_error(param);
    return false;
}

// A unit entry or a load entry costs about as much as this many units of
// arithmetic, so that a long list of them is asked about Ctrl-C as often.
constexpr std::uint64_t entry_cost = 64;

bool units_from(const std::vector<std::pair<std::string, double>>& entries, engine::Units& u,
                interrupt::Check& check) {
    for (const auto& [key, value] : entries) {
        if (check.stop(entry_cost)) return false;  // the signal's exception is set
        engine::set_unit_factor(u, key, value);
    }
    return true;
}

bool build_loads(const std::vector<LoadEntry>& entries, std::vector<engine::Load>& out, interrupt::Check& check) {
    out.reserve(entries.size());
    for (const LoadEntry& entry : entries) {
        if (check.stop(entry_cost + entry.params.size())) return false;  // the signal's exception is set
        auto built = loads::build_load(entry.kind, entry.params, check);
        if (std::holds_alternative<loads::LoadInterrupted>(built)) return false;  // the signal's exception is set
        if (auto* error = std::get_if<loads::LoadError>(&built)) {
            // Sized, so that a kind text holding a NUL is repeated whole.
            const std::string& text = error->message;
            Ref message(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
            if (message) PyErr_SetObject(PyExc_ValueError, message.get());
            return false;
        }
        out.push_back(std::move(std::get<engine::Load>(built)));
    }
    return true;
}

// Binds and converts every argument of solve() into the beam, in the order
// that decides which failure is reported first.
bool read_beam(const CallArgs& call, engine::Beam& beam, interrupt::Check& check) {
    std::array<PyObject*, 8> slot{};
    if (!bind_arguments(solve_signature, call, slot)) return false;
    double* numbers[] = {&beam.span, &beam.e, &beam.i, &beam.a, &beam.g};
    for (std::size_t k = 0; k < 5; ++k) {
        if (!convert_argument(solve_params[k], [&] { return to_double(slot[k], *numbers[k]); })) return false;
    }
    if (!convert_argument("supports", [&] { return to_list(slot[5], beam.supports, to_support); })) return false;
    std::vector<LoadEntry> load_entries;
    if (!convert_argument("loads", [&] { return to_list(slot[6], load_entries, to_load_entry); })) return false;
    std::vector<std::pair<std::string, double>> units;
    if (slot[7] != nullptr && slot[7] != Py_None &&
        !convert_argument("units", [&] { return to_text_float_dict(slot[7], units); })) {
        return false;
    }
    return units_from(units, beam.units, check) && build_loads(load_entries, beam.loads, check);
}

PyObject* set_analysis_error(engine::AnalyseFailure failure) {
    switch (failure) {
        case engine::AnalyseFailure::singular:
            PyErr_SetString(PyExc_ValueError, "beam is unstable / singular (no unique solution)");
            break;
        case engine::AnalyseFailure::unordered_supports:
            PyErr_SetString(PyExc_ValueError, "support position is not a number");
            break;
        case engine::AnalyseFailure::interrupted: break;  // the signal's exception is set
    }
    return nullptr;
}

PyObject* solve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        engine::Beam beam;
        interrupt::Check check = signal_check();
        if (!read_beam({args, nargs, kwnames}, beam, check)) return nullptr;
        engine::AnalyseResult result = engine::analyse(beam, check);
        if (!result.ok()) return set_analysis_error(result.failure());
        return new_beam_result(std::move(result.analysis()), beam.span);
    });
}

}  // namespace

PyMethodDef solve_def = {
    "solve", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&solve)), METH_FASTCALL | METH_KEYWORDS,
    "solve(span, e, i, a, g, supports, loads, units=None)\n--\n\nBuild and solve a beam. `supports` are (pos, kx, "
    "ky, km) with float('inf')\nfor rigid; `loads` are (kind, params) where kind is point/udl/trap/torque/\ndist. "
    "Raises ValueError if the beam is unstable / singular."};


}  // namespace python
