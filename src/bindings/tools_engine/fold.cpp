#include "tools_engine/fold.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <vector>

#include "common/binding.hpp"
#include "common/guard.hpp"
#include "common/ref.hpp"
#include "common/signals.hpp"
#include "common/analysis_object.hpp"
#include "common/solve_call.hpp"
#include "moving/fold.hpp"
#include "tools_engine/extensions.hpp"
#include "tools_engine/solved_beam.hpp"

namespace tools_engine {
namespace {

constexpr const char* params[] = {"span",     "e",          "i",           "a",
                                  "g",        "supports",   "loads",       "units",
                                  "sections", "hinges",     "settlements", "curvatures",
                                  "rotational_springs",     "rotation",    "plan"};
static_assert(std::size(params) == 8 + extension_count + 1);
constexpr python::Signature signature{"fold_positions()", params, 15};

// The function whose arguments are being read, for its errors (under the GIL).
const char* reading = "fold_positions()";

// Names fold_members() in the errors while it lives.
struct Reading {
    const char* before = reading;
    explicit Reading(const char* name) { reading = name; }
    ~Reading() { reading = before; }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
};

bool fail(const char* what) {
    PyErr_Format(PyExc_TypeError, "%s: %s", reading, what);
    return false;
}

// A bytes object's native values, borrowed from it.
template <class T>
bool view(PyObject* obj, std::span<const T>& out, const char* what) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (!PyBytes_Check(obj) || PyBytes_AsStringAndSize(obj, &data, &size) < 0 ||
        static_cast<std::size_t>(size) % sizeof(T) != 0 || reinterpret_cast<std::uintptr_t>(data) % alignof(T) != 0) {
        return fail(what);
    }
    out = {reinterpret_cast<const T*>(data), static_cast<std::size_t>(size) / sizeof(T)};
    return true;
}

// A running envelope held by the caller in a bytearray, copied in: no Python
// code that runs during the call (a signal's handler) can move it.
template <class T>
struct Held {
    PyObject* array = nullptr;
    std::vector<T> values;

    bool read(PyObject* obj, std::size_t count, const char* what) {
        if (!PyByteArray_Check(obj) || static_cast<std::size_t>(PyByteArray_Size(obj)) != count * sizeof(T)) {
            return fail(what);
        }
        array = obj;
        values.resize(count);
        if (count != 0) std::memcpy(values.data(), PyByteArray_AsString(obj), count * sizeof(T));
        return true;
    }

    bool write_back() const {
        if (static_cast<std::size_t>(PyByteArray_Size(array)) != values.size() * sizeof(T)) {
            return fail("a running envelope changed size during the call");
        }
        if (!values.empty()) std::memcpy(PyByteArray_AsString(array), values.data(), values.size() * sizeof(T));
        return true;
    }
};

struct HeldBand {
    Held<double> hi, lo;
    Held<std::int64_t> hi_member, lo_member;
    std::vector<double> top, bottom;
};

PyObject* item(PyObject* tuple, Py_ssize_t k) { return PyTuple_GetItem(tuple, k); }

bool tuple_of(PyObject* obj, Py_ssize_t size, const char* what) {
    return (PyTuple_Check(obj) && PyTuple_Size(obj) == size) || fail(what);
}

// Each position's stretch of a flat list of pairs, from the cumulative ends.
bool stretches(std::span<const double> values, std::span<const std::int64_t> ends, std::size_t count,
               std::span<const double> moving::Placed::*field, std::vector<moving::Placed>& placed) {
    if (ends.size() != count) return fail("each position needs its end in every list");
    std::int64_t start = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::int64_t end = ends[k];
        if (end < start || end > static_cast<std::int64_t>(values.size()) || (end - start) % 2 != 0) {
            return fail("a position's list of pairs is out of order");
        }
        placed[k].*field = values.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        start = end;
    }
    return true;
}

struct Plan {
    std::int64_t first = 0;
    std::vector<moving::Placed> placed;
    double lane = 0.0, force = 0.0, moment = 0.0;
    moving::Mesh mesh;
    std::size_t entries = 0;
    std::vector<HeldBand> held;
    std::vector<moving::Band> bands;
    Held<double> range_hi, range_lo;
    Held<std::int64_t> range_hi_member, range_lo_member;

