"""Sections: the beam's stiffnesses piecewise constant along it (a girder deeper
over its piers), each stretch [x1, x2] with its own E, I, A and G."""

from __future__ import annotations

import math
from collections.abc import Sequence
from dataclasses import dataclass
from typing import NamedTuple, cast

from .checks import Checker
from .errors import show

# (start, e, i, a, g): from start on, these stiffnesses, as the core takes them.
RawSection = tuple[float, float, float, float, float]


class Stiffness(NamedTuple):
    """E, I, A and G of a stretch of the beam (A as the core takes it: 1 when not given)."""

    e: float
    i: float
    a: float
    g: float


@dataclass(frozen=True, slots=True, kw_only=True)
class Section:
    """The stretch [x1, x2] of the beam with its own stiffnesses; a field left None
    takes the Beam's (so Section(x1=0, x2=4, I=2e-4) changes I alone)."""

    x1: float
    x2: float
    E: float | None = None
    I: float | None = None  # noqa: E741 - the engineer's name for the second moment of area
    A: float | None = None
    G: float | None = None

    def stiffness(self, beam: Stiffness) -> Stiffness:
        """Its stiffnesses, the beam's where it gives none."""
        return Stiffness(beam.e if self.E is None else self.E, beam.i if self.I is None else self.I,
                         beam.a if self.A is None else self.A, beam.g if self.G is None else self.G)

    def check(self, c: Checker, path: str, span: float | None, shear_area: bool) -> tuple[float, float] | None:
        """Reports every problem of the section's fields to `c`, under `path`
        (sections[1]); `shear_area`: the beam gives A, which a finite G needs.
        Returns its stretch when that is sound, to check the sections' arrangement."""
        for name in ("E", "I", "A"):
            value = cast(object, getattr(self, name))
            if value is not None:
                c.positive(value, f"{path}.{name}")
        g = None if self.G is None else c.positive(self.G, f"{path}.G", rigid="for no shear deformation")
        if g is not None and g != math.inf and self.A is None and not shear_area:
            c.add(f"{path}.A", "is needed for the shear stiffness G*A (G is finite)")
        x1 = c.position(self.x1, f"{path}.x1", span)
        x2 = c.position(self.x2, f"{path}.x2", span)
        if x1 is None or x2 is None:
            return None
        if not x1 < x2:
            c.add(path, f"x1 = {show(x1)} is not before x2 = {show(x2)}: a section runs left to right "
                        "and has a length")
            return None
        return x1, x2


def check_sections(c: Checker, sections: Sequence[object], span: float | None, shear_area: bool) -> None:
    """Each section, then their arrangement: together they cover [0, span] once,
    without a gap or an overlap (a stiffness must be known everywhere, and once)."""
    placed: list[tuple[float, float, int]] = []
    for k, section in enumerate(sections):
        path = f"sections[{k}]"
        if not isinstance(section, Section):
            c.add(path, f"is not a Section: got {show(section)}")
            continue
        stretch = section.check(c, path, span, shear_area)
        if stretch is not None:
            placed.append((*stretch, k))
    if span is None or len(placed) != len(sections) or not placed:
        return
    placed.sort()
    reach, last = 0.0, -1
    for x1, x2, k in placed:
        if x1 > reach:
            where = "the beam's start at 0" if last < 0 else f"sections[{last}], which ends at {show(reach)}"
            c.add(f"sections[{k}].x1", f"{show(x1)} leaves a gap after {where}: the sections must cover "
                                       "the beam without gaps")
        elif x1 < reach:
            c.add(f"sections[{k}].x1", f"{show(x1)} overlaps sections[{last}], which ends at {show(reach)}: "
                                       "each part of the beam has one section")
        if x2 >= reach:
            reach, last = x2, k
    if reach < span:
        c.add(f"sections[{last}].x2", f"{show(reach)} leaves the beam from there to the span {show(span)} "
                                      "without a section: the sections must cover the whole beam")


def raw_sections(sections: Sequence[Section], beam: Stiffness) -> tuple[Stiffness, list[RawSection]]:
    """The first section's stiffnesses (the beam's own, to the core) and every later
    change of stiffness as (start, e, i, a, g), left to right, for checked sections."""
    ordered = sorted(sections, key=lambda s: float(s.x1))
    if not ordered:
        return beam, []
    first = ordered[0].stiffness(beam)
    changes: list[RawSection] = []
    for section in ordered[1:]:
        e, i, a, g = section.stiffness(beam)
        changes.append((float(section.x1), e, i, a, g))
    return first, changes
