#include "flexura/beam_result.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/signals.hpp"
#include "results/mesh.hpp"
#include "results/reaction_table.hpp"
#include "results/read.hpp"

namespace python {
namespace {

PyTypeObject* type_object = nullptr;

constexpr const char* x_param[] = {"x"};
constexpr const char* n_param[] = {"n"};

struct Query {
    const char* name;       // Python method name
    const char* qualified;  // name in binding messages
    const char* doc;
    engine::Quantity quantity;
    results::Read how;
};

using engine::Analysis;
using engine::Quantity;
using results::Read;

constexpr std::array<Query, 8> queries{{
    {"eval_nf", "BeamResult.eval_nf()", "eval_nf($self, x)\n--\n\n", Quantity::nf, Read::at},
    {"eval_sf", "BeamResult.eval_sf()", "eval_sf($self, x)\n--\n\n", Quantity::sf, Read::at},
    {"eval_bm", "BeamResult.eval_bm()", "eval_bm($self, x)\n--\n\n", Quantity::bm, Read::at},
    {"eval_d", "BeamResult.eval_d()", "eval_d($self, x)\n--\n\n", Quantity::d, Read::at},
    {"get_normal_force", "BeamResult.get_normal_force()", "get_normal_force($self, x)\n--\n\n", Quantity::nf,
     Read::larger_side},
    {"get_shear_force", "BeamResult.get_shear_force()", "get_shear_force($self, x)\n--\n\n", Quantity::sf,
     Read::larger_side},
    {"get_bending_moment", "BeamResult.get_bending_moment()", "get_bending_moment($self, x)\n--\n\n",
     Quantity::bm, Read::larger_side},
    {"get_deflection", "BeamResult.get_deflection()", "get_deflection($self, x)\n--\n\n", Quantity::d,
     Read::larger_side},
}};

// The one argument x, bound and converted inline for the common call (one
// positional argument); false with the binding or wrapped conversion error.
bool query_position(const Query& q, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, double& x) {
    PyObject* arg = nargs == 1 && kwnames == nullptr ? args[0] : nullptr;
    if (arg == nullptr && !bind_arguments({q.qualified, x_param, 1}, {args, nargs, kwnames}, {&arg, 1})) return false;
    if (to_double(arg, x)) return true;
    wrap_argument_error("x");
    return false;
}

template <std::size_t K>
PyObject* query(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        constexpr const Query& q = queries[K];
        double x = 0.0;
        if (!query_position(q, args, nargs, kwnames, x)) return nullptr;
        return PyFloat_FromDouble(results::read(engine::terms_of(analysis_of(self), q.quantity), x, q.how));
    });
}

Ref reaction_values(const results::KeyedReaction& r) {
    Ref list(PyList_New(3));
    if (!list) return list;
    const double values[3] = {r.rx, r.ry, r.m};
    for (Py_ssize_t k = 0; k < 3; ++k) {
        PyObject* v = PyFloat_FromDouble(values[k]);
        if (v == nullptr) return Ref();
        PyList_SetItem(list.get(), k, v);  // steals v
    }
    return list;
}

PyObject* reactions(PyObject* self, PyObject*) {
    return guarded([self]() -> PyObject* {
        interrupt::Check check = signal_check();
        Ref dict(PyDict_New());
        if (!dict) return nullptr;
        const bool filled = results::visit_keyed_reactions(
            analysis_of(self).reactions, check, [&](const results::KeyedReaction& r) {
                Ref key(PyUnicode_FromStringAndSize(r.key.data(), static_cast<Py_ssize_t>(r.key.size())));
                Ref value = key ? reaction_values(r) : Ref();
                return value && PyDict_SetItem(dict.get(), key.get(), value.get()) == 0;
            });
        return filled ? dict.release() : nullptr;  // the signal's or the interpreter's exception is set
    });
}

// A new list of the column's values at every mesh position.
Ref sampled(const Analysis& analysis, const results::PlotColumn& column, std::span<const double> mesh,
            interrupt::Check& check) {
    Ref out(PyList_New(static_cast<Py_ssize_t>(mesh.size())));
    if (!out) return out;
    // The list by value: read through the handle, it would be loaded again
    // after every call that makes a float.
    PyObject* const list = out.get();
    const bool filled =
        results::sample_column(analysis, column, mesh, check, [list](std::span<const double> values, std::size_t start) {
            for (std::size_t k = 0; k < values.size(); ++k) {
                PyObject* v = PyFloat_FromDouble(values[k]);
                if (v == nullptr) return false;
                PyList_SetItem(list, static_cast<Py_ssize_t>(start + k), v);  // steals v
            }
            return true;
        });
    return filled ? std::move(out) : Ref();  // the signal's or the allocation's exception is set
}

