"""Envelopes combined: the envelope of several envelopes of one beam (augment), and
a fixed result added to an envelope (superposition), each keeping who governs.

Envelopes of one beam may have different meshes (the features of their members
differ: the axles of two vehicles). The combination is read on the union of their
positions, merged as one mesh merges features (closer than 1e-12 of the span: one
position), each held twice where any input holds it twice or the added result
jumps. An envelope that lacks some of those positions is read again there from its
own members (they are held), so every value is exact, never interpolated; where
an input holds a position once, its diagrams are continuous there and both
entries take that value.
"""

from __future__ import annotations

import bisect
import math
from array import array
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import Literal, cast, overload

from ._engine import SolvedBeam
from .checks import Checker
from .envelopes import MERGE, Band, Envelope, Members, Range, ReactionRange, Screen, build
from .errors import ModelError, show
from .model import Beam, Result, jumps_of
from .lanes import LANE_PER_SECTION, LaneEnvelope, plus_lane
from .moving import MovingLoad
from .result import ALL_QUANTITIES, Quantity

# What must agree for two envelopes (or an envelope and a result) to be of one beam.
SAME_BEAM = ("span", "E", "I", "A", "G", "supports", "sections", "hinges", "units", "unit_names")


@dataclass(frozen=True, slots=True)
class _Placed:
    """An envelope read on a mesh holding every position of the combination: per
    position of the combination, its entries there (left, right: the same one where
    it holds the position once)."""

    envelope: Envelope
    left: list[int]
    right: list[int]
    doubled: list[bool]


def _positions(x: Sequence[float]) -> tuple[list[float], dict[float, tuple[int, int]]]:
    """The distinct positions of a mesh and each one's entries (left, right)."""
    entries: dict[float, tuple[int, int]] = {}
    for e, p in enumerate(x):
        first, _ = entries.get(p, (e, e))
        entries[p] = (first, e)
    return sorted(entries), entries


def _union(meshes: Sequence[Sequence[float]], span: float) -> list[float]:
    """The positions of all meshes, those closer than MERGE of the span as one, placed
    at their shortest decimal (as a mesh places merged features); the ends kept."""
    groups: list[list[float]] = []
    for value in sorted(set[float]().union(*meshes)):
        if groups and value - groups[-1][-1] <= MERGE * span:
            groups[-1].append(value)
        else:
            groups.append([value])
    return [g[0] if len(g) == 1 else min(g, key=lambda v: (len(repr(v)), v)) for g in groups]


def _near(positions: list[float], x: float, tolerance: float) -> float | None:
    k = bisect.bisect_left(positions, x)
    best = min(positions[max(k - 1, 0):k + 1], key=lambda p: abs(p - x), default=None)
    return best if best is not None and abs(best - x) <= tolerance else None


def _place(envelope: Envelope, union: list[float]) -> _Placed:
    """The envelope on the union's positions, its members read again where it lacks any."""
    tolerance = MERGE * float(envelope.members.beam.span)
    own, _ = _positions(envelope.x)
    missing = [u for u in union if _near(own, u, tolerance) is None]
    if missing:
        envelope = _reread(envelope, own + missing)
        own, _ = _positions(envelope.x)
    _, entries = _positions(envelope.x)
    pairs = [entries[cast(float, _near(own, u, tolerance))] for u in union]
    return _Placed(envelope, [a for a, _ in pairs], [b for _, b in pairs], [a != b for a, b in pairs])


def _reread(envelope: Envelope, positions: list[float]) -> Envelope:
    """The same members enveloped on a mesh that holds `positions` (and their features)."""
    return build(envelope.members, n=1, points=positions, quantities=list(envelope.bands))


def _entries(doubled: list[bool]) -> list[tuple[int, bool]]:
    """The combination's entries: per position, once, or twice (left then right)."""
    return [(j, side) for j, twice in enumerate(doubled) for side in ((True, False) if twice else (False,))]


def _source(placed: _Placed, j: int, left: bool) -> int:
    return placed.left[j] if left else placed.right[j]


