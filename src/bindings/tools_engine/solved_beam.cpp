#include "tools_engine/solved_beam.hpp"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/ref.hpp"
#include "common/signals.hpp"
#include "results/features.hpp"
#include "results/mesh.hpp"
#include "results/read.hpp"
#include "tools_engine/positions.hpp"
#include "tools_engine/search.hpp"

namespace tools_engine {
namespace {

using python::analysis_of;
using python::Ref;

// Making one reaction's tuple costs about as much as this many units of
// arithmetic.
constexpr std::uint64_t reaction_cost = 256;

const std::size_t* reaction_order(PyObject* self) {
    const std::size_t supports = analysis_of(self).reactions.size();
    return static_cast<const std::size_t*>(python::tail_of(self, order_bytes(supports)));
}

}  // namespace

// The rotation is there only when the solve was asked for it: its empty
// list would read -0.0 everywhere, a wrong number rather than an error.
bool to_quantity(PyObject* self, PyObject* obj, engine::Quantity& out) {
    std::string_view text;
    if (!python::to_text(obj, text)) {
        python::wrap_argument_error("quantity");
        return false;
    }
    const std::pair<std::string_view, engine::Quantity> names[] = {
        {"nf", engine::Quantity::nf}, {"sf", engine::Quantity::sf}, {"bm", engine::Quantity::bm},
        {"d", engine::Quantity::d}, {"rotation", engine::Quantity::rotation}};
    for (const auto& [name, q] : names) {
        if (text != name) continue;
        if (q == engine::Quantity::rotation && analysis_of(self).rotation.empty()) {
            PyErr_SetString(PyExc_ValueError, "the rotation was not asked for: solve(..., rotation=True)");
            return false;
        }
        out = q;
        return true;
    }
    PyErr_Format(PyExc_ValueError, "unknown quantity %R: give 'nf', 'sf', 'bm', 'd' or 'rotation'", obj);
    return false;
}

namespace {

// The side a text names: "right" (the value at x, as eval_*) or "left".
bool to_side(PyObject* obj, results::Read& out) {
    std::string_view text;
    if (!python::to_text(obj, text)) {
        python::wrap_argument_error("side");
        return false;
    }
    if (text == "right" || text == "left") {
        out = text == "right" ? results::Read::at : results::Read::left;
        return true;
    }
    PyErr_Format(PyExc_ValueError, "unknown side %R: give 'right' or 'left'", obj);
    return false;
}

constexpr const char* values_params[] = {"quantity", "positions", "side"};
constexpr const char* jumps_params[] = {"quantity"};
constexpr const char* mesh_params[] = {"n"};

PyObject* values(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        PyObject* slot[3];
        if (!python::bind_arguments({"SolvedBeam.values()", values_params, 2}, {args, nargs, kwnames}, slot)) {
            return nullptr;
        }
        engine::Quantity q{};
        results::Read how = results::Read::at;
        if (!to_quantity(self, slot[0], q) || (slot[2] != nullptr && !to_side(slot[2], how))) return nullptr;
        Positions positions;
        if (!positions.read(slot[1])) {
            python::wrap_argument_error("positions");
            return nullptr;
        }
        interrupt::Check check = python::signal_check();
        return positions.values(engine::terms_of(analysis_of(self), q), how, check);
    });
}

PyObject* reactions(PyObject* self, PyObject*) {
    return python::guarded([&]() -> PyObject* {
        const std::span<const engine::Reaction> all = analysis_of(self).reactions;
        const std::size_t* order = reaction_order(self);
        Ref list(PyList_New(static_cast<Py_ssize_t>(all.size())));
        if (!list) return nullptr;
        interrupt::Check check = python::signal_check();
        for (std::size_t k = 0; k < all.size(); ++k) {
            PyObject* entry = Py_BuildValue("(ddd)", all[k].rx, all[k].ry, all[k].m);
            if (entry == nullptr) return nullptr;
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(order[k]), entry);  // steals entry
            if (check.stop(reaction_cost)) return nullptr;  // the signal's exception is set
        }
        return list.release();
    });
}

// A list of the positions that fill(room, check) writes: features or jumps.
template <class Fill>
PyObject* position_list(PyObject* self, Fill&& fill) {
    const std::optional<std::size_t> room_size = results::features_room(analysis_of(self));
    // The non-throwing new reports an impossible size as null on every runtime.
    const std::unique_ptr<double[]> room(room_size ? new (std::nothrow) double[*room_size] : nullptr);
    if (room == nullptr) return PyErr_NoMemory();
    interrupt::Check check = python::signal_check();
    const std::optional<std::size_t> count = fill(room.get(), check);
    if (!count) return nullptr;  // the signal's exception is set
    return float_list({room.get(), *count}, check).release();
}

PyObject* features(PyObject* self, PyObject*) {
    return python::guarded([&]() -> PyObject* {
        return position_list(self, [&](double* room, interrupt::Check& check) {
            return results::features(analysis_of(self), python::span_of(self), room, check);
        });
    });
}

PyObject* jumps(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        PyObject* slot[1];
        engine::Quantity q{};
        if (!python::bind_arguments({"SolvedBeam.jumps()", jumps_params, 1}, {args, nargs, kwnames}, slot) ||
            !to_quantity(self, slot[0], q)) {
            return nullptr;
        }
        return position_list(self, [&](double* room, interrupt::Check& check) {
            return results::jumps(analysis_of(self), q, room, check);
        });
    });
}

