#include "python/beam_result.hpp"

#include <array>
#include <cstddef>
#include <new>
#include <optional>
#include <span>
#include <string>

#include "python/binding.hpp"
#include "python/convert.hpp"
#include "python/guard.hpp"
#include "python/ref.hpp"
#include "python/signals.hpp"
#include "results/mesh.hpp"
#include "results/reaction_table.hpp"
#include "results/two_sided.hpp"

namespace python {
namespace {

// The record lives in raw storage inside the object, constructed in place
// after allocation and destroyed in dealloc.
struct BeamResultObject {
    PyObject ob_base;
    alignas(BeamResult) unsigned char storage[sizeof(BeamResult)];
};

const BeamResult& record(PyObject* self) {
    return *std::launder(reinterpret_cast<BeamResult*>(reinterpret_cast<BeamResultObject*>(self)->storage));
}

PyTypeObject* type_object = nullptr;

constexpr const char* x_param[] = {"x"};
constexpr const char* n_param[] = {"n"};

struct Query {
    const char* name;       // Python method name
    const char* qualified;  // name in binding messages
    const char* doc;
    sing::TermList BeamResult::*list;
    bool two_sided;
};

constexpr std::array<Query, 8> queries{{
    {"eval_nf", "BeamResult.eval_nf()", "eval_nf($self, x)\n--\n\n", &BeamResult::nf, false},
    {"eval_sf", "BeamResult.eval_sf()", "eval_sf($self, x)\n--\n\n", &BeamResult::sf, false},
    {"eval_bm", "BeamResult.eval_bm()", "eval_bm($self, x)\n--\n\n", &BeamResult::bm, false},
    {"eval_d", "BeamResult.eval_d()", "eval_d($self, x)\n--\n\n", &BeamResult::d, false},
    {"get_normal_force", "BeamResult.get_normal_force()", "get_normal_force($self, x)\n--\n\n", &BeamResult::nf, true},
    {"get_shear_force", "BeamResult.get_shear_force()", "get_shear_force($self, x)\n--\n\n", &BeamResult::sf, true},
    {"get_bending_moment", "BeamResult.get_bending_moment()", "get_bending_moment($self, x)\n--\n\n",
     &BeamResult::bm, true},
    {"get_deflection", "BeamResult.get_deflection()", "get_deflection($self, x)\n--\n\n", &BeamResult::d, true},
}};

template <std::size_t K>
PyObject* query(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&]() -> PyObject* {
        constexpr const Query& q = queries[K];
        PyObject* slot[1];
        if (!bind_arguments({q.qualified, x_param, 1}, {args, nargs, kwnames}, slot)) return nullptr;
        double x = 0.0;
        if (!to_double(slot[0], x)) {
            wrap_argument_error("x");
            return nullptr;
        }
        const sing::TermList& list = record(self).*q.list;
        return PyFloat_FromDouble(q.two_sided ? results::two_sided_value(list, x) : sing::eval_terms(list, x));
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

// Making one entry (a key, a list and three floats) costs about as much as
// this many units of arithmetic.
constexpr std::uint64_t reaction_entry_cost = 256;

PyObject* reactions(PyObject* self, PyObject*) {
    return guarded([self]() -> PyObject* {
        interrupt::Check check = signal_check();
        const std::vector<results::KeyedReaction> table = results::reaction_table(record(self).reactions, check);
        if (check.stopped()) return nullptr;  // the signal's exception is set
        Ref dict(PyDict_New());
        if (!dict) return nullptr;
        for (const results::KeyedReaction& r : table) {
            if (check.stop(reaction_entry_cost)) return nullptr;
            Ref key(PyUnicode_FromStringAndSize(r.key.data(), static_cast<Py_ssize_t>(r.key.size())));
            if (!key) return nullptr;
            Ref value = reaction_values(r);
            if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
        }
        return dict.release();
    });
}

// A new list of the term list's exact values at every mesh position (the
// positions themselves for no list).
Ref sampled(std::span<const double> mesh, const sing::TermList* list, interrupt::Check& check) {
    Ref out(PyList_New(static_cast<Py_ssize_t>(mesh.size())));
    if (!out) return out;
    const std::uint64_t cost = 1 + (list == nullptr ? 0 : list->size());
    for (std::size_t k = 0; k < mesh.size(); ++k) {
        if (check.stop(cost)) return Ref();  // the signal's exception is set
        PyObject* v = PyFloat_FromDouble(list == nullptr ? mesh[k] : sing::eval_terms(*list, mesh[k]));
        if (v == nullptr) return Ref();
        PyList_SetItem(out.get(), static_cast<Py_ssize_t>(k), v);  // steals v
    }
    return out;
}

bool mesh_fits_in_list(std::uint64_t n, std::size_t feature_count) {
    constexpr std::uint64_t max_list = static_cast<std::uint64_t>(PY_SSIZE_T_MAX) / sizeof(PyObject*);
    const std::uint64_t extra = 2 * static_cast<std::uint64_t>(feature_count);
    return extra <= max_list && n <= max_list - extra;
}

PyObject* plotting_vectors_dict(const BeamResult& r, std::uint64_t n) {
    if (!mesh_fits_in_list(n, r.features.size())) return PyErr_NoMemory();
    interrupt::Check check = signal_check();
    const std::optional<results::Mesh> mesh = results::plotting_mesh(n, r.span, r.features, check);
    if (!mesh) return check.stopped() ? nullptr : PyErr_NoMemory();
    const std::pair<const char*, const sing::TermList*> columns[] = {
        {"x", nullptr}, {"nf", &r.nf}, {"sf", &r.sf}, {"bm", &r.bm}, {"d", &r.d}};
    Ref dict(PyDict_New());
    if (!dict) return nullptr;
    for (const auto& [key, list] : columns) {
        Ref values = sampled(mesh->points(), list, check);
        if (!values || PyDict_SetItemString(dict.get(), key, values.get()) < 0) return nullptr;
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
        return plotting_vectors_dict(record(self), n);
    });
}

template <class F>
constexpr PyCFunction as_cfunction(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
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

void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    std::launder(reinterpret_cast<BeamResult*>(reinterpret_cast<BeamResultObject*>(self)->storage))->~BeamResult();
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DecRef(reinterpret_cast<PyObject*>(type));
}

char class_doc[] =
    "Solved beam. Query methods mirror flexura's `get_*` (evaluate just\noff each side of x and keep the "
    "larger-magnitude value), so a singularity at\na support/load is handled identically.";

PyType_Slot slots[] = {
    {Py_tp_doc, class_doc},
    {Py_tp_methods, methods},
    {Py_tp_new, reinterpret_cast<void*>(&refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc)},
    {0, nullptr},
};

// The module prefix gives the type its __module__; immutable like the
// interpreter's own types, so no caller can replace a method for everyone.
PyType_Spec spec = {
    .name = "flexura.BeamResult",
    .basicsize = static_cast<int>(sizeof(BeamResultObject)),
    .itemsize = 0,
    .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE,
    .slots = slots,
};

}  // namespace

PyTypeObject* beam_result_type() {
    if (type_object == nullptr) type_object = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
    return type_object;
}

void forget_beam_result_type() noexcept { type_object = nullptr; }

PyObject* new_beam_result(engine::Analysis&& analysis, double span) {
    PyTypeObject* type = beam_result_type();
    if (type == nullptr) return nullptr;
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* self = alloc(type, 0);
    if (self == nullptr) return nullptr;
    new (reinterpret_cast<BeamResultObject*>(self)->storage)
        BeamResult{std::move(analysis.nf),        std::move(analysis.sf),       std::move(analysis.bm),
                   std::move(analysis.d),         std::move(analysis.reactions), std::move(analysis.features),
                   span};
    return self;
}

}  // namespace python
