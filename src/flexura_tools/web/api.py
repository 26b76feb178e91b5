"""The calculator's JSON API: one function per endpoint, each taking the request's
body (a model file, as `flexura_tools.save` writes it) and its query parameters,
and giving the HTTP status and the JSON answer.

Errors are the model layer's problems, each with its path (`loads[2].x`; a query
parameter as `query.step`): 400 for a body that is not JSON, 422 for everything
else. Nothing here reads files or evaluates the client's text; this runs in the
worker processes (see workers.py).
"""

from __future__ import annotations

import json
import math
from fractions import Fraction
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass
from typing import cast

from ..envelopes import Envelope, Range, envelope
from ..errors import ModelError, Problem, show
from ..export import diagram_positions
from ..influence import COMPONENTS, influence_line
from ..model import Beam, Result
from ..modelfile import from_json, to_dict, to_json
from ..moving import Direction, Vehicle, hl93_tandem, hl93_truck, lm1_lane1, moving_load
from ..result import QUANTITIES, Quantity
from .limits import Limits, model_problems, shape_problems

Params = Mapping[str, Sequence[str]]
Answer = tuple[int, bytes]
VEHICLES: dict[str, Callable[[], Vehicle]] = {"hl93_truck": hl93_truck, "hl93_tandem": hl93_tandem,
                                              "lm1_lane1": lm1_lane1}
DEFAULT_POINTS = 200


class Refused(Exception):
    """A request answered with problems instead of results."""

    def __init__(self, status: int, problems: Sequence[Problem]) -> None:
        super().__init__(status)
        self.status = status
        self.problems = tuple(problems)


def _encoder() -> Callable[[object], bytes] | None:
    """orjson's encoder where it is installed (the web extra brings it): the diagrams'
    floats written in 0.04 ms against 0.48 (the README beam's solve), the same numbers."""
    try:
        import orjson
    except ImportError:
        return None
    return orjson.dumps


FAST_DUMPS = _encoder()


def _maybe_not_finite(value: object) -> bool:
    """Whether a document may hold an infinity or a NaN: a list of numbers summed in
    one pass (a sum that overflows only sends the document the careful way)."""
    if isinstance(value, float):
        return not math.isfinite(value)
    if isinstance(value, dict):
        return any(map(_maybe_not_finite, cast("dict[object, object]", value).values()))
    if isinstance(value, list):
        items = cast("list[object]", value)
        try:
            return not math.isfinite(sum(cast("list[float]", items), 0.0))
        except TypeError:  # not all numbers: each item on its own
            return any(map(_maybe_not_finite, items))
    return False


def dumps(document: object) -> bytes:
    """Compact JSON; a non-finite number is an error, never NaN in the answer (nor the
    null orjson would write for it: such a document, and anything orjson refuses,
    takes the standard library's road, which raises ValueError for it)."""
    if FAST_DUMPS is not None and not _maybe_not_finite(document):
        try:
            return FAST_DUMPS(document)
        except TypeError:  # orjson.JSONEncodeError: an integer beyond 64 bits, say
            pass
    return json.dumps(document, allow_nan=False, separators=(",", ":")).encode()


def problems_body(problems: Sequence[Problem]) -> bytes:
    return dumps({"problems": [{"path": p.path, "message": p.message} for p in problems]})


@dataclass(frozen=True)
class Query:
    """The query parameters of one request, each read at most once and checked."""

    params: Params
    allowed: tuple[str, ...]

    def __post_init__(self) -> None:
        found = [Problem(f"query.{name}", f"is not a parameter here (parameters: {', '.join(self.allowed) or 'none'})")
                 for name in self.params if name not in self.allowed]
        found += [Problem(f"query.{name}", "is given more than once")
                  for name, values in self.params.items() if len(values) > 1 and name != "x"]
        if found:
            raise Refused(422, found)

    def text(self, name: str, default: str) -> str:
        values = self.params.get(name)
        return values[0] if values else default

    def choice(self, name: str, default: str, choices: Sequence[str]) -> str:
        value = self.text(name, default)
        if value not in choices:
            raise Refused(422, [Problem(f"query.{name}", f"{value!r} is not one of {', '.join(choices)}")])
        return value

    def number(self, name: str, default: float, low: float = -math.inf, high: float = math.inf) -> float:
        return _number(self.text(name, repr(default)), f"query.{name}", low, high)

    def points(self, limits: Limits) -> int:
        text = self.text("points", str(DEFAULT_POINTS))
        if not text.isdigit() or not 2 <= int(text) <= limits.points:
            raise Refused(422, [Problem("query.points", f"must be a whole number from 2 to {limits.points} "
                                                        f"(the cap), got {text!r}")])
        return int(text)


