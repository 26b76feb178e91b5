"""Envelopes: the largest and the smallest value of each diagram over a set of
solved beams of one geometry (load combinations, load patterns, positions of a
vehicle), with the member that gives each.

All members are read on one mesh: the ends, every support, every load feature
of every member (point loads, moments, the ends of distributed loads) and,
where features lie further apart than span / n, evenly spaced points between
them. Where a member's diagram can jump (its shear force at a transverse point
load or a vertical restraint, its bending moment at an applied moment or a
rotational restraint, its normal force at an axial load or a horizontal
restraint), the mesh holds that position twice: the value just left of it,
then the value just right, both exact (the left one is read at the next double
below). Features closer than 1e-12 of the span count as one position, each
member being read left of its first jump there and right of its last. Where a
vehicle's axle stands on a section where the shear jumps for another reason,
both sides also take the shear with the axle just beside the section. The mesh
is made by the core in one call (_engine.envelope_mesh), as bytes that its folds
read as they are.

Members are solved a chunk at a time and folded by the core (core_fold), one call
a chunk: each member read along the mesh beside its own jumps, with no Python
object per value. The layer's own fold below stays for members with an axle
standing on another jump (whose limits it takes) and as the reference the core's
is tested against: each member's values along the whole mesh come from one call
to the core (as float64, the chunk's rows side by side), and each mesh position's
column across the chunk is then a strided view of them, whose largest and
smallest come from one sort. A few members are read the same way into lists, and
each position's column taken from them.
"""

from __future__ import annotations

import bisect
import math
import os
import operator
from array import array
from collections.abc import Callable, Collection, Iterable, Mapping, Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, NamedTuple, Protocol, cast, overload

from . import _engine
from ._engine import SolvedBeam
from .arrays import floats, ints
from .checks import Checker
from .errors import ModelError, Problem, show
from .extremes import find_peak, samples_for
from .loads import Load, Moment, PointLoad, degree_of
from .model import Beam, Result, jumps_of
from .pointwise import EnvelopeValues, envelope_at
from .progress import Progress
from .result import ALL_QUANTITIES, QUANTITIES, AtSupport, Quantity
from .supports import Support, names

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from .arrays import Array, Scalar, Side
    from .coincident import Table, Which

# Members solved and held at once: the per-position bookkeeping is spread over many
# members, and a chunk stays in the CPU caches (64 to 1,000 measured within 6% in
# time); 128 against 256: 2% fewer instructions on the vehicle jobs, with extremes()
# too (its screens are finer), 96 and 64 more again.
CHUNK = 128
# Up to this many members are read one member at a time (_fold_rows): 29% fewer
# instructions on the pattern benchmark (7 members); the two ways break even at about 20.
FEW = 16
_LAST, _FIRST = operator.itemgetter(-1), operator.itemgetter(0)
_INDEX: Callable[[tuple[float, ...], float], int] = tuple[float, ...].index
# Members with no axle standing on a jump are folded by the core (core_fold): the pattern
# job 5.93M to 3.32M instructions. False: the layer's own fold, which stays the reference.
IN_CORE = True
# Positions closer than this (relative to the span) are one mesh position.
MERGE = 1e-12
# The least share of the largest value within which members are searched for the extremes.
MARGIN = 1e-3
NAMES = ", ".join(ALL_QUANTITIES)


class Members(Protocol):
    """The members of an envelope: one beam (its span, supports and units) under
    different loads."""

    beam: Beam
    degree: int  # of the highest distributed load, for the refinement's sampling
    axial: bool  # whether any member has a load with an axial component
    complete: bool  # whether the mesh holds every feature of every member

    def __len__(self) -> int: ...
    def name(self, k: int) -> str: ...
    def features(self, k: int) -> list[float]: ...  # its own, sorted, the ends included
    def mesh_features(self, k: int) -> list[float]: ...  # the mesh holds their union over the members
    def jumps(self, k: int) -> Mapping[Quantity, Sequence[float]]: ...  # read on both sides; in the mesh
    # Its moving point loads (axles) standing on another shear jump, with their own
    # shear jump: each side of that position also takes the load's limit beside it.
    def standing(self, k: int) -> Mapping[float, float]: ...
    def solve(self, k: int) -> SolvedBeam: ...


@dataclass(frozen=True, slots=True)
class Band:
    """One quantity's envelope on the mesh: per entry the largest and the smallest
    value, and the index of the member that gives each (the first of equal ones)."""

    max: list[float]
    min: list[float]
    max_member: list[int]
    min_member: list[int]

    def arrays(self) -> BandArrays:
        """The columns as NumPy arrays: max and min float64 (the same bits), the members int64."""
        return BandArrays(floats(self.max), floats(self.min), ints(self.max_member), ints(self.min_member))


class BandArrays(NamedTuple):
    """A Band's columns as NumPy arrays (Band.arrays())."""

    max: NDArray[np.float64]
    min: NDArray[np.float64]
    max_member: NDArray[np.int64]
    min_member: NDArray[np.int64]


@dataclass(frozen=True, slots=True)
class Range:
    """The largest and smallest value of one reaction component and the members giving them."""

    max: float
    max_member: int
    min: float
    min_member: int


