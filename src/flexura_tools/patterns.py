"""Pattern loading: a variable load placed span by span, so that each span is
loaded where that is worse and unloaded where that is worse.

The spans are the stretches between vertical restraints, with an overhang
beyond an end support counting as a span of its own. A pattern loads some of
them with the `loaded` loads and the others with the `unloaded` ones (for
instance 1.35 G + 1.5 Q against 1.0 G): each load is cut at the spans' ends,
a trapezoidal load keeping its line, a polynomial load its coefficients, and
a point load or moment on a support going with the span to its right.

By default the patterns are those that govern (see governing()): found from
one solve per span, they give every value all 2^n patterns would give, each
from one solve of the pattern's own loads. With at most three spans carrying
loads, every pattern of them is solved instead.
"""

from __future__ import annotations

import bisect
import operator
from collections.abc import Callable, Iterator, Sequence
from itertools import chain, combinations

from ._engine import SolvedBeam
from .checks import Checker
from .envelopes import Envelope, LoadMembers, build, check_reading
from .errors import ModelError
from .extremes import Read, sample_positions, segments
from .loads import Load, Settlement, degree_of
from .model import Beam, checked, solver_of
from .result import QUANTITIES, Quantity, reader

# All 2^n patterns are offered up to this many spans (4,096 beams).
MAX_EVERY = 12
# Up to this many spans with loads, every pattern of them is solved by default (8
# beams): finding those that govern costs about three patterns' solves and reads
# (the pattern benchmark, 3 spans: 8.24M instructions to find and solve 7, all 8
# patterns 7.24M; on 4 spans the search wins, 8.47M for 8 against 9.73M for 16).
FEW_SPANS = 3


def spans(beam: Beam) -> list[tuple[float, float]]:
    """The spans of a beam, left to right: between its ends and its vertical restraints."""
    return checked(beam).spans()


def governing(beam: Beam, parts: Sequence[tuple[Sequence[Load], Sequence[Load]]],
              quantities: Sequence[Quantity] = QUANTITIES) -> list[tuple[int, ...]]:
    """Every pattern (the loaded spans, numbered from 0) that gives the largest or the
    smallest value of one of the quantities somewhere on the beam, or of a component
    of a support's reaction; in the order of every(). `parts` holds per span its parts
    of the loaded and of the unloaded loads.

    A pattern's effect is the sum over the spans of the effect of each span's loaded or
    unloaded parts, so at any section the largest value loads exactly the spans where
    the difference of the two (a span's `loaded` parts less its `unloaded` ones) is
    positive, the smallest those where it is negative. Each span's difference is solved
    once (one solve of its loaded parts and its unloaded ones reversed); the signs of the
    differences change only where one of them crosses zero, so every pattern that
    governs somewhere is read between consecutive crossings. Where a difference is
    zero but for rounding, loading that span or not gives the same value: a pattern
    found elsewhere serves, so a span without parts adds no pattern."""
    solver = solver_of(beam, "rotation" in quantities)
    effects: dict[int, SolvedBeam] = {}
    for k, (on, off) in enumerate(parts):
        if on or off:
            raw = beam.raw_loads(on) + beam.raw_loads([load.scaled(-1.0) for load in off])
            effects[k] = solver.solve(raw, name=f"span {k + 1}'s loaded part less its unloaded part: ")
    signs: set[tuple[int, ...]] = set()
    rows = [solved.reactions() for solved in effects.values()]
    for c in range(3 if rows else 0):
        columns = [[row[j][c] for row in rows] for j in range(len(rows[0]))]
        zero = ZERO * max(abs(v) for column in columns for v in column)
        signs.update(tuple(_sign(v, zero) for v in column) for column in columns)
    everything = [load for on, off in parts for load in (*on, *off)]
    # Every feature of every difference: the union of what the core reports for each.
    features = sorted(set[float]().union(*(solved.features() for solved in effects.values())))
    degree = degree_of(everything)
    axial = any(load.axial() for load in everything)
    for q in dict.fromkeys(quantities):
        if effects and (q != "nf" or axial):
            count = 4 * (degree + ABOVE_LOAD[q])
            signs.update(_Scan([reader(solved, q) for solved in effects.values()], features, count).signs())
    return sorted(_patterns(signs, list(effects)) or {()}, key=lambda pattern: (len(pattern), pattern))


