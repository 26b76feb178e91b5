"""Lane loads: a uniform load per length that accompanies a vehicle, on the whole
beam (less an optional clear zone around the vehicle) or on exactly the parts of
the beam where it is adverse to the effect sought.

Where it is adverse is told by the influence line of each effect at each section.
For a load travelling along a straight beam the line is a polynomial of degree at
most three in the load's position between the beam's own features (the ends, the
supports, section changes, hinges) and the section itself: four exact ordinates
give each piece, its zeros are found on the polynomial to rounding, and the lane's
effect on the parts of one sign is the exact area of the polynomial there, not a
sum over samples.

The ordinates come from few solves. A unit load at four nodes of each piece between
the beam's features, each solve read at every section at once, gives the line of
every section outside that piece. For a section inside the piece, the moment and
shear on either side of the load are linear and constant along the beam (nothing
else acts between them), so the same four solves give the polynomial on either
side of the section: M(s) = M(xi+) + V(xi+) (s - xi) for the load left of s, and
with the values just left of the load for the load right of it. The deflection's
line at a section inside a piece is, by reciprocity, the deflected shape under a
unit load at the section: one solve each. A reaction's line is the jump of the
shear (and of the moment for a restrained rotation) at its support.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass, field, replace
from functools import cache, cached_property
from typing import TYPE_CHECKING, Any, Literal, cast

from ._engine import SolvedBeam
from .checks import Checker
from .envelopes import Band, Envelope, EnvelopeExtreme, Members, Range, ReactionRange
from .errors import ModelError, Problem, show
from .pointwise import EnvelopeValues, envelope_at
from .result import Quantity
from .solver import Solver

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from .model import Result

Which = Literal["max", "min"]
Placement = Literal["whole", "adverse"]
PLACEMENTS: tuple[Placement, ...] = ("whole", "adverse")
LaneQuantity = Literal["sf", "bm", "d"]
# The normal force takes no share of a vertical lane.
LANE_QUANTITIES: tuple[LaneQuantity, ...] = ("sf", "bm", "d")
# The Chebyshev nodes of [-1, 1] for a cubic: well spread, none at an end (where the
# section or a support may stand and a line may jump).
_NODES = tuple(math.cos((2 * j + 1) * math.pi / 8) for j in range(4))
# Halvings of a root's bracket in [-1, 1]: 2^-60 is below a double's resolution there.
_HALVINGS = 60


@dataclass(frozen=True, slots=True, kw_only=True)
class Lane:
    """A uniform lane load of `w` per length (positive: acting downwards).

    placement "adverse": at each section and for each effect, on exactly the parts of
    the beam where that effect's influence line has the sign sought (the largest value
    takes the parts where the line is positive, the smallest where it is negative);
    "whole": on the whole beam in every position of the vehicle. `clearances`
    (behind, ahead): the lane is removed from `behind` behind the vehicle's rear axle
    to `ahead` in front of its front axle (the wheelbase always clear) in each
    position; None leaves the lane under the vehicle. With "adverse", each section's
    value is then the worst over the positions of the vehicle's value plus the lane on
    the adverse parts outside that position's clear zone."""

    w: float
    placement: Placement = "adverse"
    clearances: tuple[float, float] | None = None

    def check(self, c: Checker, path: str = "lane") -> None:
        """Reports every problem of the lane's fields to `c`, under `path`."""
        c.finite(self.w, f"{path}.w")
        if self.placement not in PLACEMENTS:
            c.add(f"{path}.placement", f"must be 'whole' or 'adverse', got {show(self.placement)}")
        given = cast(object, self.clearances)  # as given: the checks do not trust the types
        if given is None:
            return
        if not (isinstance(given, tuple) and len(cast("tuple[object, ...]", given)) == 2):
            c.add(f"{path}.clearances", f"must be (behind, ahead), two distances, got {show(self.clearances)}")
            return
        pair = cast("tuple[object, object]", given)
        for k, (name, value) in enumerate(zip(("behind", "ahead"), pair)):
            distance = c.finite(value, f"{path}.clearances[{k}]")
            if distance is not None and distance < 0:
                c.add(f"{path}.clearances[{k}]", f"{name} must be 0 or more, got {show(value)}")


@dataclass(frozen=True, slots=True)
class Section:
    """Where an influence line is read: a section's position and where its value is
    read (just left of the position for the left side of a jump)."""

    x: float
    read: float


@dataclass(frozen=True)
class Lines:
    """Influence lines of one quantity at many sections, each as polynomial pieces:
    per piece its section's index, its ends a < b along the beam and its ordinates at
    the Chebyshev nodes of [a, b]."""

    section: NDArray[np.intp]
    a: NDArray[np.float64]
    b: NDArray[np.float64]
    ordinates: NDArray[np.float64]  # (pieces, 4)