bool mesh_fits_in_list(std::uint64_t n, std::size_t feature_count) {
    constexpr std::uint64_t max_list = static_cast<std::uint64_t>(PY_SSIZE_T_MAX) / sizeof(PyObject*);
    const std::uint64_t extra = 2 * static_cast<std::uint64_t>(feature_count);
    return extra <= max_list && n <= max_list - extra;
}

PyObject* plotting_vectors_dict(PyObject* self, std::uint64_t n) {
    const Analysis& r = analysis_of(self);
    const std::optional<std::size_t> room_size = results::mesh_room(n, r.features.size());
    if (!room_size || !mesh_fits_in_list(n, r.features.size())) return PyErr_NoMemory();
    // The non-throwing new reports an impossible size as null on every
    // runtime; sanitizer runtimes abort in the throwing one instead.
    const std::unique_ptr<double[]> room(new (std::nothrow) double[*room_size]);
    if (room == nullptr) return PyErr_NoMemory();
    interrupt::Check check = signal_check();
    const std::optional<std::size_t> size = results::plotting_mesh(n, span_of(self), r.features, room.get(), check);
    if (!size) return nullptr;  // the signal's exception is set
    const std::span<const double> mesh(room.get(), *size);
    Ref dict(PyDict_New());
    if (!dict) return nullptr;
    for (const results::PlotColumn& column : results::plot_columns) {
        Ref values = sampled(r, column, mesh, check);
        if (!values || PyDict_SetItemString(dict.get(), column.name, values.get()) < 0) return nullptr;
    }
    return dict.release();
}

PyObject* plotting_vectors(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        PyObject* slot[1];
        if (!bind_arguments({"BeamResult.plotting_vectors()", n_param, 0}, {args, nargs, kwnames}, slot)) return nullptr;
        std::uint64_t n = 200;
        if (slot[0] != nullptr && !to_u64(slot[0], n)) {
            wrap_argument_error("n");
            return nullptr;
        }
        return plotting_vectors_dict(self, n);
    });
}

template <std::size_t K>
constexpr PyMethodDef query_def() {
    return {queries[K].name, as_cfunction(&query<K>), METH_FASTCALL | METH_KEYWORDS, queries[K].doc};
}

PyMethodDef methods[] = {
    query_def<0>(),
    query_def<1>(),
    query_def<2>(),
    query_def<3>(),
    query_def<4>(),
    query_def<5>(),
    query_def<6>(),
    query_def<7>(),
    {"reactions", as_cfunction(&reactions), METH_NOARGS,
     "reactions($self)\n--\n\n{position_str: [Rx, Ry, M]} in the caller's force/moment units."},
    {"plotting_vectors", as_cfunction(&plotting_vectors), METH_FASTCALL | METH_KEYWORDS,
     "plotting_vectors($self, n=200)\n--\n\n{x, nf, sf, bm, d} sampled over the library's mesh (n linspace "
     "points\nplus +/-1e-7 around every support/load feature), as plain lists."},
    {nullptr, nullptr, 0, nullptr},
};

PyObject* refuse_construction(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, "No constructor defined for BeamResult");
    return nullptr;
}

char class_doc[] =
    "Solved beam. Query methods mirror flexura's `get_*` (evaluate just\noff each side of x and keep the "
    "larger-magnitude value), so a singularity at\na support/load is handled identically.";

PyType_Slot slots[] = {
    {Py_tp_doc, class_doc},
    {Py_tp_methods, methods},
    {Py_tp_new, reinterpret_cast<void*>(&refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc_analysis_object)},
    {0, nullptr},
};

// The module prefix gives the type its __module__; immutable like the
// interpreter's own types, so no caller can replace a method for everyone.
// One item is one byte of the analysis block.
PyType_Spec spec = {
    .name = "flexura.BeamResult",
    .basicsize = static_cast<int>(analysis_offset),
    .itemsize = 1,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    .slots = slots,
};

}  // namespace

PyTypeObject* beam_result_type() {
    if (type_object == nullptr) type_object = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
    return type_object;
}

void forget_beam_result_type() noexcept { type_object = nullptr; }

}  // namespace python