    bool read_placed(PyObject* plan) {
        std::span<const double> axles, pieces, standing;
        std::span<const std::int64_t> axle_ends, piece_ends, standing_ends;
        if (!view(item(plan, 1), axles, "axles: bytes of float64") ||
            !view(item(plan, 2), axle_ends, "axle ends: bytes of int64") ||
            !view(item(plan, 3), pieces, "lane pieces: bytes of float64") ||
            !view(item(plan, 4), piece_ends, "lane piece ends: bytes of int64") ||
            !view(item(plan, 5), standing, "standing axles: bytes of float64") ||
            !view(item(plan, 6), standing_ends, "standing ends: bytes of int64")) {
            return false;
        }
        placed.resize(axle_ends.size());
        return stretches(axles, axle_ends, placed.size(), &moving::Placed::axles, placed) &&
               stretches(pieces, piece_ends, placed.size(), &moving::Placed::pieces, placed) &&
               stretches(standing, standing_ends, placed.size(), &moving::Placed::standing, placed);
    }

    bool read_mesh(PyObject* obj) {
        if (!tuple_of(obj, 6, "mesh: (position, read_at, left, right, keys, key_position)") ||
            !view(item(obj, 0), mesh.position, "mesh positions: bytes of float64") ||
            !view(item(obj, 1), mesh.read_at, "mesh reads: bytes of float64") ||
            !view(item(obj, 2), mesh.left, "mesh left entries: bytes of int64") ||
            !view(item(obj, 3), mesh.right, "mesh right entries: bytes of int64") ||
            !view(item(obj, 4), mesh.keys, "mesh keys: bytes of float64") ||
            !view(item(obj, 5), mesh.key_position, "mesh key positions: bytes of int64")) {
            return false;
        }
        const std::size_t count = mesh.position.size();
        if (mesh.read_at.size() != count || mesh.left.size() != count || mesh.right.size() != count ||
            mesh.keys.size() != mesh.key_position.size()) {
            return fail("the mesh's lists differ in length");
        }
        for (std::size_t j = 0; j < count; ++j) {
            if (mesh.left[j] < 0 || mesh.right[j] < mesh.left[j]) return fail("a mesh entry is out of order");
            entries = std::max(entries, static_cast<std::size_t>(mesh.right[j]) + 1);
        }
        for (std::size_t k = 1; k < mesh.keys.size(); ++k) {
            if (!(mesh.keys[k - 1] < mesh.keys[k])) return fail("the mesh's keys must ascend");
        }
        return true;
    }

    std::vector<moving::Watch> watches;
    bool watch = false;

    // Per band (the first ones), its positions, signs and least values watched.
    bool read_watches(PyObject* obj) {
        watch = true;
        if (!PyTuple_Check(obj) || static_cast<std::size_t>(PyTuple_Size(obj)) > bands.size()) {
            return fail("watches: a tuple of (at, sign, least) per band");
        }
        watches.resize(static_cast<std::size_t>(PyTuple_Size(obj)));
        for (std::size_t b = 0; b < watches.size(); ++b) {
            PyObject* w = item(obj, static_cast<Py_ssize_t>(b));
            moving::Watch& out = watches[b];
            if (!tuple_of(w, 3, "a watch: (at, sign, least)") || !view(item(w, 0), out.at, "watched positions: float64") ||
                !view(item(w, 1), out.sign, "watched signs: float64") ||
                !view(item(w, 2), out.least, "watched least values: float64")) {
                return false;
            }
            if (out.sign.size() != out.at.size() || out.least.size() != out.at.size()) {
                return fail("a watch's lists differ in length");
            }
        }
        return true;
    }

