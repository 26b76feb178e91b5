"""Largest and smallest values of a diagram, found by the core on the exact queries.

Between two features (the ends, the supports, the ends of the loads) every
diagram is one smooth polynomial. Each such segment is sampled; around every
sample that is a local peak the position is refined by bisection on the sign
of the slope, so that a peak between samples is found to about 1e-13 of the
span, well within 1e-9. The slope is a central difference extrapolated to zero
step (exact for polynomials up to degree 4, the deflection under a uniform
load), taken only inside the segment, so a jump never enters it. The whole
search runs in one call of the core (SolvedBeam.extreme and .peak): the README's
three-span beam's four quantities in 0.043 ms against 0.63 step by step in Python.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Sequence
from dataclasses import dataclass

from ._engine import SolvedBeam
from .arrays import Quantity
from .errors import ModelError, Problem

# A diagram's exact values at many positions at once (the value just right of a
# jump at each), in their order.
Read = Callable[[list[float]], list[float]]

# Samples per segment, before refinement; more for loads of higher degree. The
# core's slope steps are a segment's width over 4 * 16.
SAMPLES = 16
# The most features searched: each query costs a term per load, so the search grows
# with the square of the loads (measured, four quantities: 0.07 s at 1,000 point loads,
# 0.4 s at 2,000, 1.4 s at 4,000); beyond this it is refused rather than left running.
MAX_FEATURES = 2_000


@dataclass(frozen=True, slots=True)
class Extreme:
    """The largest and the smallest value of one quantity, with their positions."""

    max: float
    x_max: float
    min: float
    x_min: float


def samples_for(degree: int) -> int:
    """Samples per segment for distributed loads of that degree: a diagram of degree
    p + 4 has at most p + 3 peaks in a segment, each kept apart by a few samples."""
    return SAMPLES + 4 * max(degree, 0)


def segments(features: Sequence[float]) -> list[tuple[float, float]]:
    return [(a, b) for a, b in zip(features, features[1:]) if a < b]


def sample_positions(a: float, b: float, count: int) -> tuple[list[float], list[float]]:
    """The positions of `count` + 1 samples over [a, b], and where each is read: at b
    just left of it, since the value at b is the one right of a jump there."""
    xs = [a + (b - a) * j / count for j in range(count)] + [b]
    return xs, xs[:-1] + [math.nextafter(b, -math.inf)]


def find_extreme(solved: SolvedBeam, quantity: Quantity, features: Sequence[float],
                 count: int = SAMPLES) -> Extreme:
    """Max and min of the quantity over the features' segments. Of values equal but
    for rounding (1e-12 of the largest), the leftmost: the first of two equal spans."""
    if len(features) > MAX_FEATURES:
        raise ModelError([Problem("loads", f"the loads and supports make {len(features)} positions where the "
                                           f"diagrams change, more than the {MAX_FEATURES:,} that the search for "
                                           "extremes takes (its cost grows with their square); read the diagrams "
                                           "with diagram(n) or the exact queries of raw instead")])
    return Extreme(*solved.extreme(quantity, features, count))


def find_peak(solved: SolvedBeam, quantity: Quantity, features: Sequence[float], sign: float, count: int,
              span: float) -> tuple[float, float]:
    """The max (sign 1) or the min (sign -1) of the quantity over the features'
    segments and its position, as find_extreme() finds them, refined to 1e-13 of `span`."""
    return solved.peak(quantity, features, sign, count, span)
