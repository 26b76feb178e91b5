#include "tools_engine/search.hpp"

#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "common/analysis_object.hpp"
#include "common/binding.hpp"
#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/signals.hpp"
#include "results/search.hpp"
#include "tools_engine/positions.hpp"
#include "tools_engine/solved_beam.hpp"

namespace tools_engine {
namespace {

constexpr const char* extreme_params[] = {"quantity", "features", "count"};
constexpr const char* peak_params[] = {"quantity", "features", "sign", "count", "span", "added"};

// The most samples per segment a search takes: far beyond the layer's (16,
// and 4 more per degree of the distributed loads).
constexpr std::uint64_t max_count = std::uint64_t{1} << 20;

bool to_count(PyObject* obj, std::uint32_t& out) {
    std::uint64_t n = 0;
    if (!python::to_u64(obj, n)) {
        python::wrap_argument_error("count");
        return false;
    }
    if (n < 1 || n > max_count) {
        PyErr_Format(PyExc_ValueError, "count must be from 1 to %llu samples per segment, not %llu",
                     static_cast<unsigned long long>(max_count), static_cast<unsigned long long>(n));
        return false;
    }
    out = static_cast<std::uint32_t>(n);
    return true;
}

// A search's inputs, read from the call: the quantity's terms, the features
// (positions as values() takes them), the samples per segment and the room
// for the samples.
struct Search {
    engine::Quantity quantity{};
    sing::Terms terms;
    std::vector<double> features;
    std::uint32_t count = 0;
    std::unique_ptr<double[]> room;
    std::vector<results::Addend> added;
    python::Ref held;  // the addends' beams, held while searched

    // False with the exception set.
    bool read(PyObject* self, PyObject* quantity_obj, PyObject* features_obj, PyObject* count_obj) {
        if (!to_quantity(self, quantity_obj, quantity) || !to_count(count_obj, count)) return false;
        Positions positions;
        if (!positions.read(features_obj)) {
            python::wrap_argument_error("features");
            return false;
        }
        if (positions.count() == 0) {
            PyErr_SetString(PyExc_ValueError, "features: give at least one position");
            return false;
        }
        features.resize(positions.count());
        positions.copy_to(features.data());
        const std::optional<std::size_t> room_size = results::search_room(features, count);
        // The non-throwing new reports an impossible size as null on every runtime.
        room.reset(room_size ? new (std::nothrow) double[*room_size] : nullptr);
        if (room == nullptr) {
            PyErr_NoMemory();
            return false;
        }
        terms = engine::terms_of(python::analysis_of(self), quantity);
        return true;
    }

    // The (SolvedBeam, factor) pairs whose quantity, times the factor, is added to
    // this beam's; false with the exception set.
    bool read_added(PyObject* self, PyObject* quantity_obj, PyObject* obj) {
        held = python::Ref(PySequence_Tuple(obj));
        if (!held) {
            python::wrap_argument_error("added");
            return false;
        }
        for (Py_ssize_t k = 0; k < PyTuple_Size(held.get()); ++k) {
            PyObject* pair = PyTuple_GetItem(held.get(), k);
            double factor = 0.0;
            if (!python::as_tuple(pair, 2) || !to_beam(self, PyTuple_GetItem(pair, 0)) ||
                !python::to_double(PyTuple_GetItem(pair, 1), factor)) {
                python::wrap_argument_error("added");
                return false;
            }
            engine::Quantity q{};
            if (!to_quantity(PyTuple_GetItem(pair, 0), quantity_obj, q)) return false;
            added.push_back({engine::terms_of(python::analysis_of(PyTuple_GetItem(pair, 0)), q), factor});
        }
        return true;
    }

    static bool to_beam(PyObject* self, PyObject* obj) {
        if (Py_TYPE(obj) == Py_TYPE(self)) return true;
        python::set_downcast_error(obj, "SolvedBeam");
        return false;
    }
};

bool to_sign(PyObject* obj, double& out) {
    if (!python::to_double(obj, out)) {
        python::wrap_argument_error("sign");
        return false;
    }
    if (out != 1.0 && out != -1.0) {
        PyErr_SetString(PyExc_ValueError, "sign must be 1.0 (the max) or -1.0 (the min)");
        return false;
    }
    return true;
}

}  // namespace

PyObject* extreme(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        PyObject* slot[3];
        Search search;
        if (!python::bind_arguments({"SolvedBeam.extreme()", extreme_params, 3}, {args, nargs, kwnames}, slot) ||
            !search.read(self, slot[0], slot[1], slot[2])) {
            return nullptr;
        }
        interrupt::Check check = python::signal_check();
        const std::optional<results::Extreme> found =
            results::find_extreme(search.terms, search.features, search.count, search.room.get(), check);
        if (!found) return nullptr;  // the signal's exception is set
        return Py_BuildValue("(dddd)", found->max.value, found->max.x, found->min.value, found->min.x);
    });
}

PyObject* peak(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return python::guarded([&]() -> PyObject* {
        PyObject* slot[6];
        Search search;
        double sign = 0.0, span = 0.0;
        if (!python::bind_arguments({"SolvedBeam.peak()", peak_params, 5}, {args, nargs, kwnames}, slot) ||
            !search.read(self, slot[0], slot[1], slot[3]) || !to_sign(slot[2], sign) ||
            (slot[5] != nullptr && !search.read_added(self, slot[0], slot[5]))) {
            return nullptr;
        }
        if (!python::to_double(slot[4], span)) {
            python::wrap_argument_error("span");
            return nullptr;
        }
        interrupt::Check check = python::signal_check();
        const std::optional<results::Peak> found =
            results::find_peak({search.terms, search.added}, search.features, sign, search.count, span, search.room.get(), check);
        if (!found) return nullptr;  // the signal's exception is set
        return Py_BuildValue("(dd)", found->value, found->x);
    });
}

}  // namespace tools_engine
