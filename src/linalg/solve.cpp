#include "linalg/solve.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace linalg {
namespace {

// Divides each row and its right-hand side by the row's largest magnitude,
// so that the pivot search compares equations on an equal footing.
bool equilibrate(Matrix& a, std::vector<double>& b) noexcept {
    const std::size_t n = b.size();
    for (std::size_t r = 0; r < n; ++r) {
        double* row = a.row(r);
        double s = 0.0;
        for (std::size_t c = 0; c < n; ++c) {
            const double v = std::fabs(row[c]);
            if (v > s) s = v;  // NaN never wins
        }
        if (s == 0.0) return false;
        for (std::size_t c = 0; c < n; ++c) row[c] = row[c] / s;
        b[r] = b[r] / s;
    }
    return true;
}

// Upper row wins ties; a NaN magnitude never wins.
std::size_t find_pivot(const Matrix& a, std::size_t i, double& magnitude) noexcept {
    std::size_t p = i;
    magnitude = std::fabs(a.row(i)[i]);
    for (std::size_t r = i + 1; r < a.n; ++r) {
        const double v = std::fabs(a.row(r)[i]);
        if (v > magnitude) {
            p = r;
            magnitude = v;
        }
    }
    return p;
}

bool eliminate(Matrix& a, std::vector<double>& b, interrupt::Check& check) noexcept {
    const std::size_t n = b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (check.stop((n - i) * (n - i))) return false;
        double m = 0.0;
        const std::size_t p = find_pivot(a, i, m);
        if (m == 0.0) return false;
        if (p != i) {
            std::swap_ranges(a.row(i), a.row(i) + n, a.row(p));
            std::swap(b[i], b[p]);
        }
        const double* pivot_row = a.row(i);
        for (std::size_t r = i + 1; r < n; ++r) {
            double* row = a.row(r);
            const double f = row[i] / pivot_row[i];
            if (f == 0.0) continue;
            for (std::size_t c = i; c < n; ++c) row[c] = row[c] - pivot_row[c] * f;
            b[r] = b[r] - f * b[i];
        }
    }
    return true;
}

// Overwrites b with the solution, last unknown first: every x[c] it reads
// (c > r) is already in place of b[c].
void back_substitute(const Matrix& a, std::vector<double>& b) noexcept {
    const std::size_t n = b.size();
    for (std::size_t r = n; r-- > 0;) {
        const double* row = a.row(r);
        double t = b[r];
        for (std::size_t c = r + 1; c < n; ++c) t = t - row[c] * b[c];
        b[r] = t / row[r];
    }
}

}  // namespace

std::optional<std::vector<double>> solve(Matrix a, std::vector<double> b, interrupt::Check& check) {
    if (b.empty()) return std::vector<double>{};
    if (!equilibrate(a, b) || !eliminate(a, b, check)) return std::nullopt;
    back_substitute(a, b);
    for (double v : b) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    return b;
}

std::optional<std::vector<double>> solve(Matrix a, std::vector<double> b) {
    interrupt::Check never;
    return solve(std::move(a), std::move(b), never);
}

}  // namespace linalg
