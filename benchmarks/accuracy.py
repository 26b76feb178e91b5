#!/usr/bin/env python3
"""Accuracy of flexura where it degrades, measured against exact rational references.

Run with the module installed (about 10 s):

    python benchmarks/accuracy.py

Prints Markdown tables; the README's limits section quotes (a) and (b):

(a) Continuous beam of equal spans (IPE 300, 6 m spans, 50 kN/m downward, in N and m,
    shear deformation off) for 2 to 400 spans. Reference: the three-moment equations
    solved exactly with fractions. Columns: the worst reaction error relative to the
    largest reaction, and the largest deflection at the rigid supports relative to the
    midspan deflection 5wL^4/384EI of one simply supported span.

(b) Polynomial ("dist") loads of degree 1 to 10 on a beam with rigid supports at 0, L/2
    and L. Reference: the same beam solved exactly with fractions (the load integrated
    exactly, the floats passed to flexura taken at their exact values). Each cell is
    the worst relative reaction error over five load lengths (0.7 to 3.1); table (b)
    shows the worse of two placements, which follow it:
      b1  intensity (x/x2)^p on [l/2, 3l/2], so its coefficients are written about a
          point near the load; the beam goes on for k load lengths beyond the load.
      b2  intensity ((x - x1)/l)^p on [k l, (k+1) l] at the right end of the beam,
          its coefficients expanded about x = 0, k load lengths left of the load.

The loads are scaled so that the 10-decimal rounding of reactions() does not show: the
figures are the solver's own error.
"""

import math
from collections.abc import Callable, Sequence
from fractions import Fraction
from typing import Union

import flexura

Exact = Union[int, float, Fraction]
Case = Callable[[int, int, float], float]

INF = float("inf")
SPANS = (2, 10, 30, 100, 200, 400)
DEGREES = range(1, 11)
DISTANCES = (0, 1, 3, 10, 30, 100)  # in load lengths
LOAD_LENGTHS = (0.7, 1.0, 1.3, 1.9, 3.1)
SCALE = 2.0 ** 30  # polynomial loads: makes the reactions large against 1e-10


def three_moment_reactions(n: int, w: Exact, length: Exact) -> list[Fraction]:
    """Exact reactions of n equal simply supported spans under a uniform load w.

    Three-moment equations M[i-1] + 4 M[i] + M[i+1] = -w L^2 / 2 with M = 0 at both
    ends (sagging positive), solved by elimination of the tridiagonal system.
    """
    w, length = Fraction(w), Fraction(length)
    rhs = [-w * length * length / 2] * (n - 1)
    diag = [Fraction(4)] * (n - 1)
    for k in range(1, n - 1):
        f = 1 / diag[k - 1]
        diag[k] -= f
        rhs[k] -= f * rhs[k - 1]
    inner = [Fraction(0)] * (n - 1)
    for k in reversed(range(n - 1)):
        inner[k] = (rhs[k] - (inner[k + 1] if k + 1 < n - 1 else 0)) / diag[k]
    m = [Fraction(0)] + inner + [Fraction(0)]
    half = w * length / 2
    return [(half + (m[k + 1] - m[k]) / length if k < n else Fraction(0))
            + (half - (m[k] - m[k - 1]) / length if k > 0 else Fraction(0)) for k in range(n + 1)]


def power_integral(k: int, lo: Fraction, hi: Fraction) -> Fraction:
    """Integral of t^k from lo to hi."""
    return (hi ** (k + 1) - lo ** (k + 1)) / (k + 1)


def exact_polynomial_reactions(supports: Sequence[Exact], x1: Exact, x2: Exact,
                               coeffs: Sequence[Exact]) -> list[Fraction]:
    """Exact vertical reactions of a beam on rigid vertical supports (EI = 1, no shear
    deformation) under the intensity sum c[k] x^k on [x1, x2].

    Unknowns: the reactions R[j], C1 and C2 of EI d(x) = load part + sum R[j] <x - a[j]>^3 / 6
    + C1 x + C2. Equations: sum of forces, sum of moments about x = 0, and d(a[s]) = 0.
    """
    a = [Fraction(s) for s in supports]
    lo, hi_end, c = Fraction(x1), Fraction(x2), [Fraction(v) for v in coeffs]

    def load_deflection(x: Fraction) -> Fraction:  # EI d(x) = integral of w(t) (x - t)^3 / 6 over [x1, min(x, x2)]
        if x <= lo:
            return Fraction(0)
        hi = min(x, hi_end)
        return sum((ck * math.comb(3, r) * x ** (3 - r) * (-1) ** r * power_integral(k + r, lo, hi)
                    for k, ck in enumerate(c) for r in range(4)), Fraction(0)) / 6

    n = len(a)
    zero = [Fraction(0), Fraction(0)]
    rows = [[Fraction(1)] * n + zero, a + zero]
    rhs = [-sum((ck * power_integral(k, lo, hi_end) for k, ck in enumerate(c)), Fraction(0)),
           -sum((ck * power_integral(k + 1, lo, hi_end) for k, ck in enumerate(c)), Fraction(0))]
    for s in a:
        rows.append([(s - aj) ** 3 / 6 if s > aj else Fraction(0) for aj in a] + [s, Fraction(1)])
        rhs.append(-load_deflection(s))
    for col in range(n + 2):  # Gauss-Jordan elimination, exact
        pivot = next(r for r in range(col, n + 2) if rows[r][col] != 0)
        rows[col], rows[pivot] = rows[pivot], rows[col]
        rhs[col], rhs[pivot] = rhs[pivot], rhs[col]
        for r in range(n + 2):
            if r != col and rows[r][col] != 0:
                f = rows[r][col] / rows[col][col]
                rows[r] = [u - f * v for u, v in zip(rows[r], rows[col])]
                rhs[r] -= f * rhs[col]
    return [rhs[j] / rows[j][j] for j in range(n)]