def _patterns(signs: set[tuple[int, ...]], spans: list[int]) -> set[tuple[int, ...]]:
    """The patterns of the largest and the smallest value for each set of signs of the
    spans' differences. A span whose difference is zero may be loaded or not: a pattern
    found for other signs serves if it agrees on the rest, else the span is unloaded."""
    found: set[tuple[int, ...]] = set()
    for vector in sorted(signs, key=lambda vector: (0 in vector, vector)):  # those without a zero first
        for sign in (1, -1):
            loaded = {k for k, s in zip(spans, vector) if s == sign}
            unloaded = {k for k, s in zip(spans, vector) if s == -sign}
            if 0 not in vector or not any(loaded <= set(p) and not unloaded & set(p) for p in found):
                found.add(tuple(sorted(loaded)))
    return found


# How far each diagram's degree lies above that of the distributed loads: between two
# features a difference is a polynomial of that degree, crossing zero at most as many
# times, and is sampled four times per degree.
ABOVE_LOAD: dict[Quantity, int] = {"nf": 1, "sf": 1, "bm": 2, "d": 4, "rotation": 3}
# A difference within this share of the largest of its kind (over the spans and the beam)
# counts as zero. Where one is zero (a support's deflection, the moment at a free end)
# rounding leaves up to some 1e-12 of the largest on long beams (7e-12 measured: the
# deflection at a support of seven spans).
ZERO = 1e-10


def _sign(value: float, zero: float) -> int:
    return (value > zero) - (value < -zero)


class _Scan:
    """The signs of the spans' differences of one quantity along the beam. Each is
    sampled between consecutive features, where it is one polynomial; where more than
    one crosses zero between two samples, the crossings are placed by regula falsi
    (their order gives the signs between them), and where one could cross zero and back
    between two samples, it is searched there."""

    def __init__(self, reads: Sequence[Read], features: Sequence[float], count: int) -> None:
        # Each difference at many positions at once (the samples), and at one (the searches).
        self.read: list[Callable[[float], float]] = [_one(read) for read in reads]
        self.sampled = [_sample(reads, a, b, count) for a, b in segments(features)]
        self.zero = ZERO * max((max(map(abs, row)) for _, rows in self.sampled for row in rows), default=0.0)

    def signs(self) -> set[tuple[int, ...]]:
        """The signs of the differences on every stretch between crossings, each once."""
        found: set[tuple[int, ...]] = set()
        for xs, rows in self.sampled:
            signs = [_signs(row, self.zero) for row in rows]
            columns = list(zip(*signs))
            for i, (left, right) in enumerate(zip(columns, columns[1:])):
                if left == right:  # most neighbouring samples: nothing crosses between them
                    found.add(left)
                else:
                    found.update(self._between(i, xs, rows, left, right))
            for k, row in enumerate(rows):
                found.update(self._dips(k, xs, row, signs[k]))
        return found

    def _between(self, i: int, xs: list[float], rows: list[list[float]], left: tuple[int, ...],
                 right: tuple[int, ...]) -> Iterator[tuple[int, ...]]:
        """Between samples i and i + 1: a difference that is zero at one of them has the
        other's sign. Where several cross zero, each crossing is found (regula falsi) and
        the signs are read between consecutive ones, within rounding of zero as zero (either
        way: crossings that differ by rounding, as those of spans whose effects share a
        fixed point, give no pattern of their own)."""
        crossing = [k for k, (l, r) in enumerate(zip(left, right)) if l * r < 0]
        yield tuple(l or r for l, r in zip(left, right))
        yield tuple(r or l for l, r in zip(left, right))
        if len(crossing) < 2:
            return
        inside = [l or r for l, r in zip(left, right)]
        places = sorted(self._crossing(k, xs[i], xs[i + 1], rows[k][i], rows[k][i + 1]) for k in crossing)
        for x in map(lambda p, q: 0.5 * (p + q), places, places[1:]):
            for k in crossing:
                inside[k] = _sign(self.read[k](x), self.zero)
            yield tuple(inside)

    def _crossing(self, k: int, a: float, b: float, fa: float, fb: float) -> float:
        """A place within rounding of zero of difference k, which has the values fa at a
        and fb at b of opposite signs: regula falsi, the Illinois way (the end that stays
        has its value halved), a few steps for these polynomials."""
        f, zero, stays = self.read[k], self.zero, 0
        x = a
        for _ in range(100):
            x = (a * fb - b * fa) / (fb - fa)
            if not a < x < b:
                x = 0.5 * (a + b)
                if not a < x < b:
                    break
            fx = f(x)
            if abs(fx) <= zero:
                break
            if (fx > 0) == (fb > 0):
                b, fb = x, fx
                fa, stays = (fa / 2, -1) if stays == -1 else (fa, -1)
            else:
                a, fa = x, fx
                fb, stays = (fb / 2, 1) if stays == 1 else (fb, 1)
        return x

    def _dips(self, k: int, xs: list[float], row: list[float], signs: list[int]) -> Iterator[tuple[int, ...]]:
        """Where difference k keeps its sign at two neighbouring samples but crosses zero
        and back between them: the signs there. Between two samples h apart a polynomial
        sags below its chord by at most t (1 - t) h^2 |f''| / 2 at the share t of the way;
        h^2 |f''| is bounded by four times the samples' largest second difference (which
        is h^2 f'' of a parabola), and only where that sag could reach zero is the
        difference searched."""
        steps = list(map(operator.sub, row[1:], row[:-1]))
        half = 2 * max(map(abs, map(operator.sub, steps[1:], steps[:-1])), default=0.0)
        # No chord sags by more than half / 4: a dip begins only next to a sample nearer
        # zero than that, and not zero itself (as at a support or a free end).
        reach = half / 4
        if reach <= self.zero:  # straight, but for rounding
            return
        near = [i for i, (v, s) in enumerate(zip(row, signs)) if s and s * v <= reach]
        f = self.read[k]
        for i in sorted({j for i in near for j in (i - 1, i) if 0 <= j < len(row) - 1}):
            s = signs[i]
            if signs[i + 1] != s:
                continue
            rise = s * (row[i + 1] - row[i])
            t = min(max((half - rise) / (2 * half), 0.0), 1.0)
            if s * row[i] + t * rise - t * (1 - t) * half < 0:
                x = _lowest(f, s, xs[i], xs[i + 1], self.zero)
                if _sign(f(x), self.zero) == -s:
                    yield tuple(_sign(g(x), self.zero) for g in self.read)