@dataclass(frozen=True, slots=True)
class ReactionRange(AtSupport):
    """The range of a support's reactions over the members: rx, ry and m as in Reaction."""

    support: Support
    rx: Range
    ry: Range
    m: Range


@dataclass(frozen=True, slots=True)
class EnvelopeExtreme:
    """The largest and smallest value of one quantity over the beam and the members,
    with their positions and the members giving them."""

    max: float
    x_max: float
    max_member: int
    min: float
    x_min: float
    min_member: int


@dataclass(frozen=True, slots=True)
class Screen:
    """One chunk of members (`first` and on) read for a band: per mesh entry the
    largest and the smallest value any of them has there."""

    first: int
    top: array[float]
    bottom: array[float]


@dataclass(frozen=True)
class Envelope:
    """The envelope of a set of members: `x` is the mesh (a jump's position twice,
    left then right), each quantity a Band on it, `reactions` the range of each
    support's reactions in the model's order. Members are given by index; `names`
    holds their names. `screens`: per quantity read chunk by chunk, each chunk's
    Screen (extremes() reads again only the chunks that come near the top)."""

    names: Sequence[str]
    x: list[float]
    bands: Mapping[Quantity, Band]
    reactions: tuple[ReactionRange, ...]
    members: Members
    screens: Mapping[Quantity, Sequence[Screen]] = field(default_factory=dict[Quantity, Sequence[Screen]], repr=False,
                                                          compare=False)
    # The coincident values, read on first use (the envelope itself does not need them).
    _coincident: dict[str, Table] = field(default_factory=dict[str, "Table"], init=False, repr=False, compare=False)

    def __getitem__(self, quantity: Quantity) -> Band:
        if quantity not in self.bands:
            raise KeyError(f"{quantity!r} was not enveloped (quantities: {', '.join(self.bands)})")
        return self.bands[quantity]

    @property
    def nf(self) -> Band:
        """The normal force's Band (KeyError when it was not enveloped)."""
        return self["nf"]

    @property
    def sf(self) -> Band:
        """The shear force's Band (KeyError when it was not enveloped)."""
        return self["sf"]

    @property
    def bm(self) -> Band:
        """The bending moment's Band (KeyError when it was not enveloped)."""
        return self["bm"]

    @property
    def d(self) -> Band:
        """The deflection's Band (KeyError when it was not enveloped)."""
        return self["d"]

    @overload
    def at(self, x: Scalar, quantity: Quantity, side: Side = "right") -> EnvelopeValues[float, int]: ...
    @overload
    def at(self, x: Array, quantity: Quantity,
           side: Side = "right") -> EnvelopeValues[NDArray[np.float64], NDArray[np.int64]]: ...
    def at(self, x: Scalar | Array, quantity: Quantity, side: Side = "right") -> EnvelopeValues[Any, Any]:
        """The envelope of `quantity` at x, exact: every member read at x (each at all the
        positions in one call of the core), the largest and smallest value with the
        first member giving each. x is a number (floats and ints out) or a sequence or
        array (float64 and int64 arrays of its shape). side="right" reads each member at
        x (right of a jump), "left" just left of x: a member that jumps there (and every
        member at the end of the beam) at the next double below x, the others at x,
        where their value is their limit from the left. At a mesh entry this is the
        band's value to the bit (but for a zero's sign), read on its side: the end of
        the beam and the first entry of a position held twice on the left; except
        where features closer than 1e-12 of the span were merged, or an axle stands
        on a shear jump, where the band also holds the limits beside them."""
        return envelope_at(self.members, list(self.bands), x, quantity, side)

    @property
    def rotation(self) -> Band:
        """The rotation's Band, radians (KeyError when it was not enveloped: ask for it
        in `quantities`)."""
        return self["rotation"]

    def reaction(self, key: str | float | Support) -> ReactionRange:
        """A support's reaction range, by label, position or Support (KeyError for a
        key that names none, as a mapping's lookup)."""
        for item in self.reactions:
            if names(item.support, key):
                return item
        raise KeyError(key)

    def extremes(self) -> dict[Quantity, EnvelopeExtreme]:
        """Max and min of each enveloped quantity over the beam and the members, refined
        as in Result.extremes(). A member can rise between two mesh positions only so
        far above the higher of the two (a margin set by the widest gap of the mesh
        against the shortest span), so a member beats the mesh's top only between
        mesh positions next to an entry where it comes within that margin of the top:
        each such member is searched there on the exact queries. A peak between mesh
        positions is found to 1e-9 of the span, and no extreme is less than the mesh's
        own. A normal force that no member has is zero, and not searched."""
        margin = self._margin()
        near: dict[tuple[Quantity, float], tuple[float, float, list[int]]] = {}
        out: dict[Quantity, EnvelopeExtreme] = {}
        for q, band in self.bands.items():
            if q == "nf" and not self.members.axial:
                out[q] = EnvelopeExtreme(0.0, 0.0, 0, 0.0, 0.0, 0)
                continue
            scale = max(max(map(abs, band.max)), max(map(abs, band.min)))
            for sign, values in ((1.0, band.max), (-1.0, band.min)):
                signed = [sign * v for v in values]
                top = max(signed)
                near[(q, sign)] = (top, scale, [e for e, v in enumerate(signed) if v >= top - margin * scale])
        reached = self._reaching(near, margin)
        cache: dict[int, tuple[SolvedBeam, list[float]]] = {}
        count = samples_for(self.members.degree)
        span = float(self.members.beam.span)
        for q, band in self.bands.items():
            if q in out:
                continue
            found: list[tuple[float, float, int]] = []
            for sign, governing in ((1.0, band.max_member), (-1.0, band.min_member)):
                top, scale, entries = near[(q, sign)]
                e = next(e for e in entries if sign * (band.max if sign > 0 else band.min)[e] == top)
                peaks = [(top, self.x[e], governing[e])]
                for member, windows in reached[(q, sign)].items():
                    solved, features = cache.get(member) or cache.setdefault(
                        member, (self.members.solve(member), self.members.features(member)))
                    for a, b in windows:
                        inside = [a, *(x for x in features if a < x < b), b]
                        value, x = find_peak(solved, q, inside, sign, count, span)
                        peaks.append((sign * value, x, member))
                # Of peaks equal but for rounding, the leftmost (then the first member), as extremes() does.
                best = max(p[0] for p in peaks)
                value, x, member = min((p for p in peaks if p[0] >= best - 1e-12 * scale), key=lambda p: (p[1], p[2]))
                found.append((sign * max(value, top), x, member))
            (top, x_top, m_top), (bottom, x_bottom, m_bottom) = found
            out[q] = EnvelopeExtreme(top, x_top, m_top, bottom, x_bottom, m_bottom)
        return {q: out[q] for q in self.bands}

    def _margin(self) -> float:
        """How far, relative to the largest value, a member can rise between two mesh
        positions: with every feature in the mesh a member is smooth between them and
        rises as the gap squared, else (a point load between) as the gap."""
        gap = max((b - a for a, b in zip(self.x, self.x[1:])), default=0.0)
        shortest = min(b - a for a, b in self.members.beam.spans())
        ratio = gap / shortest
        return min(1.0, max(MARGIN, 16 * ratio * ratio if self.members.complete else 4 * ratio))

    def _reaching(self, near: Mapping[tuple[Quantity, float], tuple[float, float, list[int]]],
                  margin: float) -> dict[tuple[Quantity, float], dict[int, list[tuple[float, float]]]]:
        """For each quantity and side, the members within the margin of the top at mesh
        entries near it, each with the stretches between the mesh positions either side
        of those entries, merged. Members are read a chunk at a time, each member at
        every entry sought in one call, and only where the chunk's screen comes within
        the margin."""
        where = self._read_positions()
        positions = sorted(set(self.x))
        around = {e: (positions[max(k - 1, 0)], positions[min(k + 1, len(positions) - 1)])
                  for _, _, entries in near.values() for e in entries
                  for k in [bisect.bisect_left(positions, self.x[e])]}
        found: dict[tuple[Quantity, float], dict[int, list[tuple[float, float]]]] = {key: {} for key in near}
        count = len(self.members)
        none: Sequence[Screen] = ()
        screens = next(iter(self.screens.values()), none)
        firsts = [screen.first for screen in screens] or [0]
        # Members that the core solves and reads again a chunk at a time (a vehicle's).
        reach: Callable[[int, int, list[tuple[Quantity, float, list[float], float]]], list[tuple[int, int, int]]] \
            | None = getattr(self.members, "reach", None)
        for c, (base, end) in enumerate(zip(firsts, firsts[1:] + [count])):
            chunk: list[SolvedBeam] = []
            asks: list[tuple[Quantity, float, list[int], float]] = []
            for (q, sign), (top, scale, entries) in near.items():
                least, reached = top - margin * scale, found[(q, sign)]
                if q in self.screens:
                    screen = self.screens[q][c]
                    entries = [e for e in entries if (screen.top[e] if sign > 0 else -screen.bottom[e]) >= least]
                if reach is not None:
                    asks.append((q, sign, entries, least))
                    continue
                if entries and not chunk:
                    chunk = [self.members.solve(k) for k in range(base, end)]
                at = [where[e] for e in entries]
                rows = [member.values(q, at) for member in chunk]
                for e, column in zip(entries, zip(*rows)):
                    if (max(column) if sign > 0 else -min(column)) >= least:
                        for i, value in enumerate(column):
                            if sign * value >= least:
                                reached.setdefault(base + i, []).append(around[e])
            if reach is not None:  # the same members in the same order, read by the core
                for a, i, member in reach(base, end, [(q, sign, [where[e] for e in entries], least)
                                                      for q, sign, entries, least in asks]):
                    q, sign, entries, _ = asks[a]
                    found[(q, sign)].setdefault(member, []).append(around[entries[i]])
        return {key: {k: _merged(stretches) for k, stretches in members.items()} for key, members in found.items()}

    def _read_positions(self) -> list[float]:
        """Where each mesh entry is read: the first of a position held twice (and the
        end of the beam) just left of it."""
        span = float(self.members.beam.span)
        below = math.nextafter
        return [below(x, -math.inf) if x == span or (e + 1 < len(self.x) and self.x[e + 1] == x) else x
                for e, x in enumerate(self.x)]

    def coincident(self, quantity: Quantity, which: Which = "max") -> dict[Quantity, list[float]]:
        """The other quantities acting with the band's max (or min) of `quantity`, per
        mesh entry: each read from the member giving that extreme, at the same section
        and side (coincident("bm")["sf"][e]: the shear with the largest moment at x[e])."""
        from .coincident import check_which, coincident_table
        check_which(quantity, which, self.bands)
        if "table" not in self._coincident:
            self._coincident["table"] = coincident_table(self)
        return self._coincident["table"][quantity][which]

    def extremes_coincident(self, extremes: Mapping[Quantity, EnvelopeExtreme] | None = None
                            ) -> dict[Quantity, dict[Which, dict[Quantity, float]]]:
        """The other quantities acting with each of extremes() (given, or found), per
        quantity, "max" and "min": those of the mesh entry holding it, or for a peak
        between mesh positions, the member's on the side where it reaches the peak."""
        from .coincident import WHICH, at_extreme
        given = cast(object, extremes)  # as given: the checks do not trust the types
        if given is not None and not (isinstance(given, Mapping) and all(
                q in self.bands and isinstance(e, EnvelopeExtreme)
                for q, e in cast("Mapping[object, object]", given).items())):
            raise ModelError([Problem("extremes", f"must be what this envelope's extremes() gives, got {show(extremes)}")])
        found = self.extremes() if extremes is None else extremes
        self.coincident(next(iter(self.bands)))  # fills the table
        table = self._coincident["table"]
        return {q: {which: at_extreme(self, q, which, e, table) for which in WHICH} for q, e in found.items()}

    def augment(self, *others: Envelope, names: Sequence[str] | None = None) -> Envelope:
        """The envelope of this envelope and others of the same beam (see algebra.augment)."""
        from .algebra import augment
        return augment(self, *others, names=names)

    def plus(self, result: Result, factor: float = 1.0) -> Envelope:
        """This envelope with a fixed result times `factor` added to every member (see algebra.plus)."""
        from .algebra import plus
        return plus(self, result, factor)

    def __or__(self, other: Envelope) -> Envelope:
        """env1 | env2: their augment, members named "1: ..." and "2: ..."."""
        if not isinstance(cast(object, other), Envelope):
            return NotImplemented
        return self.augment(other)

    def __add__(self, other: Result) -> Envelope:
        """env + result (or result + env): the result added to every member, as plus(result)."""
        if isinstance(cast(object, other), Envelope):
            raise TypeError("an envelope plus an envelope has no member that gives each value: take env1 | env2 "
                            "for the worse of the two, or env.plus(result) to add a fixed result")
        if not isinstance(cast(object, other), Result):
            return NotImplemented
        return self.plus(other)

    __radd__ = __add__

    def to_dict(self) -> dict[str, object]:
        """Plain JSON-ready data: names, extremes and reaction ranges with the member
        giving each (max_by, min_by), and the bands as the columns of to_csv()."""
        from .export import envelope_to_dict
        return envelope_to_dict(self)

    def to_csv(self, path: str | os.PathLike[str], members: Mapping[str, Result] | None = None) -> None:
        """The bands as CSV: x, side, then per quantity max, max_by, min, min_by; with
        `members` (solved beams by name), each one's values on the mesh after them."""
        from .export import envelope_to_csv
        return envelope_to_csv(self, path, members)

    def to_dataframe(self, members: Mapping[str, Result] | None = None) -> Any:
        """The columns of to_csv() as a pandas DataFrame (needs pandas)."""
        from .export import data_frame, envelope_columns
        return data_frame(envelope_columns(self, members))

    def _repr_html_(self) -> str:
        """A notebook's view: the extremes with the members giving them, and the bands as SVG."""
        from .notebook import envelope_html
        return envelope_html(self)


