// The positions at which the private module reads a quantity, as the layer
// passes them: one number, a sequence of numbers, or native float64 values
// in a bytes or bytearray object (how NumPy arrays travel without the
// buffer protocol, which the limited API of 3.10 lacks). Values go back in
// the same form: a float, a list of floats, a bytearray of float64.
#pragma once

#include <Python.h>

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "common/ref.hpp"
#include "interrupt/check.hpp"
#include "results/read.hpp"

namespace tools_engine {

class Positions {
public:
    // Reads the argument; false with the exception set (TypeError for what
    // is no number, sequence or buffer, ValueError for a buffer whose length
    // is no multiple of 8, MemoryError).
    bool read(PyObject* obj);

    // The values of the terms at the positions, read as `how` says, in the
    // positions' form; null with the exception set (the signal's when the
    // check stops a long read).
    PyObject* values(sing::Terms terms, results::Read how, interrupt::Check& check) const;

    // How many positions were read, and the positions copied in their order
    // to `out` (room for count()).
    std::size_t count() const noexcept { return form_ == Form::number ? 1 : count_; }
    void copy_to(double* out) const noexcept;

private:
    enum class Form { number, list, buffer };
    Form form_ = Form::number;
    double number_ = 0.0;
    const std::byte* data_ = nullptr;  // the float64 values, not necessarily aligned
    std::size_t count_ = 0;
    python::Ref held_;                   // the bytes the values are read from,
    std::unique_ptr<double[]> copy_;     // or a copy of a bytearray's,
    std::vector<double> items_;          // or a sequence's items converted

    bool read_buffer(PyObject* obj);
    bool read_sequence(PyObject* obj);
};

// A new list of the values as floats; null with the exception set.
python::Ref float_list(std::span<const double> values, interrupt::Check& check);

}  // namespace tools_engine