def _number(text: str, path: str, low: float, high: float) -> float:
    try:
        value = float(text)
    except ValueError:
        raise Refused(422, [Problem(path, f"is not a number: got {text!r}")]) from None
    if not (math.isfinite(value) and low <= value <= high):
        raise Refused(422, [Problem(path, f"must be from {show(low)} to {show(high)}, got {text!r}")])
    return value


def read_model(body: bytes, limits: Limits) -> Beam:
    """The checked Beam of a body holding a model file. The body is parsed once to
    check its shape and the caps before the model is built from it."""
    try:
        text = body.decode("utf-8")
        data = json.loads(text)
    except (UnicodeDecodeError, json.JSONDecodeError) as error:
        raise Refused(400, [Problem("", f"not valid JSON: {error}")]) from None
    except (RecursionError, ValueError) as error:  # nesting beyond the parser, an integer of 5,000 digits
        raise Refused(400, [Problem("", f"not valid JSON: {type(error).__name__}: {error}")]) from None
    found = shape_problems(data, limits) or model_problems(data, limits)
    if found:
        raise Refused(422, found)
    return from_json(text)


def _extreme(result: Result) -> dict[str, object]:
    extremes = result.extremes()
    return {q: {"max": extremes[q].max, "x_max": extremes[q].x_max, "min": extremes[q].min,
                "x_min": extremes[q].x_min} for q in QUANTITIES}


