"""The search for a diagram's extremes step by step in Python, each value read by
one call of the core: the oracle whose bits the core's search (SolvedBeam.extreme
and .peak) must give, samples, peak detection, bisection and ties alike."""
import math

from flexura_tools.extremes import SAMPLES, sample_positions, segments


def find_extreme(f, features, count):
    sampled = _sampled(f, features, count)
    (top, x_top), (bottom, x_bottom) = (_peak(f, features, sampled, sign, features[-1] - features[0])
                                        for sign in (1.0, -1.0))
    return top, x_top, bottom, x_bottom


def find_peak(f, features, sign, count, span):
    return _peak(f, features, _sampled(f, features, count), sign, span)


def _sampled(f, features, count):
    placed = [(a, b, *sample_positions(a, b, count)) for a, b in segments(features)]
    values = f([x for _, _, _, at in placed for x in at])
    return [(a, b, xs, values[k * (count + 1):(k + 1) * (count + 1)]) for k, (a, b, xs, _) in enumerate(placed)]


def _peak(f, features, sampled, sign, span):
    if not sampled:
        return f([features[0]])[0], features[0]
    scale = max(abs(v) for _, _, _, values in sampled for v in values)
    best = (-math.inf, features[0])
    for a, b, xs, values in sampled:
        for x, value in _Segment(f, a, b, sign, 1e-13 * span).peaks(xs, values, 1e-13 * scale):
            if sign * value > best[0] + 1e-12 * scale:
                best = (sign * value, x)
    return sign * best[0], best[1]


class _Segment:
    def __init__(self, f, a, b, sign, tolerance):
        self.f, self.a, self.b, self.sign, self.tolerance = f, a, b, sign, tolerance
        self.step = (b - a) / (4 * SAMPLES) or math.inf

    def peaks(self, xs, values, noise):
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

    def refine(self, lo, hi):
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

    def slope(self, x):
        h = min(self.step, (x - self.a) / 2, (self.b - x) / 2)
        if h <= 0.0:
            return 0.0
        right, left, half_right, half_left = self.f([x + h, x - h, x + h / 2, x - h / 2])
        wide = (right - left) / (2 * h)
        narrow = (half_right - half_left) / h
        return self.sign * (4 * narrow - wide) / 3

    def end_slope(self, x, inward):
        h = inward * self.step
        start, near, far = self.f([x if inward > 0 else math.nextafter(x, -math.inf), x + h, x + 2 * h])
        return self.sign * (-3 * start + 4 * near - far) / (2 * self.step)
