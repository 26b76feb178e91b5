"""Largest and smallest values of a diagram, found on the exact queries.

Between two features (the ends, the supports, the ends of the loads) every
diagram is one smooth polynomial. Each such segment is sampled (every segment's
samples read in one call to the core); around every
sample that is a local peak the position is refined by bisection on the sign
of the slope, so that a peak between samples is found to about 1e-13 of the
span, well within 1e-9. The slope is a central difference extrapolated to zero
step (exact for polynomials up to degree 4, the deflection under a uniform
load), taken only inside the segment, so a jump never enters it.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Iterator, Sequence
from dataclasses import dataclass

from .errors import ModelError, Problem

# A diagram's exact values at many positions at once (the value just right of a
# jump at each), in their order.
Read = Callable[[list[float]], list[float]]

# Samples per segment, before refinement; more for loads of higher degree.
SAMPLES = 16
# The most features searched: each query costs a term per load, so the search grows
# with the square of the loads (measured: 0.5 s at 1,000 point loads, 1.7 s at 2,000,
# 8 s at 4,000); beyond this it is refused rather than left running.
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


def find_extreme(f: Read, features: Sequence[float], count: int = SAMPLES) -> Extreme:
    """Max and min of f over the features' segments. Of values equal but for rounding
    (1e-12 of the largest), the leftmost: the first of two equal spans."""
    if len(features) > MAX_FEATURES:
        raise ModelError([Problem("loads", f"the loads and supports make {len(features)} positions where the "
                                           f"diagrams change, more than the {MAX_FEATURES:,} that the search for "
                                           "extremes takes (its cost grows with their square); read the diagrams "
                                           "with diagram(n) or the exact queries of raw instead")])
    sampled = _sampled(f, features, count)
    (top, x_top), (bottom, x_bottom) = (_peak(f, features, sampled, sign, features[-1] - features[0])
                                        for sign in (1.0, -1.0))
    return Extreme(top, x_top, bottom, x_bottom)


def find_peak(f: Read, features: Sequence[float], sign: float, count: int, span: float) -> tuple[float, float]:
    """The max (sign 1) or the min (sign -1) of f over the features' segments and its
    position, as find_extreme() finds them, refined to 1e-13 of `span`."""
    return _peak(f, features, _sampled(f, features, count), sign, span)


Sampled = list[tuple[float, float, list[float], list[float]]]


def _sampled(f: Read, features: Sequence[float], count: int) -> Sampled:
    """Every segment's samples, read in one call."""
    placed = [(a, b, *sample_positions(a, b, count)) for a, b in segments(features)]
    values = f([x for _, _, _, at in placed for x in at])
    return [(a, b, xs, values[k * (count + 1):(k + 1) * (count + 1)]) for k, (a, b, xs, _) in enumerate(placed)]


def _peak(f: Read, features: Sequence[float], sampled: Sampled, sign: float, span: float) -> tuple[float, float]:
    if not sampled:
        return f([features[0]])[0], features[0]
    scale = max(abs(v) for _, _, _, values in sampled for v in values)
    tolerance = 1e-13 * span
    best = (-math.inf, features[0])
    for a, b, xs, values in sampled:
        segment = _Segment(f, a, b, sign, tolerance)
        for x, value in segment.peaks(xs, values, 1e-13 * scale):
            if sign * value > best[0] + 1e-12 * scale:
                best = (sign * value, x)
    return sign * best[0], best[1]


class _Segment:
    """Peaks of sign * f on one smooth segment [a, b]."""

    def __init__(self, f: Read, a: float, b: float, sign: float, tolerance: float) -> None:
        self.f, self.a, self.b, self.sign, self.tolerance = f, a, b, sign, tolerance
        # A segment narrower than the least double times 64 (a load at x = 5e-324) has
        # no step to difference over: its ends' samples are its values.
        self.step = (b - a) / (4 * SAMPLES) or math.inf

    def peaks(self, xs: list[float], values: list[float], noise: float) -> Iterator[tuple[float, float]]:
        """Every local peak among the samples, refined where the diagram may rise between samples;
        the refined position only where its value is not below the sample's."""
        s = self.sign
        last = len(xs) - 1
        for j in range(last + 1):
            here = s * values[j]
            left = s * values[j - 1] if j > 0 else -math.inf
            right = s * values[j + 1] if j < last else -math.inf
            if here < left or here < right:
                continue
            if j == 0:
                rising = self.end_slope(self.a, 1.0) * self.step > noise
            elif j == last:
                rising = self.end_slope(self.b, -1.0) * self.step > noise
            else:
                rising = here - min(left, right) > noise
            refined = self.refine(xs[max(j - 1, 0)], xs[min(j + 1, last)]) if rising else (xs[j], values[j])
            yield refined if s * refined[1] >= here else (xs[j], values[j])

    def refine(self, lo: float, hi: float) -> tuple[float, float]:
        """Bisection for the zero of the slope between lo (rising) and hi (falling)."""
        for _ in range(200):
            mid = 0.5 * (lo + hi)
            if hi - lo <= self.tolerance or not lo < mid < hi:
                break
            if self.slope(mid) > 0.0:
                lo = mid
            else:
                hi = mid
        x = 0.5 * (lo + hi)
        return x, self.f([x])[0]

    def slope(self, x: float) -> float:
        """sign * f'(x): central differences at steps h and h/2, extrapolated (Richardson)."""
        h = min(self.step, (x - self.a) / 2, (self.b - x) / 2)
        if h <= 0.0:
            return 0.0
        right, left, half_right, half_left = self.f([x + h, x - h, x + h / 2, x - h / 2])
        wide = (right - left) / (2 * h)
        narrow = (half_right - half_left) / h
        return self.sign * (4 * narrow - wide) / 3

    def end_slope(self, x: float, inward: float) -> float:
        """sign * the rise of f going into the segment from its end x (one-sided, second order)."""
        h = inward * self.step
        start, near, far = self.f([x if inward > 0 else math.nextafter(x, -math.inf), x + h, x + 2 * h])
        return self.sign * (-3 * start + 4 * near - far) / (2 * self.step)