def _merged(stretches: Iterable[tuple[float, float]]) -> list[tuple[float, float]]:
    """Overlapping or touching stretches joined, left to right."""
    out: list[tuple[float, float]] = []
    for a, b in sorted(stretches):
        if out and a <= out[-1][1]:
            out[-1] = (out[-1][0], max(out[-1][1], b))
        else:
            out.append((a, b))
    return out


class LoadMembers:
    """One beam under several lists of loads as envelope members, each solved
    (`solved`, in the order of `loads`) before the mesh is made from their features."""

    def __init__(self, beam: Beam, labels: Sequence[str], loads: Sequence[Sequence[Load]],
                 solved: Sequence[SolvedBeam]) -> None:
        self.beam, self.labels, self.loads, self.solved = beam, labels, loads, solved
        # Each distinct load once: a pattern's members share their spans' parts (39 loads
        # of 9 in the pattern job, 3% of its instructions).
        distinct = list({id(load): load for member in loads for load in member}.values())
        self.degree = degree_of(distinct)
        self.axial = any(load.axial() for load in distinct)
        self.complete = True
        self._still: dict[Quantity, list[float]] | None = None

    def __len__(self) -> int:
        return len(self.loads)

    def name(self, k: int) -> str:
        return self.labels[k]

    def solve(self, k: int) -> SolvedBeam:
        return self.solved[k]

    def features(self, k: int) -> list[float]:
        return self.solved[k].features()

    def mesh_features(self, k: int) -> list[float]:
        return self.features(k)

    def jumps(self, k: int) -> Mapping[Quantity, Sequence[float]]:
        loads = self.loads[k]
        if any(isinstance(load, (PointLoad, Moment)) for load in loads):
            return jumps_of(self.beam.supports, loads, self.beam.hinges)
        # Only the supports and hinges jump: the same lists for every such member (most
        # patterns and combinations of distributed loads; 1.4% of the pattern job).
        if self._still is None:
            self._still = jumps_of(self.beam.supports, (), self.beam.hinges)
        return self._still

    def standing(self, k: int) -> Mapping[float, float]:
        return {}  # its loads stand still


