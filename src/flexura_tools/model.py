"""The beam model: immutable records of the beam, its supports and its loads.

Signs and angles are those of flexura.solve(): a load acts along its angle
(90 degrees: upwards, so a downward load is negative; 0: along +x), moments
are counter-clockwise positive, positions run from x = 0 at the left end.
Constructing a record checks nothing; Beam.check() (or solve()) reports every
problem of the whole model at once.
"""

from __future__ import annotations

import math
from collections.abc import Iterator, Mapping, Sequence
from dataclasses import dataclass, field, replace
from typing import ClassVar, Literal, NamedTuple, TypeVar, Union, cast

import flexura

from .checks import UNIT_KEYS, Checker, is_number, near_miss
from .errors import ModelError, Problem, show
from .result import Quantity, Result

INF = math.inf
# solve()'s degree factor and the cut-off below which a load component is dropped.
_DEGREE = 0.017453292519943295
_CUT_OFF = 1e-8

RawKind = Literal["point", "udl", "trap", "torque", "dist"]
RawLoad = tuple[RawKind, list[float]]
RawSupport = tuple[float, float, float, float]

V = TypeVar("V")


class SolveArgs(NamedTuple):
    """The arguments of flexura.solve(), in its order."""

    span: float
    e: float
    i: float
    a: float
    g: float
    supports: list[RawSupport]
    loads: list[RawLoad]
    units: dict[str, float] | None


class Frozen(Mapping[str, V]):
    """A read-only, hashable copy of a mapping (the units of a Beam)."""

    __slots__ = ("_items",)

    def __init__(self, items: Mapping[str, V]) -> None:
        self._items = dict(items)

    def __getitem__(self, key: str) -> V:
        return self._items[key]

    def __iter__(self) -> Iterator[str]:
        return iter(self._items)

    def __len__(self) -> int:
        return len(self._items)

    def __hash__(self) -> int:
        return hash(frozenset(self._items.items()))

    def __repr__(self) -> str:
        return repr(self._items)


def _has_axial_part(angle: float, *values: float) -> bool:
    """Whether solve() keeps an axial component of a load: cos(angle) above its cut-off."""
    return any(v != 0 for v in values) and abs(math.cos(angle * _DEGREE)) >= _CUT_OFF


def has_transverse_part(angle: float, value: float) -> bool:
    """Whether solve() keeps a transverse component of a load: sin(angle) above its cut-off."""
    return value != 0 and abs(math.sin(angle * _DEGREE)) >= _CUT_OFF


def _owns(x: float, a: float, b: float, span: float) -> bool:
    """Whether a load at x belongs to the stretch [a, b): a load on a support between two
    stretches goes with the right one, a load at the end of the beam with the last."""
    return a <= x < b or x == b == span


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


@dataclass(frozen=True, slots=True, kw_only=True)
class PointLoad:
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
        c.position(self.x, f"{path}.x", span)
        c.finite(self.force, f"{path}.force")
        c.finite(self.angle, f"{path}.angle")


@dataclass(frozen=True, slots=True, kw_only=True)
class Moment:
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
        c.position(self.x, f"{path}.x", span)
        c.finite(self.moment, f"{path}.moment")


