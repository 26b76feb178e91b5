"""The beam model: a beam on its supports under its loads (see loads.py and
supports.py), its load cases and combinations, checked as a whole, and its
solved form, Result.

Constructing a record checks nothing and never fails: a field that cannot be
converted (supports=None) is kept as given, and Beam.check() (or solve()) reports
every problem of the whole model at once, each with its path.
"""

from __future__ import annotations

import math
import os
from collections.abc import Callable, Iterator, Mapping, Sequence
from dataclasses import dataclass, field, replace
from functools import cached_property
from typing import TYPE_CHECKING, Any, Literal, TypeVar, cast, overload

import flexura

from ._engine import SolvedBeam
from .arrays import Query, Values, values_at
from .checks import UNIT_KEYS, Checker, converted, is_number, near_miss, shape
from .equilibrium import overflow_problems
from .errors import ModelError, Problem, show
from .hinges import HingeJump, check_hinge_supports, check_hinges, check_mechanism
from .loads import (
    IMPOSED,
    Axial,
    Frame,
    Load,
    Moment,
    PointLoad,
    RawLoad,
    Settlement,
    check_loads,
    degree_of,
    has_transverse_part,
    settled_support,
)
from .result import ALL_QUANTITIES, Diagram, Extremes, Quantity, Reactions, diagram_of, extremes_of, reactions_of
from .sections import Section, Stiffness, check_sections, raw_sections
from .solver import Build, SolveArgs, Solver
from .supports import INF, Support

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from .arrays import Array, Scalar

# Supports closer than this share of the span are refused: the solve splits the load
# between two supports d apart with an error of about 1e-16 (span / d)^2 of the loads
# (measured on 2 to 100 spans: 2e-9 at 1e-4, 2e-5 at 1e-6, 9% at 1e-8), and nothing
# in the result shows it, not even the balance of forces.
NEAR = 1e-4

V = TypeVar("V")
T = TypeVar("T")


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


# The empty mapping a Beam keeps for units, unit names or cases not given.
_EMPTY: Frozen[Any] = Frozen({})


@dataclass(frozen=True, slots=True, kw_only=True)
class Combination:
    """A load combination such as 1.35 D + 1.5 L: the loads of each named case times
    its factor, solved together as one beam."""

    name: str
    factors: Mapping[str, float]

    def __post_init__(self) -> None:
        object.__setattr__(self, "factors", converted(Frozen, self.factors))


