"""Loads: immutable records of the forces and moments on a beam.

Signs and angles are those of flexura.solve(): a load acts along its angle
(90 degrees: upwards, so a downward load is negative; 0: along +x), moments
are counter-clockwise positive, positions run from x = 0 at the left end.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass, replace
from typing import ClassVar, Literal, NamedTuple, Union, cast

from ._engine import axial_factor, transverse_factor
from .checks import Checker, converted, shape
from .errors import show
from .supports import INF, Support

RawKind = Literal["point", "udl", "trap", "torque", "dist", "settlement", "curvature"]
# The loads that impose a deformation rather than a force: the core takes them apart
# from the forces (see solver.py).
IMPOSED_KINDS = ("settlement", "curvature")
RawLoad = tuple[RawKind, list[float]]


def _has_axial_part(angle: float, *values: float) -> bool:
    """Whether the solve keeps an axial component of a load: a share along the beam
    that the core does not cut off."""
    for value in values:  # a loop, not any() over a generator: the pattern job 1.3% fewer instructions
        if value != 0:
            return axial_factor(angle) != 0.0
    return False


def has_transverse_part(angle: float, value: float) -> bool:
    """Whether the solve keeps a transverse component of a load: a share across the
    beam that the core does not cut off."""
    return value != 0 and transverse_factor(angle) != 0.0


def _owns(x: float, a: float, b: float, span: float) -> bool:
    """Whether a load at x belongs to the stretch [a, b): a load on a support between two
    stretches goes with the right one, a load at the end of the beam with the last."""
    return a <= x < b or x == b == span


# A load whose numbers are plain floats is found sound by these before any path is
# written for its fields (the pattern job's three loads: 7,000 instructions fewer, 0.2%).

def _finite_floats(*values: object) -> bool:
    """Whether every value is a finite float, which the checks of a number find sound."""
    for value in values:
        if type(value) is not float or not -INF < value < INF:
            return False
    return True


def _on_beam(x: object, span: float | None) -> bool:
    """Whether x is a float on the beam, which the check of a position finds sound."""
    return type(x) is float and span is not None and 0.0 <= x <= span < INF


def _in_order(start: object, end: object, span: float | None) -> bool:
    """Whether start and end are floats in order on the beam, which _check_range() finds sound."""
    return type(start) is float and type(end) is float and span is not None and 0.0 <= start < end <= span < INF


def _check_range(c: Checker, path: str, span: float | None, start: object, end: object) -> None:
    x1 = c.position(start, f"{path}.x1", span)
    x2 = c.position(end, f"{path}.x2", span)
    if x1 is None or x2 is None or x1 < x2:
        return
    if x1 == x2:
        c.add(path, f"x1 = x2 = {show(x1)}: a load of zero length carries nothing")
    else:
        c.add(path, f"x1 = {show(x1)} is not before x2 = {show(x2)}: solve() reads a range given "
                    "right to left as a load acting the other way; write it left to right (x1 < x2) "
                    "and negate the intensity")


class LoadRecord:
    """What every load record answers; the layer's checks, solves and patterns ask it."""

    __slots__ = ()

    def raw(self, span: float) -> RawLoad:
        """The load as flexura.solve() takes it, (kind, params); `span` ends a load
        that runs to the end of the beam."""
        raise NotImplementedError

    def positions(self, span: float) -> tuple[float, ...]:
        """Where the load acts: a point load's or moment's x, a distributed load's ends."""
        raise NotImplementedError

    def axial(self) -> bool:
        """Whether the solve keeps a component of the load along the beam."""
        raise NotImplementedError

    def scaled(self, factor: float) -> LoadRecord:
        """The same load times `factor` (a load case's factor in a combination)."""
        raise NotImplementedError

    def part(self, a: float, b: float, span: float) -> LoadRecord | None:
        """The part of the load on the stretch [a, b) of the beam, None where it has
        none; a load on a support goes with the stretch to its right, one at the end
        of the beam with the last."""
        raise NotImplementedError

    def check(self, c: Checker, path: str, span: float | None) -> None:
        """Reports every problem of the load's fields to `c`, under `path` (loads[2])."""
        raise NotImplementedError