@dataclass(frozen=True, slots=True, kw_only=True)
class UniformLoad:
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
        return replace(self, x1=x1, x2=x2) if x1 < x2 else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        c.finite(self.w, f"{path}.w")
        c.finite(self.angle, f"{path}.angle")
        _check_range(c, path, span, self.x1, span if self.x2 is None else self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class TrapezoidalLoad:
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
        return replace(self, w1=self.w1 + slope * (x1 - self.x1), w2=self.w1 + slope * (x2 - self.x1), x1=x1, x2=x2)

    def check(self, c: Checker, path: str, span: float | None) -> None:
        c.finite(self.w1, f"{path}.w1")
        c.finite(self.w2, f"{path}.w2")
        c.finite(self.angle, f"{path}.angle")
        _check_range(c, path, span, self.x1, self.x2)


@dataclass(frozen=True, slots=True, kw_only=True)
class PolynomialLoad:
    """Intensity c0 + c1 x + c2 x^2 + ... from x1 to x2, x measured from the left
    end of the beam (not from x1)."""

    TYPE: ClassVar[str] = "polynomial"
    coefficients: Sequence[float]
    x1: float
    x2: float
    angle: float = 90.0

    def __post_init__(self) -> None:
        object.__setattr__(self, "coefficients", tuple(self.coefficients))

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
        return replace(self, x1=x1, x2=x2) if x1 < x2 else None

    def check(self, c: Checker, path: str, span: float | None) -> None:
        if not self.coefficients:
            c.add(f"{path}.coefficients", "needs at least one coefficient")
        for k, coefficient in enumerate(self.coefficients):
            c.finite(coefficient, f"{path}.coefficients[{k}]")
        c.finite(self.angle, f"{path}.angle")
        _check_range(c, path, span, self.x1, self.x2)


Load = Union[PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment]
LOAD_TYPES: tuple[type[Load], ...] = (PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment)


def check_loads(c: Checker, given: Sequence[Load], prefix: str, span: float | None, unbalanced: bool) -> None:
    loads = cast("Sequence[object]", given)  # as given: the checks do not trust the types
    for k, load in enumerate(loads):
        path = f"{prefix}[{k}]"
        if not isinstance(load, LOAD_TYPES):
            names = ", ".join(t.__name__ for t in LOAD_TYPES)
            c.add(path, f"is not a load ({names}): got {show(load)}")
            continue
        before = len(c.problems)
        load.check(c, path, span)
        if unbalanced and len(c.problems) == before and load.axial():
            c.add(path, "has a horizontal component, but no support restrains the beam horizontally "
                        "(kx): solve() would leave it unbalanced; give a support kx (a pin or a fixed end)")


@dataclass(frozen=True, slots=True, kw_only=True)
class Combination:
    """A load combination such as 1.35 D + 1.5 L: the loads of each named case times
    its factor, solved together as one beam."""

    name: str
    factors: Mapping[str, float]

    def __post_init__(self) -> None:
        object.__setattr__(self, "factors", Frozen(self.factors))


@dataclass(frozen=True, slots=True, kw_only=True)
class Support:
    """A support at x. kx and ky restrain horizontal and vertical displacement:
    0 is free, inf rigid, a positive number a spring of that stiffness; km
    restrains rotation: 0 free, inf fixed. Use the named constructors."""

    x: float
    kx: float = 0.0
    ky: float = 0.0
    km: float = 0.0
    label: str | None = None

    @classmethod
    def pin(cls, x: float, label: str | None = None) -> Support:
        return cls(x=x, kx=INF, ky=INF, label=label)

    @classmethod
    def roller(cls, x: float, label: str | None = None) -> Support:
        return cls(x=x, ky=INF, label=label)

    @classmethod
    def fixed(cls, x: float, label: str | None = None) -> Support:
        return cls(x=x, kx=INF, ky=INF, km=INF, label=label)

    @classmethod
    def spring(cls, x: float, *, ky: float = 0.0, kx: float = 0.0, label: str | None = None) -> Support:
        return cls(x=x, kx=kx, ky=ky, label=label)

    @property
    def kind(self) -> str:
        """'pin', 'roller', 'fixed', 'spring' or 'support' (any other combination)."""
        restraints = (self.kx, self.ky, self.km)
        named = {(INF, INF, 0.0): "pin", (0.0, INF, 0.0): "roller", (INF, INF, INF): "fixed"}
        if restraints in named:
            return named[restraints]
        springs = [k for k in (self.kx, self.ky) if k not in (0.0, INF)]
        return "spring" if springs and self.km == 0.0 else "support"

    def raw(self) -> RawSupport:
        return (self.x, self.kx, self.ky, self.km)

    def check(self, c: Checker, path: str, span: float | None) -> None:
        c.position(self.x, f"{path}.x", span)
        restraints: list[float | None] = []
        for name, value in (("kx", self.kx), ("ky", self.ky)):
            k = c.number(value, f"{path}.{name}")
            if k is not None and not k >= 0.0:
                c.add(f"{path}.{name}", f"must be 0 (free), a spring stiffness above 0 or inf (rigid), "
                                        f"got {show(k)}")
            restraints.append(k)
        km = c.number(self.km, f"{path}.km")
        if km is not None and km not in (0.0, INF):
            c.add(f"{path}.km", f"rotational springs are not modelled; use 0 or inf, got {show(km)}")
        if restraints + [km] == [0.0, 0.0, 0.0]:
            c.add(path, "restrains nothing: kx, ky and km are all 0")
        label = cast(object, self.label)
        if label is not None and not (isinstance(label, str) and label):
            c.add(f"{path}.label", f"must be a non-empty text, got {show(label)}")


@dataclass(frozen=True, slots=True, kw_only=True)
class Beam:
    """A straight beam from x = 0 to x = span.

    E and I give the bending stiffness; A the axial stiffness E*A and, with G,
    the shear stiffness G*A (so a shear area Av enters as G * Av / A). G = inf
    leaves out shear deformation, and then A is needed only between two or
    more horizontal restraints. `units` are solve()'s unit factors; `unit_names`
    name the units for printing (for instance {"force": "kN"}).
    """

    span: float
    E: float
    I: float  # noqa: E741 - the engineer's name for the second moment of area
    supports: Sequence[Support]
    loads: Sequence[Load] = ()
    A: float | None = None
    G: float = INF
    units: Mapping[str, float] = field(default_factory=dict[str, float])
    unit_names: Mapping[str, str] = field(default_factory=dict[str, str])
    title: str = ""
    cases: Mapping[str, Sequence[Load]] = field(default_factory=dict[str, Sequence[Load]])
    combinations: Sequence[Combination] = ()
    # Set by check(): the model has been validated, so solve() does not do it again.
    _checked: bool = field(default=False, init=False, repr=False, compare=False)

    def __post_init__(self) -> None:
        object.__setattr__(self, "supports", tuple(self.supports))
        object.__setattr__(self, "loads", tuple(self.loads))
        object.__setattr__(self, "units", Frozen(self.units))
        object.__setattr__(self, "unit_names", Frozen(self.unit_names))
        object.__setattr__(self, "cases", Frozen({name: tuple(loads) for name, loads in self.cases.items()}))
        object.__setattr__(self, "combinations", tuple(self.combinations))

    def solve_args(self) -> SolveArgs:
        """The arguments for flexura.solve(), unchecked: flexura.solve(*beam.solve_args())
        gives the same bits as beam.solve().raw. A missing A is passed as 1, which then
        enters no result."""
        span = self.span
        return SolveArgs(span, self.E, self.I, 1.0 if self.A is None else self.A, self.G,
                         [s.raw() for s in self.supports], [load.raw(span) for load in self.loads],
                         dict(self.units) or None)

    def problems(self) -> list[Problem]:
        """Everything wrong with the model, each with its path; empty when it can be solved."""
        c = Checker()
        span = c.positive(self.span, "span")
        c.positive(self.E, "E")
        c.positive(self.I, "I")
        g = c.positive(self.G, "G", rigid="for no shear deformation")
        self._check_area(c, g)
        c.unit_keys(self.units, "units")
        for key, factor in self.units.items():
            if key in UNIT_KEYS:
                c.positive(factor, f"units.{key}")
        c.unit_keys(self.unit_names, "unit_names")
        unit_names = cast("Mapping[str, object]", self.unit_names)
        for key, name in unit_names.items():
            if not isinstance(name, str):
                c.add(f"unit_names.{key}", f"must be a text such as 'kN', got {show(name)}")
        title = cast(object, self.title)
        if not isinstance(title, str):
            c.add("title", f"must be a text, got {show(title)}")
        countable = self._check_supports(c, span)
        unbalanced = countable and not any(s.kx != 0 for s in self.supports)
        check_loads(c, self.loads, "loads", span, unbalanced)
        for name, loads in self.cases.items():
            if not (isinstance(cast(object, name), str) and name):
                c.add("cases", f"a case name must be a non-empty text, got {show(name)}")
            check_loads(c, loads, f"cases.{name}", span, unbalanced)
        self._check_combinations(c)
        return c.problems

    def _check_combinations(self, c: Checker) -> None:
        names: dict[str, int] = {}
        combinations = cast("Sequence[object]", self.combinations)
        for k, combination in enumerate(combinations):
            path = f"combinations[{k}]"
            if not isinstance(combination, Combination):
                c.add(path, f"is not a Combination: got {show(combination)}")
                continue
            name = cast(object, combination.name)
            if not (isinstance(name, str) and name):
                c.add(f"{path}.name", f"must be a non-empty text, got {show(name)}")
            elif name in names:
                c.add(f"{path}.name", f"{name!r} is also the name of combinations[{names[name]}]")
            else:
                names[name] = k
            if not combination.factors:
                c.add(f"{path}.factors", "has no factors: give at least one case and its factor")
            for case, factor in combination.factors.items():
                if case not in self.cases:
                    known = ", ".join(self.cases) or "none"
                    hint = near_miss(case, self.cases) if isinstance(cast(object, case), str) else ""
                    c.add(f"{path}.factors.{case}", f"is not a load case{hint} (cases: {known})")
                c.finite(factor, f"{path}.factors.{case}")

    def _check_area(self, c: Checker, g: float | None) -> None:
        if self.A is not None:
            c.positive(self.A, "A")
            return
        supports = cast("Sequence[object]", self.supports)
        horizontal = sum(1 for s in supports if isinstance(s, Support) and s.kx != 0)
        if g is not None and g != INF:
            c.add("A", "is needed for the shear stiffness G*A (G is finite)")
        elif horizontal >= 2:
            c.add("A", f"is needed for the axial stiffness E*A between the {horizontal} horizontal restraints")

    def _check_supports(self, c: Checker, span: float | None) -> bool:
        """Each support, then the arrangement; True when the restraints could be counted."""
        positions: dict[float, int] = {}
        labels: dict[str, int] = {}
        supports = cast("Sequence[object]", self.supports)  # as given: the checks do not trust the types
        for k, support in enumerate(supports):
            path = f"supports[{k}]"
            if not isinstance(support, Support):
                c.add(path, f"is not a Support: got {show(support)}")
                continue
            support.check(c, path, span)
            if is_number(support.x) and support.x in positions:
                c.add(f"{path}.x", f"{show(support.x)} is also the position of supports[{positions[support.x]}]: "
                                   "give one Support per position (it restrains all three directions)")
            positions.setdefault(support.x, k)
            label = cast(object, support.label)
            if isinstance(label, str) and label in labels:
                c.add(f"{path}.label", f"{label!r} is also the label of supports[{labels[label]}]")
            if isinstance(label, str):
                labels.setdefault(label, k)
        countable = all(isinstance(s, Support) and all(map(is_number, (s.kx, s.ky, s.km)))
                        for s in supports)
        if not countable:
            return False
        # The count solve() would find singular, told before any arithmetic: the beam
        # needs a vertical restraint, and two restraints against transverse motion.
        vertical = [s for s in self.supports if s.ky != 0]
        rotational = [s for s in self.supports if s.km != 0]
        if not vertical:
            c.add("supports", "nothing restrains the beam vertically: give a pin, a roller, "
                              "a fixed end or a vertical spring")
        elif len(vertical) + len(rotational) < 2:
            c.add("supports", f"the beam is a mechanism: it can turn about its only support at "
                              f"x = {show(vertical[0].x)}; give a second support or fix this one")
        return True

    def check(self) -> Beam:
        """Raise ModelError listing every problem; return the beam when there is none.
        A beam is checked once: later calls (and solve()) return at once."""
        if not self._checked:
            found = self.problems()
            if found:
                raise ModelError(found)
            object.__setattr__(self, "_checked", True)
        return self

    def solve(self) -> Result:
        """Check the model (once per beam), then solve it."""
        self.check()
        try:
            raw = flexura.solve(*self.solve_args())
        except ValueError as error:  # a singular system that no count of restraints foresees
            raise ModelError([Problem("", str(error))]) from error
        return Result(self, raw)

    def factored(self, factors: Mapping[str, float]) -> list[Load]:
        """The loads of each named case times its factor, case by case in the order of
        `factors`, each case's loads in their order."""
        missing = [name for name in factors if name not in self.cases]
        if missing:
            raise KeyError(f"{missing[0]!r} is not a load case (cases: {', '.join(self.cases) or 'none'})")
        return [load.scaled(factor) for name, factor in factors.items() for load in self.cases[name]]

    def combination(self, name: str) -> Beam:
        """The beam under one of its combinations: its loads are the combination's
        factored loads (the beam's own `loads` take no part), titled by the combination."""
        for combination in self.combinations:
            if combination.name == name:
                return self.with_loads(self.factored(combination.factors), combination.name)
        known = ", ".join(c.name for c in self.combinations) or "none"
        raise KeyError(f"{name!r} is not a combination (combinations: {known})")

    def solve_combinations(self) -> dict[str, Result]:
        """Every combination solved as one beam (its factored loads in one solve, so
        the result is exact, not a sum of rounded results), by name, in order."""
        self.check()
        span = float(self.span)
        out: dict[str, Result] = {}
        for c in self.combinations:
            beam = self.combination(c.name)
            # The checked loads of checked cases times checked factors are valid loads
            # unless a product overflows: only then is the combination checked again
            # (which names the load). Saves 15% of the README's combination envelope.
            if all(math.isfinite(v) for load in beam.loads for v in load.raw(span)[1]):
                object.__setattr__(beam, "_checked", True)
            out[c.name] = beam.solve()
        return out

    def with_loads(self, loads: Sequence[Load], title: str | None = None) -> Beam:
        """The same beam and supports under other loads, without cases or combinations."""
        return replace(self, loads=loads, title=self.title if title is None else title, cases={},
                       combinations=())

    def features(self) -> list[float]:
        """Sorted positions in [0, span] where a diagram may jump or change its law:
        the ends, the supports and the ends of every load."""
        return features_of(float(self.span), self.supports, self.loads)

    def spans(self) -> list[tuple[float, float]]:
        """The spans, left to right: the stretches between the ends and the vertical
        restraints (an overhang beyond an end support is a span of its own)."""
        span = float(self.span)
        cuts = sorted({0.0, span} | {float(s.x) for s in self.supports if s.ky != 0})
        return list(zip(cuts, cuts[1:]))

    def jumps(self) -> dict[Quantity, list[float]]:
        """Positions where each diagram may jump: the shear force at transverse point loads
        and vertical restraints, the normal force at axial point loads and horizontal
        restraints, the bending moment at moments and rotational restraints. The
        deflection never jumps."""
        return jumps_of(self.supports, self.loads)

    def max_degree(self) -> int:
        """The highest polynomial degree of a distributed load's intensity (0 without one)."""
        return degree_of(self.loads)


def features_of(span: float, supports: Sequence[Support], loads: Sequence[Load]) -> list[float]:
    """Beam.features() of these supports and loads."""
    points = {0.0, span}
    points.update(float(s.x) for s in supports)
    for load in loads:
        points.update(float(x) for x in load.positions(span))
    return sorted(x for x in points if 0.0 <= x <= span)


def jumps_of(supports: Sequence[Support], loads: Sequence[Load]) -> dict[Quantity, list[float]]:
    """Beam.jumps() of these supports and loads."""
    nf = [float(s.x) for s in supports if s.kx != 0]
    sf = [float(s.x) for s in supports if s.ky != 0]
    bm = [float(s.x) for s in supports if s.km != 0]
    for load in loads:
        if isinstance(load, PointLoad):
            if has_transverse_part(load.angle, load.force):
                sf.append(float(load.x))
            if load.axial():
                nf.append(float(load.x))
        elif isinstance(load, Moment):
            bm.append(float(load.x))
    return {"nf": nf, "sf": sf, "bm": bm, "d": []}


def degree_of(loads: Sequence[Load]) -> int:
    """Beam.max_degree() of these loads."""
    degrees = [len(load.coefficients) - 1 if isinstance(load, PolynomialLoad) else
               1 if isinstance(load, TrapezoidalLoad) else 0 for load in loads]
    return max(degrees, default=0)