def solve(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """Reactions, extremes and the diagrams (exact values, both sides of every jump)."""
    n = Query(params, ("points",)).points(limits)
    beam = read_model(body, limits)
    result = beam.solve()
    xs, reads = diagram_positions(beam, n)
    jumps = beam.jumps()
    diagram: dict[str, list[float]] = {"x": xs}
    for q in QUANTITIES:
        diagram[q] = result.solved.values(q, reads)
    return {
        "title": beam.title, "span": float(beam.span), "unit_names": dict(beam.unit_names),
        "reactions": [{"label": r.label, "x": r.x, "kind": r.support.kind, "rx": r.rx, "ry": r.ry, "m": r.m}
                      for r in result.reactions],
        "extremes": _extreme(result),
        "jumps": {q: sorted(set(jumps[q])) for q in QUANTITIES},
        "features": beam.features(),
        "diagram": diagram,
    }


def values(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """Exact values at each `x`: just left and just right of it (null off the beam)."""
    Query(params, ("x",))
    texts = list(params.get("x", ()))
    if not 1 <= len(texts) <= limits.positions:
        raise Refused(422, [Problem("query.x", f"give from 1 to {limits.positions} positions (the cap), "
                                               f"got {len(texts)}")])
    beam = read_model(body, limits)
    span = float(beam.span)
    positions = [_number(t, f"query.x[{k}]", 0.0, span) for k, t in enumerate(texts)]
    solved = beam.solve().solved
    # Each quantity read at every position in one call, then just left of each.
    right = {q: solved.values(q, positions) for q in QUANTITIES}
    left = {q: solved.values(q, positions, "left") for q in QUANTITIES}
    return {"values": [{"x": x, "left": {q: left[q][k] for q in QUANTITIES} if x > 0.0 else None,
                        "right": {q: right[q][k] for q in QUANTITIES} if x < span else None}
                       for k, x in enumerate(positions)]}


def _range(r: Range, names: Callable[[int], str]) -> dict[str, object]:
    return {"max": r.max, "max_by": names(r.max_member), "min": r.min, "min_by": names(r.min_member)}


def envelope_document(found: Envelope, names: Callable[[int], str]) -> dict[str, object]:
    """The envelope's mesh and bands, its extremes and the reactions' ranges, each
    extreme and range with the name of the member that gives it."""
    extremes = found.extremes()
    return {
        "x": found.x,
        "bands": {q: {"max": b.max, "min": b.min, "max_member": b.max_member, "min_member": b.min_member}
                  for q, b in found.bands.items()},
        "extremes": {q: {"max": e.max, "x_max": e.x_max, "max_by": names(e.max_member), "max_member": e.max_member,
                         "min": e.min, "x_min": e.x_min, "min_by": names(e.min_member), "min_member": e.min_member}
                     for q, e in extremes.items()},
        "reactions": [{"label": r.label, "x": r.x, "kind": r.support.kind, "rx": _range(r.rx, names),
                       "ry": _range(r.ry, names), "m": _range(r.m, names)} for r in found.reactions],
    }


def combinations(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """The envelope of the model's load combinations."""
    n = Query(params, ("points",)).points(limits)
    beam = read_model(body, limits)
    if not beam.combinations:
        raise Refused(422, [Problem("combinations", "the model has none: give load cases and combinations "
                                                    "(a model file of version 2)")])
    found = envelope(beam.solve_combinations(), n=n)
    names = list(found.names)
    return {"names": names, **envelope_document(found, names.__getitem__)}


def _vehicle(query: Query) -> Vehicle:
    name = query.choice("vehicle", "lm1_lane1", tuple(VEHICLES))
    if name == "hl93_truck":
        return hl93_truck(query.number("rear_spacing", 4.3, 4.3, 9.0))
    if "rear_spacing" in query.params:
        raise Refused(422, [Problem("query.rear_spacing", "belongs to the vehicle hl93_truck only")])
    return VEHICLES[name]()


# The size of each known unit in the built-in vehicles' kN and m, as decimal text:
# the conversion is then exact but for one rounding (the foot and the pound-force
# are defined exactly in metres and newtons).
FORCE_UNITS = {"kN": Fraction(1), "N": Fraction(1, 1000), "kip": Fraction("4.4482216152605")}
LENGTH_UNITS = {"m": Fraction(1), "mm": Fraction(1, 1000), "ft": Fraction("0.3048")}


def in_model_units(beam: Beam, vehicle: Vehicle) -> Vehicle:
    """A built-in vehicle (in kN and m) in the units the model names: its weights,
    spacings and lane load converted by the units' exact sizes, each rounded once.
    A model that names no force or length unit, or one not known here, is refused:
    its numbers would be read in the wrong units silently."""
    names = beam.unit_names
    wrong = [Problem(f"unit_names.{key}", f"the vehicle {vehicle.name!r} is in kN and m, converted to the model's "
                                          f"units: name its {key} unit as one of {', '.join(known)} "
                                          f"(it is {names.get(key)!r})")
             for key, known in (("length", LENGTH_UNITS), ("force", FORCE_UNITS)) if names.get(key) not in known]
    if wrong:
        raise Refused(422, wrong)
    force, length = FORCE_UNITS[names["force"]], LENGTH_UNITS[names["length"]]
    if force == length == 1:
        return vehicle

    def converted(value: float, size: Fraction) -> float:
        return float(Fraction(value) / size)
    return Vehicle(weights=[converted(w, force) for w in vehicle.weights],
                   spacings=[converted(s, length) for s in vehicle.spacings],
                   lane=converted(vehicle.lane, force / length), name=vehicle.name)


def _positions(travel: float, step: float, directions: int) -> int:
    """The vehicle's positions, as moving_load places them: from the front axle at 0
    until the rear axle reaches the far end, in each direction."""
    return (math.floor(travel / step + 1e-9) + 1) * directions


def _least_step(travel: float, directions: int, limits: Limits) -> str:
    """The smallest step of three significant digits that keeps within the cap."""
    unit = 10.0 ** (math.floor(math.log10(travel / (limits.vehicle_positions // directions - 1))) - 2)
    digits = math.ceil(travel / (limits.vehicle_positions // directions - 1) / unit)
    while _positions(travel, digits * unit, directions) > limits.vehicle_positions:
        digits += 1
    return f"{digits * unit:.3g}"


def vehicle(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """A built-in vehicle driven across the beam, both ways or one: the envelope of
    every position, each extreme with where the vehicle stood."""
    query = Query(params, ("vehicle", "rear_spacing", "step", "directions", "own_loads", "points"))
    chosen = _vehicle(query)
    n = query.points(limits)
    step = query.number("step", 0.5, 1e-3, 1e6)
    ways = query.choice("directions", "both", ("both", "forward", "backward"))
    own = query.choice("own_loads", "false", ("true", "false")) == "true"
    beam = read_model(body, limits)
    chosen = in_model_units(beam, chosen)
    directions: tuple[Direction, ...] = ("forward", "backward") if ways == "both" else (cast(Direction, ways),)
    count = _positions(float(beam.span) + chosen.length, step, len(directions))
    if count > limits.vehicle_positions:
        raise Refused(422, [Problem("query.step", f"gives {count} vehicle positions; the cap is "
                                                  f"{limits.vehicle_positions}: use a step of at least "
                                                  f"{_least_step(float(beam.span) + chosen.length, len(directions), limits)}")])
    driven = beam if own else beam.with_loads([])
    quantities: tuple[Quantity, ...] = QUANTITIES if own and any(load.axial() for load in beam.loads) \
        else ("sf", "bm", "d")
    moving = moving_load(driven, chosen, step=step, directions=directions, n=n,
                         axle_points=True, quantities=quantities)
    document = envelope_document(moving.envelope, moving.members.name)

    def where(member: int) -> dict[str, object]:
        p = moving.position(member)
        return {"direction": p.direction, "front": p.front, "axles": list(p.axles)}
    for extreme in cast("dict[str, dict[str, object]]", document["extremes"]).values():
        extreme["max_position"] = where(cast(int, extreme["max_member"]))
        extreme["min_position"] = where(cast(int, extreme["min_member"]))
    return {"vehicle": {"name": chosen.name, "weights": list(chosen.weights), "spacings": list(chosen.spacings),
                        "lane": chosen.lane}, "positions": len(moving.members), **document}


def influence(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """The influence line of a quantity at a section, or of a support's reaction: its
    ordinates, the largest and smallest of them, and at each `x` asked the exact
    ordinate with the unit load just left of it and just right."""
    query = Query(params, ("quantity", "at", "side", "points", "x"))
    quantity = query.choice("quantity", "bm", (*QUANTITIES, *COMPONENTS))
    side = query.choice("side", "right", ("left", "right"))
    n = query.points(limits)
    at_text = query.text("at", "")
    texts = list(params.get("x", ()))
    if len(texts) > limits.positions:
        raise Refused(422, [Problem("query.x", f"give at most {limits.positions} positions (the cap), "
                                               f"got {len(texts)}")])
    beam = read_model(body, limits)
    span = float(beam.span)
    positions = [_number(t, f"query.x[{k}]", 0.0, span) for k, t in enumerate(texts)]
    at: float | str = at_text
    if quantity in QUANTITIES:
        at = _number(at_text, "query.at", 0.0, span)
    elif any(s.label == at_text for s in beam.supports):
        at = at_text
    else:
        try:
            at = float(at_text)
        except ValueError:
            pass
    try:
        line = influence_line(beam, quantity, at, side=side, n=n)  # type: ignore[arg-type]  # checked above
    except ModelError as error:  # the problems of the arguments, each named as the query's
        raise Refused(422, [Problem(f"query.{p.path}", p.message) for p in error.problems]) from None
    top, bottom = max(line.value), min(line.value)
    return {"quantity": line.quantity, "at": line.at, "x": line.x, "value": line.value,
            "extremes": {"max": top, "x_max": line.x[line.value.index(top)],
                         "min": bottom, "x_min": line.x[line.value.index(bottom)]},
            "values": [{"x": x, "left": line(x, "left"), "right": line(x)} for x in positions]}


def model(body: bytes, params: Params, limits: Limits) -> dict[str, object]:
    """The model as the model file holds it: its object and the text `save` writes."""
    Query(params, ())
    beam = read_model(body, limits)
    return {"model": to_dict(beam), "text": to_json(beam)}


ENDPOINTS: dict[str, Callable[[bytes, Params, Limits], dict[str, object]]] = {
    "solve": solve, "values": values, "combinations": combinations, "vehicle": vehicle,
    "influence": influence, "model": model,
}


def info(limits: Limits) -> dict[str, object]:
    """What the page needs to know before the first request: the caps and the vehicles."""
    vehicles = {key: make() for key, make in VEHICLES.items()}
    return {"limits": limits.as_dict(), "vehicles": [
        {"key": key, "name": v.name, "weights": list(v.weights), "spacings": list(v.spacings), "lane": v.lane}
        for key, v in vehicles.items()]}


def answer(endpoint: str, body: bytes, params: Params, limits: Limits) -> Answer:
    """The status and the JSON body of one request to an endpoint."""
    handle = ENDPOINTS.get(endpoint)
    if handle is None:
        return 404, problems_body([Problem("", f"no endpoint {endpoint!r} (endpoints: {', '.join(ENDPOINTS)})")])
    try:
        return 200, dumps(handle(body, params, limits))
    except Refused as refused:
        return refused.status, problems_body(refused.problems)
    except ModelError as error:
        return 422, problems_body(error.problems)
    except ValueError as error:  # allow_nan=False: a result that is not a finite number
        if "JSON compliant" not in str(error):
            raise
        return 422, problems_body([Problem("", "the results are not finite numbers: check the stiffnesses "
                                               "and the loads for extreme values")])
