#include "common/solve_call.hpp"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "common/convert.hpp"
#include "common/ref.hpp"
#include "engine/loads.hpp"

namespace python {
namespace {

constexpr const char* solve_params[] = {"span", "e", "i", "a", "g", "supports", "loads", "units"};
constexpr Signature solve_signature{"solve()", solve_params, 7};

// A support tuple borrowed from the list; its numbers are borrowed from it.
Converted to_support(PyObject* obj, engine::Support& out) {
    return number_tuple(obj, {&out.pos, &out.kx, &out.ky, &out.km});
}

bool read_kind(PyObject* obj, engine::LoadInput& out, arena::Arena& arena, Keep& keep) {
    if (!PyUnicode_CheckExact(obj)) keep.before_python();  // the downcast error, or a subclass
    std::string_view text;
    if (!to_text(obj, text)) return false;
    engine::set_kind(out, text, arena);
    return true;
}

// Every parameter is converted and counted as the engine reads an entry;
// the kinds that keep all of them get them in a list in the arena.
bool read_params(PyObject* obj, engine::LoadInput& out, arena::Arena& arena, Keep& keep) {
    const bool keep_all = engine::keeps_all_params(out);
    std::optional<arena::GrowingList<double>> all;
    const Converted read = for_each_item(
        obj, [&](std::size_t expected) { if (keep_all) all.emplace(arena, expected); },
        [&](PyObject* item, Keep& params_keep) {
            double v = 0.0;
            const Converted c = number_item(item, v, params_keep);
            if (c == Converted::failed) return c;
            engine::add_param(out, v);
            if (keep_all) all->push_back(v);
            return c;
        },
        keep);
    if (all) out.all = all->data();
    return read != Converted::failed;
}

// A load tuple borrowed from the list; its kind and parameter list are
// borrowed from it.
Converted to_load(PyObject* obj, engine::LoadInput& entry, arena::Arena& arena) {
    Keep keep(obj);
    if (!PyTuple_CheckExact(obj)) keep.before_python();
    if (!as_tuple(obj, 2) || !read_kind(PyTuple_GetItem(obj, 0), entry, arena, keep) ||
        !read_params(PyTuple_GetItem(obj, 1), entry, arena, keep)) {
        return Converted::failed;
    }
    return keep.outcome();
}

// On failure an exact TypeError is prefixed with the parameter's name.
bool convert_argument(const char* param, bool converted) {
    if (!converted) wrap_argument_error(param);
    return converted;
}

// Converts every argument of solve() into the input, in the order that
// decides which failure is reported first.
bool read_input(std::span<PyObject* const, 8> slot, engine::Input& in, arena::Arena& arena) {
    double* numbers[] = {&in.span, &in.e, &in.i, &in.a, &in.g};
    for (std::size_t k = 0; k < 5; ++k) {
        if (!convert_argument(solve_params[k], to_double(slot[k], *numbers[k]))) return false;
    }
    if (!convert_argument("supports", read_list(slot[5], arena, in.supports, to_support))) return false;
    auto to_entry = [&](PyObject* item, engine::LoadInput& entry) { return to_load(item, entry, arena); };
    if (!convert_argument("loads", read_list(slot[6], arena, in.loads, to_entry))) return false;
    if (slot[7] == nullptr || slot[7] == Py_None) return true;
    return convert_argument("units", for_each_text_float(slot[7], [&](std::string_view key, double value) {
                                engine::set_unit_factor(in.units, key, value);
                            }));
}

}  // namespace

PyObject* raise(const engine::Failure& failure) {
    switch (failure.reason) {
        case engine::Failure::Reason::invalid: {
            // Sized, so that a kind text holding a NUL is repeated whole.
            const std::string& text = failure.message;
            Ref message(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
            if (message) PyErr_SetObject(PyExc_ValueError, message.get());
            return nullptr;
        }
        case engine::Failure::Reason::out_of_memory: return PyErr_NoMemory();
        case engine::Failure::Reason::stopped: break;
    }
    return nullptr;  // stopped by the signal check, whose exception is set
}

bool SolveCall::read(const CallArgs& call) {
    std::array<PyObject*, 8> slot;
    return read(call, solve_signature, slot);
}

bool SolveCall::read(const CallArgs& call, const Signature& signature, std::span<PyObject*> slots) {
    return bind_arguments(signature, call, slots) && read_input(slots.first<8>(), input, arena);
}

}  // namespace python