def _signs(row: list[float], zero: float) -> list[int]:
    """The sign of each value; within `zero` of zero, 0."""
    if min(row) > zero:  # most rows keep one sign over a segment
        return [1] * len(row)
    if max(row) < -zero:
        return [-1] * len(row)
    ordered = sorted(row)
    if ordered == row or ordered[::-1] == row:  # monotonic (linear between loads): cut where it crosses
        below, above = bisect.bisect_left(ordered, -zero), bisect.bisect_right(ordered, zero)
        signs = [-1] * below + [0] * (above - below) + [1] * (len(row) - above)
        return signs if ordered == row else signs[::-1]
    return [(v > zero) - (v < -zero) for v in row]


def _one(read: Read) -> Callable[[float], float]:
    """A many-position read asked at one position."""
    def value(x: float) -> float:
        return read([x])[0]
    return value


def _sample(read: Sequence[Read], a: float, b: float, count: int) -> tuple[list[float], list[list[float]]]:
    """Positions of `count` + 1 samples over [a, b] and each function's values there
    (at b the value just left of it, as extremes.sample_positions places them)."""
    xs, at = sample_positions(a, b, count)
    return xs, [f(at) for f in read]


def _lowest(f: Callable[[float], float], sign: int, a: float, b: float, zero: float) -> float:
    """Where sign * f is least inside [a, b] (one dip), or first found below -zero:
    golden-section search."""
    shrink = 0.6180339887498949
    c, d = b - shrink * (b - a), a + shrink * (b - a)
    fc, fd = sign * f(c), sign * f(d)
    for _ in range(60):
        if min(fc, fd) < -zero:
            break
        if fc < fd:
            b, d, fd = d, c, fc
            c = b - shrink * (b - a)
            fc = sign * f(c)
        else:
            a, c, fc = c, d, fd
            d = a + shrink * (b - a)
            fd = sign * f(d)
    return c if fc < fd else d


def every(count: int) -> list[tuple[int, ...]]:
    """All 2^count patterns, the unloaded one first, then by number of loaded spans."""
    return [p for size in range(count + 1) for p in combinations(range(count), size)]


def name(pattern: tuple[int, ...], count: int) -> str:
    if not pattern:
        return "no span loaded"
    if len(pattern) == count > 1:
        return "all spans"
    return ("span " if len(pattern) == 1 else "spans ") + ", ".join([str(k + 1) for k in pattern])