# --- augment -----------------------------------------------------------------------------------


class JoinedMembers:
    """The members of several envelopes of one beam, one after the other, each named
    with its envelope's name first ("LM1: forward, front axle at 32.0")."""

    def __init__(self, parts: Sequence[tuple[str, Members]]) -> None:
        self.parts = parts
        self.beam = parts[0][1].beam
        self.degree = max(m.degree for _, m in parts)
        self.axial = any(m.axial for _, m in parts)
        self.complete = all(m.complete for _, m in parts)
        self.starts = [0]
        for _, members in parts:
            self.starts.append(self.starts[-1] + len(members))

    def _at(self, k: int) -> tuple[int, Members, int]:
        if not 0 <= k < len(self):
            raise IndexError(k)
        part = bisect.bisect_right(self.starts, k) - 1
        return part, self.parts[part][1], k - self.starts[part]

    def __len__(self) -> int:
        return self.starts[-1]

    def name(self, k: int) -> str:
        part, members, i = self._at(k)
        return f"{self.parts[part][0]}: {members.name(i)}"

    def features(self, k: int) -> list[float]:
        _, members, i = self._at(k)
        return members.features(i)

    def mesh_features(self, k: int) -> list[float]:
        _, members, i = self._at(k)
        return members.mesh_features(i)

    def jumps(self, k: int) -> Mapping[Quantity, Sequence[float]]:
        _, members, i = self._at(k)
        return members.jumps(i)

    def standing(self, k: int) -> Mapping[float, float]:
        _, members, i = self._at(k)
        return members.standing(i)

    def solve(self, k: int) -> SolvedBeam:
        _, members, i = self._at(k)
        return members.solve(i)


def augment(*envelopes: Envelope | MovingLoad, names: Sequence[str] | None = None) -> Envelope:
    """The envelope of envelopes of one beam: at each position the largest of their
    maxima and the smallest of their minima, each with the member giving it, named
    with its envelope's name first (`names`, by default "1", "2", ...). The first
    envelope wins a tie. Reactions' ranges are combined the same way."""
    given = [_envelope_of(e) for e in envelopes]
    c = Checker()
    if not given:
        c.add("envelopes", "give at least one envelope")
    for k, item in enumerate(given):
        if item is None:
            c.add(f"envelopes[{k}]", f"is not an Envelope (or a MovingLoad): got {show(envelopes[k])}")
        elif isinstance(item, LaneEnvelope):
            c.add(f"envelopes[{k}]", LANE_PER_SECTION)
    labels = _names(c, names, len(given))
    found = [e for e in given if e is not None]
    if not c.problems:
        for k, item in enumerate(found[1:], 1):
            _same_beam(c, found[0].members.beam, item.members.beam, f"envelopes[{k}]", "envelopes[0]")
            if set(item.bands) != set(found[0].bands):
                c.add(f"envelopes[{k}]", f"its quantities ({', '.join(item.bands)}) differ from those of "
                                         f"envelopes[0] ({', '.join(found[0].bands)}); envelope the same ones")
    if c.problems:
        raise ModelError(c.problems)
    span = float(found[0].members.beam.span)
    union = _union([e.x for e in found], span)
    placed = [_place(e, union) for e in found]
    entries = _entries([any(p.doubled[j] for p in placed) for j in range(len(union))])
    offsets = [0]
    for item in found:
        offsets.append(offsets[-1] + len(item.names))
    quantities: list[Quantity] = list(found[0].bands)
    bands: dict[Quantity, Band] = {q: _worst([(p.envelope.bands[q], offset) for p, offset in zip(placed, offsets)],
                       [[_source(p, j, left) for j, left in entries] for p in placed]) for q in quantities}
    members = JoinedMembers([(label, p.envelope.members) for label, p in zip(labels, placed)])
    screens: dict[Quantity, list[Screen]] = {
        q: [screen for p, offset in zip(placed, offsets) for screen in _screens(p, q, entries, offset)]
        for q in quantities}
    reactions = tuple(_joined_ranges([(e.reactions[s], offset) for e, offset in zip(found, offsets)])
                      for s in range(len(found[0].reactions)))
    return Envelope([members.name(k) for k in range(len(members))], [union[j] for j, _ in entries], bands,
                    reactions, members, screens)


