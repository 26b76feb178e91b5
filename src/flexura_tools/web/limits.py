"""The caps that bound one request's work, and their checks on a request as read.

The cost of a beam grows with its supports (cubed in the solve), its loads (in
every query) and the points read along it, so each is capped; the caps are
checked on the parsed JSON, before the model is built, and a request beyond one
is refused with the cap named. With every cap reached at once a solve takes
about 0.6 s and an envelope of the combinations about 3 s on a 2-core machine;
a vehicle's envelope grows with positions x mesh x (supports + load terms) and
is the one request that the time-out, rather than the caps, may have to stop.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import asdict, dataclass
from typing import cast

from ..errors import Problem


@dataclass(frozen=True, slots=True)
class Limits:
    """What one request may ask for."""

    body_bytes: int = 1 << 20  # 1 MiB
    supports: int = 50
    loads: int = 100  # the model's loads and every case's, together
    coefficients: int = 10  # of one polynomial load
    cases: int = 10
    combinations: int = 10
    sections: int = 50  # each change of section adds terms to every deflection
    hinges: int = 20  # each hinge adds an unknown to the solve, as a support does
    points: int = 1000  # diagram, envelope and influence-line intervals
    positions: int = 100  # exact values asked for at once
    vehicle_positions: int = 2000  # both directions together (the README girder at 0.1 m: 1,326)
    nesting: int = 8  # a model file is at most 6 levels deep
    keys: int = 64  # of one JSON object

    def as_dict(self) -> dict[str, int]:
        return asdict(self)


def _count(found: list[Problem], value: object, path: str, cap: int, what: str) -> int:
    """The length of a list, with a problem when it passes the cap."""
    if not isinstance(value, list):
        return 0
    items = cast("list[object]", value)
    if len(items) > cap:
        found.append(Problem(path, f"{len(items)} {what}; the cap is {cap}"))
    return len(items)


def _coefficients(found: list[Problem], loads: object, path: str, cap: int) -> None:
    if not isinstance(loads, list):
        return
    for k, load in enumerate(cast("list[object]", loads)):
        if isinstance(load, dict):
            coefficients = cast("dict[str, object]", load).get("coefficients")
            _count(found, coefficients, f"{path}[{k}].coefficients", cap, "coefficients")


def shape_problems(data: object, limits: Limits) -> list[Problem]:
    """Nesting and object sizes beyond what a model file holds, found without recursion
    (a deep document must not exhaust the interpreter's stack)."""
    deepest, widest = 0, 0
    stack: list[tuple[object, int]] = [(data, 1)]
    while stack:
        value, depth = stack.pop()
        if isinstance(value, dict):
            children: Sequence[object] = list(cast("dict[str, object]", value).values())
            widest = max(widest, len(children))
        elif isinstance(value, list):
            children = cast("list[object]", value)
        else:
            continue
        deepest = max(deepest, depth)
        if depth < limits.nesting:
            stack.extend((child, depth + 1) for child in children)
        elif any(isinstance(child, (dict, list)) for child in children):
            deepest = depth + 1
    found: list[Problem] = []
    if deepest > limits.nesting:
        found.append(Problem("", f"lists and objects nested more than {limits.nesting} deep; "
                                 f"a model file needs at most 6"))
    if widest > limits.keys:
        found.append(Problem("", f"an object of {widest} keys; the cap is {limits.keys}"))
    return found


def model_problems(data: object, limits: Limits) -> list[Problem]:
    """The model's lists beyond their caps (anything else is left to the model's reader)."""
    if not isinstance(data, dict):
        return []
    model = cast("dict[str, object]", data)
    found: list[Problem] = []
    _count(found, model.get("supports"), "supports", limits.supports, "supports")
    total = _count(found, model.get("loads"), "loads", limits.loads, "loads")
    _coefficients(found, model.get("loads"), "loads", limits.coefficients)
    cases = model.get("cases")
    if isinstance(cases, dict):
        case_lists = cast("dict[str, object]", cases)
        if len(case_lists) > limits.cases:
            found.append(Problem("cases", f"{len(case_lists)} load cases; the cap is {limits.cases}"))
        for name, loads in case_lists.items():
            total += _count(found, loads, f"cases.{name}", limits.loads, "loads")
            _coefficients(found, loads, f"cases.{name}", limits.coefficients)
    if total > limits.loads and not found:
        found.append(Problem("cases", f"{total} loads in loads and the cases together; the cap is {limits.loads}"))
    _count(found, model.get("combinations"), "combinations", limits.combinations, "combinations")
    _count(found, model.get("sections"), "sections", limits.sections, "sections")
    _count(found, model.get("hinges"), "hinges", limits.hinges, "hinges")
    return found
