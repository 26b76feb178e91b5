// Dense square solver for the small equilibrium/compatibility systems of a
// beam: Gaussian elimination with row equilibration and partial pivoting.
// There is no tolerance anywhere: singularity is an exact zero, and a
// non-finite solution is rejected.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "interrupt/check.hpp"

namespace linalg {

// n x n coefficients stored row by row; entry (r, c) is the coefficient of
// unknown c in equation r.
struct Matrix {
    std::size_t n = 0;
    std::vector<double> data;

    explicit Matrix(std::size_t size = 0) : n(size), data(size * size, 0.0) {}
    double* row(std::size_t r) noexcept { return data.data() + r * n; }
    const double* row(std::size_t r) const noexcept { return data.data() + r * n; }
    double& at(std::size_t r, std::size_t c) noexcept { return data[r * n + c]; }
};

// Solves a * x = b, working on the matrix and right-hand side it is handed.
// No value when a row is all zeros (or NaN), a pivot is exactly zero, or the
// solution is not finite, or when the check asks to stop during elimination
// (then check.stopped() tells). b.size() must equal a.n.
std::optional<std::vector<double>> solve(Matrix a, std::vector<double> b, interrupt::Check& check);
std::optional<std::vector<double>> solve(Matrix a, std::vector<double> b);

}  // namespace linalg