// The positions of flexura.BeamResult.plotting_vectors(n), from the same mesh code.
PyObject* mesh(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        PyObject* slot[1];
        std::uint64_t n = 0;
        if (!python::bind_arguments({"SolvedBeam.mesh()", mesh_params, 1}, {args, nargs, kwnames}, slot)) {
            return nullptr;
        }
        if (!python::to_u64(slot[0], n)) {
            python::wrap_argument_error("n");
            return nullptr;
        }
        const std::span<const double> features = analysis_of(self).features;
        const std::optional<std::size_t> room_size = results::mesh_room(n, features.size());
        // A list of more items than PY_SSIZE_T_MAX / 8 cannot be made on any platform.
        constexpr std::size_t max_list = static_cast<std::size_t>(PY_SSIZE_T_MAX) / sizeof(PyObject*);
        if (!room_size || *room_size > max_list) return PyErr_NoMemory();
        // The non-throwing new reports an impossible size as null on every runtime.
        const std::unique_ptr<double[]> room(new (std::nothrow) double[*room_size]);
        if (room == nullptr) return PyErr_NoMemory();
        interrupt::Check check = python::signal_check();
        const std::optional<std::size_t> size =
            results::plotting_mesh(n, python::span_of(self), features, room.get(), check);
        if (!size) return nullptr;  // the signal's exception is set
        return float_list({room.get(), *size}, check).release();
    });
}

PyObject* hinge_jumps(PyObject* self, PyObject*) {
    return python::guarded([&]() -> PyObject* {
        interrupt::Check check = python::signal_check();
        return float_list(analysis_of(self).hinge_jumps, check).release();
    });
}

PyMethodDef methods[] = {
    {"values", python::as_cfunction(&values), METH_FASTCALL | METH_KEYWORDS,
     "values($self, quantity, positions, side='right')\n--\n\n"
     "The quantity ('nf', 'sf', 'bm', 'd' or, when solved with rotation=True,\n"
     "'rotation': radians, counter-clockwise positive) at the positions: a float, a sequence of\n"
     "floats or a bytes/bytearray of native float64. side='right' gives the value at x,\n"
     "as flexura.BeamResult.eval_* does, to the bit; 'left' the value at the next\n"
     "double below x, left of a jump. A float, a list or a bytearray of float64 back."},
    {"reactions", python::as_cfunction(&reactions), METH_NOARGS,
     "reactions($self)\n--\n\n"
     "[(rx, ry, m)] per support in the order the supports were given, rounded to\n"
     "10 decimals as flexura.BeamResult.reactions() rounds them."},
    {"features", python::as_cfunction(&features), METH_NOARGS,
     "features($self)\n--\n\n"
     "The sorted positions in [0, span] where a diagram may change its law: the ends,\n"
     "the supports, the positions of the loads' and the imposed curvatures' terms, the\n"
     "section changes and the hinges."},
    {"jumps", python::as_cfunction(&jumps), METH_FASTCALL | METH_KEYWORDS,
     "jumps($self, quantity)\n--\n\n"
     "The sorted positions where the quantity jumps: its steps of non-zero size.\n"
     "The deflection never jumps; the rotation jumps at hinges only."},
    {"hinge_jumps", python::as_cfunction(&hinge_jumps), METH_NOARGS,
     "hinge_jumps($self)\n--\n\n"
     "Per hinge in the order given, the rotation just right of it minus just left\n"
     "(radians)."},
    {"mesh", python::as_cfunction(&mesh), METH_FASTCALL | METH_KEYWORDS,
     "mesh($self, n)\n--\n\n"
     "The positions of flexura.BeamResult.plotting_vectors(n): n evenly spaced over\n"
     "the span and one either side of every feature inside it, ascending."},
    {"extreme", python::as_cfunction(&extreme), METH_FASTCALL | METH_KEYWORDS,
     "extreme($self, quantity, features, count)\n--\n\n"
     "(max, x_max, min, x_min) of the quantity over the segments between consecutive\n"
     "features, count samples each, every peak refined by bisection on the slope's sign\n"
     "to 1e-13 of the features' extent; of values equal but for rounding, the leftmost."},
    {"peak", python::as_cfunction(&peak), METH_FASTCALL | METH_KEYWORDS,
     "peak($self, quantity, features, sign, count, span, added=())\n--\n\n"
     "(value, x): the max (sign 1.0) or the min (sign -1.0) alone, as extreme() finds\n"
     "it, refined to 1e-13 of span. added: (SolvedBeam, factor) pairs, each beam's\n"
     "quantity times its factor added to this one's value by value, in order."},
    {nullptr, nullptr, 0, nullptr},
};

char class_doc[] =
    "A beam solved by flexura_tools._engine.solve(): the analysis of flexura.solve()\n"
    "for the same arguments, read by quantity at many positions at once.";

PyType_Slot slots[] = {
    {Py_tp_doc, class_doc},
    {Py_tp_methods, methods},
    {Py_tp_dealloc, reinterpret_cast<void*>(&python::dealloc_analysis_object)},
    {0, nullptr},
};

PyType_Spec spec = {
    .name = "flexura_tools._engine.SolvedBeam",
    .basicsize = static_cast<int>(python::analysis_offset),
    .itemsize = 1,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    .slots = slots,
};

}  // namespace

PyTypeObject* new_solved_beam_type() { return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec)); }

bool write_reaction_order(PyObject* solved, python::SolveCall& call) {
    const std::span<const engine::Support> supports = call.input.supports;
    auto* order = static_cast<std::size_t*>(python::tail_of(solved, order_bytes(supports.size())));
    std::size_t* scratch = call.arena.allocate<std::size_t>(supports.size());
    return engine::reaction_order(supports, order, scratch, call.check);  // else the signal's exception is set
}

}  // namespace tools_engine