@dataclass(frozen=True, slots=True, kw_only=True)
class PointLoad(LoadRecord):
    """A force of size `force` at x, acting along `angle` (90: upwards)."""

    TYPE: ClassVar[str] = "point"
    x: float
    force: float
    angle: float = 90.0

    def raw(self, span: float) -> RawLoad:
        return ("point", [self.force, self.x, self.angle])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x,)

    def axial(self) -> bool:
        return _has_axial_part(self.angle, self.force)

    def scaled(self, factor: float) -> PointLoad:
        return replace(self, force=factor * self.force)

    def part(self, a: float, b: float, span: float) -> PointLoad | None:
        return self if _owns(self.x, a, b, span) else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        if _finite_floats(self.force, self.angle) and _on_beam(self.x, span):
            return  # found sound without a path for each field
        c.position(self.x, f"{path}.x", span)
        c.finite(self.force, f"{path}.force")
        c.finite(self.angle, f"{path}.angle")


@dataclass(frozen=True, slots=True, kw_only=True)
class Moment(LoadRecord):
    """A concentrated moment at x, counter-clockwise positive."""

    TYPE: ClassVar[str] = "moment"
    x: float
    moment: float

    def raw(self, span: float) -> RawLoad:
        return ("torque", [self.moment, self.x])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x,)

    def axial(self) -> bool:
        return False

    def scaled(self, factor: float) -> Moment:
        return replace(self, moment=factor * self.moment)

    def part(self, a: float, b: float, span: float) -> Moment | None:
        return self if _owns(self.x, a, b, span) else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        if _finite_floats(self.moment) and _on_beam(self.x, span):
            return  # found sound without a path for each field
        c.position(self.x, f"{path}.x", span)
        c.finite(self.moment, f"{path}.moment")


