"""The equilibrium guard: a solved beam whose reactions do not balance its loads is
refused, never returned; and when the numbers leave the double range, the input
that took them there is named.

Every term list of a solved beam holds all of its loads and all of its
reactions, so the values just right of the far end, V(span), N(span) and
M(span), are what is left over of the sums of vertical forces, of horizontal
forces and of moments. Exactly they are zero. The solve keeps them within
rounding of the largest term, about 1e-16 of the reactions: for a sound model
that is nothing against the loads, even where a short lever makes the
reactions ten thousand times the loads (1e-12 of them). An ill-conditioned
model (two supports a rounding error apart: reactions of 3.9e15 against 6 kN
of load) leaves rounding of the reactions' size, which is of the loads' size:
the residuals are measured against the loads, never against the reactions,
which would hide exactly that case.
"""

from __future__ import annotations

import math
from collections.abc import Mapping, Sequence
from typing import NamedTuple

from ._engine import SolvedBeam
from .errors import Problem, show
from .loads import IMPOSED, Load, Moment, PointLoad, PolynomialLoad, RawLoad, TrapezoidalLoad, UniformLoad, degree_of
from .supports import Support

# The share of the loads that the residuals may reach. Rounding leaves about
# 1e-16 of the reactions per term; a million loads summed, or reactions 1e6 times
# the loads, stay below it, while a result that is wrong in its 9th digit fails.
TOLERANCE = 1e-9
# log10 of the largest double (1.8e308): a product beyond it is infinite.
_RANGE = math.log10(1.7976931348623157e308)
_UNITS = "choose units that keep the numbers nearer 1"


class Scale(NamedTuple):
    """The size of the loads: the sum of their magnitudes as forces and as moments
    (each force times the span), in the caller's units, and the residuals allowed."""

    force: float
    moment: float

    def allowed(self) -> tuple[float, float]:
        return TOLERANCE * self.force, TOLERANCE * self.moment

    def plus(self, other: Scale) -> Scale:
        return Scale(self.force + other.force, self.moment + other.moment)


class Levers(NamedTuple):
    """What turns raw loads into their size in the units solve() reports: an intensity
    times a length as a force (`per_length`), and a force times the span as a moment
    (`lever`)."""

    per_length: float
    lever: float


def levers_of(span: float, units: Mapping[str, float] | None) -> Levers:
    factor = _factors(units)
    return Levers(factor["distributed"] * factor["length"] / factor["force"],
                  abs(span) * factor["force"] * factor["length"] / factor["moment"])


def scale_of(loads: Sequence[RawLoad], span: float, units: Mapping[str, float] | None,
             levers: Levers | None = None) -> Scale:
    """The loads' size from solve()'s raw loads: point forces, each distributed load's
    intensity bound times its length, and the applied moments over the span, as
    forces; the same times the span as moments (in the units solve() reports).
    `levers`: levers_of(span, units), where the caller keeps them for many solves."""
    per_length, lever = levers_of(span, units) if levers is None else levers
    forces = moments = 0.0
    for kind, p in loads:
        if kind == "point":
            forces += abs(p[0])
        elif kind == "udl":
            forces += abs(p[0]) * abs(p[2] - p[1]) * per_length
        elif kind == "trap":
            forces += max(abs(p[0]), abs(p[1])) * abs(p[3] - p[2]) * per_length
        elif kind == "dist":
            forces += _polynomial_bound(p[3:], max(abs(p[0]), abs(p[1]))) * abs(p[1] - p[0]) * per_length
        elif kind == "torque":
            moments += abs(p[0])
    # A force times the span as a moment, an applied moment over the span as a force:
    # a moment alone is held by reactions of about its size over the span.
    return Scale(forces + moments / lever, moments + forces * lever)


def reaction_scale(solved: SolvedBeam, span: float, units: Mapping[str, float] | None) -> Scale:
    """What an imposed deformation (a settlement, a curvature), which brings no force,
    is measured against: the largest shear and moment it makes, read either side of
    every feature (the reactions' size, unrounded), each also as the other through
    the span."""
    lever = levers_of(span, units).lever
    at = solved.features()
    force = max(abs(v) for side in ("left", "right") for v in solved.values("sf", at, side))
    moment = max(abs(v) for side in ("left", "right") for v in solved.values("bm", at, side))
    return Scale(force + moment / lever, moment + force * lever)


def _factors(units: Mapping[str, float] | None) -> dict[str, float]:
    given = units or {}
    return {k: float(given.get(k, 1.0)) for k in ("length", "force", "moment", "distributed")}


def _polynomial_bound(coefficients: Sequence[float], reach: float) -> float:
    """|c0| + |c1| r + |c2| r^2 + ...: a bound of the intensity on [-r, r]. Powers by
    repeated products, which overflow to inf instead of raising."""
    total, power = 0.0, 1.0
    for c in coefficients:
        total += abs(c) * power
        power *= reach
    return total