def _envelope_of(item: object) -> Envelope | None:
    if isinstance(item, MovingLoad):
        return item.envelope
    return item if isinstance(item, Envelope) else None


def _names(c: Checker, names: object, count: int) -> list[str]:
    if names is None:
        return [str(k + 1) for k in range(count)]
    if isinstance(names, (str, bytes)) or not isinstance(names, Sequence):
        c.add("names", f"must be a list of {count} names, got {show(names)}")
        return []
    given = list(cast("Sequence[object]", names))
    if len(given) != count:
        c.add("names", f"{count} envelopes need {count} names, got {len(given)}")
    for k, name in enumerate(given):
        if not isinstance(name, str) or not name:
            c.add(f"names[{k}]", f"must be a non-empty text, got {show(name)}")
    return [str(name) for name in given]


def _same_beam(c: Checker, beam: Beam, other: Beam, path: str, against: str) -> None:
    """The problems of combining results of two beams: every property that differs."""
    for key in SAME_BEAM:
        mine, theirs = getattr(other, key), getattr(beam, key)
        if key in ("supports", "sections", "hinges"):
            mine, theirs = tuple(mine), tuple(theirs)
        elif key in ("units", "unit_names"):
            mine, theirs = dict(mine), dict(theirs)
        if mine != theirs:
            c.add(f"{path}.beam.{key}", f"{show(mine)} differs from {show(theirs)} of {against}; only results of "
                                        "one beam in the same units combine")


def _worst(bands: Sequence[tuple[Band, int]], sources: Sequence[list[int]]) -> Band:
    """Per entry the largest max and the smallest min of the bands, read at their
    source entries, with the member (offset into the joined names); the first wins a tie."""
    size = len(sources[0])
    hi, lo = [-math.inf] * size, [math.inf] * size
    hi_member, lo_member = [0] * size, [0] * size
    for (band, offset), source in zip(bands, sources):
        for e, s in enumerate(source):
            if band.max[s] > hi[e]:
                hi[e], hi_member[e] = band.max[s], offset + band.max_member[s]
            if band.min[s] < lo[e]:
                lo[e], lo_member[e] = band.min[s], offset + band.min_member[s]
    return Band(hi, lo, hi_member, lo_member)


def _screens(placed: _Placed, q: Quantity, entries: list[tuple[int, bool]], offset: int,
             shift: Sequence[float] = ()) -> list[Screen]:
    """An input's chunk screens on the combination's entries (raised by `shift`). Where
    it kept none for q (few members, or no normal force), its band bounds every chunk."""
    envelope = placed.envelope
    source = [_source(placed, j, left) for j, left in entries]
    add = shift or [0.0] * len(source)
    kept = envelope.screens.get(q) or ()
    firsts = [screen.first for screen in next(iter(envelope.screens.values()), ())] or [0]
    band = envelope.bands[q]
    out: list[Screen] = []
    for c, first in enumerate(firsts):
        top, bottom = (kept[c].top, kept[c].bottom) if kept else (band.max, band.min)
        out.append(Screen(offset + first, array("d", [top[s] + a for s, a in zip(source, add)]),
                          array("d", [bottom[s] + a for s, a in zip(source, add)])))
    return out


def _joined_ranges(ranges: Sequence[tuple[ReactionRange, int]]) -> ReactionRange:
    def worst(parts: list[tuple[Range, int]]) -> Range:
        top = max(parts, key=lambda p: p[0].max)  # the first of equal ones
        bottom = min(parts, key=lambda p: p[0].min)
        return Range(top[0].max, top[1] + top[0].max_member, bottom[0].min, bottom[1] + bottom[0].min_member)
    first = ranges[0][0]
    return ReactionRange(first.support, worst([(r.rx, o) for r, o in ranges]), worst([(r.ry, o) for r, o in ranges]),
                         worst([(r.m, o) for r, o in ranges]))