@dataclass(frozen=True)
class Areas:
    """Per section, the area of its influence line where positive and where negative,
    and per piece the stretches of each sign (their ends along the beam)."""

    positive: NDArray[np.float64]
    negative: NDArray[np.float64]
    lines: Lines
    cuts: NDArray[np.float64]  # (pieces, 5): a, the zeros in order (NaN where none), b
    signs: NDArray[np.float64]  # (pieces, 4): the sign between consecutive cuts
    # parts() found so far, by section and sign: a code model's search asks for each many times.
    _parts: dict[tuple[int, float], list[tuple[float, float]]] = field(
        default_factory=dict[tuple[int, float], list[tuple[float, float]]], repr=False, compare=False)

    def parts(self, section: int, sign: float) -> list[tuple[float, float]]:
        """The stretches of the beam where section's line has `sign`, merged, left to right."""
        known = self._parts.get((section, sign))
        if known is None:
            known = self._parts[(section, sign)] = self._find_parts(section, sign)
        return list(known)

    def _find_parts(self, section: int, sign: float) -> list[tuple[float, float]]:
        import numpy as np
        out: list[tuple[float, float]] = []
        # A zero within rounding of a piece's end (a line vanishing at a support) bounds
        # no part: stretches narrower than this share of the beam are left out.
        sliver = 1e-12 * float(self.lines.b.max() - self.lines.a.min())
        for piece in np.flatnonzero(self.lines.section == section):
            a, b = float(self.lines.a[piece]), float(self.lines.b[piece])
            cuts = [a if c - a <= sliver else b if b - c <= sliver else c
                    for c in map(float, self.cuts[piece]) if not math.isnan(c)]
            signs = [float(s) for s in self.signs[piece]]
            for (lo, hi), s in zip(zip(cuts, cuts[1:]), signs):
                if s == sign and hi - lo > sliver:
                    if out and lo - out[-1][1] <= sliver:
                        out[-1] = (out[-1][0], hi)
                    else:
                        out.append((lo, hi))
        return out

    def over(self, section: int, stretches: Sequence[tuple[float, float]]) -> float:
        """The area of section's line over the stretches (the lane's effect per unit w)."""
        import numpy as np
        total = 0.0
        for piece in np.flatnonzero(self.lines.section == section):
            a, b = float(self.lines.a[piece]), float(self.lines.b[piece])
            c = _coefficients(self.lines.ordinates[piece:piece + 1])[0]
            for lo, hi in stretches:
                lo, hi = max(lo, a), min(hi, b)
                if hi > lo:
                    total += _integral(c, a, b, lo, hi)
        return total

    def upto(self, x: NDArray[np.float64], sign: float) -> NDArray[np.float64]:
        """Per section (rows) the area of its line from the start of the beam to each of
        x (columns), over the parts where it has `sign` (0: all of it)."""
        positive, negative = self.upto_both(x)
        return positive if sign > 0 else negative if sign < 0 else positive + negative

    def upto_both(self, x: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """upto() for both signs at once: each x found among each section's stretches of
        one sign, the areas of the stretches before it summed once, and the cubic's
        exact area from the stretch's start to x added."""
        import numpy as np
        table = self._stretches
        sections, width = int(table.lo.shape[0]), int(table.lo.shape[1])
        part = np.clip(x, table.start, table.end)[None, :]
        # Each position's stretch per section: a count of the stretches starting at or
        # before it, column by column (a (sections, x, stretches) array took twice the time).
        j: NDArray[np.int64] = np.zeros((sections, len(x)), dtype=np.int64)
        for m in range(1, width):
            j += table.lo[:, m:m + 1] <= part
        return _upto_at(table, j + (np.arange(sections) * width)[:, None], part)

    def upto_pairs(self, section: NDArray[np.intp], x: NDArray[np.float64]
                   ) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """upto_both() for (section, x) pairs, the same arithmetic element by element."""
        import numpy as np
        table = self._stretches
        width = int(table.lo.shape[1])
        part = np.clip(x, table.start, table.end)
        # As upto_both counts, from each stretch's column of starts (800,000 pairs: 0.03 s, against
        # 0.05 s indexing the table by (section, stretch) and 0.09 s gathering each row of starts).
        starts = np.ascontiguousarray(table.lo.T)
        j: NDArray[np.int64] = np.zeros(len(x), dtype=np.int64)
        for m in range(1, width):
            j += starts[m].take(section) <= part
        return _upto_at(table, j + section * width, part)

    @cached_property
    def _stretches(self) -> _Stretches:
        return _stretches_of(self)

    def rows(self, keep: NDArray[np.intp]) -> Areas:
        """These areas at some of their sections (`keep`: their indices, in order), each
        section's pieces, areas and stretches taken as worked out here: the same bits."""
        import numpy as np
        renumbered = np.full(len(self.positive), -1)
        renumbered[keep] = np.arange(len(keep))
        pieces = np.flatnonzero(renumbered[self.lines.section] >= 0)
        lines = Lines(renumbered[self.lines.section[pieces]], self.lines.a[pieces], self.lines.b[pieces],
                      self.lines.ordinates[pieces])
        out = Areas(self.positive[keep], self.negative[keep], lines, self.cuts[pieces], self.signs[pieces])
        table = self._stretches
        out.__dict__["_stretches"] = replace(table, **{name: getattr(table, name)[keep] for name in (
            "lo", "hi", "mid", "half", "c", "at_lo", "sign", "before_pos", "before_neg")})
        return out


@dataclass(frozen=True)
class _Stretches:
    """Each section's stretches of one sign, left to right (rows padded at +inf): their
    ends, their cubic (coefficients in u over its piece, the piece's middle and half
    length), the primitive at the stretch's start, and the positive and negative area
    of the section's stretches before each."""

    lo: NDArray[np.float64]
    hi: NDArray[np.float64]
    mid: NDArray[np.float64]
    half: NDArray[np.float64]
    c: NDArray[np.float64]  # (sections, stretches, 4)
    at_lo: NDArray[np.float64]
    sign: NDArray[np.float64]
    before_pos: NDArray[np.float64]
    before_neg: NDArray[np.float64]
    start: float
    end: float


def _upto_at(table: _Stretches, flat: NDArray[np.int64], part: NDArray[np.float64]
             ) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """The positive and negative areas up to `part`, each in its stretch `flat` (an
    index into the table's rows of stretches): those before it and the cubic's exact
    area from the stretch's start."""
    import numpy as np
    t: NDArray[np.float64] = np.minimum(part, table.hi.take(flat))
    half: NDArray[np.float64] = table.half.take(flat)
    u: NDArray[np.float64] = (t - table.mid.take(flat)) / half
    c = table.c.reshape(-1, 4)
    grown: NDArray[np.float64] = half * (u * (c[:, 0].take(flat) + u * (c[:, 1].take(flat) / 2 + u * (
        c[:, 2].take(flat) / 3 + u * c[:, 3].take(flat) / 4))) - table.at_lo.take(flat))
    sign: NDArray[np.float64] = table.sign.take(flat)
    return (table.before_pos.take(flat) + np.where(sign > 0, grown, 0.0),
            table.before_neg.take(flat) + np.where(sign < 0, grown, 0.0))


def _stretches_of(found: Areas) -> _Stretches:
    import numpy as np
    lines = found.lines
    coefficients = _coefficients(lines.ordinates)
    lo, hi = found.cuts[:, :-1], found.cuts[:, 1:]
    valid = ~np.isnan(lo) & ~np.isnan(hi) & (hi > lo)
    piece = np.broadcast_to(np.arange(len(lo))[:, None], lo.shape)[valid]
    lo, hi, sign = lo[valid], hi[valid], found.signs[valid]
    section = lines.section[piece]
    order = np.lexsort((lo, section))
    lo, hi, sign, section, piece = lo[order], hi[order], sign[order], section[order], piece[order]
    mid, half = ((lines.a + lines.b) / 2)[piece], ((lines.b - lines.a) / 2)[piece]
    c = coefficients[piece]

    def primitive(x: NDArray[np.float64]) -> NDArray[np.float64]:
        u = (x - mid) / half
        return np.asarray(u * (c[:, 0] + u * (c[:, 1] / 2 + u * (c[:, 2] / 3 + u * c[:, 3] / 4))))
    at_lo = primitive(lo)
    area = half * (primitive(hi) - at_lo)
    sections = int(lines.section.max()) + 1 if len(lines.section) else 0
    counts = np.bincount(section, minlength=sections)
    width = max(int(counts.max()) if len(counts) else 1, 1)
    first = np.concatenate([[0], np.cumsum(counts)[:-1]])
    rank = np.arange(len(lo)) - first[section]

    def padded(values: NDArray[np.float64], fill: float) -> NDArray[np.float64]:
        out = np.full((sections, width) + values.shape[1:], fill)
        out[section, rank] = values
        return out

    def before(kept: NDArray[np.float64]) -> NDArray[np.float64]:
        running = np.cumsum(kept) - kept  # the kept areas before each stretch, from the first section's
        return padded(running - running[first[section]], 0.0)
    return _Stretches(padded(lo, math.inf), padded(hi, 0.0), padded(mid, 0.0), padded(half, 1.0), padded(c, 0.0),
                      padded(at_lo, 0.0), padded(sign, 0.0), before(np.where(sign > 0, area, 0.0)),
                      before(np.where(sign < 0, area, 0.0)), float(lines.a.min()), float(lines.b.max()))


@cache  # the same matrix every time: inverted once
def _vandermonde_inverse() -> NDArray[np.float64]:
    import numpy as np
    nodes = np.array(_NODES)
    return np.linalg.inv(np.vander(nodes, 4, increasing=True))


def _coefficients(ordinates: NDArray[np.float64]) -> NDArray[np.float64]:
    """Each piece's cubic c0 + c1 u + c2 u^2 + c3 u^3 in u in [-1, 1] from its nodes' ordinates."""
    return ordinates @ _vandermonde_inverse().T


def _integral(c: NDArray[np.float64], a: float, b: float, lo: float, hi: float) -> float:
    """The area of the cubic c (on [a, b], in u) from lo to hi along the beam."""
    half, mid = (b - a) / 2, (a + b) / 2

    def primitive(x: float) -> float:
        u = (x - mid) / half
        return float(u * (c[0] + u * (c[1] / 2 + u * (c[2] / 3 + u * c[3] / 4))))
    return half * (primitive(hi) - primitive(lo))


def areas(lines: Lines, sections: int) -> Areas:
    """The positive and negative areas of every section's line, each piece split at its
    zeros: between the zeros of the cubic's derivative it is monotone, so each sign
    change there brackets one zero, halved down to rounding."""
    import numpy as np
    c = _coefficients(lines.ordinates)
    count = len(c)
    # The derivative's zeros in (-1, 1): 3 c3 u^2 + 2 c2 u + c1, solved stably.
    qa, qb, qc = 3 * c[:, 3], 2 * c[:, 2], c[:, 1]
    with np.errstate(divide="ignore", invalid="ignore"):
        disc = qb * qb - 4 * qa * qc
        root = np.sqrt(np.where(disc > 0, disc, np.nan))
        big = -(qb + np.copysign(root, qb)) / 2
        r1, r2 = big / qa, qc / big
        linear = -qc / qb
    r1 = np.where(qa == 0, linear, r1)
    r2 = np.where(qa == 0, np.nan, r2)
    turns = np.sort(np.stack([r1, r2], axis=1), axis=1)
    turns = np.where((turns > -1) & (turns < 1), turns, np.nan)
    ends = np.concatenate([np.full((count, 1), -1.0), turns, np.full((count, 1), 1.0)], axis=1)
    ends = np.sort(ends, axis=1)  # NaN last
    zeros = np.full((count, 3), np.nan)
    for k in range(3):
        lo, hi = ends[:, k], ends[:, k + 1]
        flo, fhi = _value(c, lo), _value(c, hi)
        changes = (flo * fhi < 0) & ~np.isnan(hi)
        lo, hi = np.where(changes, lo, 0.0), np.where(changes, hi, 0.0)
        rising = _value(c, hi) > 0
        for _ in range(_HALVINGS):
            mid = (lo + hi) / 2
            up = (_value(c, mid) > 0) == rising
            hi, lo = np.where(up, mid, hi), np.where(up, lo, mid)
        zeros[:, k] = np.where(changes, (lo + hi) / 2, np.nan)
    u = np.sort(np.concatenate([np.full((count, 1), -1.0), zeros, np.full((count, 1), 1.0)], axis=1), axis=1)
    # NaN sort last: move the end 1.0 before them.
    u = np.where(np.isnan(u), np.nan, u)
    half, mid = (lines.b - lines.a) / 2, (lines.a + lines.b) / 2
    prim = u * (c[:, :1] + u * (c[:, 1:2] / 2 + u * (c[:, 2:3] / 3 + u * c[:, 3:4] / 4)))
    widths = np.diff(u, axis=1)
    parts = np.diff(prim, axis=1) * half[:, None]
    centre = _value_rows(c, (u[:, :-1] + u[:, 1:]) / 2)
    signs = np.where(np.isnan(widths), 0.0, np.sign(centre))
    parts = np.where(np.isnan(parts), 0.0, parts)
    positive = np.bincount(lines.section, weights=np.where(signs > 0, parts, 0.0).sum(axis=1),
                           minlength=sections).astype(np.float64)
    negative = np.bincount(lines.section, weights=np.where(signs < 0, parts, 0.0).sum(axis=1),
                           minlength=sections).astype(np.float64)
    cuts = np.where(np.isnan(u), np.nan, mid[:, None] + half[:, None] * u)
    cuts[:, 0] = lines.a
    last = np.sum(~np.isnan(u), axis=1) - 1
    cuts[np.arange(count), last] = lines.b
    return Areas(positive, negative, lines, cuts, signs)


def _value(c: NDArray[np.float64], u: NDArray[np.float64]) -> NDArray[np.float64]:
    return c[:, 0] + u * (c[:, 1] + u * (c[:, 2] + u * c[:, 3]))


def _value_rows(c: NDArray[np.float64], u: NDArray[np.float64]) -> NDArray[np.float64]:
    return c[:, :1] + u * (c[:, 1:2] + u * (c[:, 2:3] + u * c[:, 3:4]))


class Surface:
    """The influence lines of a beam (without its loads) at many sections, from the
    solves described in the module's docstring."""

    def __init__(self, solver: Solver, scale_name: str = "") -> None:
        self.solver = solver
        self.span = solver.span
        self.features: list[float] = solver.solve([], name=scale_name).features()
        self.pieces = list(zip(self.features, self.features[1:]))
        self.nodes = [[(a + b) / 2 + (b - a) / 2 * u for u in _NODES] for a, b in self.pieces]
        self.solved = [[self._unit(x) for x in nodes] for nodes in self.nodes]

    def _unit(self, x: float) -> SolvedBeam:
        return self.solver.solve([("point", [-1.0, x, 90.0])], name=f"a unit load at x = {x!r}: ")

    def _piece_of(self, x: float) -> int:
        """The piece holding x strictly inside, or -1 when x is a feature."""
        import bisect
        k = bisect.bisect_left(self.features, x)
        if k < len(self.features) and self.features[k] == x:
            return -1
        return k - 1

    def lines(self, q: LaneQuantity, sections: Sequence[Section]) -> Lines:
        """The lines of q at the sections, piece by piece."""
        import numpy as np
        reads = [s.read for s in sections]
        inside = [self._piece_of(s.x) for s in sections]
        section_ids: list[int] = []
        a_list: list[float] = []
        b_list: list[float] = []
        rows: list[list[float]] = []
        for p, ((a, b), nodes, solves) in enumerate(zip(self.pieces, self.nodes, self.solved)):
            # Each node's solve read at every section: the line of sections outside the piece.
            direct = [solve.values(q, reads) for solve in solves]
            right: list[tuple[float, float]] = []
            left: list[tuple[float, float]] = []
            if q != "d":
                right = [(solve.values("bm", x), solve.values("sf", x)) for solve, x in zip(solves, nodes)]
                left = [(solve.values("bm", x, "left"), solve.values("sf", x, "left")) for solve, x in zip(solves, nodes)]
            for i, s in enumerate(sections):
                if inside[i] != p:
                    section_ids.append(i)
                    a_list.append(a)
                    b_list.append(b)
                    rows.append([column[i] for column in direct])
                    continue
                if q == "d":
                    for lo, hi, ordinates in self._deflection_sides(s.x, a, b):
                        section_ids.append(i)
                        a_list.append(lo)
                        b_list.append(hi)
                        rows.append(ordinates)
                    continue
                # The load left of the section reads the values just right of it, and so on.
                for lo, hi, side in ((a, s.x, right), (s.x, b, left)):
                    on_piece = [m + v * (s.x - x) if q == "bm" else v for (m, v), x in zip(side, nodes)]
                    section_ids.append(i)
                    a_list.append(lo)
                    b_list.append(hi)
                    rows.append(_refit(on_piece, a, b, lo, hi))
        return Lines(np.array(section_ids, dtype=np.intp), np.array(a_list), np.array(b_list), np.array(rows))

    def tensor(self, q: LaneQuantity, sections: Sequence[Section]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """Per section and piece between the beam's features, the line's ordinates at the
        piece's nodes (sections, pieces, 4): for the load left of the section, and for the
        load right of it (the same for a section outside the piece). Each is one cubic
        over the whole piece: its part on the section's side is the line."""
        import numpy as np
        reads = [s.read for s in sections]
        inside = [self._piece_of(s.x) for s in sections]
        left_of = np.zeros((len(sections), len(self.pieces), 4))
        for p, (nodes, solves) in enumerate(zip(self.nodes, self.solved)):
            left_of[:, p, :] = np.array([solve.values(q, reads) for solve in solves]).T
        right_of = left_of.copy()
        if q == "d":
            # Inside its piece, a section's line is the deflected shape under a unit load
            # there: one cubic either side of it, each carried over the whole piece.
            for i, s in enumerate(sections):
                p = inside[i]
                if p >= 0:
                    a, b = self.pieces[p]
                    (_, _, on_left), (_, _, on_right) = self._deflection_sides(s.x, a, b)
                    left_of[i, p], right_of[i, p] = _refit(on_left, a, s.x, a, b), _refit(on_right, s.x, b, a, b)
            return left_of, right_of
        for p, (nodes, solves) in enumerate(zip(self.nodes, self.solved)):
            right = [(solve.values("bm", x), solve.values("sf", x)) for solve, x in zip(solves, nodes)]
            left = [(solve.values("bm", x, "left"), solve.values("sf", x, "left")) for solve, x in zip(solves, nodes)]
            for i, s in enumerate(sections):
                if inside[i] == p:
                    # The load left of the section: the values just right of the load, carried to s.
                    left_of[i, p] = [m + v * (s.x - x) if q == "bm" else v for (m, v), x in zip(right, nodes)]
                    right_of[i, p] = [m + v * (s.x - x) if q == "bm" else v for (m, v), x in zip(left, nodes)]
        return left_of, right_of

    def _deflection_sides(self, x: float, a: float, b: float) -> list[tuple[float, float, list[float]]]:
        """The deflection's line at a section x inside the piece [a, b]: by reciprocity,
        the deflected shape under a unit load at x, on [a, x] and [x, b]."""
        solved = self._unit(x)
        out: list[tuple[float, float, list[float]]] = []
        for lo, hi in ((a, x), (x, b)):
            out.append((lo, hi, solved.values("d", [(lo + hi) / 2 + (hi - lo) / 2 * u for u in _NODES])))
        return out

    def reactions(self, supports: Sequence[tuple[float, float]]) -> Lines:
        """The lines of every support's ry and m (support k's ry is line 2k, its m 2k + 1),
        each the jump of the shear (the moment) at the support under the unit load:
        exact, where the core's reactions() are rounded to 10 decimals."""
        import numpy as np
        section_ids: list[int] = []
        a_list: list[float] = []
        b_list: list[float] = []
        rows: list[list[float]] = []
        for (a, b), solves in zip(self.pieces, self.solved):
            per_node = [_support_jumps(solve, supports, self.span) for solve in solves]
            for line in range(2 * len(supports)):
                section_ids.append(line)
                a_list.append(a)
                b_list.append(b)
                rows.append([jumps[line] for jumps in per_node])
        return Lines(np.array(section_ids, dtype=np.intp), np.array(a_list), np.array(b_list), np.array(rows))


def _support_jumps(solve: SolvedBeam, supports: Sequence[tuple[float, float]], span: float) -> list[float]:
    """Per support (x, km restrained: 1.0 or 0.0): ry = V(x+) - V(x-), m = M(x-) - M(x+)."""
    out: list[float] = []
    for x, restrained in supports:
        left = math.nextafter(x, -math.inf)
        v_right = solve.values("sf", x) if x < span else 0.0
        v_left = solve.values("sf", left) if x > 0 else 0.0
        m_right = solve.values("bm", x) if x < span else 0.0
        m_left = solve.values("bm", left) if x > 0 else 0.0
        out += [v_right - v_left, (m_left - m_right) if restrained else 0.0]
    return out


def _refit(values: list[float], a: float, b: float, lo: float, hi: float) -> list[float]:
    """A cubic given by its ordinates at the nodes of [a, b], at the nodes of [lo, hi]."""
    import numpy as np
    c = _coefficients(np.array([values]))[0]
    mid, half = (a + b) / 2, (b - a) / 2
    out: list[float] = []
    for u in _NODES:
        t = ((lo + hi) / 2 + (hi - lo) / 2 * u - mid) / half
        out.append(float(c[0] + t * (c[1] + t * (c[2] + t * c[3]))))
    return out


@dataclass(frozen=True)
class LaneShare:
    """The lane's adverse share of an envelope: per enveloped quantity (sf, bm, d) the
    areas of each mesh entry's influence line, and per support those of ry and m.
    The lane adds w times the positive area to the largest value and w times the
    negative one to the smallest (the other way round for an upward lane)."""

    w: float
    lines: Callable[[LaneQuantity], Areas]  # a quantity's areas at every entry, worked out once asked
    reactions: Areas
    sections_areas: Callable[[LaneQuantity, Sequence[Section]], Areas]  # at any sections
    _known: dict[LaneQuantity, Areas] = field(default_factory=dict[LaneQuantity, Areas], repr=False)
    # With a clear zone around the vehicle: per member the zone (from, to), and per band
    # (quantity, max or min) the member governing each entry, whose zone the lane leaves.
    zones: NDArray[np.float64] | None = field(default=None, repr=False)
    # The beam alone under the lane (w per length) on given stretches.
    solve: Callable[[Sequence[tuple[float, float]]], SolvedBeam] | None = field(default=None, repr=False)
    governing: Mapping[tuple[LaneQuantity, Which], Sequence[int]] = field(
        default_factory=dict[tuple[LaneQuantity, "Which"], Sequence[int]], repr=False)

    def areas(self, q: LaneQuantity) -> Areas:
        """The areas of q's lines at every entry (worked out on first use: the deflection's
        cost one solve per section)."""
        if q not in self._known:
            self._known[q] = self.lines(q)
        return self._known[q]

    def added(self, q: LaneQuantity, which: Literal["max", "min"]) -> list[float]:
        """The lane's contribution to the band's max (min) of q, per entry."""
        areas = self.areas(q)
        area = areas.positive if (which == "max") == (self.w >= 0) else areas.negative
        return [self.w * float(v) for v in area]

    def sign(self, which: Literal["max", "min"]) -> float:
        """The sign of the influence line the lane stands on for max (min)."""
        return 1.0 if (which == "max") == (self.w >= 0) else -1.0

    def parts(self, q: LaneQuantity, which: Literal["max", "min"], entry: int) -> list[tuple[float, float]]:
        """Where the lane stands for the band's max (min) of q at an entry: the adverse
        parts, less the clear zone of the vehicle position that governs there."""
        adverse = self.areas(q).parts(entry, self.sign(which))
        if self.zones is None:
            return adverse
        lo, hi = self.zones[self.governing[(q, which)][entry]]
        return outside(adverse, float(lo), float(hi))

    def with_parts(self, q: LaneQuantity, which: Literal["max", "min"], entry: int) -> dict[LaneQuantity, float]:
        """The lane on q's adverse parts at an entry: its effect on every other quantity there."""
        stretches = self.parts(q, which, entry)
        return {other: float(self.w * self.areas(other).over(entry, stretches)) for other in LANE_QUANTITIES
                if other != q}


def outside(stretches: Sequence[tuple[float, float]], lo: float, hi: float) -> list[tuple[float, float]]:
    """The stretches less [lo, hi]."""
    out: list[tuple[float, float]] = []
    for a, b in stretches:
        out += [(a, min(b, lo))] if a < min(b, lo) else []
        out += [(max(a, hi), b)] if max(a, hi) < b else []
    return out


def sections_of(x: Sequence[float], span: float) -> list[Section]:
    """The sections of an envelope's mesh: the first of a position held twice (and the
    end of the beam) read just left of it, as the envelope reads its members."""
    below = math.nextafter
    return [Section(p, below(p, -math.inf) if p == span or (e + 1 < len(x) and x[e + 1] == p) else p)
            for e, p in enumerate(x)]


def lane_share(solver: Solver, lane: Lane, x: Sequence[float], supports: Sequence[tuple[float, float]]) -> LaneShare:
    """The adverse lane's share at every entry of a mesh x, and at the supports."""
    surface = Surface(solver, "the beam alone: ")
    sections = sections_of(x, solver.span)

    def lines(q: LaneQuantity) -> Areas:
        return areas(surface.lines(q, sections), len(sections))

    def anywhere(q: LaneQuantity, at: Sequence[Section]) -> Areas:
        return areas(surface.lines(q, at), len(at))

    def on(stretches: Sequence[tuple[float, float]]) -> SolvedBeam:
        return solver.solve([("udl", [-float(lane.w), a, b, 90.0]) for a, b in stretches], name="the lane: ")
    return LaneShare(float(lane.w), lines, areas(surface.reactions(supports), 2 * len(supports)), anywhere,
                     solve=on)


LANE_PER_SECTION = ("has a lane on its adverse parts, placed section by section rather than by member: it is not "
                    "combined with other envelopes (a fixed result is added with plus())")


@dataclass(frozen=True)
class LaneEnvelope(Envelope):
    """A vehicle's envelope with its lane on the adverse parts at each section: each
    band's value is the vehicle position's (its member) plus the lane's share there
    (with a clear zone, the share outside that position's zone), and
    `lane.parts(q, which, e)` tells where the lane stands for it. The extremes are
    refined between mesh positions (see extremes()); envelopes with an adverse lane
    are not combined with others (augment, plus)."""

    lane: LaneShare | None = None

    def share(self) -> LaneShare:
        """The lane's share (areas of each entry's line, w): always set by with_lane()."""
        assert self.lane is not None
        return self.lane

    def extremes(self) -> dict[Quantity, EnvelopeExtreme]:
        """Max and min of each enveloped quantity over the beam and the positions. The
        shear, moment and deflection are refined between mesh positions as
        Envelope.extremes() refines them (to 1e-9 of the span, never below the mesh's
        own value): a position that comes within the margin of the top at mesh entries
        near it is searched between their neighbours, the lane standing where adverse
        at the section searched. For a fixed placement of the lane the position's value
        is one solved beam, searched exactly; the placement is then taken again where
        adverse at the peak found, until the peak stays put: each round's value is the
        envelope's at its section and never below the round before. Other quantities
        are the mesh's."""
        out: dict[Quantity, EnvelopeExtreme] = {}
        margin = self._margin()
        for q, band in self.bands.items():
            found = [self._peak(q, band, which, margin) if q in LANE_QUANTITIES
                     else _mesh_peak(self.x, band, which) for which in ("max", "min")]
            (top, x_top, m_top), (bottom, x_bottom, m_bottom) = found
            out[q] = EnvelopeExtreme(top, x_top, m_top, bottom, x_bottom, m_bottom)
        return out

    def _peak(self, q: LaneQuantity, band: Band, which: Which, margin: float) -> tuple[float, float, int]:
        """The band's max (min) over the beam: the mesh's, or a peak between mesh positions."""
        from .extremes import samples_for
        sign = 1.0 if which == "max" else -1.0
        values, governing = (band.max, band.max_member) if which == "max" else (band.min, band.min_member)
        signed = [sign * v for v in values]
        top = max(signed)
        scale = max(max(map(abs, band.max)), max(map(abs, band.min)))
        e = signed.index(top)
        peaks = [(top, self.x[e], governing[e])]
        tasks = [(member, entry) for member, seeds in self._lane_reaching(q, which, top - margin * scale).items()
                 for entry in seeds]
        peaks += self._search(q, which, tasks, samples_for(self.members.degree))
        best = max(p[0] for p in peaks)
        value, x, member = min((p for p in peaks if p[0] >= best - 1e-12 * scale), key=lambda p: (p[1], p[2]))
        return sign * max(value, top), x, member

    def _lane_reaching(self, q: LaneQuantity, which: Which, least: float) -> dict[int, list[int]]:
        """The positions whose value with the lane comes within `least` (signed) at mesh
        entries, each with the entries to search from: where its value there is not
        below its value at the entries either side that also come within it."""
        import numpy as np

        from .envelopes import CHUNK
        sign = 1.0 if which == "max" else -1.0
        values = self.bands[q].max if which == "max" else self.bands[q].min
        entries = [e for e, v in enumerate(values) if sign * v >= least]
        reads = self._read_positions()
        at = [reads[e] for e in entries]
        share = self.share()
        got = share.sections_areas(q, [Section(self.x[e], r) for e, r in zip(entries, at)])
        found: dict[int, dict[int, float]] = {}
        for base in range(0, len(self.members), CHUNK):
            block = range(base, min(base + CHUNK, len(self.members)))
            rows = np.array([self.members.solve(k).values(q, at) for k in block])
            rows = sign * (rows + _lane_of(share, got, which, None if share.zones is None
                                            else share.zones[base:base + len(block)]))
            for i, j in zip(*np.nonzero(rows >= least)):
                found.setdefault(base + int(i), {})[entries[int(j)]] = float(rows[i, j])
        return {k: [e for e, v in reached.items() if v >= reached.get(e - 1, -math.inf)
                    and v >= reached.get(e + 1, -math.inf)] for k, reached in found.items()}

    def _search(self, q: LaneQuantity, which: Which, tasks: Sequence[tuple[int, int]],
                count: int) -> list[tuple[float, float, int]]:
        """For each (position, entry), the largest (smallest) of the position's value with
        the lane between the mesh positions either side of the entry, signed, with its
        place: the lane fixed where adverse at the last peak (first at the entry), the
        position and that lane solved and searched exactly; the lane is then placed
        where adverse at the peak found, and so on until the peak or the lane's place
        stays put. Each round's value is the envelope's for that position at its
        section, never below the round before; the rounds of all tasks read the lane's
        areas in one call."""
        import bisect

        import numpy as np

        share = self.share()
        assert share.solve is not None
        sign = 1.0 if which == "max" else -1.0
        span = float(self.members.beam.span)
        positions = sorted(set(self.x))
        windows: list[tuple[float, float]] = []
        placed: list[list[tuple[float, float]]] = []
        for member, entry in tasks:
            k = bisect.bisect_left(positions, self.x[entry])
            windows.append((positions[max(k - 1, 0)], positions[min(k + 1, len(positions) - 1)]))
            placed.append(self._outside_zone(share.areas(q).parts(entry, share.sign(which)), member))
        best: list[tuple[float, float]] = [(-math.inf, math.nan)] * len(tasks)
        active = list(range(len(tasks)))
        for _ in range(8):
            if not active:
                break
            found: list[float] = []
            for t in active:
                member, _ = tasks[t]
                (a, b), stretches = windows[t], placed[t]
                vehicle, lane = self.members.solve(member), share.solve(stretches)
                inside = {x for x in self.members.features(member) if a < x < b}
                inside.update(p for stretch in stretches for p in stretch if a < p < b)
                # The vehicle's position with the lane where it stands, summed value by value in the core.
                found.append(vehicle.peak(q, [a, *sorted(inside), b], sign, count, span, ((lane, 1.0),))[1])
            got = share.sections_areas(q, [Section(x, x) for x in found])
            zones = None if share.zones is None else share.zones[[tasks[t][0] for t in active]]
            lane_share = np.diagonal(_lane_of(share, got, which, zones)) if zones is not None else \
                _lane_of(share, got, which, None)[0]
            still: list[int] = []
            for i, t in enumerate(active):
                member, _ = tasks[t]
                value = sign * (self.members.solve(member).values(q, found[i]) + float(lane_share[i]))
                if value < best[t][0]:  # rounding only: the previous round stands
                    continue
                moved = abs(found[i] - best[t][1]) if not math.isnan(best[t][1]) else math.inf
                best[t] = (value, found[i])
                again = self._outside_zone(got.parts(i, share.sign(which)), member)
                if moved > 1e-12 * span and not _same(again, placed[t], 1e-12 * span):
                    placed[t] = again
                    still.append(t)
            active = still
        return [(value, x, member) for (value, x), (member, _) in zip(best, tasks)]

    def _outside_zone(self, stretches: list[tuple[float, float]], member: int) -> list[tuple[float, float]]:
        """The stretches less the position's clear zone, if the lane has one."""
        zones = self.share().zones
        return stretches if zones is None else outside(stretches, float(zones[member][0]), float(zones[member][1]))

    def at(self, x: Any, quantity: Quantity, side: Literal["left", "right"] = "right") -> EnvelopeValues[Any, Any]:
        """The envelope at any positions (as Envelope.at()): the vehicle's largest and
        smallest value there, each with the lane's adverse share at that section."""
        import numpy as np
        found: EnvelopeValues[Any, Any] = envelope_at(self.members, list(self.bands), x, quantity, side)
        if quantity not in LANE_QUANTITIES:
            return found
        share = self.share()
        flat = np.asarray(found.x, dtype=np.float64).reshape(-1)
        below = math.nextafter
        sections = [Section(float(p), float(p) if side == "right" else below(float(p), -math.inf)) for p in flat]
        got = share.sections_areas(quantity, sections)
        shape = np.shape(found.max)
        if share.zones is not None:
            high, low, high_member, low_member = _cleared_at(self.members, share, got, quantity, flat, side)
            found = EnvelopeValues(found.x, high.reshape(shape), low.reshape(shape),
                                   high_member.reshape(shape), low_member.reshape(shape))
        else:
            up, down = (got.positive, got.negative) if share.w >= 0 else (got.negative, got.positive)
            found = EnvelopeValues(found.x, np.asarray(found.max) + share.w * up.reshape(shape),
                                   np.asarray(found.min) + share.w * down.reshape(shape), found.max_member,
                                   found.min_member)
        if not shape:
            return EnvelopeValues(found.x, float(found.max), float(found.min), int(found.max_member),
                                  int(found.min_member))
        return found

    def coincident(self, quantity: Quantity, which: Which = "max") -> dict[Quantity, list[float]]:
        """The other quantities acting with the band's max (or min) of `quantity`, per
        entry: the governing position's, plus the lane on `quantity`'s adverse parts."""
        vehicle: dict[Quantity, list[float]] = {q: list(column) for q, column
                                                in super().coincident(quantity, which).items()}
        if quantity not in ("sf", "bm", "d"):
            return vehicle
        share = self.share()
        for e in range(len(self.x)):
            for other, value in share.with_parts(quantity, which, e).items():
                if other in vehicle:
                    vehicle[other][e] += value
        return vehicle

    def extremes_coincident(self, extremes: Mapping[Quantity, EnvelopeExtreme] | None = None
                            ) -> dict[Quantity, dict[Which, dict[Quantity, float]]]:
        """The other quantities acting with each of extremes() (given, or found): those of
        its mesh entry, or for a peak between mesh positions, the governing position's
        with the lane where it stands for that peak, read at its place."""
        from .coincident import check_extremes, others
        check_extremes(extremes, self.bands, EnvelopeExtreme)
        found = self.extremes() if extremes is None else extremes
        out: dict[Quantity, dict[Which, dict[Quantity, float]]] = {}
        for q, extreme in found.items():
            band = self.bands[q]
            out[q] = {}
            pairs: tuple[tuple[Which, float, float, int], ...] = (
                ("max", extreme.max, extreme.x_max, extreme.max_member),
                ("min", extreme.min, extreme.x_min, extreme.min_member))
            for which, value, x, member in pairs:
                column = band.max if which == "max" else band.min
                entry = next((e for e, (p, v) in enumerate(zip(self.x, column)) if p == x and v == value), None)
                if entry is not None or q not in LANE_QUANTITIES:
                    e = column.index(value) if entry is None else entry
                    out[q][which] = {other: values[e] for other, values in self.coincident(q, which).items()}
                    continue
                share = self.share()
                assert share.solve is not None
                got = share.sections_areas(q, [Section(x, x)])
                lane = share.solve(self._outside_zone(got.parts(0, share.sign(which)), member))
                vehicle = self.members.solve(member)
                out[q][which] = {other: vehicle.values(other, x) + lane.values(other, x)
                                 for other in others(q, self.bands)}
        return out

    def augment(self, *others: Envelope, names: Sequence[str] | None = None) -> Envelope:
        """Refused (ModelError): the lane is placed per section, so no member gives a value."""
        raise ModelError([Problem("envelope", LANE_PER_SECTION)])

    def plus(self, result: Result, factor: float = 1.0) -> Envelope:
        """This envelope with a fixed result (a permanent load's, say) times `factor`
        added to every vehicle position: enveloped again with the result in every
        position, on a mesh holding this one's positions and the result's features,
        with the lane's share at each entry (see algebra.plus)."""
        from .algebra import plus
        return plus(self, result, factor)


def _check_finite(bands: Mapping[Quantity, Band], share: LaneShare) -> None:
    if not all(math.isfinite(v) for band in bands.values() for column in (band.max, band.min) for v in column):
        raise ModelError([Problem("lane.w", f"the lane's effect overflows a double: got {show(share.w)}")])


def with_lane(envelope: Envelope, share: LaneShare) -> LaneEnvelope:
    """The vehicle's envelope with the lane's adverse share added to each band and range."""
    bands: dict[Quantity, Band] = {}
    for q, band in envelope.bands.items():
        if q in LANE_QUANTITIES:
            high = [v + a for v, a in zip(band.max, share.added(q, "max"))]
            low = [v + a for v, a in zip(band.min, share.added(q, "min"))]
            bands[q] = Band(high, low, band.max_member, band.min_member)
        else:
            bands[q] = band
    _check_finite(bands, share)
    reactions = share.reactions
    up, down = (reactions.positive, reactions.negative) if share.w >= 0 else (reactions.negative, reactions.positive)
    ranges: list[ReactionRange] = []
    for k, item in enumerate(envelope.reactions):
        def grown(r: Range, line: int) -> Range:
            return Range(r.max + share.w * float(up[line]), r.max_member, r.min + share.w * float(down[line]),
                         r.min_member)
        ranges.append(ReactionRange(item.support, item.rx, grown(item.ry, 2 * k), grown(item.m, 2 * k + 1)))
    return LaneEnvelope(envelope.names, envelope.x, bands, tuple(ranges), envelope.members, {}, lane=share)


# --- the lane cleared around the vehicle -----------------------------------------------------


class _Entries:
    """How each member is read at each entry of the vehicle envelope's mesh, as the
    band reads it: at the position (the end of the beam just left of it), and where the
    member itself jumps there, left of its first jump for the left entry and right of
    its last for the right one."""

    def __init__(self, x: Sequence[float], span: float) -> None:
        import numpy as np
        self.span = span
        self.positions = sorted(set(x))
        self.entries: dict[float, tuple[int, int]] = {}
        for e, p in enumerate(x):
            first, _ = self.entries.get(p, (e, e))
            self.entries[p] = (first, e)
        reads = [math.nextafter(p, -math.inf) if p == span else p for p in x]
        self.reads = np.array(reads, dtype=np.float64).tobytes()

    def nearest(self, x: float) -> float:
        """The mesh position a member's feature was merged into."""
        import bisect
        k = bisect.bisect_left(self.positions, x)
        return min(self.positions[max(k - 1, 0):k + 1], key=lambda p: abs(p - x))

    def rows(self, solved: SolvedBeam, q: LaneQuantity, jumps: Sequence[float],
             standing: Mapping[float, float]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """The member's values at every entry, for the largest and for the smallest: an
        axle standing on another shear jump also gives its limits beside it (L + J left
        of the position, R - J right of it, J its own jump), which count for both."""
        import numpy as np
        row = np.frombuffer(solved.values(q, self.reads), dtype=np.float64).copy()
        own: dict[float, list[float]] = {}
        for x in [*jumps, *(standing if q == "sf" else ())]:
            own.setdefault(self.nearest(x), []).append(x)
        below = math.nextafter
        for p, at in own.items():
            left, right = self.entries[p]
            if left != right or p == self.span:
                row[left] = solved.values(q, below(min(at), -math.inf))
            if left != right or p != self.span:
                row[right] = solved.values(q, max(at))
        high, low = row, row.copy()
        if q == "sf":
            for x, jump in standing.items():
                p = self.nearest(x)
                left, right = self.entries[p]
                beside: list[tuple[int, float]] = []
                if x == min(own[p]) and (left != right or p == self.span):
                    beside.append((left, row[left] + jump))
                if x == max(own[p]) and (left != right or p != self.span):
                    beside.append((right, row[right] - jump))
                for e, value in beside:
                    high[e], low[e] = max(high[e], value), min(low[e], value)
        return high, low


# Members whose zones' common part tightens their bound together. The README girder's pairs
# worked out: 851,152 with the lane uncleared as the bound; 304,377, 423,587 and 593,750 in
# groups of 8, 16 and 32 (about 0.35 s of CPU each, the common parts' areas costing more in
# smaller groups).
_NEIGHBOURS = 16


class _Folded:
    """Per section the largest and smallest over the members so far, and the first
    member giving each."""

    def __init__(self, size: int) -> None:
        import numpy as np
        self.hi, self.lo = np.full(size, -math.inf), np.full(size, math.inf)
        self.hi_member, self.lo_member = np.zeros(size, dtype=np.int64), np.zeros(size, dtype=np.int64)

    def add(self, base: int, high: NDArray[np.float64], low: NDArray[np.float64]) -> None:
        """A block of members (rows) from member `base` on: of equal values the first member."""
        import numpy as np
        columns = np.arange(int(high.shape[1]))
        for member, rows, top, best, better in ((high.argmax(axis=0), high, self.hi, self.hi_member, np.greater),
                                                (low.argmin(axis=0), low, self.lo, self.lo_member, np.less)):
            value = rows[member, columns]
            raised = better(value, top)
            top[raised] = value[raised]
            best[raised] = base + member[raised]

    def add_cleared(self, base: int, high: NDArray[np.float64], low: NDArray[np.float64], share: LaneShare,
                    found: Areas, zones: NDArray[np.float64]) -> None:
        """add() of a block of members' rows plus the lane on the adverse parts less each
        member's zone, the zone's share worked out only where it may tell: the lane
        uncleared bounds each value (from above for the largest, below for the
        smallest), so a member whose bound falls short of the best value already known
        at an entry (the best bound's own value first) cannot give it there. The values
        worked out are those of _lane_terms, element by element. The bound is tighter with
        the lane off the part every zone of a few neighbouring members covers."""
        import numpy as np
        sections = int(high.shape[1])
        entries = np.arange(sections)
        groups = np.arange(0, len(zones), _NEIGHBOURS)
        near = np.maximum.reduceat(zones[:, 0], groups)
        common = np.stack([near, np.maximum(np.minimum.reduceat(zones[:, 1], groups), near)], axis=1)
        of_member = np.arange(len(zones)) // _NEIGHBOURS
        uncleared = _lane_terms(share, found, common)
        for rows, whole, which, top, best, better in ((high, uncleared[0], 0, self.hi, self.hi_member, np.greater),
                                                      (low, uncleared[1], 1, self.lo, self.lo_member, np.less)):
            sign = 1.0 if which == 0 else -1.0
            bound = sign * (rows + whole[of_member])
            first = bound.argmax(axis=0)
            known = np.maximum(sign * top, sign * _cleared_pairs(share, found, zones, rows, first, entries, which))
            # The rounding of a value near 0 (a support's deflection) is the block's, not its own:
            # every member within this share of the block's largest value is worked out.
            slack = 1e-12 * (float(np.abs(rows).max(initial=0.0)) + float(np.abs(whole).max(initial=0.0)))
            member, entry = np.nonzero(bound >= (known - slack)[None, :])
            values = np.full(rows.shape, -np.inf)
            values[member, entry] = sign * _cleared_pairs(share, found, zones, rows, member, entry, which)
            pick = values.argmax(axis=0)
            value = sign * values[pick, entries]
            raised = better(value, top)
            top[raised] = value[raised]
            best[raised] = base + pick[raised]


def _cleared_pairs(share: LaneShare, found: Areas, zones: NDArray[np.float64], rows: NDArray[np.float64],
                   member: NDArray[np.intp], entry: NDArray[np.intp], which: int) -> NDArray[np.float64]:
    """Each (member, entry) pair's row value plus the lane less the member's zone, for the
    largest value (which 0) or the smallest (1), as _lane_terms works them out."""
    (pos_hi, neg_hi), (pos_lo, neg_lo) = (found.upto_pairs(entry, zones[member, 1]),
                                          found.upto_pairs(entry, zones[member, 0]))
    if (which == 0) == (share.w >= 0):
        return rows[member, entry] + share.w * (found.positive[entry] - (pos_hi - pos_lo))
    return rows[member, entry] + share.w * (found.negative[entry] - (neg_hi - neg_lo))


def _same(one: Sequence[tuple[float, float]], other: Sequence[tuple[float, float]], tolerance: float) -> bool:
    """Whether two placements of the lane are the same but for rounding."""
    return len(one) == len(other) and all(abs(a - c) <= tolerance and abs(b - d) <= tolerance
                                          for (a, b), (c, d) in zip(one, other))


def _mesh_peak(x: Sequence[float], band: Band, which: Which) -> tuple[float, float, int]:
    """The band's max (min) on the mesh, the leftmost of equal values."""
    values = band.max if which == "max" else band.min
    best = max(values) if which == "max" else min(values)
    e = values.index(best)
    return best, x[e], (band.max_member if which == "max" else band.min_member)[e]


def _lane_of(share: LaneShare, got: Areas, which: Which, zones: NDArray[np.float64] | None) -> NDArray[np.float64]:
    """The lane's share for the max (min) at got's sections (columns), per position's
    clear zone (rows; one row of the whole adverse share without zones)."""
    if zones is None:
        area = got.positive if share.sign(which) > 0 else got.negative
        return share.w * area[None, :]
    up, down = _lane_terms(share, got, zones)
    return up if which == "max" else down


def _lane_terms(share: LaneShare, areas_of: Areas, zones: NDArray[np.float64]
                ) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Per member (rows) and section, the lane on the parts of the line of the sign
    sought less those in the member's clear zone: for the largest value, then the smallest."""
    (pos_hi, neg_hi), (pos_lo, neg_lo) = areas_of.upto_both(zones[:, 1]), areas_of.upto_both(zones[:, 0])
    positive = share.w * (areas_of.positive[None, :] - (pos_hi - pos_lo).T)
    negative = share.w * (areas_of.negative[None, :] - (neg_hi - neg_lo).T)
    return (positive, negative) if share.w >= 0 else (negative, positive)


def with_cleared_lane(envelope: Envelope, share: LaneShare, zone: Callable[[int], tuple[float, float]],
                      quantities: Sequence[Quantity]) -> LaneEnvelope:
    """The vehicle's envelope with the lane on the adverse parts of each line outside
    the clear zone around the vehicle: at each entry, over the positions, the largest
    (smallest) of the position's value plus the lane on the parts of the sign sought
    less those in that position's zone. Each position is solved again and read at
    every entry as the band reads it; the lane's share is exact areas of the lines.
    The bands are `quantities`' (the envelope's own for those the lane leaves alone)."""
    import numpy as np

    from .envelopes import CHUNK
    members = envelope.members
    count, size = len(members), len(envelope.x)
    span = float(members.beam.span)
    zones = np.array([zone(k) for k in range(count)], dtype=np.float64).reshape(count, 2)
    entries = _Entries(envelope.x, span)
    lane_bands: list[LaneQuantity] = [q for q in LANE_QUANTITIES if q in quantities]
    folded: dict[LaneQuantity, _Folded] = {q: _Folded(size) for q in lane_bands}
    reactions = {line: _Folded(1) for line in range(2 * len(envelope.reactions))}
    for base in range(0, count, CHUNK):
        block = range(base, min(base + CHUNK, count))
        solved = [members.solve(k) for k in block]
        with np.errstate(over="ignore", invalid="ignore"):  # an overflow is told by the finiteness check
            _fold_block(folded, reactions, entries, share, members, block, solved, zones)
    bands: dict[Quantity, Band] = {}
    for q in quantities:
        f = folded.get(cast(LaneQuantity, q))  # None for a quantity the lane leaves alone
        bands[q] = envelope.bands[q] if f is None else Band(f.hi.tolist(), f.lo.tolist(), f.hi_member.tolist(),
                                                            f.lo_member.tolist())
    _check_finite(bands, share)
    ranges: list[ReactionRange] = []
    for k, item in enumerate(envelope.reactions):
        def grown(line: int) -> Range:
            f = reactions[line]
            return Range(float(f.hi[0]), int(f.hi_member[0]), float(f.lo[0]), int(f.lo_member[0]))
        ranges.append(ReactionRange(item.support, item.rx, grown(2 * k), grown(2 * k + 1)))
    governing = {(q, which): (bands[q].max_member if which == "max" else bands[q].min_member)
                 for q in lane_bands for which in ("max", "min")}
    cleared = replace(share, zones=zones, governing=cast("dict[tuple[LaneQuantity, Which], Sequence[int]]", governing))
    return LaneEnvelope(envelope.names, envelope.x, bands, tuple(ranges), members, {}, lane=cleared)


def _cleared_at(members: Members, share: LaneShare, got: Areas, q: LaneQuantity, flat: NDArray[np.float64],
                side: Literal["left", "right"]) -> tuple[NDArray[np.float64], NDArray[np.float64],
                                                           NDArray[np.int64], NDArray[np.int64]]:
    """The cleared lane's envelope at any sections: every member read there (left of
    its own jumps and of the end of the beam for side "left", as Envelope.at()), plus
    the lane on the adverse parts outside its clear zone; the largest and smallest."""
    import numpy as np

    from .envelopes import CHUNK
    assert share.zones is not None
    span = float(members.beam.span)
    folded = _Folded(len(flat))
    positions = flat.tolist()
    for base in range(0, len(members), CHUNK):
        block = range(base, min(base + CHUNK, len(members)))
        rows: list[NDArray[np.float64]] = []
        for k in block:
            solved = members.solve(k)
            row: NDArray[np.float64] = np.array(solved.values(q, positions), dtype=np.float64)
            if side == "left":
                for x in [*members.jumps(k).get(q, ()), span]:
                    row[flat == x] = solved.values(q, x, "left")
            rows.append(row)
        up, down = _lane_terms(share, got, share.zones[base:base + len(block)])
        folded.add(base, np.array(rows) + up, np.array(rows) + down)
    return folded.hi, folded.lo, folded.hi_member, folded.lo_member

def _fold_block(folded: Mapping[LaneQuantity, _Folded], reactions: Mapping[int, _Folded], entries: _Entries,
                share: LaneShare, members: Members, block: range, solved: Sequence[SolvedBeam],
                zones: NDArray[np.float64]) -> None:
    """A block of positions folded into the bands and the reactions' ranges."""
    import numpy as np
    base = block.start
    for q in folded:
        read = [entries.rows(s, q, members.jumps(k).get(q, ()), members.standing(k)) for k, s in zip(block, solved)]
        folded[q].add_cleared(base, np.array([h for h, _ in read]), np.array([lo for _, lo in read]), share,
                              share.areas(q), zones[base:base + len(block)])
    own = np.array([[r for row in s.reactions() for r in row[1:]] for s in solved])  # ry, m per support
    up, down = _lane_terms(share, share.reactions, zones[base:base + len(block)])
    for line, running in reactions.items():
        running.add(base, (own[:, line] + up[:, line])[:, None], (own[:, line] + down[:, line])[:, None])


def plus_lane(envelope: LaneEnvelope, members: Members) -> LaneEnvelope:
    """A lane envelope of other members (its own with a fixed result added): the
    members enveloped on a mesh holding the envelope's positions and their own
    features, and the same lane (its zones too) placed where adverse at each entry."""
    from .envelopes import build
    share = envelope.share()
    base = build(members, n=1, points=sorted(set(envelope.x)), quantities=list(envelope.bands))
    sections = sections_of(base.x, float(members.beam.span))

    def lines(q: LaneQuantity) -> Areas:
        return share.sections_areas(q, sections)
    fresh = replace(share, lines=lines, _known={}, zones=None, governing={})
    zones = share.zones
    if zones is None:
        return with_lane(base, fresh)
    return with_cleared_lane(base, fresh, lambda k: (float(zones[k][0]), float(zones[k][1])), list(envelope.bands))
