"""A solved beam read at positions: a number in, a float out; a sequence or a
NumPy array in, a float64 array of the same shape out, all its positions read by
one call of the core (the array travels as float64 bytes, and comes back so).

numpy is imported only when an array is asked for, so that importing
flexura_tools stays as light as it was."""

from __future__ import annotations

import math
import sys
from collections.abc import Callable, Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, Generic, Literal, TypeVar, overload

from ._engine import SolvedBeam
from .checks import Checker, is_number
from .errors import ModelError, Problem, show

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    Scalar = float | np.floating[Any] | np.integer[Any]
    Array = Sequence[float] | Sequence[Sequence[float]] | NDArray[Any]

# The rotation (slope) is in radians, counter-clockwise positive, whatever the units.
Quantity = Literal["nf", "sf", "bm", "d", "rotation"]
Side = Literal["right", "left"]
V = TypeVar("V")

# Positions off the beam listed one by one; the rest are counted, as unknown keys are.
LISTED = 20


def _numpy() -> Any:
    import numpy
    return numpy


def _is_array(x: object) -> bool:
    """An ndarray (only possible once numpy is loaded), an object that converts to
    one, or a sequence other than text; not a number, though NumPy's numbers have
    __array__ too (np.float64(2) reads as 2.0 and gives a float)."""
    if type(x) is float or is_number(x):
        return False
    numpy = sys.modules.get("numpy")
    if numpy is not None and isinstance(x, numpy.ndarray):
        return True
    return hasattr(x, "__array__") or (isinstance(x, Sequence) and not isinstance(x, (str, bytes, bytearray)))


def _side(side: object) -> None:
    if not (isinstance(side, str) and side in ("right", "left")):
        raise ModelError([Problem("side", f"must be 'right' or 'left', got {show(side)}")])


def _number(x: object, span: float) -> float:
    """One position on the beam as a float; ModelError at `x` otherwise."""
    if type(x) is float and 0.0 <= x <= span:  # the common case, without the checker's calls
        return x
    c = Checker()
    value = c.position(x, "x", span)
    if value is None:
        raise ModelError(c.problems)
    return value


def _array(x: object, span: float) -> NDArray[np.float64]:
    """The positions as a float64 array of their shape; every one that is not on the
    beam named by its index (x[3], x[1, 2]) in one ModelError."""
    np = _numpy()
    try:
        positions = np.array(x, dtype=np.float64)  # a copy: Values.x must not change with the caller's array
    except (TypeError, ValueError, OverflowError) as error:
        raise ModelError([Problem("x", f"must be a number, or a sequence or array of numbers: {error}")]) from None
    flat = positions.reshape(-1)
    on_beam = (flat >= 0.0) & (flat <= span)  # NaN fails both comparisons
    if not on_beam.all():
        raise ModelError(_off_beam(positions, np.flatnonzero(~on_beam), span))
    return positions  # type: ignore[no-any-return]


def _off_beam(positions: NDArray[np.float64], off: NDArray[Any], span: float) -> list[Problem]:
    c = Checker()
    np = _numpy()
    for k in off[:LISTED].tolist():
        index = np.unravel_index(k, positions.shape)
        path = "x" if not index else f"x[{', '.join(str(int(i)) for i in index)}]"
        c.position(float(positions.reshape(-1)[k]), path, span)
    if off.size > LISTED:
        c.add("x", f"and {off.size - LISTED:,} more positions are not on the beam [0, {show(span)}]")
    return c.problems


@dataclass(frozen=True, slots=True)
class Positions:
    """The checked positions of an array query: as given (their shape), and as float64
    bytes for the core, which reads them in one call in any order (ascending ones term
    by term over blocks, others grouped by the stretch between term positions first)."""

    given: NDArray[np.float64]
    data: bytes