# --- superposition -----------------------------------------------------------------------------


Side = Literal["right", "left"]


class Superposed:
    """A member plus a fixed result times a factor, read as a solved beam is read:
    each value the member's plus the factor times the result's, at the same place."""

    def __init__(self, member: SolvedBeam, fixed: SolvedBeam, factor: float) -> None:
        self.member, self.fixed, self.factor = member, fixed, factor

    # bytes are also a Sequence[int]: this overload comes first so that they take it.
    @overload
    def values(  # pyright: ignore[reportOverlappingOverload]
            self, quantity: Quantity, positions: bytes, side: Side = "right") -> bytearray: ...
    @overload
    def values(self, quantity: Quantity, positions: float, side: Side = "right") -> float: ...
    @overload
    def values(self, quantity: Quantity, positions: Sequence[float], side: Side = "right") -> list[float]: ...
    def values(self, quantity: Quantity, positions: float | Sequence[float] | bytes,
               side: Side = "right") -> float | list[float] | bytearray:
        if isinstance(positions, bytes):
            at = list(array("d", positions))
            return bytearray(array("d", self.values(quantity, at, side)).tobytes())
        if isinstance(positions, (int, float)):
            return self.member.values(quantity, positions, side) + self.factor * self.fixed.values(quantity, positions, side)
        return [m + self.factor * f for m, f in zip(self.member.values(quantity, positions, side),
                                                      self.fixed.values(quantity, positions, side))]

    def reactions(self) -> list[tuple[float, float, float]]:
        return [(a + self.factor * d, b + self.factor * e, c + self.factor * f)
                for (a, b, c), (d, e, f) in zip(self.member.reactions(), self.fixed.reactions())]

    def features(self) -> list[float]:
        return sorted(set(self.member.features()) | set(self.fixed.features()))

    def jumps(self, quantity: Quantity) -> list[float]:
        return sorted(set(self.member.jumps(quantity)) | set(self.fixed.jumps(quantity)))

    def peak(self, quantity: Quantity, features: Sequence[float], sign: float, count: int, span: float,
             added: Sequence[tuple[SolvedBeam, float]] = ()) -> tuple[float, float]:
        """SolvedBeam.peak() of the sum, in the core: the member's search with the fixed
        result added value by value, as values() adds it (a member itself a sum: its own
        addends first)."""
        return self.member.peak(quantity, features, sign, count, span, ((self.fixed, self.factor), *added))


class PlusMembers:
    """Each member of an envelope with a fixed result added (times a factor); the
    members keep their names. `solved`: the fixed result's solve, one that holds the
    rotation where the envelope has it."""

    def __init__(self, members: Members, fixed: Result, factor: float, solved: SolvedBeam) -> None:
        self.members, self.fixed, self.factor, self.solved = members, fixed, factor, solved
        self.beam = members.beam
        self.degree = max(members.degree, fixed.beam.max_degree())
        self.axial = members.axial or any(load.axial() for load in fixed.beam.loads)
        self.complete = members.complete
        self.fixed_jumps = jumps_of(fixed.beam.supports, fixed.beam.loads, fixed.beam.hinges)
        self.fixed_features = fixed.solved.features()

    def __len__(self) -> int:
        return len(self.members)

    def name(self, k: int) -> str:
        return self.members.name(k)

    def features(self, k: int) -> list[float]:
        return sorted(set(self.members.features(k)).union(self.fixed_features))

    def mesh_features(self, k: int) -> list[float]:
        own = self.members.mesh_features(k)
        return own + self.fixed_features if k == 0 else own

    def jumps(self, k: int) -> Mapping[Quantity, Sequence[float]]:
        own = self.members.jumps(k)
        return {q: sorted(set(own.get(q, ())).union(self.fixed_jumps.get(q, ()))) for q in ALL_QUANTITIES}

    def standing(self, k: int) -> Mapping[float, float]:
        return self.members.standing(k)

    def solve(self, k: int) -> SolvedBeam:
        # Read as a solved beam is read (values, reactions, features, jumps): all the
        # envelope asks of a member.
        return cast(SolvedBeam, Superposed(self.members.solve(k), self.solved, self.factor))


