"""The layer's one route into the C++ core: a checked beam's own arguments (span,
stiffnesses, supports, unit factors), solved under loads that are valid on it
through flexura_tools._engine, and every solution checked for balance before
anything reads it (see equilibrium.py). Beam.solve(), the combinations, the
patterns and the search for them, the vehicle positions and the influence lines
all solve here."""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass, field
from operator import itemgetter
from typing import NamedTuple

from . import _engine
from .equilibrium import Levers, Scale, imbalance, levers_of, reaction_scale, scale_of
from .errors import ModelError, Problem
from .loads import IMPOSED_KINDS, RawLoad
from .sections import RawSection
from .supports import RawSupport


_IMPOSED = frozenset(IMPOSED_KINDS)
_KIND = itemgetter(0)


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


@dataclass(frozen=True, slots=True)
class Build:
    """What a beam has beyond flexura.solve()'s arguments, as the core takes it:
    changes of section, hinges, rotational springs. Empty for a prismatic beam on
    rigid or free rotational restraints, which then solves to flexura.solve()'s bits."""

    sections: list[RawSection] = field(default_factory=list[RawSection])
    hinges: list[float] = field(default_factory=list[float])
    rotational_springs: bool = False

    def __bool__(self) -> bool:
        return bool(self.sections or self.hinges or self.rotational_springs)


@dataclass(frozen=True, slots=True)
class Solver:
    """A checked beam's arguments for the core, without its loads (Beam.solver()
    makes one, after checking the beam)."""

    head: tuple[float, float, float, float, float, list[RawSupport]]
    units: dict[str, float] | None
    span: float
    build: Build | None = None  # None: a plain beam
    # With it every solve asks the core for the rotation too (the other values the same
    # bits), about 1,000 instructions more a solve; only workflows that read a rotation ask.
    rotation: bool = False
    # The units' levers of the balance check, worked out once for all the solves (the
    # pattern job's 8 solves: 44,000 instructions fewer, 1.4%).
    levers: Levers = field(init=False, repr=False, compare=False)

    def __post_init__(self) -> None:
        object.__setattr__(self, "levers", levers_of(self.span, self.units))

    @classmethod
    def of(cls, args: SolveArgs, build: Build | None = None, rotation: bool = False) -> Solver:
        return cls(args[:6], args.units, float(args.span), build or None, rotation)

    def _extended(self, loads: list[RawLoad], imposed: bool) -> _engine.SolvedBeam:
        """The core's solve beyond flexura.solve(): the forces, the imposed deformations
        apart (settlements summed per support, curvatures) and the beam's build."""
        forces = [load for load in loads if load[0] not in IMPOSED_KINDS]
        settlements = [[0.0, 0.0] for _ in self.head[5]]
        curvatures: list[tuple[float, float, float, float]] = []
        for kind, p in loads:
            if kind == "settlement":
                moved = settlements[int(p[0])]
                moved[0] += p[1]
                moved[1] += p[2]
            elif kind == "curvature":
                curvatures.append((p[0], p[1], p[2], p[3]))
        build = self.build or Build()
        return _engine.solve(*self.head, forces, self.units,  # type: ignore[arg-type]  # forces only
                             sections=build.sections or None, hinges=build.hinges or None,
                             settlements=[(dy, turn) for dy, turn in settlements] if imposed else None,
                             curvatures=curvatures or None, rotational_springs=build.rotational_springs,
                             rotation=self.rotation or bool(build.hinges))  # hinges: their rotation jumps are read

    def solve(self, loads: list[RawLoad], *, scale: Scale | None = None, name: str = "",
              diagnose: Callable[[], list[Problem]] = list, imposed: bool | None = None) -> _engine.SolvedBeam:
        """The beam under `loads` (valid on it: checked, or made of checked loads);
        `imposed`: whether they hold a settlement or a curvature, when the caller knows.
        A singular system, or a solution that does not balance the loads (their size
        `scale`, by default worked out from them), raises ModelError: the problems
        `diagnose` finds, else the core's or the balance's own words, prefixed by
        `name`."""
        if imposed is None:  # in C over the kinds: a generator here cost 1% of the README's vehicle job
            imposed = not _IMPOSED.isdisjoint(map(_KIND, loads))
        try:
            if imposed or self.build is not None:
                solved = self._extended(loads, imposed)
            elif self.rotation:
                solved = _engine.solve(*self.head, loads, self.units, rotation=True)  # type: ignore[arg-type]  # forces only
            else:  # a plain beam under forces, as flexura.solve() takes it (its bits); the
                # keyword only when asked: parsing it costs 900 instructions a solve
                solved = _engine.solve(*self.head, loads, self.units)  # type: ignore[arg-type]  # forces only
        except ValueError as error:  # a singular system that no count of restraints foresees
            raise ModelError(diagnose() or [Problem("", name + str(error))]) from error
        size = scale_of(loads, self.span, self.units, self.levers) if scale is None else scale
        if imposed:
            # An imposed deformation brings no force: the reactions it makes are its size.
            size = size.plus(reaction_scale(solved, self.span, self.units))
        wrong = imbalance(solved, self.span, size)
        if wrong is not None:
            raise ModelError(diagnose() or [Problem("", name + wrong)])
        return solved