@dataclass(frozen=True, slots=True, kw_only=True)
class Beam:
    """A straight beam from x = 0 to x = span.

    E and I give the bending stiffness; A the axial stiffness E*A and, with G,
    the shear stiffness G*A (so a shear area Av enters as G * Av / A). G = inf
    leaves out shear deformation, and then A is needed only between two or
    more horizontal restraints. `units` are solve()'s unit factors; `unit_names`
    name the units for printing (for instance {"force": "kN"}).

    `sections` make the stiffnesses piecewise constant: Section records covering
    [0, span] without gaps or overlaps, each taking the beam's E, I, A, G where it
    gives none. `hinges` are the positions of internal moment releases: the moment
    is zero there and the rotation may jump (Result.hinge_jumps).
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
    sections: Sequence[Section] = ()
    hinges: Sequence[float] = ()
    # Set by check(): the model has been validated, so solve() does not do it again.
    _checked: bool = field(default=False, init=False, repr=False, compare=False)

    def __post_init__(self) -> None:
        # A tuple is kept as it is and an empty mapping becomes the one empty Frozen, without a
        # call: converted() gives the same (making the pattern job's beam: about 19,000 instructions
        # fewer, 0.6%).
        for name in ("supports", "loads", "combinations", "sections", "hinges"):
            value: object = getattr(self, name)
            if type(value) is not tuple:
                object.__setattr__(self, name, converted(tuple, cast("Sequence[object]", value)))
        for name, convert in (("units", Frozen), ("unit_names", Frozen), ("cases", _cases)):
            value = getattr(self, name)
            empty = type(value) is dict and not value
            object.__setattr__(self, name, _EMPTY if empty else converted(convert, cast("Mapping[str, Any]", value)))

    def solve_args(self) -> SolveArgs:
        """The arguments for flexura.solve(), unchecked: flexura.solve(*beam.solve_args())
        gives the same bits as beam.solve().raw. A missing A is passed as 1, which then
        enters no result. A model whose fields are not records where the arguments need
        them raises ModelError with its problems; so does a beam that flexura.solve()
        does not model (see beyond_core())."""
        beyond = self._read(self.beyond_core)
        if beyond:
            raise ModelError([Problem("", f"flexura.solve() does not model {', '.join(beyond)}: this beam is "
                                          "solved by beam.solve() alone")])
        return self.layer_args()

    def layer_args(self) -> SolveArgs:
        """The layer's own arguments for the core, unchecked: solve_args() where
        flexura.solve() models the beam; beyond it the first section's stiffnesses and
        the loads as the layer's solver takes them (settlements and curvatures among
        them, see raw_loads())."""
        def args() -> SolveArgs:
            first = self._stiffness() if len(self.sections) < 2 else raw_sections(self.sections, self._stiffness())[0]
            return SolveArgs(self.span, *first, [s.raw() for s in self.supports], self.raw_loads(self.loads),
                             dict(self.units) or None)
        return self._read(args)

    def _stiffness(self) -> Stiffness:
        """The beam's own E, I, A (1 when not given) and G; a single section's where it has one."""
        own = Stiffness(self.E, self.I, 1.0 if self.A is None else self.A, self.G)
        return own if len(self.sections) != 1 else self.sections[0].stiffness(own)

    def beyond_core(self) -> list[str]:
        """What of the model flexura.solve() does not model: changes of section, hinges,
        rotational springs, settlements and imposed curvatures (empty: none)."""
        found = ["changes of section"] if len(self.sections) > 1 else []
        found += ["hinges"] if self.hinges else []
        found += ["rotational springs"] if _rotational_springs(self.supports) else []
        found += ["imposed deformations"] if any(isinstance(load, IMPOSED) for load in self.loads) else []
        return found

    def build(self) -> Build:
        """The beam's changes of section, hinges and rotational springs as the core takes them."""
        sections = raw_sections(self.sections, self._stiffness())[1] if len(self.sections) > 1 else []
        return Build(sections, [float(x) for x in self.hinges], _rotational_springs(self.supports))

    def raw_loads(self, loads: Sequence[Load]) -> list[RawLoad]:
        """Loads valid on this beam as the layer's solver takes them: a settlement
        names its support by index there."""
        span = float(self.span)
        return [load.raw(span) if not isinstance(load, Settlement) else self._settlement(load).raw(span)
                for load in loads]

    def _settlement(self, load: Settlement) -> Settlement:
        index = settled_support(load, self.supports)
        if index is None:
            raise ValueError(f"{load.support!r} is no support")
        return replace(load, support=index)

    def _read(self, read: Callable[[], T]) -> T:
        """read() of this beam, whose fields may not hold what it needs (a record
        never fails to construct): what that raises becomes the model's problems."""
        try:
            return read()
        except (TypeError, ValueError, AttributeError, OverflowError):
            found = self.problems()
            if not found:
                raise
            raise ModelError(found) from None

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
        sections = self._listed(c, self.sections, "sections", "a list of Section records")
        check_sections(c, sections, span, self.A is not None)
        listed_hinges = self._listed(c, self.hinges, "hinges", "a list of hinge positions")
        hinges = check_hinges(c, listed_hinges, span)
        if self.A is not None:
            c.positive(self.A, "A")
        elif g is not None and g != INF:
            c.add("A", "is needed for the shear stiffness G*A (G is finite)")
        self._check_units(c, units, unit_names)
        title = cast(object, self.title)
        if not isinstance(title, str):
            c.add("title", f"must be a text, got {show(title)}")
        countable = self._check_supports(c, span, supports)
        placed = cast("tuple[Support, ...]", supports)
        axial = _axial(placed, self.A is None) if countable else Axial(unbalanced=False, restraints=0)
        # The hinges against the supports, once every support stands somewhere on the beam.
        if hinges and countable and all(_finite(s.x) is not None for s in placed):
            check_hinge_supports(c, hinges, placed)
            if span is not None and hinges and len(hinges) == len(listed_hinges):
                check_mechanism(c, hinges, span, placed)
        frame = Frame(placed if countable else None, hinges)
        check_loads(c, cast("Sequence[Load]", loads), "loads", span, axial, frame)
        for name, case_loads in cases.items():
            check_loads(c, cast("Sequence[Load]", case_loads), f"cases.{name}", span, axial, frame)
        self._check_combinations(c, cases)
        return c.problems

    def load_problems(self, loads: Sequence[Load], prefix: str) -> list[Problem]:
        """The problems of other loads on this checked beam, named under `prefix`
        (loaded[2].x), as the beam's own loads would be checked."""
        c = Checker()
        given = cast(object, loads)  # as given: the checks do not trust the types
        if isinstance(given, (str, bytes)) or not isinstance(given, Sequence):
            c.add(prefix, f"must be a list of loads, got {show(given)}")
            return c.problems
        axial = _axial(self.supports, self.A is None)
        check_loads(c, loads, prefix, float(self.span), axial, Frame(self.supports, [float(x) for x in self.hinges]))
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
        # No unit named, nothing to compare: without get() raising and catching KeyError twice
        # (the pattern job 0.3% fewer instructions).
        if not names:
            return
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
        # Loops, here and in _axial() and _rotational_springs(), not all() or sum() over generators
        # (the pattern job 0.9% fewer instructions).
        for s in supports:
            if not (isinstance(s, Support) and is_number(s.kx) and is_number(s.ky) and is_number(s.km)):
                return False
        if not isinstance(self.supports, tuple):
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
        args = self.check().layer_args()
        solved = Solver.of(args, self.build()).solve(args.loads, diagnose=lambda: self._overflow(self.loads))
        return Result(self, solved)

    def _overflow(self, loads: Sequence[Load]) -> list[Problem]:
        """The inputs whose products leave the double range, with these loads."""
        return overflow_problems(self.span, self.E, self.I, self.units, loads, self.supports)

    def factored(self, factors: Mapping[str, float]) -> list[Load]:
        """The loads of each named case times its factor, case by case in the order of
        `factors`, each case's loads in their order. The beam is checked first; a name
        that is no load case, or a factor that is no finite number, raises ModelError."""
        self.check()
        c = Checker()
        given = cast(object, factors)  # as given: the checks do not trust the types
        if not isinstance(given, Mapping):
            c.add("factors", f"must be a mapping of case names to factors, got {show(given)}")
            raise ModelError(c.problems)
        for name, factor in cast("Mapping[object, object]", given).items():
            if name not in self.cases:
                hint = near_miss(name, self.cases) if isinstance(name, str) else ""
                c.add(f"factors.{name}", f"is not a load case{hint} (cases: {', '.join(self.cases) or 'none'})")
            c.finite(factor, f"factors.{name}")
        if c.problems:
            raise ModelError(c.problems)
        return [load.scaled(factor) for name, factor in factors.items() for load in self.cases[name]]

    def combination(self, name: str) -> Beam:
        """The beam under one of its combinations: its loads are the combination's
        factored loads (the beam's own `loads` take no part), titled by the combination.
        A name that is no combination raises ModelError."""
        self.check()
        for combination in self.combinations:
            if combination.name == name:
                return self.with_loads(self.factored(combination.factors), combination.name)
        known = [c.name for c in self.combinations]
        given = cast(object, name)  # as given: the checks do not trust the types
        hint = near_miss(given, known) if isinstance(given, str) else ""
        raise ModelError([Problem("name", f"{show(name)} is not a combination{hint} "
                                          f"(combinations: {', '.join(known) or 'none'})")])

    def solve_combinations(self) -> dict[str, Result]:
        """Every combination solved as one beam (its factored loads in one solve, so
        the result is exact, not a sum of rounded results), by name, in order."""
        solver = solver_of(self)
        out: dict[str, Result] = {}
        for k, c in enumerate(self.combinations):
            beam = self.combination(c.name)
            loads = self.raw_loads(beam.loads)
            try:
                # The checked loads of checked cases times checked factors are valid loads
                # unless a product overflows: only then is the combination checked, which
                # names the load. Saves 15% of the README's combination envelope.
                if not all(math.isfinite(v) for _, values in loads for v in values):
                    beam.check()
                solved = solver.solve(loads, diagnose=lambda: beam._overflow(beam.loads))
            except ModelError as error:  # named by the combination, whose factored loads they are
                raise ModelError(Problem(f"combinations[{k}]", f"{c.name}: {p}") for p in error.problems) from None
            out[c.name] = Result(beam, solved)
        return out

    def with_loads(self, loads: Sequence[Load], title: str | None = None) -> Beam:
        """The same beam and supports under other loads, without cases or combinations."""
        return replace(self, loads=loads, title=self.title if title is None else title, cases={},
                       combinations=())

    def features(self) -> list[float]:
        """Sorted positions in [0, span] where a diagram may jump or change its law:
        the ends, the supports, the ends of every load, the changes of section and
        the hinges (as the solved beam's features, which the layer reads from the
        core once it has solved)."""
        def read() -> list[float]:
            built = [float(s.x1) for s in self.sections] + [float(x) for x in self.hinges]
            return sorted(set(features_of(float(self.span), self.supports, self.loads)).union(built))
        return self._read(read)

    def spans(self) -> list[tuple[float, float]]:
        """The spans, left to right: the stretches between the ends and the vertical
        restraints (an overhang beyond an end support is a span of its own)."""
        def cuts() -> list[float]:
            return sorted({0.0, float(self.span)} | {float(s.x) for s in self.supports if s.ky != 0})
        ends = self._read(cuts)
        return list(zip(ends, ends[1:]))

    def jumps(self) -> dict[Quantity, list[float]]:
        """Positions where each diagram may jump: the shear force at transverse point loads
        and vertical restraints, the normal force at axial point loads and horizontal
        restraints, the bending moment at moments and rotational restraints, the
        rotation at hinges. The deflection never jumps."""
        return self._read(lambda: jumps_of(self.supports, self.loads, self.hinges))

    def max_degree(self) -> int:
        """The highest polynomial degree of a distributed load's intensity (0 without one)."""
        return self._read(lambda: degree_of(self.loads))

    def _repr_html_(self) -> str:
        """A notebook's view: the supports and the loads as tables, and the beam as SVG."""
        from .notebook import beam_html
        return beam_html(self)


