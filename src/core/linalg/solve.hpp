// Dense square solver for the small equilibrium/compatibility systems of a
// beam: Gaussian elimination with row equilibration and partial pivoting.
// There is no tolerance anywhere: singularity is an exact zero, and a
// non-finite solution is rejected.
#pragma once

#include <cstddef>

#include "interrupt/check.hpp"

namespace linalg {

// Solves a * x = b in place. a holds n x n coefficients row by row (entry
// (r, c), the coefficient of unknown c in equation r, at a[r * n + c]); it
// is scaled and eliminated, and on success b holds x. False when a row is
// all zeros (or NaN), a pivot is exactly zero, the solution is not finite,
// or the check asks to stop during elimination (then check.stopped() tells).
bool solve(double* a, double* b, std::size_t n, interrupt::Check& check);

}  // namespace linalg
