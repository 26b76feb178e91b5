"""Hinges: internal moment releases, where the bending moment is zero and the
rotation may jump; and the check that the parts between them are held.

A beam with hinges is a chain of parts, each rigid-body free in two ways
(translation and rotation across the beam) when its bending energy is zero. It
is stable exactly when no such motion of the parts, continuous at the hinges,
leaves every vertical restraint still and every rotational restraint unturned
(springs included: a spring that moves stores energy). A part is held by two
fixed points, or by a fixed point and a fixed rotation; a hinge to a held part
fixes a point of its neighbour. Held parts are propagated to a fixed point; a
part left unheld can move: with at most one independent restraint of its own
per part, a run of m unheld parts has 2m freedoms against at most 2m - 1
conditions, so a mechanism exists whenever a part is left.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass

from .checks import Checker
from .errors import show
from .supports import Support


@dataclass(frozen=True, slots=True)
class HingeJump:
    """The rotation just right of the hinge at x minus just left (radians,
    counter-clockwise positive)."""

    x: float
    jump: float


def check_hinges(c: Checker, hinges: Sequence[object], span: float | None) -> list[float]:
    """Each hinge's position: inside the beam (a hinge at an end releases nothing)
    and once. Returns the positions that passed."""
    seen: dict[float, int] = {}
    for k, hinge in enumerate(hinges):
        path = f"hinges[{k}]"
        x = c.position(hinge, path, span)
        if x is None or span is None:
            continue
        if x in (0.0, span):
            c.add(path, f"{show(x)} is an end of the beam, where the moment is free already: a hinge "
                        "there releases nothing; leave it out")
        elif x in seen:
            c.add(path, f"{show(x)} is also the position of hinges[{seen[x]}]")
        else:
            seen[x] = k
    return list(seen)


def check_hinge_supports(c: Checker, hinges: Sequence[float], supports: Sequence[Support]) -> None:
    """A hinge where a support restrains rotation: which part the restraint holds is
    not said, so it is refused (put the hinge beside the support)."""
    for k, x in enumerate(hinges):
        for j, support in enumerate(supports):
            if float(support.x) == x and support.km != 0:
                c.add(f"hinges[{k}]", f"{show(x)} is at supports[{j}], which restrains rotation (km): which side "
                                      "it holds is not defined; free the support's rotation or move the hinge")


def check_mechanism(c: Checker, hinges: Sequence[float], span: float, supports: Sequence[Support]) -> None:
    """The parts between hinges (sorted) that nothing holds, each named by the hinges
    that bound it: 'hinges[0] at 4 makes the stretch 0 to 4 a mechanism'."""
    order = sorted(range(len(hinges)), key=lambda k: hinges[k])
    cuts = [0.0] + [hinges[k] for k in order] + [span]
    parts = len(cuts) - 1
    points: list[set[float]] = [set() for _ in range(parts)]
    turns = [False] * parts
    for s in supports:
        x = float(s.x)
        for p in range(parts):
            if cuts[p] <= x <= cuts[p + 1]:
                if s.ky != 0:
                    points[p].add(x)
                if s.km != 0:
                    turns[p] = True
    held = [False] * parts
    changed = True
    while changed:
        changed = False
        for p in range(parts):
            if held[p]:
                continue
            fixed = set(points[p])
            fixed.update(cuts[p] for q in (p - 1,) if q >= 0 and held[q])
            fixed.update(cuts[p + 1] for q in (p + 1,) if q < parts and held[q])
            if len(fixed) >= 2 or (fixed and turns[p]):
                held[p] = changed = True
    for p in range(parts):
        if not held[p]:
            ends = [f"hinges[{order[p - 1]}] at {show(cuts[p])}" if p > 0 else "",
                    f"hinges[{order[p]}] at {show(cuts[p + 1])}" if p < parts - 1 else ""]
            by = " and ".join(e for e in ends if e)
            c.add(by.split(" at ")[0], f"{by} make{'s' if ' and ' not in by else ''} the stretch {show(cuts[p])} to "
                            f"{show(cuts[p + 1])} a mechanism: nothing holds it against moving or turning; "
                            "support it or remove a hinge")
