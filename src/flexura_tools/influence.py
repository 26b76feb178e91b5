"""Influence lines: one quantity, at one section or support, as a unit load
travels along the beam; one solve per load position."""

from __future__ import annotations

import math
import os
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any, Literal

import flexura

from .checks import Checker
from .envelopes import reader
from .errors import ModelError
from .equilibrium import scale_of, solve_balanced
from .model import Beam, PointLoad, RawLoad, Support
from .result import QUANTITIES, Quantity, names

Component = Literal["rx", "ry", "m"]
Side = Literal["left", "right"]
COMPONENTS: tuple[Component, ...] = ("rx", "ry", "m")
_QUANTITY: dict[str, Quantity] = {q: q for q in QUANTITIES}


@dataclass(frozen=True, slots=True)
class InfluenceLine:
    """The ordinates `value` of `quantity` for a unit load at each position `x`.
    For a quantity at a section, the section's position appears twice: the load
    just left of the section, then just right of it."""

    quantity: Quantity | Component
    at: float
    x: list[float]
    value: list[float]

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


def influence_line(beam: Beam, quantity: Quantity | Component, at: float | str | Support, *,
                   side: Side = "right", angle: float = -90.0, n: int = 200,
                   points: Sequence[float] = ()) -> InfluenceLine:
    """The influence line of a quantity for a unit load along `angle` (degrees, as
    the loads: -90 points down, 0 along +x).

    `quantity` "nf", "sf", "bm" or "d" is read at the section x = `at`, on its `side`
    (the section just right of x, or just left: they differ where a support stands);
    "rx", "ry" or "m" is a reaction of the support `at` (its label, position or the
    Support). The beam's own loads take no part. The load positions hold the ends,
    every support, the section, `points`, and evenly spaced positions so that no
    gap is wider than span / n."""
    beam.check()
    if not math.isfinite(angle):
        raise ValueError(f"angle: must be finite, got {angle!r}")
    if PointLoad(x=0.0, force=1.0, angle=angle).axial() and not any(s.kx != 0 for s in beam.supports):
        raise ValueError("angle: the unit load has a horizontal component, but no support restrains the beam "
                         "horizontally (kx): solve() would leave it unbalanced")
    span = float(beam.span)
    args = beam.with_loads([]).solve_args()
    head = (args.span, args.e, args.i, args.a, args.g, args.supports)
    units = args.units
    scale = scale_of([("point", [1.0, 0.0, angle])], span, units)

    def solve(x: float) -> flexura.BeamResult:
        load: RawLoad = ("point", [1.0, x, angle])
        return solve_balanced(head, [load], units, scale, f"the unit load at x = {x!r}: ")

    section: float | None = None
    if quantity in COMPONENTS:
        entry, component = _support_entry(beam, at), COMPONENTS.index(quantity)

        def read(x: float) -> float:
            return list(solve(x).reactions().values())[entry][component]
        where = float(_support(beam, at).x)
    elif quantity in _QUANTITY:
        section = _section(at, side, span)
        q = _QUANTITY[quantity]
        probe = section if side == "right" else math.nextafter(section, -math.inf)

        def read(x: float) -> float:
            return reader(solve(x), q)(probe)
        where = section
    else:
        raise ValueError(f"quantity: {quantity!r} is not one of nf, sf, bm, d, rx, ry, m")
    positions = _positions(beam, span, n, points, section)
    xs: list[float] = []
    values: list[float] = []
    for x in positions:
        if x == section:
            # Just left of the section, then just right: the load at the probe counts
            # in the quantity read there, the load one double beyond it does not.
            probe_load = x if side == "right" else math.nextafter(x, -math.inf)
            xs += [x, x]
            values += [read(probe_load), read(math.nextafter(probe_load, math.inf))]
        else:
            xs.append(x)
            values.append(read(x))
    return InfluenceLine(quantity, where, xs, values)


def _section(at: object, side: Side, span: float) -> float:
    if isinstance(at, bool) or not isinstance(at, (int, float)):
        raise ValueError(f"at: a section is a position on the beam, got {at!r}")
    x = float(at)
    if not 0.0 <= x <= span:
        raise ValueError(f"at: {x!r} is not on the beam [0, {span!r}]")
    if side not in ("left", "right"):
        raise ValueError(f"side: must be 'left' or 'right', got {side!r}")
    if (side == "right" and x == span) or (side == "left" and x == 0.0):
        raise ValueError(f"side: just {side} of x = {x!r} is off the beam; use the other side")
    return x


def _support(beam: Beam, at: float | str | Support) -> Support:
    for support in beam.supports:
        if names(support, at):
            return support
    known = ", ".join(s.label or f"{float(s.x):g}" for s in beam.supports)
    raise ValueError(f"at: {at!r} is not a support of the beam (supports: {known})")


def _support_entry(beam: Beam, at: float | str | Support) -> int:
    """The support's place among reactions(), which lists them by ascending position."""
    support = _support(beam, at)
    return sorted(s.x for s in beam.supports).index(support.x)


def _positions(beam: Beam, span: float, n: int, points: Sequence[float], section: float | None) -> list[float]:
    for k, x in enumerate(points):
        if not 0.0 <= x <= span:
            raise ValueError(f"points[{k}]: {x!r} is not on the beam [0, {span!r}]")
    c = Checker()
    c.count(n, "n")
    if c.problems:
        raise ModelError(c.problems)
    fixed: list[float] = sorted({0.0, span, *(float(s.x) for s in beam.supports),
                                 *([] if section is None else [section])})
    step = span / n
    out = set(fixed) | {float(p) for p in points}
    for a, b in zip(fixed, fixed[1:]):
        parts = math.ceil((b - a) / step - 1e-9)
        out.update(a + (b - a) * i / parts for i in range(1, parts))
    return sorted(out)