def pattern_beams(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load] = (), *,
                  all_patterns: bool = False) -> dict[str, Beam]:
    """The beam under each pattern, by name ("span 2", "spans 1, 3", "all spans",
    "no span loaded"): the patterns that give the largest or smallest value of some
    diagram somewhere on the beam or of some reaction (governing(): n solves find
    them), or with `all_patterns` every one of the 2^n. Either set gives the same
    envelope, extremes and reactions' ranges. The beam's own loads take no part;
    give them in `loaded` and `unloaded` as they should act."""
    patterns = _pattern_loads(beam, loaded, unloaded, all_patterns, QUANTITIES, Checker())
    return {title: beam.with_loads(loads, title) for title, loads in patterns.items()}


def pattern_envelope(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load] = (), *,
                     all_patterns: bool = False, n: int = 200, points: Sequence[float] = (),
                     quantities: Sequence[Quantity] = QUANTITIES, progress: bool = False) -> Envelope:
    """The envelope of the load patterns (see pattern_beams; by default those that
    govern `quantities` or a reaction); its members are named by pattern. Each pattern
    is solved from the checked beam with its own loads, as the pattern's Beam would be
    (the same bits), without building that Beam and its Result (8% of the pattern
    benchmark's instructions)."""
    c = Checker()
    check_reading(c, float(checked(beam).span), n, points, quantities)
    patterns = _pattern_loads(beam, loaded, unloaded, all_patterns, quantities, c)
    solver = solver_of(beam, "rotation" in quantities)
    solved = [solver.solve(beam.raw_loads(loads), name=f"{title}: ")
              for title, loads in patterns.items()]
    members = LoadMembers(beam, list(patterns), list(patterns.values()), solved)
    return build(members, n=n, points=points, quantities=quantities, progress=progress, checked=True)


def _pattern_loads(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load], all_patterns: bool,
                   quantities: Sequence[Quantity], c: Checker) -> dict[str, list[Load]]:
    """The loads of each pattern by name, after checking the beam, the loads and the
    arguments (each problem added to those `c` holds, all raised at once)."""
    checked(beam)
    c.problems += beam.load_problems(loaded, "loaded") + beam.load_problems(unloaded, "unloaded")
    for given, path in ((loaded, "loaded"), (unloaded, "unloaded")):
        for k, load in enumerate(given):
            if isinstance(load, Settlement):  # a support's, in no span: a pattern cannot switch it by span
                c.add(f"{path}[{k}]", "is a settlement, which belongs to a support, not to a span: give it "
                                      "as a load case of its own and combine or envelope the cases")
    stretches = beam.spans()
    if all_patterns and len(stretches) > MAX_EVERY:
        c.add("all_patterns", f"every pattern of {len(stretches)} spans would be {2 ** len(stretches)} beams; "
                              f"all patterns are offered up to {MAX_EVERY} spans (the default, the patterns "
                              "that govern, gives the same extremes)")
    if c.problems:
        raise ModelError(c.problems)
    span = float(beam.span)
    parts = [(_parts(loaded, a, b, span), _parts(unloaded, a, b, span)) for a, b in stretches]
    count = len(stretches)
    out: dict[str, list[Load]] = {}
    for pattern in _chosen(beam, parts, all_patterns, quantities):
        chosen = [off for _, off in parts]  # each span's list, joined: the pattern job 0.65% fewer instructions
        for k in pattern:
            chosen[k] = parts[k][0]
        out[name(pattern, count)] = list(chain.from_iterable(chosen))
    return out


def _chosen(beam: Beam, parts: list[tuple[list[Load], list[Load]]], all_patterns: bool,
            quantities: Sequence[Quantity]) -> list[tuple[int, ...]]:
    """The patterns asked for: every one, or those that govern, or (with few spans
    that have loads) every pattern of those spans."""
    if all_patterns:
        return every(len(parts))
    loaded = [k for k, (on, off) in enumerate(parts) if on or off]
    if len(loaded) <= FEW_SPANS:
        # map(), not a generator per pattern: the pattern job 0.2% fewer instructions
        return [tuple(map(loaded.__getitem__, pattern)) for pattern in every(len(loaded))]
    return governing(beam, parts, quantities)


def _parts(loads: Sequence[Load], a: float, b: float, span: float) -> list[Load]:
    """The loads' parts on the stretch [a, b]."""
    found: list[Load] = []
    for load in loads:  # a loop, not a generator in a list: the pattern job 0.9% fewer instructions
        part = load.part(a, b, span)
        if part is not None:
            found.append(part)
    return found