@dataclass(frozen=True, slots=True)
class Ordered:
    """Checked positions in ascending order as float64 bytes, for a reader that needs
    them so (an envelope's finds its members' jumps among them by bisection), and where
    each stands among the positions as given (None: as given)."""

    ascending: bytes
    order: NDArray[np.intp] | None

    def put_back(self, column: NDArray[Any], shape: tuple[int, ...]) -> NDArray[Any]:
        """A column read at the ascending positions, in the given positions' order and shape."""
        if self.order is not None:
            back = _numpy().empty_like(column)
            back[self.order] = column
            column = back
        return column.reshape(shape)


def ordered(positions: Positions, span: float) -> Ordered:
    """The positions in ascending order (from one sort of keys, or argsort where the
    keys cannot tell neighbours apart)."""
    flat = positions.given.reshape(-1)
    if bool((flat[1:] >= flat[:-1]).all()):
        return Ordered(positions.data, None)
    order = _order(flat, span)
    ascending = flat if order is None else flat[order]
    if order is None or not bool((ascending[1:] >= ascending[:-1]).all()):
        # Positions closer than the keys tell apart: any order of equal positions, which read alike.
        order = _numpy().argsort(flat)
        ascending = flat[order]
    return Ordered(ascending.tobytes(), order)


def _order(flat: NDArray[np.float64], span: float) -> NDArray[np.intp] | None:
    """An order that sorts positions in [0, span], from one sort of 64-bit keys: each
    position scaled to the high bits, its index in the low ones (NumPy sorts such keys
    with SIMD: 10 ns a position against 18 for argsort of 10,000). Positions closer than
    span / 2^(64 - index bits) may come out of order; the caller checks. None where the
    scale overflows (a span below about 1e-289)."""
    np = _numpy()
    bits = max((flat.size - 1).bit_length(), 1)
    # Below 2^(64 - bits) by more than the product's rounding: x * scale fits its bits.
    scale = float(2 ** (64 - bits) - 2 ** 11) / span
    if not math.isfinite(scale):
        return None
    keys = (flat * scale).astype(np.uint64)
    keys <<= np.uint64(bits)
    keys |= np.arange(flat.size, dtype=np.uint64)
    keys.sort()
    return (keys & np.uint64((1 << bits) - 1)).astype(np.intp)  # type: ignore[no-any-return]


def read(solved: SolvedBeam, quantity: Quantity, positions: float | Positions, side: Side,
         in_order: Ordered | None = None) -> float | NDArray[np.float64]:
    """The quantity at checked positions: a float, or an array of their shape; read in
    ascending order and put back where `in_order` gives the order."""
    if not isinstance(positions, Positions):
        return solved.values(quantity, positions, side)
    numpy = _numpy()
    data = positions.data if in_order is None else in_order.ascending
    values: NDArray[np.float64] = numpy.frombuffer(solved.values(quantity, data, side), dtype=numpy.float64)
    shape = positions.given.shape
    return values.reshape(shape) if in_order is None else in_order.put_back(values, shape)


def checked(x: object, side: object, span: float) -> float | Positions:
    """The positions of a query, checked: a float, or Positions."""
    _side(side)
    if not _is_array(x):
        return _number(x, span)
    positions = _array(x, span)
    return Positions(positions, positions.tobytes())


class Query:
    """One quantity of a solved beam, read at positions: query(x, side="right").

    x is a number, or a sequence or NumPy array of numbers on the beam [0, span];
    a number gives a float, anything else a float64 array of its shape, all its
    positions read in one call of the core. side="right" gives the exact value at
    x, as flexura's eval_* (to the bit; right of a jump), "left" the value just left
    of x (at the next double below it). At the ends the side off the beam reads
    outside it: zero to rounding. A position off the beam or not finite, or
    anything else that is no position, raises ModelError naming each by its index
    (x[3])."""

    __slots__ = ("_solved", "_span", "_quantity")

    def __init__(self, solved: SolvedBeam, span: float, quantity: Quantity) -> None:
        self._solved = solved
        self._span = span
        self._quantity: Quantity = quantity

    @property
    def quantity(self) -> Quantity:
        """The quantity read: "nf", "sf", "bm", "d" or "rotation"."""
        return self._quantity

    @overload
    def __call__(self, x: Scalar, side: Side = "right") -> float: ...
    @overload
    def __call__(self, x: Array, side: Side = "right") -> NDArray[np.float64]: ...
    def __call__(self, x: Scalar | Array, side: Side = "right") -> float | NDArray[np.float64]:
        """The quantity at x: a float for a number, a float64 array of x's shape otherwise."""
        return read(self._solved, self._quantity, checked(x, side, self._span), side)

    def __repr__(self) -> str:
        return f"<Query {self._quantity!r} of a beam of span {show(self._span)}>"