def _cases(cases: Mapping[str, Sequence[Load]]) -> Frozen[Sequence[Load]]:
    """The load cases as a Beam keeps them: each case's loads a tuple, where they can be."""
    return Frozen({name: cast("Sequence[Load]", converted(tuple, loads)) for name, loads in cases.items()})


def _axial(supports: Sequence[Support], without_a: bool) -> Axial:
    """What a load's axial component meets on these supports (Support records): the
    horizontal restraints counted, and whether E*A is needed to share it (no A)."""
    horizontal = 0
    for s in supports:
        if s.kx != 0:
            horizontal += 1
    return Axial(unbalanced=horizontal == 0, restraints=horizontal if without_a and horizontal >= 2 else 0)


def _rotational_springs(supports: Sequence[Support]) -> bool:
    """Whether a support is a rotational spring."""
    for s in supports:
        if s.rotational_spring():
            return True
    return False


def _finite(value: object) -> float | None:
    """A number as a finite float, else None (the checks report it)."""
    if type(value) is float and value - value == 0.0:  # finite (inf - inf is nan): most values, no calls
        return value
    try:
        number = float(value) if is_number(value) else math.nan  # type: ignore[arg-type]  # a numbers.Real
    except OverflowError:
        return None
    return number if math.isfinite(number) else None