    bool read_band(PyObject* obj, bool rotation, HeldBand& h, moving::Band& band) {
        if (!tuple_of(obj, 7, "band: (quantity, jumps, axle_jumps, hi, lo, hi_member, lo_member)")) return false;
        const long q = PyLong_AsLong(item(obj, 0));
        if (q < 0 || q > 4 || PyErr_Occurred()) return fail("a band's quantity is 0 to 4 (nf, sf, bm, d, rotation)");
        band.quantity = static_cast<engine::Quantity>(q);
        if (band.quantity == engine::Quantity::rotation && !rotation) {
            PyErr_SetString(PyExc_ValueError, "the rotation was not asked for: rotation=True");
            return false;
        }
        band.axle_jumps = PyObject_IsTrue(item(obj, 2)) == 1;
        if (!view(item(obj, 1), band.jumps, "a band's jumps: bytes of float64") ||
            !h.hi.read(item(obj, 3), entries, "a band's hi: bytearray of float64 per entry") ||
            !h.lo.read(item(obj, 4), entries, "a band's lo: bytearray of float64 per entry") ||
            !h.hi_member.read(item(obj, 5), entries, "a band's hi_member: bytearray of int64 per entry") ||
            !h.lo_member.read(item(obj, 6), entries, "a band's lo_member: bytearray of int64 per entry")) {
            return false;
        }
        h.top.resize(entries);
        h.bottom.resize(entries);
        band.hi = h.hi.values.data();
        band.lo = h.lo.values.data();
        band.hi_member = h.hi_member.values.data();
        band.lo_member = h.lo_member.values.data();
        band.top = h.top.data();
        band.bottom = h.bottom.data();
        return true;
    }

    // fold_members()' bands and ranges, for members of this many supports.
    bool read_bands(PyObject* given, bool rotation) {
        if (!PyTuple_Check(given)) return fail("bands: a tuple");
        const auto count = static_cast<std::size_t>(PyTuple_Size(given));
        held.resize(count);
        bands.resize(count);
        for (std::size_t b = 0; b < count; ++b) {
            if (!read_band(item(given, static_cast<Py_ssize_t>(b)), rotation, held[b], bands[b])) return false;
        }
        return true;
    }

    bool read_ranges(PyObject* ranges, std::size_t supports) {
        const std::size_t cells = 3 * supports;
        return tuple_of(ranges, 4, "ranges: (hi, lo, hi_member, lo_member)") &&
               range_hi.read(item(ranges, 0), cells, "ranges' hi: bytearray of float64 per support and component") &&
               range_lo.read(item(ranges, 1), cells, "ranges' lo: bytearray of float64 per support and component") &&
               range_hi_member.read(item(ranges, 2), cells, "ranges' hi_member: bytearray of int64") &&
               range_lo_member.read(item(ranges, 3), cells, "ranges' lo_member: bytearray of int64");
    }

    bool read(PyObject* plan, const engine::Input& input) {
        const bool watching = PyTuple_Check(plan) && PyTuple_Size(plan) == 14;
        if (!watching && !tuple_of(plan, 13, "plan: a tuple of 13 items, or 14 with watches")) return false;
        first = PyLong_AsLongLong(item(plan, 0));
        if (first < 0 || PyErr_Occurred()) return fail("plan[0]: the first member's index");
        lane = PyFloat_AsDouble(item(plan, 7));
        force = PyFloat_AsDouble(item(plan, 8));
        moment = PyFloat_AsDouble(item(plan, 9));
        if (PyErr_Occurred() || !read_placed(plan) || !read_mesh(item(plan, 10))) return false;
        if (!read_bands(item(plan, 11), input.extensions.rotation)) return false;
        if (watching && !read_watches(item(plan, 13))) return false;
        return read_ranges(item(plan, 12), input.supports.size());
    }

    bool write_back() const {
        for (const HeldBand& h : held) {
            if (!h.hi.write_back() || !h.lo.write_back() || !h.hi_member.write_back() || !h.lo_member.write_back()) {
                return false;
            }
        }
        return range_hi.write_back() && range_lo.write_back() && range_hi_member.write_back() &&
               range_lo_member.write_back();
    }

    // ((top, bottom) per band): the chunk's screens as bytes of float64.
    PyObject* screens() const {
        python::Ref out(PyTuple_New(static_cast<Py_ssize_t>(held.size())));
        if (!out) return nullptr;
        for (std::size_t b = 0; b < held.size(); ++b) {
            const auto bytes = static_cast<Py_ssize_t>(entries * sizeof(double));
            python::Ref top(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(held[b].top.data()), bytes));
            python::Ref bottom(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(held[b].bottom.data()), bytes));
            PyObject* pair = top && bottom ? PyTuple_Pack(2, top.get(), bottom.get()) : nullptr;
            if (pair == nullptr) return nullptr;
            PyTuple_SetItem(out.get(), static_cast<Py_ssize_t>(b), pair);  // steals pair
        }
        return out.release();
    }
};