def envelope(members: Mapping[str, Result] | Sequence[Result], *, n: int = 200, points: Sequence[float] = (),
             quantities: Sequence[Quantity] = QUANTITIES, progress: bool = False) -> Envelope:
    """The envelope of solved beams of one geometry: a mapping of names to Results
    (as Beam.solve_combinations() gives), or a list of Results (named by their beams'
    titles, or their index). `n`: the mesh has no gap wider than span / n; `points`:
    positions the mesh holds as well; `quantities`: which diagrams to envelope (the
    rotation, "rotation", only when asked: each member then solves once more)."""
    c = Checker()
    given = cast(object, members)  # as given: the checks do not trust the types
    results: list[object] = []
    labels: list[str] = []
    if isinstance(given, Mapping):
        named = cast("Mapping[object, object]", given)
        labels, results = [str(name) for name in named], list(named.values())
    elif isinstance(given, (str, bytes)) or not isinstance(given, Iterable):
        c.add("members", f"must be a mapping of names to Results or a list of Results, got {show(given)}")
    else:
        results = list(cast("Iterable[object]", given))
        labels = [r.beam.title or str(k) if isinstance(r, Result) else str(k) for k, r in enumerate(results)]
    beam = _same_beam(c, results, labels)
    # Without a member to take it from, the span is unknown: points are checked as numbers.
    check_reading(c, math.inf if beam is None else float(beam.span), n, points, quantities)
    if c.problems or beam is None:
        raise ModelError(c.problems)
    checked = cast("list[Result]", results)
    turning = "rotation" in quantities  # read from the solves that hold the rotation (the same bits)
    members_ = LoadMembers(beam, labels, [result.beam.loads for result in checked],
                           [result.rotated if turning else result.solved for result in checked])
    return build(members_, n=n, points=points, quantities=quantities, progress=progress, checked=True)


