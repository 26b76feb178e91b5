"""The layer's one route into the C++ core: a checked beam's own arguments (span,
stiffnesses, supports, unit factors), solved under loads that are valid on it
through flexura_tools._engine, and every solution checked for balance before
anything reads it (see equilibrium.py). Beam.solve(), the combinations, the
patterns and the search for them, the vehicle positions and the influence lines
all solve here."""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from typing import NamedTuple

from . import _engine
from .equilibrium import Scale, imbalance, scale_of
from .errors import ModelError, Problem
from .loads import RawLoad
from .supports import RawSupport


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
class Solver:
    """A checked beam's arguments for the core, without its loads (Beam.solver()
    makes one, after checking the beam)."""

    head: tuple[float, float, float, float, float, list[RawSupport]]
    units: dict[str, float] | None
    span: float
    # Every solve asks the core for the rotation too (the other values the same bits),
    # about 1,000 instructions more a solve; only workflows that read a rotation ask.
    rotation: bool = False

    @classmethod
    def of(cls, args: SolveArgs, rotation: bool = False) -> Solver:
        return cls(args[:6], args.units, float(args.span), rotation)

    def solve(self, loads: list[RawLoad], *, scale: Scale | None = None, name: str = "",
              diagnose: Callable[[], list[Problem]] = list) -> _engine.SolvedBeam:
        """The beam under `loads` (valid on it: checked, or made of checked loads).
        A singular system, or a solution that does not balance the loads (their size
        `scale`, by default worked out from them), raises ModelError: the problems
        `diagnose` finds, else the core's or the balance's own words, prefixed by
        `name`."""
        try:
            # The keyword only when asked: parsing it costs 900 instructions a solve.
            solved = (_engine.solve(*self.head, loads, self.units, rotation=True) if self.rotation
                      else _engine.solve(*self.head, loads, self.units))
        except ValueError as error:  # a singular system that no count of restraints foresees
            raise ModelError(diagnose() or [Problem("", name + str(error))]) from error
        wrong = imbalance(solved, self.span, scale_of(loads, self.span, self.units) if scale is None else scale)
        if wrong is not None:
            raise ModelError(diagnose() or [Problem("", name + wrong)])
        return solved
