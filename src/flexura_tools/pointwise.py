"""Envelopes and influence lines read at any position, not only on their mesh.

An envelope at x is the largest and the smallest of its members read at x, each
member read at every position asked in one call of the core (a chunk of members
at a time), with the member giving each (the first of equal values, as the
bands). An influence line at x is the quantity at its section (or the reaction
of its support) for the unit load at x: one solve per distinct position, the
same solve the line's own ordinates come from, so that a position of the line
reads its ordinate to the bit."""

from __future__ import annotations

import math
from collections.abc import Callable, Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Generic, TypeVar

from .arrays import Ordered, Positions, Quantity, Side, checked, ordered
from .errors import ModelError, Problem, show

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from ._engine import SolvedBeam
    from .envelopes import Members

V = TypeVar("V")
M = TypeVar("M")

# Members read at once: a chunk's rows side by side stay small (128 members by
# 1,000 positions is 1 MB), and the vehicle's members are solved a chunk at a time.
CHUNK = 128


@dataclass(frozen=True, slots=True)
class EnvelopeValues(Generic[V, M]):
    """An envelope read at positions (Envelope.at()): floats and member indices for
    one position, float64 and int64 arrays of the positions' shape for many."""

    x: V
    max: V
    min: V
    max_member: M
    min_member: M


def _numpy() -> Any:
    import numpy
    return numpy


def _positions(x: object, side: object, span: float, problems: list[Problem]) -> float | Positions | None:
    try:
        return checked(x, side, span)
    except ModelError as error:
        problems += error.problems
        return None


def envelope_at(members: Members, enveloped: Sequence[Quantity], x: object, quantity: object,
                side: Side) -> EnvelopeValues[Any, Any]:
    """Every member read at the positions; per position the largest and the smallest
    value and the first member giving each. A normal force that no member has is
    zero, given by member 0, as the band."""
    problems: list[Problem] = []
    if quantity not in enveloped:
        problems.append(Problem("quantity", f"{show(quantity)} was not enveloped (quantities: {', '.join(enveloped)})"))
    span = float(members.beam.span)
    positions = _positions(x, side, span, problems)
    if problems or positions is None:
        raise ModelError(problems)
    np = _numpy()
    in_order = ordered(positions, span) if isinstance(positions, Positions) else None
    flat = in_order.ascending if in_order is not None else np.array([positions]).tobytes()
    size = len(flat) // 8
    hi, lo = np.full(size, -math.inf), np.full(size, math.inf)
    hi_member, lo_member = np.zeros(size, dtype=np.int64), np.zeros(size, dtype=np.int64)
    if quantity == "nf" and not members.axial:
        hi, lo = np.zeros(size), np.zeros(size)
    else:
        q: Quantity = quantity  # type: ignore[assignment]  # checked above: one of the enveloped
        ascending = np.frombuffer(flat, dtype=np.float64)
        columns = np.arange(size)
        for base in range(0, len(members), CHUNK):
            chunk = range(base, min(base + CHUNK, len(members)))
            solved = [members.solve(k) for k in chunk]
            rows = np.frombuffer(b"".join([m.values(q, flat) for m in solved]), dtype=np.float64)
            rows = rows.reshape(len(solved), size).copy()
            if side == "left":
                _left_of_jumps(rows, q, members, chunk, solved, ascending, span)
            for top, best, member, higher in ((hi, hi_member, rows.argmax(axis=0), np.greater),
                                              (lo, lo_member, rows.argmin(axis=0), np.less)):
                value = rows[member, columns]  # the first member's own value (a zero keeps its sign)
                raised = higher(value, top)  # strictly: of equal values the earlier chunk's member stays
                top[raised] = value[raised]
                best[raised] = base + member[raised]
    return _shaped(positions, in_order, hi, lo, hi_member, lo_member)


def _left_of_jumps(rows: NDArray[np.float64], q: Quantity, members: Members, chunk: range,
                   solved: Sequence[SolvedBeam], ascending: NDArray[np.float64], span: float) -> None:
    """Each member's row, read at the positions, made the value just left of them: at
    its own jumps (and the end of the beam) read at the next double below; elsewhere
    the diagram is continuous and its value at x is its limit from the left, as the
    envelope's mesh reads it."""
    np = _numpy()
    for i, (k, member) in enumerate(zip(chunk, solved)):
        for x in [*members.jumps(k).get(q, ()), span]:
            first, last = int(np.searchsorted(ascending, x, "left")), int(np.searchsorted(ascending, x, "right"))
            if first < last:
                rows[i, first:last] = member.values(q, x, "left")


def _shaped(positions: float | Positions, in_order: Ordered | None,
            *columns: NDArray[Any]) -> EnvelopeValues[Any, Any]:
    """The columns (in ascending order of the positions) put back in the positions'
    order and shape; a number's as a float and ints."""
    if not isinstance(positions, Positions) or in_order is None:
        hi, lo, hi_member, lo_member = (column.item() for column in columns)
        return EnvelopeValues(positions, hi, lo, hi_member, lo_member)
    return EnvelopeValues(positions.given, *(in_order.put_back(column, positions.given.shape) for column in columns))


@dataclass(frozen=True, slots=True)
class Ordinates:
    """How an influence line is read at any load position: `read(x)` solves the beam
    under the unit load at x and reads the line's quantity. The line is continuous
    but at its section (None for a reaction's line), where it jumps between the load
    at `beside[0]` (left) and at `beside[1]` (right), the line's two ordinates there."""

    read: Callable[[float], float]
    span: float
    section: float | None
    beside: tuple[float, float]

    def __call__(self, x: object, side: object) -> float | NDArray[np.float64]:
        problems: list[Problem] = []
        positions = _positions(x, side, self.span, problems)
        if problems or positions is None:
            raise ModelError(problems)
        if not isinstance(positions, Positions):
            return self._at(positions, side)
        np = _numpy()
        unique, back = np.unique(positions.given.reshape(-1), return_inverse=True)  # one solve per distinct position
        values = np.array([self._at(u, side) for u in unique.tolist()], dtype=np.float64)
        return values[back].reshape(positions.given.shape)  # type: ignore[no-any-return]

    def _at(self, x: float, side: object) -> float:
        if x == self.section:
            return self.read(self.beside[0] if side == "left" else self.beside[1])
        return self.read(x)