// The positions' hits of the plan's watches: (k, bytes of int64 triples
// (band, index, member)).
PyObject* watch(const moving::Run& run, const Plan& plan, interrupt::Check& check) {
    std::vector<moving::Hit> hits;
    const moving::Folded folded = moving::watch_positions(run, plan.placed, plan.bands, plan.watches, hits, check);
    switch (folded.status) {
        case moving::Folded::Status::stopped: return nullptr;  // the signal's exception is set
        case moving::Folded::Status::out_of_memory:
        case moving::Folded::Status::not_in_mesh: return PyErr_NoMemory();
        case moving::Folded::Status::failed:
        case moving::Folded::Status::done: break;
    }
    std::vector<std::int64_t> flat;
    flat.reserve(3 * hits.size());
    for (const moving::Hit& h : hits) {
        flat.insert(flat.end(), {static_cast<std::int64_t>(h.band), static_cast<std::int64_t>(h.k), h.member});
    }
    python::Ref out(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(flat.data()),
                                              static_cast<Py_ssize_t>(flat.size() * sizeof(std::int64_t))));
    if (!out) return nullptr;
    if (folded.status == moving::Folded::Status::failed) {
        return Py_BuildValue("(nO)", static_cast<Py_ssize_t>(folded.position), out.get());
    }
    return Py_BuildValue("(OO)", Py_None, out.get());
}

// False with the exception set unless the call folded (or found a failed position).
bool raise_unless_folded(const moving::Folded& folded) {
    switch (folded.status) {
        case moving::Folded::Status::stopped: return false;  // the signal's exception is set
        case moving::Folded::Status::out_of_memory: PyErr_NoMemory(); return false;
        case moving::Folded::Status::not_in_mesh:
            PyErr_Format(PyExc_ValueError, "%s: a jump's position is not among the mesh's keys", reading);
            return false;
        case moving::Folded::Status::failed:
        case moving::Folded::Status::done: break;
    }
    return true;
}

// The members (SolvedBeams of one set of supports) with their jumps.
bool read_members(PyTypeObject* solved_beam, PyObject* given, PyObject* jumps_obj, PyObject* ends_obj,
                  std::vector<moving::Member>& out, bool& rotation, std::size_t& supports) {
    std::span<const double> jumps;
    std::span<const std::int64_t> ends;
    if (!view(jumps_obj, jumps, "jumps: bytes of float64") || !view(ends_obj, ends, "jump ends: bytes of int64")) {
        return false;
    }
    if (!PyTuple_Check(given)) return fail("members: a tuple of SolvedBeam");
    const auto count = static_cast<std::size_t>(PyTuple_Size(given));
    out.resize(count);
    std::vector<moving::Placed> placed(count);
    if (!stretches(jumps, ends, count, &moving::Placed::jumps, placed)) return false;
    rotation = true;
    for (std::size_t k = 0; k < count; ++k) {
        PyObject* member = item(given, static_cast<Py_ssize_t>(k));
        if (Py_TYPE(member) != solved_beam) return fail("members: a tuple of SolvedBeam");
        const engine::Analysis& a = python::analysis_of(member);
        if (k == 0) supports = a.reactions.size();
        if (a.reactions.size() != supports) return fail("the members' supports differ in number");
        rotation = rotation && !a.rotation.empty();
        out[k] = {&a, static_cast<const std::size_t*>(python::tail_of(member, order_bytes(supports))), placed[k]};
    }
    return true;
}

}  // namespace

const char fold_members_doc[] =
    "fold_members(members, jumps, jump_ends, first, mesh, bands, ranges, /)\n--\n\n"
    "Folds solved beams of one set of supports (a tuple of SolvedBeam, member first\n"
    "and on) into running envelopes held in the bands' and ranges' bytearrays, as\n"
    "fold_positions() folds its positions once solved. jumps: each member's (quantity\n"
    "0 to 4, x) pairs where it jumps, float64, with their cumulative ends (int64).\n"
    "Returns the screens per band (top, bottom) of the members. Not public API.";