def _same_beam(c: Checker, results: list[object], labels: Sequence[str]) -> Beam | None:
    """The beam of the members, when they are Results of one beam geometry; the problems
    of every member that is not one added to `c`."""
    if not results and not c.problems:
        c.add("members", "an envelope needs at least one member")
    solved = [(k, r.beam) for k, r in enumerate(results) if isinstance(r, Result)]
    first, beam = solved[0] if solved else (0, None)
    for k, result in enumerate(results):
        if not isinstance(result, Result):
            c.add(f"members[{k}]", f"is not a Result (of Beam.solve()): got {show(result)}")
        elif beam is not None and (result.beam.span != beam.span or tuple(result.beam.supports) != tuple(beam.supports)):
            c.add(f"members[{k}]", f"({labels[k]}) its span or supports differ from those of members[{first}]; "
                                   "an envelope is taken over one beam under different loads")
    return beam


# The mesh as the core makes it (_engine.envelope_mesh): position, read_at, left,
# right, x, source, keys and key_position as float64 and int64 bytes.
MeshBytes = tuple[bytes, bytes, bytes, bytes, bytes, bytes, bytes, bytes]


@dataclass(frozen=True, slots=True)
class Mesh:
    """The common mesh: per entry its place (`x`, the envelope's), and the core's bytes,
    which its folds read as they are. A record of two fields, the lists made only
    for the layer's own fold: the bytes as eight fields cost the pattern job 2 us."""

    x: list[float]
    raw: MeshBytes

    def plan(self) -> tuple[bytes, ...]:
        """As the core's folds read it: positions, where each is read, its entries, and
        every feature's exact value (ascending) with its mesh position."""
        position, read_at, left, right, _, _, keys, key_position = self.raw
        return position, read_at, left, right, keys, key_position

    def lists(self) -> MeshLists:
        position, read_at, left, right, _, source, keys, key_position = self.raw
        return MeshLists(float_list(position), float_list(read_at), int_list(left), int_list(right), self.x, int_list(source),
                         dict(zip(float_list(keys), int_list(key_position))), read_at)


@dataclass(frozen=True, slots=True)
class MeshLists:
    """The mesh as the layer's own fold reads it: per mesh position its place, where its
    main column is read and its entries (left, right: the same one where nothing
    jumps); per entry its place and its mesh position."""

    position: list[float]
    read_at: list[float]
    left: list[int]
    right: list[int]
    x: list[float]  # per entry
    source: list[int]  # per entry, its mesh position
    index: dict[float, int]  # a feature's exact value -> its mesh position
    read_bytes: bytes  # read_at as float64, how a member's row is asked of the core


def float_list(data: bytes | bytearray) -> list[float]:
    """float64 bytes (the core's) as a list of floats."""
    return array("d", data).tolist()


