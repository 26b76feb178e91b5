// The solve() entry: binds and converts the Python arguments straight into
// the core's input, solves, and hands back the new BeamResult.
#include "python/solve.hpp"

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <variant>

#include "arena/arena.hpp"
#include "engine/analysis.hpp"
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

bool to_support(PyObject* obj, engine::Support& out) {
    if (!as_tuple(obj, 4)) return false;
    double* fields[] = {&out.pos, &out.kx, &out.ky, &out.km};
    for (Py_ssize_t k = 0; k < 4; ++k) {
        if (!to_double(PyTuple_GetItem(obj, k), *fields[k])) return false;
    }
    return true;
}

bool read_supports(PyObject* obj, arena::Arena& arena, std::span<const engine::Support>& out) {
    std::optional<arena::GrowingList<engine::Support>> list;
    const bool read = for_each_item(obj, [&](std::size_t expected) { list.emplace(arena, expected); },
                                    [&](PyObject* item) {
                                        engine::Support s;
                                        if (!to_support(item, s)) return false;
                                        list->push_back(s);
                                        return true;
                                    });
    out = list ? list->items() : std::span<const engine::Support>();
    return read;
}

// The kind is looked up once, here; the text of a kind that names none is
// copied for its message, since the caller's str may be gone by then.
bool read_kind(PyObject* obj, engine::LoadInput& out, arena::Arena& arena) {
    std::string_view text;
    if (!to_text(obj, text)) return false;
    out.name = engine::load_name(text);
    if (out.name == engine::LoadName::unknown) {
        char* copy = arena.allocate<char>(text.size());
        if (!text.empty()) std::memcpy(copy, text.data(), text.size());
        out.text = {copy, text.size()};
    }
    return true;
}

// Every parameter is converted and counted; a fixed-size kind keeps the
// first five, "dist" keeps all of them.
bool read_params(PyObject* obj, engine::LoadInput& out, arena::Arena& arena) {
    const bool keep_all = out.name == engine::LoadName::dist;
    std::optional<arena::GrowingList<double>> all;
    const bool read = for_each_item(
        obj, [&](std::size_t expected) { if (keep_all) all.emplace(arena, expected); },
        [&](PyObject* item) {
            double v = 0.0;
            if (!to_double(item, v)) return false;
            if (out.count < engine::max_fixed_params) out.head[out.count] = v;
            if (keep_all) all->push_back(v);
            ++out.count;
            return true;
        });
    if (all) out.all = all->data();
    return read;
}

bool read_loads(PyObject* obj, arena::Arena& arena, std::span<const engine::LoadInput>& out) {
    std::optional<arena::GrowingList<engine::LoadInput>> list;
    const bool read = for_each_item(obj, [&](std::size_t expected) { list.emplace(arena, expected); },
                                    [&](PyObject* item) {
                                        engine::LoadInput entry;
                                        if (!as_tuple(item, 2) || !read_kind(PyTuple_GetItem(item, 0), entry, arena) ||
                                            !read_params(PyTuple_GetItem(item, 1), entry, arena)) {
                                            return false;
                                        }
                                        list->push_back(entry);
                                        return true;
                                    });
    out = list ? list->items() : std::span<const engine::LoadInput>();
    return read;
}

// On failure an exact TypeError is prefixed with the parameter's name.
bool convert_argument(const char* param, bool converted) {
    if (!converted) wrap_argument_error(param);
    return converted;
}

// Converts every argument of solve() into the input, in the order that
// decides which failure is reported first.
bool read_input(const std::array<PyObject*, 8>& slot, engine::Input& in, arena::Arena& arena) {
    double* numbers[] = {&in.span, &in.e, &in.i, &in.a, &in.g};
    for (std::size_t k = 0; k < 5; ++k) {
        if (!convert_argument(solve_params[k], to_double(slot[k], *numbers[k]))) return false;
    }
    if (!convert_argument("supports", read_supports(slot[5], arena, in.supports))) return false;
    if (!convert_argument("loads", read_loads(slot[6], arena, in.loads))) return false;
    if (slot[7] == nullptr || slot[7] == Py_None) return true;
    return convert_argument("units", for_each_text_float(slot[7], [&](std::string_view key, double value) {
                                engine::set_unit_factor(in.units, key, value);
                            }));
}

PyObject* raise(const engine::Failure& failure) {
    if (failure.reason == engine::Failure::Reason::invalid) {
        // Sized, so that a kind text holding a NUL is repeated whole.
        const std::string& text = failure.message;
        Ref message(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
        if (message) PyErr_SetObject(PyExc_ValueError, message.get());
    }
    return nullptr;  // stopped: the signal's or the allocation's exception is set
}

// Room on the stack for the temporaries of a small beam.
constexpr std::size_t stack_room = 8192;

PyObject* solve(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        std::array<PyObject*, 8> slot;
        if (!bind_arguments(solve_signature, {args, nargs, kwnames}, slot)) return nullptr;
        alignas(16) std::byte room[stack_room];
        arena::Arena arena(room);
        engine::Input input;
        if (!read_input(slot, input, arena)) return nullptr;
        interrupt::Check check = signal_check();
        NewBeamResult result(input.span);
        const engine::Outcome outcome = engine::solve(input, arena, check, result);
        if (const auto* failure = std::get_if<engine::Failure>(&outcome)) return raise(*failure);
        return result.release();
    });
}

}  // namespace

PyMethodDef solve_def = {
    "solve", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&solve)), METH_FASTCALL | METH_KEYWORDS,
    "solve(span, e, i, a, g, supports, loads, units=None)\n--\n\nBuild and solve a beam. `supports` are (pos, kx, "
    "ky, km) with float('inf')\nfor rigid; `loads` are (kind, params) where kind is point/udl/trap/torque/\ndist. "
    "Raises ValueError if the beam is unstable / singular."};

}  // namespace python
