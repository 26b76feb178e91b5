"""Influence lines: one quantity, at one section or support, as a unit load
travels along the beam; one solve per load position."""

from __future__ import annotations

import math
import os
from collections.abc import Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, Literal, NamedTuple, cast, overload

from ._engine import SolvedBeam
from .arrays import floats
from .checks import Checker
from .envelopes import check_points
from .equilibrium import scale_of
from .errors import ModelError, Problem, show
from .loads import PointLoad, RawLoad
from .model import Beam, checked, solver_of
from .pointwise import Ordinates
from .result import ALL_QUANTITIES, Quantity
from .supports import Support, names

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from .arrays import Array, Scalar

Component = Literal["rx", "ry", "m"]
Side = Literal["left", "right"]
COMPONENTS: tuple[Component, ...] = ("rx", "ry", "m")


@dataclass(frozen=True, slots=True)
class InfluenceLine:
    """The ordinates `value` of `quantity` for a unit load at each position `x`.
    For a quantity at a section, the section's position appears twice: the load
    just left of the section, then just right of it."""

    quantity: Quantity | Component
    at: float
    x: list[float]
    value: list[float]
    # Read at any load position (line(x)); None for a line made by hand.
    ordinates: Ordinates | None = field(default=None, repr=False, compare=False)

    @overload
    def __call__(self, x: Scalar, side: Side = "right") -> float: ...
    @overload
    def __call__(self, x: Array, side: Side = "right") -> NDArray[np.float64]: ...
    def __call__(self, x: Scalar | Array, side: Side = "right") -> float | NDArray[np.float64]:
        """The ordinate for the unit load at x, exact: the beam solved under that load
        (one solve per distinct position, as the line's own ordinates; at those
        positions the same bits). A number gives a float, a sequence or an array a
        float64 array of its shape. The line is continuous but at its section, where
        side="left" gives the ordinate with the load just left of it and "right" (the
        default) just right, the two ordinates the line holds there. Positions off the
        beam raise ModelError naming each by its index, as Result's queries."""
        if self.ordinates is None:
            raise ModelError([Problem("line", "has no beam to solve: it was made by hand or unpickled; "
                                              "make it with influence_line() to read it at any position")])
        return self.ordinates(x, side)

    def __reduce__(self) -> tuple[object, ...]:
        """Pickled as its columns: the solve behind line(x) stays behind."""
        return (InfluenceLine, (self.quantity, self.at, self.x, self.value))

    def arrays(self) -> InfluenceArrays:
        """The columns x and value as float64 arrays (the same bits): x, value = line.arrays()."""
        return InfluenceArrays(floats(self.x), floats(self.value))

    def to_dict(self) -> dict[str, object]:
        """Plain JSON-ready data: quantity, at, and the columns x, side, value of to_csv()."""
        from .export import influence_to_dict
        return influence_to_dict(self)

    def to_csv(self, path: str | os.PathLike[str]) -> None:
        """The line as CSV: x (the load's position), side (at the section), value."""
        from .export import influence_to_csv
        return influence_to_csv(self, path)

    def to_dataframe(self) -> Any:
        """The columns of to_csv() as a pandas DataFrame (needs pandas)."""
        from .export import data_frame, influence_columns
        return data_frame(influence_columns(self))


class InfluenceArrays(NamedTuple):
    """An influence line's columns as float64 arrays (InfluenceLine.arrays())."""

    x: NDArray[np.float64]
    value: NDArray[np.float64]