class Later(Generic[V]):
    """A value found on first use, then kept. A record's rotation is one: reading it
    asks the core for a solve of its own, and most callers never read it."""

    __slots__ = ("_find", "_value", "_found")

    def __init__(self, find: Callable[[], V]) -> None:
        self._find = find
        self._found = False

    def __call__(self) -> V:
        if not self._found:
            self._value = self._find()
            self._found = True
        return self._value

    def __reduce__(self) -> tuple[Any, ...]:
        """Pickled with its value, found now: what finds it (a solve) does not pickle."""
        return (_unread_later, ()) if self._find is _unread else (_known, (self(),))


def _known(value: V) -> Later[V]:
    return Later(lambda: value)


def _unread() -> Any:
    raise ModelError([Problem("rotation", "this record was made without a way to read its rotation: "
                                          "read it from the Result")])


def _unread_later() -> Later[Any]:
    return UNREAD


# The rotation of a record made by its caller from the other quantities alone.
UNREAD: Later[Any] = Later(_unread)


@dataclass(frozen=True, slots=True)
class Values(Generic[V]):
    """Every quantity at the same positions (Result.at()): floats for one position,
    float64 arrays of the positions' shape for many. The rotation is read on first
    use of `rotation`."""

    x: V
    nf: V
    sf: V
    bm: V
    d: V
    read_rotation: Later[V] = field(default=UNREAD, repr=False, compare=False)

    @property
    def rotation(self) -> V:
        """The rotation in radians, counter-clockwise positive (read on first use)."""
        return self.read_rotation()

    def __getitem__(self, column: Quantity | Literal["x"]) -> V:
        """A column by name, as a Diagram's."""
        if column == "rotation":
            return self.rotation
        return {"x": self.x, "nf": self.nf, "sf": self.sf, "bm": self.bm, "d": self.d}[column]


def values_at(solved: SolvedBeam, rotated: Callable[[], SolvedBeam], span: float, x: object,
              side: Side) -> Values[Any]:
    """Result.at(): the positions checked once, each quantity read in one call; the
    rotation from `rotated()`, a solve that holds it, on first use."""
    positions = checked(x, side, span)
    quantities: tuple[Quantity, ...] = ("nf", "sf", "bm", "d")
    given = positions.given if isinstance(positions, Positions) else positions
    # One sort for all four reads: 87 ns (767 instructions) a position against 123 (1,173) for each in any order.
    in_order = ordered(positions, span) if isinstance(positions, Positions) else None
    nf, sf, bm, d = (read(solved, q, positions, side, in_order) for q in quantities)
    return Values(given, nf, sf, bm, d, Later(lambda: read(rotated(), "rotation", positions, side, in_order)))


def floats(column: Sequence[float]) -> NDArray[np.float64]:
    """A column kept as a list of floats, as a float64 array (the same bits)."""
    np = _numpy()
    return np.array(column, dtype=np.float64)  # type: ignore[no-any-return]


def ints(column: Sequence[int]) -> NDArray[np.int64]:
    """A column of member indices, as an int64 array."""
    np = _numpy()
    return np.array(column, dtype=np.int64)  # type: ignore[no-any-return]