@dataclass(frozen=True, slots=True, kw_only=True)
class UniformLoad(LoadRecord):
    """Intensity w (force per length) from x1 to x2; x2 None is the end of the beam."""

    TYPE: ClassVar[str] = "uniform"
    w: float
    x1: float = 0.0
    x2: float | None = None
    angle: float = 90.0

    def raw(self, span: float) -> RawLoad:
        return ("udl", [self.w, self.x1, span if self.x2 is None else self.x2, self.angle])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x1, span if self.x2 is None else self.x2)

    def axial(self) -> bool:
        return _has_axial_part(self.angle, self.w)

    def scaled(self, factor: float) -> UniformLoad:
        return replace(self, w=factor * self.w)

    def part(self, a: float, b: float, span: float) -> UniformLoad | None:
        x1, x2 = max(self.x1, a), min(span if self.x2 is None else self.x2, b)
        return UniformLoad(w=self.w, x1=x1, x2=x2, angle=self.angle) if x1 < x2 else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        if _finite_floats(self.w, self.angle) and _in_order(self.x1, span if self.x2 is None else self.x2, span):
            return  # found sound without a path for each field
        c.finite(self.w, f"{path}.w")
        c.finite(self.angle, f"{path}.angle")
        if self.x2 is None and span is None:  # the end of a beam whose span is reported
            c.position(self.x1, f"{path}.x1", span)
        else:
            _check_range(c, path, span, self.x1, span if self.x2 is None else self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class TrapezoidalLoad(LoadRecord):
    """Intensity varying linearly from w1 at x1 to w2 at x2."""

    TYPE: ClassVar[str] = "trapezoidal"
    w1: float
    w2: float
    x1: float
    x2: float
    angle: float = 90.0

    def raw(self, span: float) -> RawLoad:
        return ("trap", [self.w1, self.w2, self.x1, self.x2, self.angle])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x1, self.x2)

    def axial(self) -> bool:
        return _has_axial_part(self.angle, self.w1, self.w2)

    def scaled(self, factor: float) -> TrapezoidalLoad:
        return replace(self, w1=factor * self.w1, w2=factor * self.w2)

    def part(self, a: float, b: float, span: float) -> TrapezoidalLoad | None:
        x1, x2 = max(self.x1, a), min(self.x2, b)
        if not x1 < x2:
            return None
        if (x1, x2) == (self.x1, self.x2):
            return self
        slope = (self.w2 - self.w1) / (self.x2 - self.x1)  # the intensity at the cuts, on the same line
        return TrapezoidalLoad(w1=self.w1 + slope * (x1 - self.x1), w2=self.w1 + slope * (x2 - self.x1), x1=x1,
                               x2=x2, angle=self.angle)

    def check(self, c: Checker, path: str, span: float | None) -> None:
        if _finite_floats(self.w1, self.w2, self.angle) and _in_order(self.x1, self.x2, span):
            return  # found sound without a path for each field
        c.finite(self.w1, f"{path}.w1")
        c.finite(self.w2, f"{path}.w2")
        c.finite(self.angle, f"{path}.angle")
        _check_range(c, path, span, self.x1, self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class PolynomialLoad(LoadRecord):
    """Intensity c0 + c1 x + c2 x^2 + ... from x1 to x2, x measured from the left
    end of the beam (not from x1)."""

    TYPE: ClassVar[str] = "polynomial"
    coefficients: Sequence[float]
    x1: float
    x2: float
    angle: float = 90.0

    def __post_init__(self) -> None:
        object.__setattr__(self, "coefficients", converted(tuple, self.coefficients))

    def raw(self, span: float) -> RawLoad:
        return ("dist", [self.x1, self.x2, self.angle, *self.coefficients])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x1, self.x2)

    def axial(self) -> bool:
        return _has_axial_part(self.angle, *self.coefficients)

    def scaled(self, factor: float) -> PolynomialLoad:
        return replace(self, coefficients=[factor * c for c in self.coefficients])

    def part(self, a: float, b: float, span: float) -> PolynomialLoad | None:
        # The coefficients are about x = 0, so a part keeps them.
        x1, x2 = max(self.x1, a), min(self.x2, b)
        return PolynomialLoad(coefficients=self.coefficients, x1=x1, x2=x2, angle=self.angle) if x1 < x2 else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        coefficients = cast(object, self.coefficients)
        if not shape(c, coefficients, f"{path}.coefficients", tuple, "a list of numbers"):
            coefficients = ()
        if not coefficients:
            c.add(f"{path}.coefficients", "needs at least one coefficient")
        for k, coefficient in enumerate(cast("tuple[object, ...]", coefficients)):
            c.finite(coefficient, f"{path}.coefficients[{k}]")
        c.finite(self.angle, f"{path}.angle")
        _check_range(c, path, span, self.x1, self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class Settlement(LoadRecord):
    """A support's base moving: by dy (deflection unit, up positive) and turning by
    `rotation` (radians, counter-clockwise positive). `support` is the support's
    label or its index in the beam's supports. Each part needs the restraint it
    moves: dy a vertical one (a spring settles at its base), rotation a rotational one."""

    TYPE: ClassVar[str] = "settlement"
    support: str | int
    dy: float = 0.0
    rotation: float = 0.0

    def raw(self, span: float) -> RawLoad:
        """("settlement", [index, dy, rotation]) once the beam has put the support's
        index in place of a label (see Beam.raw_loads)."""
        if not isinstance(self.support, int):
            raise TypeError(f"a settlement of support {self.support!r} is raw only on its beam (Beam.raw_loads)")
        return ("settlement", [float(self.support), self.dy, self.rotation])

    def positions(self, span: float) -> tuple[float, ...]:
        return ()

    def axial(self) -> bool:
        return False

    def scaled(self, factor: float) -> Settlement:
        return replace(self, dy=factor * self.dy, rotation=factor * self.rotation)

    def part(self, a: float, b: float, span: float) -> Settlement | None:
        raise TypeError("a settlement belongs to a support, not to a stretch of the beam")

    def check(self, c: Checker, path: str, span: float | None) -> None:
        support = cast(object, self.support)
        if isinstance(support, bool) or not isinstance(support, (str, int)) or support == "":
            c.add(f"{path}.support", f"must be a support's label or its index, got {show(support)}")
        c.finite(self.dy, f"{path}.dy")
        c.finite(self.rotation, f"{path}.rotation")


@dataclass(frozen=True, slots=True, kw_only=True)
class Curvature(LoadRecord):
    """An imposed curvature from k1 at x1 to k2 at x2, linear between (1 / length
    unit; k2 None is k1): shrinkage, creep or a temperature difference through the
    depth. Positive bends the beam as a sagging moment does (a simply supported span
    under k sags by k L^2 / 8 mid-span); it makes moments only where the beam is
    restrained against bending freely."""

    TYPE: ClassVar[str] = "curvature"
    x1: float
    x2: float
    k1: float
    k2: float | None = None

    def raw(self, span: float) -> RawLoad:
        return ("curvature", [self.k1, self.k1 if self.k2 is None else self.k2, self.x1, self.x2])

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x1, self.x2)

    def axial(self) -> bool:
        return False

    def scaled(self, factor: float) -> Curvature:
        return replace(self, k1=factor * self.k1, k2=None if self.k2 is None else factor * self.k2)

    def part(self, a: float, b: float, span: float) -> Curvature | None:
        x1, x2 = max(self.x1, a), min(self.x2, b)
        if not x1 < x2:
            return None
        k2 = self.k1 if self.k2 is None else self.k2
        slope = (k2 - self.k1) / (self.x2 - self.x1)  # the curvature at the cuts, on the same line
        return Curvature(x1=x1, x2=x2, k1=self.k1 + slope * (x1 - self.x1), k2=self.k1 + slope * (x2 - self.x1))

    def check(self, c: Checker, path: str, span: float | None) -> None:
        c.finite(self.k1, f"{path}.k1")
        if self.k2 is not None:
            c.finite(self.k2, f"{path}.k2")
        _check_range(c, path, span, self.x1, self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class ThermalGradient(LoadRecord):
    """A temperature difference dT = T(bottom) - T(top) through the depth over
    [x1, x2], with the coefficient of expansion alpha: the imposed curvature
    alpha * dT / depth (a Curvature, 1 / length unit, depth in the length unit). A
    deck heated from above has dT < 0 and hogs."""

    TYPE: ClassVar[str] = "thermal"
    x1: float
    x2: float
    alpha: float
    dT: float  # noqa: N815 - the engineer's name for the temperature difference
    depth: float

    def curvature(self) -> Curvature:
        """The imposed curvature alpha * dT / depth over [x1, x2]."""
        return Curvature(x1=self.x1, x2=self.x2, k1=self.alpha * self.dT / self.depth)

    def raw(self, span: float) -> RawLoad:
        return self.curvature().raw(span)

    def positions(self, span: float) -> tuple[float, ...]:
        return (self.x1, self.x2)

    def axial(self) -> bool:
        return False

    def scaled(self, factor: float) -> ThermalGradient:
        return replace(self, dT=factor * self.dT)

    def part(self, a: float, b: float, span: float) -> ThermalGradient | None:
        x1, x2 = max(self.x1, a), min(self.x2, b)
        return ThermalGradient(x1=x1, x2=x2, alpha=self.alpha, dT=self.dT, depth=self.depth) if x1 < x2 else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        c.finite(self.alpha, f"{path}.alpha")
        c.finite(self.dT, f"{path}.dT")
        c.positive(self.depth, f"{path}.depth")
        _check_range(c, path, span, self.x1, self.x2)


Load = Union[PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment, Settlement, Curvature, ThermalGradient]
LOAD_TYPES: tuple[type[Load], ...] = (PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment, Settlement,
                                      Curvature, ThermalGradient)
# The loads that impose a deformation: they bring no force of their own.
IMPOSED: tuple[type[Load], ...] = (Settlement, Curvature, ThermalGradient)


class Axial(NamedTuple):
    """What a load's axial component meets: no horizontal restraint at all (solve()
    would leave it unbalanced), or `restraints` of them and no A for E*A between them."""

    unbalanced: bool
    restraints: int


class Frame(NamedTuple):
    """What a settlement or a moment meets: the beam's supports (None when they are
    not all Support records, then settlements are not checked against them) and
    its checked hinges."""

    supports: Sequence[Support] | None
    hinges: Sequence[float]


def check_loads(c: Checker, given: Sequence[Load], prefix: str, span: float | None, axial: Axial,
                frame: Frame = Frame(None, ())) -> None:
    loads = cast("Sequence[object]", given)  # as given: the checks do not trust the types
    for k, load in enumerate(loads):
        path = f"{prefix}[{k}]"
        if not isinstance(load, LOAD_TYPES):
            names = ", ".join(t.__name__ for t in LOAD_TYPES)
            c.add(path, f"is not a load ({names}): got {show(load)}")
            continue
        before = len(c.problems)
        load.check(c, path, span)
        if len(c.problems) > before:
            continue
        if isinstance(load, Settlement) and frame.supports is not None:
            _check_settlement(c, path, load, frame.supports)
        if isinstance(load, Moment) and float(load.x) in frame.hinges:
            c.add(f"{path}.x", f"{show(load.x)} is at hinges[{list(frame.hinges).index(float(load.x))}]: a "
                               "concentrated moment there acts on one of the two parts, which is not said; "
                               "put it just left or right of the hinge")
        if not load.axial():
            continue
        if axial.unbalanced:
            c.add(path, "has a horizontal component, but no support restrains the beam horizontally "
                        "(kx): solve() would leave it unbalanced; give a support kx (a pin or a fixed end)")
        elif axial.restraints:
            c.add(path, f"has a horizontal component, which the {axial.restraints} horizontal restraints share "
                        "by the axial stiffness E*A: give the beam A")


def settled_support(load: Settlement, supports: Sequence[Support]) -> int | None:
    """The index of the support a settlement moves, None when no support is it."""
    key = load.support
    if isinstance(key, str):
        return next((j for j, s in enumerate(supports) if s.label == key), None)
    return key if 0 <= key < len(supports) else None


def _check_settlement(c: Checker, path: str, load: Settlement, supports: Sequence[Support]) -> None:
    index = settled_support(load, supports)
    if index is None:
        labels = ", ".join(repr(s.label) for s in supports if s.label is not None) or "none"
        c.add(f"{path}.support", f"{show(load.support)} is no support: give a label ({labels}) or an index "
                                 f"from 0 to {len(supports) - 1}")
        return
    support = supports[index]
    if load.dy != 0 and support.ky == 0:
        c.add(f"{path}.dy", f"supports[{index}] does not restrain vertical motion (ky = 0): nothing there "
                            "settles; give dy = 0 or settle a vertical restraint")
    if load.rotation != 0 and support.km == 0:
        c.add(f"{path}.rotation", f"supports[{index}] does not restrain rotation (km = 0): nothing there "
                                  "turns; give rotation = 0 or turn a rotational restraint")


def degree_of(loads: Sequence[Load]) -> int:
    """The highest polynomial degree of the loads' intensity (0 without a distributed load)."""
    degrees = [len(load.coefficients) - 1 if isinstance(load, PolynomialLoad) else
               1 if isinstance(load, TrapezoidalLoad) else 0 for load in loads]
    return max(degrees, default=0)