def influence_line(beam: Beam, quantity: Quantity | Component, at: float | str | Support, *,
                   side: Side = "right", angle: float = -90.0, n: int = 200,
                   points: Sequence[float] = ()) -> InfluenceLine:
    """The influence line of a quantity for a unit load along `angle` (degrees, as
    the loads: -90 points down, 0 along +x).

    `quantity` "nf", "sf", "bm", "d" or "rotation" is read at the section x = `at`, on its `side`
    (the section just right of x, or just left: they differ where a support stands);
    "rx", "ry" or "m" is a reaction of the support `at` (its label, position or the
    Support). The beam's own loads take no part. The load positions hold the ends,
    every support, the section, `points`, and evenly spaced positions so that no
    gap is wider than span / n. Every problem of the arguments raises ModelError."""
    checked(beam)
    span = float(beam.span)
    c = Checker()
    unit = c.finite(angle, "angle")
    if unit is not None and PointLoad(x=0.0, force=1.0, angle=unit).axial() and not any(
            s.kx != 0 for s in beam.supports):
        c.add("angle", "the unit load has a horizontal component, but no support restrains the beam "
                       "horizontally (kx): solve() would leave it unbalanced")
    c.count(n, "n")
    check_points(c, span, points)
    if side not in ("left", "right"):
        c.add("side", f"must be 'left' or 'right', got {show(side)}")
    section: float | None = None
    support = -1
    if quantity in COMPONENTS:
        support = _support(c, beam, at)
    elif quantity in ALL_QUANTITIES:
        section = _section(c, at, side, span)
    else:
        c.add("quantity", f"{show(quantity)} is not one of {', '.join(ALL_QUANTITIES + COMPONENTS)}")
    if c.problems:
        raise ModelError(c.problems)
    load_angle = cast(float, unit)
    # The beam's arguments without its loads: the unit load alone (each solve asks the
    # core for the rotation only for a line of the rotation).
    solver = solver_of(beam, quantity == "rotation")
    scale = scale_of([("point", [1.0, 0.0, load_angle])], span, solver.units)

    def solve(x: float) -> SolvedBeam:
        load: RawLoad = ("point", [1.0, x, load_angle])
        return solver.solve([load], scale=scale, name=f"the unit load at x = {x!r}: ")

    if section is None:
        component = COMPONENTS.index(cast(Component, quantity))

        def read(x: float) -> float:
            return solve(x).reactions()[support][component]
        where = float(beam.supports[support].x)
    else:
        q = cast(Quantity, quantity)
        probe = section if side == "right" else math.nextafter(section, -math.inf)

        def read(x: float) -> float:
            return solve(x).values(q, probe)
        where = section
    xs: list[float] = []
    values: list[float] = []
    # At the section, the load at the probe counts in the quantity read there (just
    # left of the section), the load one double beyond it does not (just right).
    probe_load = where if side == "right" else math.nextafter(where, -math.inf)
    beside = (probe_load, math.nextafter(probe_load, math.inf))
    for x in _positions(beam, span, n, points, section):
        if x == section:
            xs += [x, x]
            values += [read(beside[0]), read(beside[1])]
        else:
            xs.append(x)
            values.append(read(x))
    return InfluenceLine(quantity, where, xs, values, Ordinates(read, span, section, beside))


def _section(c: Checker, at: object, side: object, span: float) -> float | None:
    if isinstance(at, bool) or not isinstance(at, (int, float)):
        c.add("at", f"a section is a position on the beam, got {show(at)}")
        return None
    x = c.finite(at, "at")
    if x is None:
        return None
    if not 0.0 <= x <= span:
        c.add("at", f"{show(x)} is not on the beam [0, {show(span)}]")
        return None
    if (side == "right" and x == span) or (side == "left" and x == 0.0):
        c.add("side", f"just {side} of x = {show(x)} is off the beam; use the other side")
    return x


def _support(c: Checker, beam: Beam, at: object) -> int:
    """The place of the support `at` names among the beam's supports (the core gives
    the reactions in that order); -1 with a problem when it names none."""
    for k, support in enumerate(beam.supports):
        if isinstance(at, (str, int, float, Support)) and names(support, at):
            return k
    known = ", ".join(s.label or f"{float(s.x):g}" for s in beam.supports)
    c.add("at", f"{show(at)} is not a support of the beam (supports: {known})")
    return -1


def _positions(beam: Beam, span: float, n: int, points: Sequence[float], section: float | None) -> list[float]:
    fixed: list[float] = sorted({0.0, span, *(float(s.x) for s in beam.supports),
                                 *([] if section is None else [section])})
    step = span / n
    out = set(fixed) | {float(p) for p in points}
    for a, b in zip(fixed, fixed[1:]):
        parts = math.ceil((b - a) / step - 1e-9)
        out.update(a + (b - a) * i / parts for i in range(1, parts))
    return sorted(out)