def int_list(data: bytes | bytearray) -> list[int]:
    """int64 bytes (the core's) as a list of ints."""
    return array("q", data).tolist()


def build(members: Members, *, n: int = 200, points: Sequence[float] = (),
          quantities: Sequence[Quantity] = QUANTITIES, progress: bool = False,
          label: str = "envelope", checked: bool = False) -> Envelope:
    """The envelope of any members (see Members); `checked`: the caller has checked n,
    points and quantities with check_reading (0.8% of the pattern job to do it twice)."""
    c = Checker()
    if not checked:
        check_reading(c, float(members.beam.span), n, points, quantities)
    if c.problems:
        raise ModelError(c.problems)
    count = len(members)
    jumps = [members.jumps(k) for k in range(count)]
    standing = [members.standing(k) for k in range(count)]
    made = mesh_of(members, jumps, n, points)
    if IN_CORE and not any(standing):
        from .core_fold import fold_solved  # here: it builds on this module's records
        return fold_solved(members, jumps, made, quantities, FEW, CHUNK, Progress(count, label, progress))
    mesh = made.lists()
    bands: dict[Quantity, _Running] = {q: _Running(len(mesh.x)) for q in dict.fromkeys(quantities)}
    # No axial load, no normal force: zero everywhere, read from no member (a third of
    # the reads of a four-diagram envelope of vehicle positions).
    read: list[Quantity] = [q for q in bands if q != "nf" or members.axial]
    reactions = _ReactionRunning(members)
    bar = Progress(count, label, progress)
    if count <= FEW:
        chunk = [members.solve(k) for k in range(count)]
        for q in read:
            _fold_rows(bands[q], q, chunk, _fixes(mesh, jumps, standing, q), mesh)
        reactions.add(chunk, 0)
        bar.update(count)
    else:
        for base in range(0, count, CHUNK):
            chunk = [members.solve(k) for k in range(base, min(base + CHUNK, count))]
            for q in read:
                part = slice(base, base + len(chunk))
                fixes = _fixes(mesh, jumps[part], standing[part], q)
                _fold_chunk(bands[q], q, chunk, fixes, mesh, base)
            reactions.add(chunk, base)
            bar.update(base + len(chunk))
    bar.close()
    if "nf" in bands and not members.axial:
        size = len(mesh.x)
        bands["nf"].hi, bands["nf"].lo = [0.0] * size, [0.0] * size
    done: dict[Quantity, Band] = {q: Band(b.hi, b.lo, b.hi_member, b.lo_member) for q, b in bands.items()}
    screens: dict[Quantity, Sequence[Screen]] = {q: b.screens for q, b in bands.items() if b.screens}
    return Envelope([members.name(k) for k in range(count)], mesh.x, done, reactions.ranges(), members, screens)


def check_reading(c: Checker, span: float, n: object, points: object, quantities: object) -> None:
    """The problems of an envelope's arguments: its mesh's `n` and `points` (on the
    beam), and the `quantities` to envelope."""
    c.count(n, "n")
    check_points(c, span, points)
    if isinstance(quantities, (str, bytes)) or not isinstance(quantities, Sequence):
        c.add("quantities", f"must be a list of {NAMES}, got {show(quantities)}")
        return
    if not quantities:
        c.add("quantities", f"give at least one of {NAMES}")
    for k, q in enumerate(cast("Sequence[object]", quantities)):
        if q not in ALL_QUANTITIES:
            c.add(f"quantities[{k}]", f"{show(q)} is not one of {NAMES}")


def check_points(c: Checker, span: float, points: object) -> None:
    """Positions asked for besides a mesh's own: a list (or an array) of numbers on the beam."""
    if isinstance(points, (str, bytes)) or not isinstance(points, Collection):
        c.add("points", f"must be a list of positions, got {show(points)}")
        return
    for k, point in enumerate(cast("Collection[object]", points)):
        x = c.finite(point, f"points[{k}]")
        if x is not None and not 0.0 <= x <= span:
            c.add(f"points[{k}]", f"{show(x)} is not on the beam [0, {show(span)}]")


def mesh_of(members: Members, jumps: list[Mapping[Quantity, Sequence[float]]], n: int,
            points: Sequence[float]) -> Mesh:
    """The mesh of the members (see the module's docstring), made by the core: each
    member's features, and where any member jumps (members sharing their jumps'
    mapping give it once)."""
    features = list(map(members.mesh_features, range(len(members))))
    jumping = [positions for member in {id(m): m for m in jumps}.values() for positions in member.values()]
    raw: MeshBytes = _engine.envelope_mesh(float(members.beam.span), features, jumping, n, points, MERGE)
    return Mesh(float_list(raw[4]), raw)


# One member's jumps at one mesh position: its index in the chunk, its leftmost and
# its rightmost jump there.
Own = tuple[int, float, float]
# One member's axle standing there on another shear jump: its index in the chunk and
# the axle's shear jump if it stands on the member's leftmost jump, and if on the
# rightmost (0.0: not).
Limit = tuple[int, float, float]
# Per mesh position, the members that jump there, and those of them with an axle's limits.
Fixes = tuple[dict[int, list[Own]], dict[int, list[Limit]]]


