#include "tools_engine/positions.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/convert.hpp"

namespace tools_engine {
namespace {

using python::Ref;

// Making one float costs about as much as this many units of arithmetic.
constexpr std::uint64_t float_cost = 64;

// Hands the values at each block of positions (read from `data`, float64 not
// necessarily aligned) to emit(values, start); asks the check after each
// block. False when emit or the check said stop.
template <class Emit>
bool read_blocks(sing::Terms terms, const std::byte* data, std::size_t count, results::Read how,
                 interrupt::Check& check, Emit&& emit) {
    double points[results::block_points];
    double values[results::block_points];
    for (std::size_t start = 0; start < count; start += results::block_points) {
        const std::size_t n = std::min(results::block_points, count - start);
        std::memcpy(points, data + start * sizeof(double), n * sizeof(double));
        results::read_block(terms, {points, n}, how, values);
        if (!emit(std::span<const double>(values, n), start) || check.stop(n * (1 + terms.size()))) return false;
    }
    return true;
}

}  // namespace

bool Positions::read(PyObject* obj) {
    if (PyFloat_Check(obj) || PyLong_Check(obj)) {
        form_ = Form::number;
        return python::to_double(obj, number_);
    }
    if (PyBytes_Check(obj) || PyByteArray_Check(obj)) return read_buffer(obj);
    if (PySequence_Check(obj)) return read_sequence(obj);
    form_ = Form::number;  // any other object with __float__ or __index__
    return python::to_double(obj, number_);
}

bool Positions::read_buffer(PyObject* obj) {
    const bool is_bytes = PyBytes_Check(obj);
    const Py_ssize_t size = is_bytes ? PyBytes_Size(obj) : PyByteArray_Size(obj);
    if (size < 0) return false;
    if (size % static_cast<Py_ssize_t>(sizeof(double)) != 0) {
        PyErr_Format(PyExc_ValueError, "a buffer of float64 positions needs a length divisible by 8, not %zd", size);
        return false;
    }
    form_ = Form::buffer;
    count_ = static_cast<std::size_t>(size) / sizeof(double);
    const char* data = is_bytes ? PyBytes_AsString(obj) : PyByteArray_AsString(obj);
    if (data == nullptr) return false;
    if (is_bytes) {  // immutable, and held while read
        held_ = Ref::borrow(obj);
        data_ = reinterpret_cast<const std::byte*>(data);
        return true;
    }
    // A bytearray is copied: a signal handler, run while the read asks for
    // pending signals, could resize it under the read. The non-throwing new
    // reports an impossible size as null on every runtime.
    copy_.reset(new (std::nothrow) double[count_]);
    if (copy_ == nullptr) {
        PyErr_NoMemory();
        return false;
    }
    if (count_ > 0) std::memcpy(copy_.get(), data, count_ * sizeof(double));
    data_ = reinterpret_cast<const std::byte*>(copy_.get());
    return true;
}

// Items are converted as solve() converts a list of numbers.
bool Positions::read_sequence(PyObject* obj) {
    python::Keep argument;
    const python::Converted read = python::append_numbers(obj, items_, argument);
    form_ = Form::list;
    count_ = items_.size();
    data_ = reinterpret_cast<const std::byte*>(items_.data());
    return read != python::Converted::failed;
}

void Positions::copy_to(double* out) const noexcept {
    if (form_ == Form::number) {
        *out = number_;
    } else if (count_ > 0) {
        std::memcpy(out, data_, count_ * sizeof(double));
    }
}

PyObject* Positions::values(sing::Terms terms, results::Read how, interrupt::Check& check) const {
    switch (form_) {
        case Form::number: return PyFloat_FromDouble(results::read(terms, number_, how));
        case Form::list: {
            Ref list(PyList_New(static_cast<Py_ssize_t>(count_)));
            if (!list) return nullptr;
            const bool filled = read_blocks(terms, data_, count_, how, check, [&](std::span<const double> values,
                                                                                  std::size_t start) {
                for (std::size_t k = 0; k < values.size(); ++k) {
                    PyObject* v = PyFloat_FromDouble(values[k]);
                    if (v == nullptr) return false;
                    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(start + k), v);  // steals v
                }
                return !check.stop(values.size() * float_cost);
            });
            return filled ? list.release() : nullptr;
        }
        case Form::buffer: {
            Ref out(PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(count_ * sizeof(double))));
            if (!out) return nullptr;
            // Made here and not yet seen by any Python code: it keeps its size.
            char* bytes = PyByteArray_AsString(out.get());
            const bool filled =
                read_blocks(terms, data_, count_, how, check, [&](std::span<const double> values, std::size_t start) {
                    std::memcpy(bytes + start * sizeof(double), values.data(), values.size_bytes());
                    return true;
                });
            return filled ? out.release() : nullptr;
        }
    }
    return nullptr;
}

Ref float_list(std::span<const double> values, interrupt::Check& check) {
    Ref list(PyList_New(static_cast<Py_ssize_t>(values.size())));
    if (!list) return list;
    for (std::size_t k = 0; k < values.size(); ++k) {
        PyObject* v = PyFloat_FromDouble(values[k]);
        if (v == nullptr) return Ref();
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k), v);  // steals v
        if (check.stop(float_cost)) return Ref();  // the signal's exception is set
    }
    return list;
}

}  // namespace tools_engine