def imbalance(solved: SolvedBeam, span: float, scale: Scale) -> str | None:
    """What is wrong with the balance of a solved beam, or None when it balances."""
    force, moment = scale.allowed()
    vertical, horizontal, turning = solved.values("sf", span), solved.values("nf", span), solved.values("bm", span)
    if abs(vertical) <= force and abs(horizontal) <= force and abs(turning) <= moment and force < math.inf \
            and moment < math.inf:
        return None
    values = (vertical, horizontal, turning, scale.force, scale.moment)
    if not all(map(math.isfinite, values)):
        return "the solution overflows the double range (about 1.8e308): its values are not finite"
    return (f"the solution does not balance the loads: it leaves {show(vertical)} of vertical force, "
            f"{show(horizontal)} of horizontal force and {show(turning)} of moment unbalanced, against loads "
            f"of {show(scale.force)} (force) and {show(scale.moment)} (moment), of which {TOLERANCE:g} is "
            "allowed: the model is too ill-conditioned for double precision (supports nearly at one "
            "place, or stiffnesses many orders of magnitude apart), so its results are refused")


class _Sizes:
    """Orders of magnitude (log10) of the products solve() forms, to find the input
    that takes one of them beyond the double range."""

    def __init__(self, span: float, e: float, i: float, units: Mapping[str, float]) -> None:
        factors = {k: float(v) for k, v in units.items()}
        self.unit = {k: _exponent(factors.get(k, 1.0)) for k in
                     ("length", "force", "moment", "distributed", "stiffness", "A", "G", "E", "I")}
        self.span = _exponent(span)
        self.lever = self.span + self.unit["length"]  # a lever arm in the solve's units
        self.stiffness = _exponent(e) + _exponent(i) + self.unit["E"] + self.unit["I"]


def _exponent(value: object) -> float:
    """log10 |value|: -inf for 0, inf for an infinite value."""
    number = abs(float(value))  # type: ignore[arg-type]  # a checked model's number
    if number == 0.0:
        return -math.inf
    return math.log10(number) if number < math.inf else math.inf


def overflow_problems(span: float, e: float, i: float, units: Mapping[str, float], loads: Sequence[Load],
                      supports: Sequence[Support]) -> list[Problem]:
    """The inputs of a checked beam whose products in the solve leave the double range:
    each load's deflection (its size times the span to the power of its integrations,
    over E*I) and moment, the highest power of the span, E*I, and each spring's
    flexibility 1/k. Empty when none does."""
    sizes = _Sizes(span, e, i, units)
    found: dict[str, Problem] = {}

    def refuse(path: str, value: object, size: float, what: str, advice: str = _UNITS) -> None:
        if size > _RANGE and path not in found:
            found[path] = Problem(path, f"{show(value)} takes {what} to about 1e{min(size, 9999):.0f}, beyond the "
                                        f"largest double (1.8e308): the solve overflows; {advice}")

    stiffer = ("E", e) if abs(_exponent(e)) >= abs(_exponent(i)) else ("I", i)
    refuse(*stiffer, sizes.stiffness, "E * I")
    refuse(*stiffer, -sizes.stiffness, "the flexibility 1 / (E * I)")
    power = 4 + degree_of(loads)
    refuse("span", span, power * sizes.span, f"the span to the power {power} (a deflection's lever)")
    if found:  # the beam's own numbers are to blame, not the loads they meet
        return list(found.values())
    distributed = sizes.unit["distributed"] + sizes.lever  # an intensity times a length
    for k, load in enumerate(loads):
        # (field, value, its size as a force or moment, the integrations to a deflection)
        if isinstance(load, IMPOSED):
            continue  # a deformation, of the size it is given: no product of its own
        if isinstance(load, PointLoad):
            values = [("force", load.force, sizes.unit["force"], 3)]
        elif isinstance(load, Moment):
            values = [("moment", load.moment, sizes.unit["moment"] - sizes.lever, 2)]
        elif isinstance(load, UniformLoad):
            values = [("w", load.w, distributed, 4)]
        elif isinstance(load, TrapezoidalLoad):
            values = [("w1", load.w1, distributed, 5), ("w2", load.w2, distributed, 5)]
        else:
            assert isinstance(load, PolynomialLoad)  # c_j x^j: the span's power j too
            values = [(f"coefficients[{j}]", c, distributed + j * sizes.span, 4)
                      for j, c in enumerate(load.coefficients)]
        for name, value, unit, order in values:
            size = _exponent(value) + unit
            refuse(f"loads[{k}].{name}", value, size + sizes.lever, "its moment about the ends")
            refuse(f"loads[{k}].{name}", value, size + order * sizes.lever - sizes.stiffness, "its deflection")
    for k, support in enumerate(supports):
        for name in ("kx", "ky", "km"):  # km: a rotational spring's flexibility 1 / km enters likewise
            k_value = float(getattr(support, name))
            if 0.0 < k_value < math.inf:
                refuse(f"supports[{k}].{name}", k_value, -(_exponent(k_value) + sizes.unit["stiffness"]),
                       "the spring's flexibility 1 / k", f"a spring so soft carries nothing: give {name} = 0")
    return list(found.values())
