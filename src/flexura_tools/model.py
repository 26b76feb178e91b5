"""The beam model: immutable records of the beam, its supports and its loads.

Signs and angles are those of flexura.solve(): a load acts along its angle
(90 degrees: upwards, so a downward load is negative; 0: along +x), moments
are counter-clockwise positive, positions run from x = 0 at the left end.
Constructing a record checks nothing and never fails: a field that cannot be
converted (supports=None) is kept as given, and Beam.check() (or solve()) reports
every problem of the whole model at once, each with its path.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Iterator, Mapping, Sequence
from dataclasses import dataclass, field, replace
from typing import ClassVar, Literal, NamedTuple, TypeVar, Union, cast


from .checks import UNIT_KEYS, Checker, is_number, near_miss
from .equilibrium import overflow_problems, scale_of, solve_balanced
from .errors import ModelError, Problem, show
from .result import Quantity, Result

INF = math.inf
# solve()'s degree factor and the cut-off below which a load component is dropped.
_DEGREE = 0.017453292519943295
_CUT_OFF = 1e-8
# Supports closer than this share of the span are refused: the solve splits the load
# between two supports d apart with an error of about 1e-16 (span / d)^2 of the loads
# (measured on 2 to 100 spans: 2e-9 at 1e-4, 2e-5 at 1e-6, 9% at 1e-8), and nothing
# in the result shows it, not even the balance of forces.
NEAR = 1e-4
# flexura's reactions() keys a support by its position as text, and every integral
# position from 2**63 on saturates to one key: two supports there cannot be told apart.
FAR = 2.0**63

RawKind = Literal["point", "udl", "trap", "torque", "dist"]
RawLoad = tuple[RawKind, list[float]]
RawSupport = tuple[float, float, float, float]

V = TypeVar("V")
T = TypeVar("T")


def converted(convert: Callable[[T], object], value: T) -> object:
    """A record's field as the record keeps it: converted (a list to a tuple), or as
    given when it cannot be, for the checks to report with its path. Text is not
    taken for a list of its letters."""
    if isinstance(value, (str, bytes)):
        return value
    try:
        return convert(value)
    except Exception:  # construction never fails: problems() names what is wrong
        return value


def shape(c: Checker, value: object, path: str, kind: type, what: str) -> bool:
    """Whether a field has the shape its record converted it to; else a problem."""
    if isinstance(value, kind):
        return True
    c.add(path, f"must be {what}, got {show(value)}")
    return False


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
        if self.x2 is None and span is None:  # the end of a beam whose span is reported
            c.position(self.x1, f"{path}.x1", span)
        else:
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
        return replace(self, x1=x1, x2=x2) if x1 < x2 else None

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


Load = Union[PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment]
LOAD_TYPES: tuple[type[Load], ...] = (PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment)


class Axial(NamedTuple):
    """What a load's axial component meets: no horizontal restraint at all (solve()
    would leave it unbalanced), or `restraints` of them and no A for E*A between them."""

    unbalanced: bool
    restraints: int


def check_loads(c: Checker, given: Sequence[Load], prefix: str, span: float | None, axial: Axial) -> None:
    loads = cast("Sequence[object]", given)  # as given: the checks do not trust the types
    for k, load in enumerate(loads):
        path = f"{prefix}[{k}]"
        if not isinstance(load, LOAD_TYPES):
            names = ", ".join(t.__name__ for t in LOAD_TYPES)
            c.add(path, f"is not a load ({names}): got {show(load)}")
            continue
        before = len(c.problems)
        load.check(c, path, span)
        if len(c.problems) > before or not load.axial():
            continue
        if axial.unbalanced:
            c.add(path, "has a horizontal component, but no support restrains the beam horizontally "
                        "(kx): solve() would leave it unbalanced; give a support kx (a pin or a fixed end)")
        elif axial.restraints:
            c.add(path, f"has a horizontal component, which the {axial.restraints} horizontal restraints share "
                        "by the axial stiffness E*A: give the beam A")


@dataclass(frozen=True, slots=True, kw_only=True)
class Combination:
    """A load combination such as 1.35 D + 1.5 L: the loads of each named case times
    its factor, solved together as one beam."""

    name: str
    factors: Mapping[str, float]

    def __post_init__(self) -> None:
        object.__setattr__(self, "factors", converted(Frozen, self.factors))


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
        for name in ("supports", "loads", "combinations"):
            object.__setattr__(self, name, converted(tuple, getattr(self, name)))
        object.__setattr__(self, "units", converted(Frozen, self.units))
        object.__setattr__(self, "unit_names", converted(Frozen, self.unit_names))
        object.__setattr__(self, "cases", converted(_cases, self.cases))

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
        supports = self._listed(c, self.supports, "supports", "a list of Support records")
        loads = self._listed(c, self.loads, "loads", "a list of loads")
        units = self._mapped(c, self.units, "units", "a mapping of unit keys to factors")
        unit_names = self._mapped(c, self.unit_names, "unit_names", "a mapping of unit keys to names")
        cases = self._cases(c)
        if self.A is not None:
            c.positive(self.A, "A")
        elif g is not None and g != INF:
            c.add("A", "is needed for the shear stiffness G*A (G is finite)")
        self._check_units(c, units, unit_names)
        title = cast(object, self.title)
        if not isinstance(title, str):
            c.add("title", f"must be a text, got {show(title)}")
        countable = self._check_supports(c, span, supports)
        horizontal = sum(1 for s in supports if isinstance(s, Support) and s.kx != 0) if countable else 0
        axial = Axial(unbalanced=countable and horizontal == 0,
                      restraints=horizontal if self.A is None and horizontal >= 2 else 0)
        check_loads(c, cast("Sequence[Load]", loads), "loads", span, axial)
        for name, case_loads in cases.items():
            check_loads(c, cast("Sequence[Load]", case_loads), f"cases.{name}", span, axial)
        self._check_combinations(c, cases)
        return c.problems

    def load_problems(self, loads: Sequence[Load], prefix: str) -> list[Problem]:
        """The problems of other loads on this checked beam, named under `prefix`
        (loaded[2].x), as the beam's own loads would be checked."""
        c = Checker()
        horizontal = sum(1 for s in self.supports if s.kx != 0)
        axial = Axial(unbalanced=horizontal == 0, restraints=horizontal if self.A is None and horizontal >= 2 else 0)
        check_loads(c, loads, prefix, float(self.span), axial)
        return c.problems

    @staticmethod
    def _listed(c: Checker, value: object, path: str, what: str) -> tuple[object, ...]:
        return cast("tuple[object, ...]", value) if shape(c, value, path, tuple, what) else ()

    @staticmethod
    def _mapped(c: Checker, value: object, path: str, what: str) -> Mapping[object, object]:
        return cast("Mapping[object, object]", value) if shape(c, value, path, Frozen, what) else {}

    def _cases(self, c: Checker) -> dict[str, tuple[object, ...]]:
        """The load cases whose shape is right, by name; the others reported."""
        cases = self._mapped(c, self.cases, "cases", "a mapping of case names to lists of loads")
        out: dict[str, tuple[object, ...]] = {}
        for name, loads in cases.items():
            if not (isinstance(name, str) and name):
                c.add("cases", f"a case name must be a non-empty text, got {show(name)}")
            elif shape(c, loads, f"cases.{name}", tuple, "a list of loads"):
                out[name] = cast("tuple[object, ...]", loads)
        return out

    def _check_units(self, c: Checker, units: Mapping[object, object], names: Mapping[object, object]) -> None:
        c.unit_keys(units, "units")
        factors: dict[str, float | None] = {}
        for key, factor in units.items():
            if key in UNIT_KEYS:
                factors[key] = c.positive(factor, f"units.{key}")
        c.unit_keys(names, "unit_names")
        for key, name in names.items():
            if not isinstance(name, str):
                c.add(f"unit_names.{key}", f"must be a text such as 'kN', got {show(name)}")
        length, deflection = names.get("length"), names.get("deflection")
        ratio = _ratio(factors.get("deflection", 1.0), factors.get("length", 1.0))
        if not (isinstance(length, str) and isinstance(deflection, str) and ratio is not None):
            return
        # A deflection comes out in the length unit times units.length / units.deflection.
        if length != deflection and ratio == 1.0:
            c.add("unit_names.deflection", f"{deflection!r} is not the length unit {length!r}, but no unit factor "
                                           f"says so: deflections would come out in {length} and be labelled "
                                           f"{deflection}; give units.deflection (the size of one {deflection} in "
                                           f"the solve's length unit: 0.001 for mm against m)")
        elif length == deflection and ratio != 1.0:
            c.add("units.deflection", f"makes deflections come out in a unit other than the length unit, which "
                                      f"unit_names calls {length!r} for both; name the deflection's unit")

    def _check_combinations(self, c: Checker, cases: Mapping[str, object]) -> None:
        names: dict[str, int] = {}
        combinations = self._listed(c, self.combinations, "combinations", "a list of Combination records")
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
            factors = self._mapped(c, combination.factors, f"{path}.factors", "a mapping of case names to factors")
            if not factors and isinstance(combination.factors, Frozen):
                c.add(f"{path}.factors", "has no factors: give at least one case and its factor")
            for case, factor in factors.items():
                if case not in cases:
                    known = ", ".join(cases) or "none"
                    hint = near_miss(case, cases) if isinstance(case, str) else ""
                    c.add(f"{path}.factors.{case}", f"is not a load case{hint} (cases: {known})")
                c.finite(factor, f"{path}.factors.{case}")

    def _check_supports(self, c: Checker, span: float | None, supports: tuple[object, ...]) -> bool:
        """Each support, then the arrangement; True when the restraints could be counted."""
        positions: dict[float, int] = {}
        labels: dict[str, int] = {}
        for k, support in enumerate(supports):
            path = f"supports[{k}]"
            if not isinstance(support, Support):
                c.add(path, f"is not a Support: got {show(support)}")
                continue
            support.check(c, path, span)
            at = _finite(support.x)
            if at is not None:
                if at in positions:
                    c.add(f"{path}.x", f"{show(at)} is also the position of supports[{positions[at]}]: "
                                       "give one Support per position (it restrains all three directions)")
                positions.setdefault(at, k)
            label = cast(object, support.label)
            if isinstance(label, str) and label in labels:
                c.add(f"{path}.label", f"{label!r} is also the label of supports[{labels[label]}]")
            if isinstance(label, str):
                labels.setdefault(label, k)
        if span is not None:
            _check_spacing(c, positions, span)
        countable = isinstance(self.supports, tuple) and all(
            isinstance(s, Support) and all(map(is_number, (s.kx, s.ky, s.km))) for s in supports)
        if not countable:
            return False
        # The count solve() would find singular, told before any arithmetic: the beam
        # needs a vertical restraint, and two restraints against transverse motion.
        placed = cast("tuple[Support, ...]", supports)
        vertical = [s for s in placed if s.ky != 0]
        rotational = [s for s in placed if s.km != 0]
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
        """Check the model (once per beam), then solve it. A result whose reactions do
        not balance the loads (an ill-conditioned model), or whose numbers overflow,
        is refused with ModelError, naming the input where one is to blame."""
        self.check()
        args = self.solve_args()
        scale = scale_of(args.loads, float(args.span), args.units)
        raw = solve_balanced(args[:6], args.loads, args.units, scale, "", lambda: overflow_problems(self))
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
        for k, c in enumerate(self.combinations):
            beam = self.combination(c.name)
            # The checked loads of checked cases times checked factors are valid loads
            # unless a product overflows: only then is the combination checked again
            # (which names the load). Saves 15% of the README's combination envelope.
            if all(math.isfinite(v) for load in beam.loads for v in load.raw(span)[1]):
                object.__setattr__(beam, "_checked", True)
            try:
                out[c.name] = beam.solve()
            except ModelError as error:  # named by the combination, whose factored loads they are
                raise ModelError(Problem(f"combinations[{k}]", f"{c.name}: {p}") for p in error.problems) from None
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

    def _repr_html_(self) -> str:
        """A notebook's view: the supports and the loads as tables, and the beam as SVG."""
        from .notebook import beam_html
        return beam_html(self)