def _fixes(mesh: MeshLists, jumps: list[Mapping[Quantity, Sequence[float]]], standing: list[Mapping[float, float]],
           q: Quantity) -> Fixes:
    """Per mesh position, the members (of a chunk) that jump there in q. A member with
    several jumps merged into one position is read left of the leftmost of them and
    right of the rightmost, so that neither side takes a value from between them."""
    out: dict[int, list[Own]] = {}
    limits: dict[int, list[Limit]] = {}
    index = mesh.index
    shear = q == "sf"
    for i, member in enumerate(jumps):
        for x in member.get(q, ()):
            j = index[x]
            own = out.get(j)
            if own is None:
                out[j] = [(i, x, x)]
            elif own[-1][0] == i:  # the member jumps twice there: the members come in order
                _, first, last = own[-1]
                own[-1] = (i, min(first, x), max(last, x))
            else:
                own.append((i, x, x))
        if shear and standing[i]:
            for x, jump in standing[i].items():
                j = index[x]
                own = out.setdefault(j, [])
                if not own or own[-1][0] != i:  # its axle is its jump there (not in the mesh's own jumps)
                    own.append((i, x, x))
                _, first, last = own[-1]  # this member's, the last one in
                limits.setdefault(j, []).append((i, jump if x == first else 0.0, jump if x == last else 0.0))
    return out, limits


class _Running:
    """A band being built: the envelope so far, per entry."""

    __slots__ = ("hi", "lo", "hi_member", "lo_member", "hi_guess", "lo_guess", "screens", "tops", "bottoms")

    def __init__(self, size: int) -> None:
        self.hi = [-math.inf] * size
        self.lo = [math.inf] * size
        self.hi_member = [0] * size
        self.lo_member = [0] * size
        # Where in its chunk the last member giving a new top or bottom stood.
        self.hi_guess = self.lo_guess = 0
        self.screens: list[Screen] = []
        # The chunk's column top and bottom at each entry while it is read: into lists,
        # then arrays (stored into arrays directly: twice the cost, 1% of a vehicle job).
        self.tops: list[float] = []
        self.bottoms: list[float] = []

    def open_screen(self) -> None:
        self.tops, self.bottoms = [-math.inf] * len(self.hi), [math.inf] * len(self.hi)

    def close_screen(self, base: int) -> None:
        self.screens.append(Screen(base, array("d", self.tops), array("d", self.bottoms)))
        self.tops = self.bottoms = []

    def fold(self, column: list[float], ordered: list[float], base: int, first: int, last: int) -> None:
        """Take a column's top and bottom (the last and the first of `ordered`, the column
        sorted) into entries first and last (the same one, or both sides of a jump); the
        member is looked for only where the column raises the envelope (the first of
        equal values)."""
        hi, lo = self.hi, self.lo
        top, bottom = ordered[-1], ordered[0]
        if top > hi[first] or top > hi[last]:
            self.hi_guess = _locate(column, top, self.hi_guess, len(ordered) == 1 or ordered[-2] != top)
            for e in (first, last):
                if top > hi[e]:
                    hi[e], self.hi_member[e] = top, base + self.hi_guess
        if bottom < lo[first] or bottom < lo[last]:
            self.lo_guess = _locate(column, bottom, self.lo_guess, len(ordered) == 1 or ordered[1] != bottom)
            for e in (first, last):
                if bottom < lo[e]:
                    lo[e], self.lo_member[e] = bottom, base + self.lo_guess

    def take(self, column: list[float], base: int, e: int) -> None:
        """Fold a column into entry e alone, and note its range for the chunk's screen."""
        ordered = sorted(column)
        self.fold(column, ordered, base, e, e)
        if self.tops:
            self.tops[e], self.bottoms[e] = ordered[-1], ordered[0]

    def fold_limits(self, limits: list[tuple[int, float]], e: int) -> None:
        """Take (member, value) pairs into entry e, the first member of equal values."""
        for member, value in limits:
            if value > self.hi[e] or (value == self.hi[e] and member < self.hi_member[e]):
                self.hi[e], self.hi_member[e] = value, member
            if value < self.lo[e] or (value == self.lo[e] and member < self.lo_member[e]):
                self.lo[e], self.lo_member[e] = value, member


def _locate(column: list[float], value: float, guess: int, unique: bool) -> int:
    """The first member with the value. In a long column a value that no other member
    shares is looked for first beside the last one found: the member that governs
    moves little from one mesh position to the next (a vehicle one step further).
    Measured on the vehicle benchmark: 1,900 full searches of a column instead of
    12,600, 6% of its instructions."""
    if unique and len(column) > 16:
        for i in (guess, guess + 1, guess - 1, guess + 2, guess - 2):
            if 0 <= i < len(column) and column[i] is value:
                return i
    return column.index(value)


