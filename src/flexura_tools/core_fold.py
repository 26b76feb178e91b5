"""Envelopes folded in the core: the running envelopes (per quantity the top,
the bottom and the member giving each, per mesh entry; the reactions' ranges)
held in bytearrays that the private module reads and raises, one call per
chunk of members, to the bits of the layer's own fold in envelopes.

fold_solved() folds members solved already (load combinations, load patterns,
the positions of a vehicle on a beam with imposed deformations): no member's
values along the mesh become Python floats, and no column is sorted.
"""

from __future__ import annotations

import itertools
import struct
from array import array
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING

from . import _engine
from .envelopes import Band, Envelope, Range, ReactionRange, Screen, float_list, int_list
from .result import Quantity
from .supports import Support

if TYPE_CHECKING:
    from .envelopes import Members, Mesh
    from .progress import Progress

CODE: dict[Quantity, int] = {"nf": 0, "sf": 1, "bm": 2, "d": 3, "rotation": 4}
_INF = float("inf")


class RunningBand:
    """One quantity's envelope so far, per mesh entry, as the core reads and raises it;
    `jumps`: where every member jumps in it, `axle_jumps`: a vehicle's loaded axles too."""

    def __init__(self, q: Quantity, entries: int, jumps: Sequence[float] = (), axle_jumps: bool = False) -> None:
        self.q: Quantity = q
        self.hi = bytearray(array("d", [-_INF]) * entries)
        self.lo = bytearray(array("d", [_INF]) * entries)
        self.hi_member = bytearray(8 * entries)
        self.lo_member = bytearray(8 * entries)
        self.screens: list[Screen] = []
        self.plan = (CODE[q], array("d", jumps).tobytes(), axle_jumps, self.hi, self.lo, self.hi_member,
                     self.lo_member)

    def band(self) -> Band:
        return Band(float_list(self.hi), float_list(self.lo), int_list(self.hi_member), int_list(self.lo_member))

    def add_screen(self, first: int, top: bytes, bottom: bytes) -> None:
        self.screens.append(Screen(first, array("d", top), array("d", bottom)))


def doubles(values: Sequence[float]) -> bytes:
    """float64 bytes of a list: struct packs it in half the time array("d", values) takes."""
    return struct.pack(f"{len(values)}d", *values)


def int64s(values: Sequence[int]) -> bytes:
    return struct.pack(f"{len(values)}q", *values)


def new_ranges(supports: int) -> tuple[bytearray, bytearray, bytearray, bytearray]:
    """The reactions' running ranges: hi, lo, hi_member, lo_member per support and component."""
    cells = 3 * supports
    return (bytearray(array("d", [-_INF]) * cells), bytearray(array("d", [_INF]) * cells),
            bytearray(8 * cells), bytearray(8 * cells))


def reaction_ranges(supports: Sequence[Support], ranges: tuple[bytearray, ...]) -> tuple[ReactionRange, ...]:
    hi, lo = float_list(ranges[0]), float_list(ranges[1])
    hi_member, lo_member = int_list(ranges[2]), int_list(ranges[3])

    def of(k: int) -> Range:
        return Range(hi[k], hi_member[k], lo[k], lo_member[k])
    return tuple(ReactionRange(support, of(3 * s), of(3 * s + 1), of(3 * s + 2))
                 for s, support in enumerate(supports))


def fold_solved(members: Members, jumps: Sequence[Mapping[Quantity, Sequence[float]]], mesh: Mesh,
                quantities: Sequence[Quantity], few: int, chunk: int, bar: Progress) -> Envelope:
    """The envelope of members with no axle standing on a jump, as envelopes.build()'s
    own fold gives it: up to `few` members in one call without screens, else `chunk`
    members a call, each chunk's screens kept for extremes()."""
    count = len(members)
    entries = len(mesh.x)
    running: dict[Quantity, RunningBand] = {q: RunningBand(q, entries) for q in dict.fromkeys(quantities)}
    reading = [b for q, b in running.items() if q != "nf" or members.axial]  # no axial load: no normal force
    read = tuple(b.plan for b in reading)
    supports = members.beam.supports
    ranges = new_ranges(len(supports))
    plan = mesh.plan()
    pairs = _jump_pairs(jumps)
    size = max(count if count <= few else chunk, 1)
    for base in range(0, count, size):
        part = range(base, min(base + size, count))
        solved = tuple(members.solve(k) for k in part)
        values = doubles(list(itertools.chain.from_iterable(pairs[k] for k in part)))
        ends = int64s(list(itertools.accumulate(len(pairs[k]) for k in part)))
        screens: tuple[tuple[bytes, bytes], ...] = _engine.fold_members(solved, values, ends, base, plan, read, ranges)
        if count > few:
            for b, (top, bottom) in zip(reading, screens):
                b.add_screen(base, top, bottom)
        bar.update(part.stop)
    bar.close()
    bands: dict[Quantity, Band] = {q: b.band() for q, b in running.items()}
    if "nf" in bands and not members.axial:
        bands["nf"] = Band([0.0] * entries, [0.0] * entries, [0] * entries, [0] * entries)
    return Envelope([members.name(k) for k in range(count)], mesh.x, bands, reaction_ranges(supports, ranges),
                    members, {q: b.screens for q, b in running.items() if b.screens})


def _jump_pairs(jumps: Sequence[Mapping[Quantity, Sequence[float]]]) -> list[list[float]]:
    """Each member's (quantity code, x) pairs; members sharing their jumps' mapping (a
    pattern's distributed loads: only the supports jump) share one list."""
    made: dict[int, list[float]] = {}
    out: list[list[float]] = []
    for member in jumps:
        pairs = made.get(id(member))
        if pairs is None:
            pairs = made[id(member)] = [v for q, xs in member.items() for x in xs for v in (float(CODE[q]), x)]
        out.append(pairs)
    return out