def _cases(cases: Mapping[str, Sequence[Load]]) -> Frozen[Sequence[Load]]:
    """The load cases as a Beam keeps them: each case's loads a tuple, where they can be."""
    return Frozen({name: cast("Sequence[Load]", converted(tuple, loads)) for name, loads in cases.items()})


def _finite(value: object) -> float | None:
    """A number as a finite float, else None (the checks report it)."""
    try:
        number = float(value) if is_number(value) else math.nan  # type: ignore[arg-type]  # a numbers.Real
    except OverflowError:
        return None
    return number if math.isfinite(number) else None


def _ratio(top: float | None, bottom: float | None) -> float | None:
    return None if top is None or bottom is None else top / bottom


def _check_spacing(c: Checker, positions: Mapping[float, int], span: float) -> None:
    """Supports nearer each other than NEAR of the span, and two or more from 2**63 on
    (whose reactions flexura keys alike): each pair once, named by both."""
    placed = sorted((x, k) for x, k in positions.items() if 0.0 <= x <= span)
    for (a, i), (b, j) in zip(placed, placed[1:]):
        if b - a < NEAR * span:
            (first, x_first), (second, x_second) = sorted(((i, a), (j, b)))
            c.add(f"supports[{second}].x", f"{show(x_second)} is only {show(b - a)} from supports[{first}] at "
                                           f"{show(x_first)}, nearer than {NEAR:g} of the span: the solve cannot "
                                           "share the load between two supports so close to double precision; "
                                           "give one support there")
    far = [k for x, k in placed if x >= FAR]
    for k in far[1:]:
        c.add(f"supports[{k}].x", f"supports[{far[0]}] and this one both lie from 2**63 = {FAR:.4g} on, where "
                                  "flexura's reactions() gives every position one key, so their reactions cannot "
                                  "be told apart; choose a larger length unit")


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
