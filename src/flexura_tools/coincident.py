"""Coincident values: with each extreme of an envelope, the other quantities of the
member that gives it, at the same section and on the same side (the shear acting
with the largest moment, the moment with the largest shear, ...).

Each is read from that member's own solve as the band reads its members: just left
of a position held twice where the member's diagram of that quantity jumps there
(left of its first jump, as the band is), at the position itself elsewhere, and the
end of the beam just left of it. The governing members are solved once each and
read at all their entries in one call per quantity.
"""

from __future__ import annotations

import bisect
import math
from collections.abc import Container, Mapping, Sequence
from typing import TYPE_CHECKING, Literal, cast

from ._engine import SolvedBeam
from .errors import ModelError, Problem, show
from .result import ALL_QUANTITIES, QUANTITIES, Quantity

if TYPE_CHECKING:
    from .envelopes import Envelope, EnvelopeExtreme

Which = Literal["max", "min"]
WHICH: tuple[Which, Which] = ("max", "min")
# Per enveloped quantity and max/min, per other quantity its values along the mesh.
Table = dict[Quantity, dict[Which, dict[Quantity, list[float]]]]


def read(bands: Mapping[Quantity, object]) -> tuple[Quantity, ...]:
    """The quantities an envelope's members give: the forces and the deflection, and
    the rotation where it was enveloped (its members were solved for it then)."""
    return ALL_QUANTITIES if "rotation" in bands else QUANTITIES


def others(quantity: Quantity, bands: Mapping[Quantity, object]) -> list[Quantity]:
    """The quantities read with an extreme of `quantity`: every other one the members give."""
    return [q for q in read(bands) if q != quantity]


def check_which(quantity: object, which: object, bands: Mapping[Quantity, object]) -> None:
    problems: list[Problem] = []
    if quantity not in bands:
        problems.append(Problem("quantity", f"{show(quantity)} was not enveloped (quantities: {', '.join(bands)})"))
    if which not in WHICH:
        problems.append(Problem("which", f"must be 'max' or 'min', got {show(which)}"))
    if problems:
        raise ModelError(problems)


def check_extremes(extremes: object, bands: Container[object], kind: type[object]) -> None:
    """A ModelError unless `extremes` is None or what an envelope's extremes() gives:
    records of type `kind` by quantities the envelope has."""
    shown: object = extremes  # as given, for the message
    given: Mapping[object, object] | None = None
    if isinstance(extremes, Mapping):
        given = cast("Mapping[object, object]", extremes)
    if extremes is not None and not (given is not None and all(q in bands and isinstance(e, kind)
                                                               for q, e in given.items())):
        raise ModelError([Problem("extremes", f"must be what this envelope's extremes() gives, got {show(shown)}")])


class _Entries:
    """The mesh of an envelope read back from its x: per entry its position, and
    which side of a position held twice it is."""

    def __init__(self, envelope: Envelope) -> None:
        xs = envelope.x
        self.span = float(envelope.members.beam.span)
        self.positions = sorted(set(xs))
        self.x = xs
        self.left = [k + 1 < len(xs) and xs[k + 1] == x or x == self.span for k, x in enumerate(xs)]
        self.right = [k > 0 and xs[k - 1] == x for k, x in enumerate(xs)]

    def nearest(self, x: float) -> float:
        """The mesh position a feature of a member was merged into: the nearest one."""
        k = bisect.bisect_left(self.positions, x)
        near = self.positions[max(k - 1, 0):k + 1]
        return min(near, key=lambda p: abs(p - x))

    def reads(self, jumps: Sequence[float], entries: Sequence[int]) -> list[float]:
        """Where one member is read at each entry for a quantity jumping at `jumps`."""
        at: dict[float, list[float]] = {}
        for x in jumps:
            at.setdefault(self.nearest(x), []).append(x)
        below = math.nextafter
        out: list[float] = []
        for e in entries:
            p = self.x[e]
            own = at.get(p)
            if self.left[e]:
                out.append(below(min(own) if own else p, -math.inf))
            elif own:  # right of the member's last jump there (only 0 is held once with one)
                out.append(max(own))
            else:
                out.append(p)
        return out


def coincident_table(envelope: Envelope) -> Table:
    """Every band's max and min with the other quantities of the member giving each."""
    entries = _Entries(envelope)
    members = envelope.members
    wanted: dict[int, set[int]] = {}
    for band in envelope.bands.values():
        for governing in (band.max_member, band.min_member):
            for e, k in enumerate(governing):
                wanted.setdefault(k, set()).add(e)
    values: dict[int, dict[Quantity, dict[int, float]]] = {}
    for k, needed in wanted.items():
        solved, jumps, order = members.solve(k), members.jumps(k), sorted(needed)
        values[k] = {q: dict(zip(order, solved.values(q, entries.reads(jumps.get(q, ()), order))))
                     for q in read(envelope.bands)}
    table: Table = {}
    for q, band in envelope.bands.items():
        table[q] = {which: {other: [values[k][other][e] for e, k in enumerate(governing)]
                            for other in others(q, envelope.bands)}
                    for which, governing in zip(WHICH, (band.max_member, band.min_member))}
    return table


def at_extreme(envelope: Envelope, quantity: Quantity, which: Which, extreme: EnvelopeExtreme,
               table: Table) -> dict[Quantity, float]:
    """The other quantities with one of the envelope's overall extremes. On a mesh entry
    that holds it (the same member, the same value) they are that entry's; elsewhere
    (a peak found between mesh positions) the member is read at the extreme's position
    on the side where it reaches the extreme."""
    value, x, member = ((extreme.max, extreme.x_max, extreme.max_member) if which == "max"
                        else (extreme.min, extreme.x_min, extreme.min_member))
    band = envelope.bands[quantity]
    values, governing = (band.max, band.max_member) if which == "max" else (band.min, band.min_member)
    for e, p in enumerate(envelope.x):
        if p == x and governing[e] == member and values[e] == value:
            return {q: column[e] for q, column in table[quantity][which].items()}
    solved: SolvedBeam = envelope.members.solve(member)
    left, right = solved.values(quantity, x, "left"), solved.values(quantity, x)
    side: Literal["left", "right"] = "left" if (left > right if which == "max" else left < right) else "right"
    return {q: solved.values(q, x, side) for q in others(quantity, envelope.bands)}
