#include "tools_engine/envelope_mesh.hpp"

#include <cstdint>
#include <vector>

#include "common/convert.hpp"
#include "common/guard.hpp"
#include "common/ref.hpp"
#include "results/envelope_mesh.hpp"

namespace tools_engine {
namespace {

// Every number of a sequence (an argument, which the call holds).
bool numbers(PyObject* seq, std::vector<double>& out) {
    python::Keep keep;
    return python::append_numbers(seq, out, keep) != python::Converted::failed;
}

// Every number of a sequence of sequences (an argument), one after another.
bool nested_numbers(PyObject* outer, std::vector<double>& out) {
    python::Keep keep;
    const auto each = [&](PyObject* inner, python::Keep&) {
        python::Keep own(inner);  // held from the first moment Python code may run
        return python::append_numbers(inner, out, own);
    };
    return python::for_each_item(outer, [](std::size_t) {}, each, keep) != python::Converted::failed;
}

template <class T>
PyObject* bytes_of(const std::vector<T>& values) {
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(values.data()),
                                     static_cast<Py_ssize_t>(values.size() * sizeof(T)));
}

PyObject* as_bytes(const results::EnvelopeMesh& mesh) {
    python::Ref parts[] = {python::Ref(bytes_of(mesh.position)), python::Ref(bytes_of(mesh.read_at)),
                           python::Ref(bytes_of(mesh.left)),     python::Ref(bytes_of(mesh.right)),
                           python::Ref(bytes_of(mesh.x)),        python::Ref(bytes_of(mesh.source)),
                           python::Ref(bytes_of(mesh.keys)),     python::Ref(bytes_of(mesh.key_position))};
    for (const python::Ref& part : parts) {
        if (!part) return nullptr;
    }
    return PyTuple_Pack(8, parts[0].get(), parts[1].get(), parts[2].get(), parts[3].get(), parts[4].get(),
                        parts[5].get(), parts[6].get(), parts[7].get());
}

}  // namespace

const char envelope_mesh_doc[] =
    "envelope_mesh(span, features, jumps, n, points, merge, /)\n--\n\n"
    "The common mesh of an envelope's members: features and jumps are sequences of\n"
    "sequences of positions (each member's, repeats allowed), points a sequence of\n"
    "positions, merge the distance relative to the span within which features are one\n"
    "position. Returns bytes: (position, read_at, left, right, x, source, keys,\n"
    "key_position), float64 and int64 as named in results/envelope_mesh.hpp. Not\n"
    "public API.";

PyObject* envelope_mesh(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return python::guarded([&]() -> PyObject* {
        if (nargs != 6) {
            PyErr_SetString(PyExc_TypeError, "envelope_mesh() takes 6 positional arguments");
            return nullptr;
        }
        results::EnvelopeMeshInput in;
        std::vector<double> features, jumps, points;
        if (!python::to_double(args[0], in.span) || !nested_numbers(args[1], features) ||
            !nested_numbers(args[2], jumps) || !python::to_u64(args[3], in.n) || !numbers(args[4], points) ||
            !python::to_double(args[5], in.merge)) {
            return nullptr;
        }
        in.features = features;
        in.jumps = jumps;
        in.points = points;
        results::EnvelopeMesh mesh;
        switch (results::envelope_mesh(in, mesh)) {
            case results::EnvelopeMeshStatus::done: return as_bytes(mesh);
            case results::EnvelopeMeshStatus::not_finite:
                PyErr_SetString(PyExc_ValueError,
                                "envelope_mesh(): the span, merge, features, jumps and points must be finite "
                                "and n at least 1");
                return nullptr;
            case results::EnvelopeMeshStatus::too_many:
                PyErr_SetString(PyExc_ValueError, "envelope_mesh(): more mesh positions than can be counted");
                return nullptr;
            case results::EnvelopeMeshStatus::out_of_memory: return PyErr_NoMemory();
        }
        return nullptr;
    });
}

}  // namespace tools_engine