def relative_error(got: Sequence[float], exact: Sequence[Fraction]) -> float:
    """Worst reaction error relative to the largest exact reaction."""
    worst = max(abs(Fraction(g) - e) for g, e in zip(got, exact))
    return float(worst / max(abs(e) for e in exact))


def vertical_reactions(result: flexura.BeamResult) -> list[float]:
    return [ry for _, ry, _ in result.reactions().values()]


def continuous_beam_row(n: int, length: float = 6.0, w: float = -5e4, e: float = 2.1e11,
                        i: float = 8.36e-5) -> tuple[float, float]:
    """(reaction error, deflection drift at the supports) for n equal spans."""
    supports = [(0.0, INF, INF, 0.0)] + [(k * length, 0.0, INF, 0.0) for k in range(1, n + 1)]
    result = flexura.solve(n * length, e, i, 1.0, INF, supports, [("udl", [w, 0.0, n * length, 90.0])])
    exact = three_moment_reactions(n, -w, length)
    drift = max(abs(result.eval_d(s[0])) for s in supports)
    return relative_error(vertical_reactions(result), exact), drift / (5 * abs(w) * length ** 4 / (384 * e * i))


def polynomial_error(x1: float, x2: float, coeffs: list[float], span: float) -> float:
    supports = [0.0, span / 2, span]
    beam = [(supports[0], INF, INF, 0.0)] + [(s, 0.0, INF, 0.0) for s in supports[1:]]
    result = flexura.solve(span, 1.0, 1.0, 1.0, INF, beam, [("dist", [x1, x2, 90.0] + coeffs)])
    return relative_error(vertical_reactions(result), exact_polynomial_reactions(supports, x1, x2, coeffs))


def beyond_the_load(p: int, k: int, ell: float) -> float:
    """b1: (x/x2)^p on [l/2, 3l/2], beam ending k load lengths beyond the load."""
    x1, x2 = ell / 2, 1.5 * ell
    return polynomial_error(x1, x2, [0.0] * p + [SCALE / x2 ** p], x2 + k * ell)


def away_from_origin(p: int, k: int, ell: float) -> float:
    """b2: ((x - x1)/l)^p on [k l, (k+1) l], expanded about x = 0, at the right end."""
    x1, x2 = k * ell, (k + 1) * ell
    coeffs = [SCALE * math.comb(p, j) * (-x1) ** (p - j) / ell ** p for j in range(p + 1)]
    return polynomial_error(x1, x2, coeffs, x2)


def polynomial_table(title: str, cases: Sequence[Case]) -> None:
    print("\n" + title + "\n")
    print("| degree | " + " | ".join("k = %d" % k for k in DISTANCES) + " |")
    print("|---" * (len(DISTANCES) + 1) + "|")
    for p in DEGREES:
        cells = [max(case(p, k, ell) for case in cases for ell in LOAD_LENGTHS) for k in DISTANCES]
        print("| %d | " % p + " | ".join("%.0e" % c for c in cells) + " |")


def main() -> int:
    print("(a) Equal 6 m spans, 50 kN/m: worst reaction error and deflection at the supports\n")
    print("| spans | supports | reaction error | deflection at supports / 5wL⁴/384EI |")
    print("|---|---|---|---|")
    for n in SPANS:
        error, drift = continuous_beam_row(n)
        print("| %d | %d | %.0e | %.0e |" % (n, n + 1, error, drift))
    polynomial_table("(b) Polynomial load k load lengths from x = 0 or from the right end: the worse of b1 and b2",
                     [beyond_the_load, away_from_origin])
    polynomial_table("(b1) Written about a point near the load, k load lengths before the right end",
                     [beyond_the_load])
    polynomial_table("(b2) At the right end, written about x = 0, k load lengths away", [away_from_origin])
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