def _ratio(top: float | None, bottom: float | None) -> float | None:
    return None if top is None or bottom is None else top / bottom


def _check_spacing(c: Checker, positions: Mapping[float, int], span: float) -> None:
    """Supports nearer each other than NEAR of the span: each pair once, named by both."""
    placed = sorted((x, k) for x, k in positions.items() if 0.0 <= x <= span)
    for (a, i), (b, j) in zip(placed, placed[1:]):
        if b - a < NEAR * span:
            (first, x_first), (second, x_second) = sorted(((i, a), (j, b)))
            c.add(f"supports[{second}].x", f"{show(x_second)} is only {show(b - a)} from supports[{first}] at "
                                           f"{show(x_first)}, nearer than {NEAR:g} of the span: the solve cannot "
                                           "share the load between two supports so close to double precision; "
                                           "give one support there")


# Where a diagram may change its law or jump, from the model's positions alone: the
# envelope's mesh needs them for every member before any is solved (a vehicle's
# positions are solved a chunk at a time, after the mesh is made). A solved beam's
# own features come from the core (SolvedBeam.features()), the same positions. The
# shares of an angle that count are the core's (loads.py asks _engine).

def features_of(span: float, supports: Sequence[Support], loads: Sequence[Load]) -> list[float]:
    """Beam.features() of these supports and loads."""
    points = {0.0, span}
    points.update(float(s.x) for s in supports)
    for load in loads:
        points.update(float(x) for x in load.positions(span))
    return sorted(x for x in points if 0.0 <= x <= span)