def _fold_rows(band: _Running, q: Quantity, members: list[SolvedBeam], fixes: Fixes, mesh: MeshLists) -> None:
    """The envelope of a few members, read one member at a time along the mesh (one
    call each). Each entry's top and bottom come from sorting its column, as in
    _fold_chunk (the top is the last of equal values, the bottom the first), and its
    member from the column's index(); the positions where members jump are then
    taken one by one."""
    rows = [member.values(q, mesh.read_at) for member in members]
    columns: list[tuple[float, ...]] = list(map(list(zip(*rows)).__getitem__, mesh.source))
    ordered = list(map(sorted, columns))
    band.hi, band.lo = list(map(_LAST, ordered)), list(map(_FIRST, ordered))
    band.hi_member = list(map(_INDEX, columns, band.hi))
    band.lo_member = list(map(_INDEX, columns, band.lo))
    owners, limits = fixes
    for j, own in owners.items():
        for e in (mesh.left[j], mesh.right[j]):
            band.hi[e], band.lo[e] = -math.inf, math.inf
        _fold_jump(band, q, members, list(columns[mesh.left[j]]), own, limits.get(j, []), mesh, j, 0)


def _fold_chunk(band: _Running, q: Quantity, chunk: list[SolvedBeam], fixes: Fixes, mesh: MeshLists, base: int) -> None:
    """Every mesh position across the chunk. Each member's row along the mesh comes
    from one call to the core as float64; a position's column is a strided view of the
    rows side by side, made floats at once (half the time of one query per value).
    The column's top and bottom come from sorting a copy: list.sort compares floats
    directly and finds the runs of a column that changes smoothly from member to member
    (measured on vehicle positions: 6 ns a value against 28 for max() and min(), 21% of
    the vehicle benchmark's instructions). Positions where no member of the chunk
    jumps take the short way."""
    hi, lo = band.hi, band.lo
    owners, limits = fixes
    band.open_screen()
    tops, bottoms = band.tops, band.bottoms
    count = len(mesh.read_at)
    rows = memoryview(b"".join([member.values(q, mesh.read_bytes) for member in chunk])).cast("d")
    for j, (left, right) in enumerate(zip(mesh.left, mesh.right)):
        column = cast("list[float]", rows[j::count].tolist())  # a float64 view gives floats
        own = owners.get(j)
        if own is not None:
            _fold_jump(band, q, chunk, column, own, limits.get(j, []), mesh, j, base)
            continue
        ordered = sorted(column)
        top, bottom = ordered[-1], ordered[0]
        tops[left] = tops[right] = top
        bottoms[left] = bottoms[right] = bottom
        if top > hi[left] or bottom < lo[left] or top > hi[right] or bottom < lo[right]:
            band.fold(column, ordered, base, left, right)
    band.close_screen(base)


def _fold_jump(band: _Running, q: Quantity, chunk: list[SolvedBeam], column: list[float],
               own: list[Own], limits: list[Limit], mesh: MeshLists, j: int, base: int) -> None:
    """A position where members of the chunk jump: each is read beside its own jumps.
    An axle standing on another jump (a support, say) also gives its limits: moved a
    hair back, the shear just left of the position is L + J (J its own jump); a hair
    on, the shear just right of it is R - J; the reactions do not change in the limit."""
    left, right = mesh.left[j], mesh.right[j]
    p = mesh.position[j]
    below = math.nextafter
    if left == right:  # an end: right of x = 0, left of x = span
        if j == len(mesh.position) - 1:
            for i, first, _ in own:
                if first != p:
                    column[i] = chunk[i].values(q, below(first, -math.inf))
            beside = [(base + i, column[i] + axle) for i, axle, _ in limits if axle]
        else:
            for i, _, last in own:
                if last != p:
                    column[i] = chunk[i].values(q, last)
            beside = [(base + i, column[i] - axle) for i, _, axle in limits if axle]
        band.take(column, base, left)
        band.fold_limits(beside, left)
        return
    for i, _, last in own:  # right of the jumps, then left of them
        if last != p:
            column[i] = chunk[i].values(q, last)
    band.take(column, base, right)
    if limits:
        band.fold_limits([(base + i, column[i] - axle) for i, _, axle in limits if axle], right)
    for i, first, _ in own:
        column[i] = chunk[i].values(q, below(first, -math.inf))
    band.take(column, base, left)
    if limits:
        band.fold_limits([(base + i, column[i] + axle) for i, axle, _ in limits if axle], left)


class _ReactionRunning:
    """The reactions' ranges being built, per support in the model's order."""

    def __init__(self, members: Members) -> None:
        supports = members.beam.supports
        self.supports = supports
        self.hi = [[-math.inf] * 3 for _ in supports]
        self.lo = [[math.inf] * 3 for _ in supports]
        self.hi_member = [[0] * 3 for _ in supports]
        self.lo_member = [[0] * 3 for _ in supports]

    def add(self, chunk: list[SolvedBeam], base: int) -> None:
        rows = [solved.reactions() for solved in chunk]  # in the model's order of supports
        for s in range(len(self.supports)):
            for c in range(3):
                column = [row[s][c] for row in rows]
                top, bottom = max(column), min(column)
                if top > self.hi[s][c]:
                    self.hi[s][c], self.hi_member[s][c] = top, base + column.index(top)
                if bottom < self.lo[s][c]:
                    self.lo[s][c], self.lo_member[s][c] = bottom, base + column.index(bottom)

    def ranges(self) -> tuple[ReactionRange, ...]:
        def of(s: int, c: int) -> Range:
            return Range(self.hi[s][c], self.hi_member[s][c], self.lo[s][c], self.lo_member[s][c])
        return tuple(ReactionRange(support, of(s, 0), of(s, 1), of(s, 2)) for s, support in enumerate(self.supports))