def plus(envelope: Envelope | MovingLoad, result: Result, factor: float = 1.0) -> Envelope:
    """The envelope with a fixed result (a permanent load's, say) times `factor` added
    to every member: at each entry the max and min of the members plus the result's
    value there, the same members governing; reactions' ranges shifted alike. An
    envelope with a lane where adverse is enveloped again, every member with the
    result, and the lane placed per entry as before (lanes.plus_lane)."""
    c = Checker()
    given = _envelope_of(envelope)
    if given is None:
        c.add("envelope", f"is not an Envelope (or a MovingLoad): got {show(envelope)}")
    if not isinstance(cast(object, result), Result):
        c.add("result", f"is not a Result (of Beam.solve()): got {show(result)}")
    scale = c.finite(factor, "factor")
    if given is not None and isinstance(cast(object, result), Result):
        _same_beam(c, given.members.beam, result.beam, "result", "the envelope")
    if c.problems or given is None or scale is None:
        raise ModelError(c.problems)
    if isinstance(given, LaneEnvelope):  # the lane is placed per entry: enveloped again on a mesh of both
        return plus_lane(given, PlusMembers(given.members, result, scale, result.solved))
    span = float(given.members.beam.span)
    fixed_jumps = jumps_of(result.beam.supports, result.beam.loads, result.beam.hinges)
    union = _union([given.x, result.solved.features()], span)
    placed = _place(given, union)
    jumping = {u for u in union for q in ALL_QUANTITIES for x in fixed_jumps[q] if abs(x - u) <= MERGE * span}
    entries = _entries([placed.doubled[j] or (0.0 < u < span and u in jumping) for j, u in enumerate(union)])
    solved = result.rotated if "rotation" in given.bands else result.solved
    members = PlusMembers(placed.envelope.members, result, scale, solved)
    bands: dict[Quantity, Band] = {}
    screens: dict[Quantity, Sequence[Screen]] = {}
    for q, band in placed.envelope.bands.items():
        added = [scale * v for v in solved.values(q, _fixed_reads(union, entries, fixed_jumps[q], span))]
        source = [_source(placed, j, left) for j, left in entries]
        bands[q] = Band([band.max[s] + a for s, a in zip(source, added)], [band.min[s] + a for s, a in zip(source, added)],
                        [band.max_member[s] for s in source], [band.min_member[s] for s in source])
        screens[q] = _screens(placed, q, entries, 0, added)
    fixed = solved.reactions()
    reactions = tuple(ReactionRange(r.support, *(Range(part.max + scale * f[c], part.max_member,
                                                       part.min + scale * f[c], part.min_member)
                                                 for c, part in enumerate((r.rx, r.ry, r.m))))
                      for r, f in zip(placed.envelope.reactions, fixed))
    return Envelope(list(placed.envelope.names), [union[j] for j, _ in entries], bands, reactions, members, screens)


def _fixed_reads(union: list[float], entries: list[tuple[int, bool]], jumps: Sequence[float], span: float) -> list[float]:
    """Where the fixed result is read at each entry, as an envelope reads its members:
    just left of its first jump at a position on a left entry, right of its last jump
    there on a right entry, just left of the end of the beam, at the position elsewhere
    (where it does not jump, either side gives the value there)."""
    near: dict[int, list[float]] = {}
    for x in jumps:  # every jump is a feature of the result, so a position of the union
        u = cast(float, _near(union, x, MERGE * span))
        near.setdefault(bisect.bisect_left(union, u), []).append(x)
    below = math.nextafter
    out: list[float] = []
    for j, left in entries:
        own, p = near.get(j), union[j]
        if p == span or (left and own):
            out.append(below(min(own) if own else p, -math.inf))
        else:
            out.append(max(own) if own else p)
    return out