PyObject* fold_members(PyTypeObject* solved_beam, PyObject* const* args, Py_ssize_t nargs) {
    return python::guarded([&]() -> PyObject* {
        const Reading name("fold_members()");
        if (nargs != 7) {
            fail("takes 7 positional arguments");
            return nullptr;
        }
        const long long first = PyLong_AsLongLong(args[3]);
        if (first < 0) {
            PyErr_Clear();
            fail("first: the first member's index, an int from 0");
            return nullptr;
        }
        std::vector<moving::Member> members;
        bool rotation = false;
        std::size_t supports = 0;
        Plan plan;
        if (!read_members(solved_beam, args[0], args[1], args[2], members, rotation, supports) ||
            !plan.read_mesh(args[4]) || !plan.read_bands(args[5], rotation) || !plan.read_ranges(args[6], supports)) {
            return nullptr;
        }
        const moving::Ranges ranges{plan.range_hi.values.data(), plan.range_lo.values.data(),
                                    plan.range_hi_member.values.data(), plan.range_lo_member.values.data()};
        interrupt::Check check = python::signal_check();
        const moving::Folded folded = moving::fold_members(members, first, plan.mesh, plan.bands, ranges, check);
        if (!raise_unless_folded(folded) || !plan.write_back()) return nullptr;
        return plan.screens();
    });
}

const char fold_positions_doc[] =
    "fold_positions(span, e, i, a, g, supports, loads, units, sections, hinges, settlements,\n"
    "               curvatures, rotational_springs, rotation, plan)\n--\n\n"
    "Solves the beam (solve()'s arguments, its own loads) once per position of a\n"
    "vehicle, each with its axles as point loads and its lane stretches as uniform\n"
    "loads, and folds each into running envelopes held in the plan's bytearrays.\n"
    "plan: (first member, axles (x, weight), their ends, lane pieces (a, b), their ends,\n"
    "standing axles (x, jump), their ends, lane intensity, allowed force and moment\n"
    "residuals, mesh, bands, reaction ranges). Returns (k, screens): k the first\n"
    "position (of this call) that did not solve or balance, else None; screens per\n"
    "band (top, bottom) of the chunk. With a 14th item, watches ((at, sign, least) per\n"
    "band), the positions are solved again and, instead of screens, bytes of int64\n"
    "triples (band, index, member) where sign * value at reaches least. Not public API.";

PyObject* fold_positions(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        python::SolveCall call;
        std::array<PyObject*, std::size(params)> slots{};
        if (!call.read({args, nargs, kwnames}, signature, slots) ||
            !read_extensions(std::span(slots).subspan<8, extension_count>(), call.input.extensions, call.arena)) {
            return nullptr;
        }
        Plan plan;
        if (!plan.read(slots[14], call.input)) return nullptr;
        if (call.input.extensions.settlements.size() + call.input.extensions.curvatures.size() != 0) {
            PyErr_SetString(PyExc_ValueError, "fold_positions(): imposed deformations are folded by the layer");
            return nullptr;
        }
        moving::Ranges ranges{plan.range_hi.values.data(), plan.range_lo.values.data(),
                              plan.range_hi_member.values.data(), plan.range_lo_member.values.data()};
        const moving::Run run{&call.input, plan.lane, {plan.force, plan.moment}, plan.first};
        if (plan.watch) return watch(run, plan, call.check);
        const moving::Folded folded = moving::fold_positions(run, plan.placed, plan.mesh, plan.bands, ranges, call.check);
        if (!raise_unless_folded(folded) || !plan.write_back()) return nullptr;
        python::Ref screens(plan.screens());
        if (!screens) return nullptr;
        if (folded.status == moving::Folded::Status::failed) {
            return Py_BuildValue("(nO)", static_cast<Py_ssize_t>(folded.position), screens.get());
        }
        return Py_BuildValue("(OO)", Py_None, screens.get());
    });
}

}  // namespace tools_engine