def jumps_of(supports: Sequence[Support], loads: Sequence[Load],
             hinges: Sequence[float] = ()) -> dict[Quantity, list[float]]:
    """Beam.jumps() of these supports, loads and hinges."""
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
    return {"nf": nf, "sf": sf, "bm": bm, "d": [], "rotation": [float(x) for x in hinges]}


def checked(beam: object) -> Beam:
    """A workflow's beam, checked: ModelError when it is not a Beam or has problems."""
    if not isinstance(beam, Beam):
        raise ModelError([Problem("beam", f"is not a Beam: got {show(beam)}")])
    return beam.check()


def solver_of(beam: Beam, rotation: bool = False) -> Solver:
    """The route into the core for this beam, once it is checked: its workflows solve
    it under their loads through this (each load set valid on the checked beam); with
    `rotation`, solves that hold the rotation too."""
    return Solver.of(beam.check().layer_args(), beam.build(), rotation)


@dataclass(frozen=True)
class Result:
    """A solved Beam: its reactions by support, diagrams and extremes, read from the
    layer's own solve (`solved`, the layer's private handle on the core).

    `raw` is flexura's BeamResult for the same arguments, for exact point queries:
    solved on first use as flexura.solve(*beam.solve_args()), so it gives the same
    bits as every value here; the layer itself never reads it.

    The rotation (slope, radians, counter-clockwise positive) comes from a second
    solve that asks the core for it, made on the first read of a rotation: asking on
    every solve would cost every caller about 1% of Beam.solve(), whether it reads
    a rotation or not."""

    beam: Beam
    solved: SolvedBeam = field(repr=False)

    @cached_property
    def rotated(self) -> SolvedBeam:
        """The same solve, asked for the rotation too (its other values the same bits as
        `solved`'s); made on first use."""
        args = self.beam.layer_args()
        return Solver.of(args, self.beam.build(), rotation=True).solve(args.loads)

    @cached_property
    def raw(self) -> flexura.BeamResult:
        """flexura's BeamResult of the same arguments, solved on first use (the same bits)."""
        return flexura.solve(*self.beam.solve_args())  # type: ignore[arg-type]  # no layer-only kinds here

    @cached_property
    def reactions(self) -> Reactions:
        """Each support's reaction, in the model's order, looked up by label or position."""
        return reactions_of(self.beam.supports, self.solved)

    @cached_property
    def hinge_jumps(self) -> tuple[HingeJump, ...]:
        """Per hinge in the model's order, its position and the rotation just right of
        it minus just left (radians, counter-clockwise positive); () without hinges."""
        if not self.beam.hinges:
            return ()
        return tuple(HingeJump(float(x), jump) for x, jump in zip(self.beam.hinges, self.solved.hinge_jumps()))

    @cached_property
    def nf(self) -> Query:
        """The normal force at positions: result.nf(x, side="right"), x a number (a
        float back) or a sequence or array of them (a float64 array of its shape),
        read in one call of the core; the same bits as raw.eval_nf(x) (see Query)."""
        return Query(self.solved, float(self.beam.span), "nf")

    @cached_property
    def sf(self) -> Query:
        """The shear force at positions: result.sf(x, side="right"), as nf."""
        return Query(self.solved, float(self.beam.span), "sf")

    @cached_property
    def bm(self) -> Query:
        """The bending moment at positions: result.bm(x, side="right"), as nf."""
        return Query(self.solved, float(self.beam.span), "bm")

    @cached_property
    def d(self) -> Query:
        """The deflection at positions: result.d(x, side="right"), as nf."""
        return Query(self.solved, float(self.beam.span), "d")

    @cached_property
    def rotation(self) -> Query:
        """The rotation (slope) at positions in radians, counter-clockwise positive:
        result.rotation(x, side="right"), as nf; both sides exact where it jumps."""
        return Query(self.rotated, float(self.beam.span), "rotation")

    @overload
    def at(self, x: Scalar, side: Literal["right", "left"] = "right") -> Values[float]: ...
    @overload
    def at(self, x: Array, side: Literal["right", "left"] = "right") -> Values[NDArray[np.float64]]: ...
    def at(self, x: Scalar | Array, side: Literal["right", "left"] = "right") -> Values[Any]:
        """Every quantity at positions x (checked once): `x`, `nf`, `sf`, `bm`, `d` and
        `rotation` (read on its first use) as floats for a number, as float64 arrays of
        x's shape otherwise; as nf(x, side)."""
        return values_at(self.solved, lambda: self.rotated, float(self.beam.span), x, side)

    def evaluator(self, quantity: Quantity) -> Callable[[float], float]:
        """The exact query of one quantity (the value just right of a jump)."""
        if quantity not in ALL_QUANTITIES:
            raise ModelError([Problem("quantity", f"{show(quantity)} is not one of {', '.join(ALL_QUANTITIES)}")])
        solved = self.rotated if quantity == "rotation" else self.solved

        def value(x: float) -> float:
            return solved.values(quantity, x)
        return value

    def diagram(self, n: int = 200) -> Diagram:
        """The diagrams on n evenly spaced positions and one either side of every feature
        (as flexura's plotting_vectors(n)); n from 0 to 100,000."""
        return diagram_of(self.solved, lambda: self.rotated, n)

    def extremes(self) -> Extremes:
        """Max and min of each quantity over the beam, with positions to 1e-9 of the span.
        At a jump the larger side counts, at the jump's position."""
        return extremes_of(self.solved, lambda: self.rotated, self.beam.max_degree())

    def to_dict(self, n: int = 200) -> dict[str, object]:
        """Plain JSON-ready data: the document of `flexura MODEL --json` (reactions,
        extremes, diagram) with a `side` column in the diagram; n even intervals."""
        from .export import result_to_dict
        return result_to_dict(self, n)

    def to_csv(self, path: str | os.PathLike[str], n: int = 200) -> None:
        """The diagrams as CSV: x, side, nf, sf, bm, d, rotation; both sides of every jump."""
        from .export import result_to_csv
        return result_to_csv(self, path, n)

    def to_dataframe(self, n: int = 200) -> Any:
        """The diagrams as a pandas DataFrame, the columns of to_csv() (needs pandas)."""
        from .export import data_frame, result_columns
        return data_frame(result_columns(self, n))

    def _repr_html_(self) -> str:
        """A notebook's view: the reactions, the extremes and the diagrams as SVG."""
        from .notebook import result_html
        return result_html(self)
