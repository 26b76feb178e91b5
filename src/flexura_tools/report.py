"""The results as text tables and as a JSON document, in the model's units."""

from __future__ import annotations

import json
from collections.abc import Mapping, Sequence

from .envelopes import Envelope, EnvelopeExtreme, Range
from .loads import Curvature, Settlement, ThermalGradient
from .modelfile import encode
from .model import Beam, Result
from .result import ALL_QUANTITIES, Quantity

QUANTITY_NAMES: dict[Quantity, str] = {"nf": "normal force", "sf": "shear force", "bm": "bending moment",
                                       "d": "deflection", "rotation": "rotation"}
# The kind of unit of each quantity, named by the model's unit_names; the rotation's is
# the radian whatever the units.
QUANTITY_UNITS: dict[Quantity, str] = {"nf": "force", "sf": "force", "bm": "moment", "d": "deflection",
                                       "rotation": "rotation"}
RADIAN = "rad"
RESULTS_KEY = "flexura_results"


def unit(result: Result, kind: str) -> str:
    """' [kN]' from the model's unit_names, or '' when the model does not name the unit."""
    return unit_of(result.beam.unit_names, kind)


def number(value: float, scale: float = 0.0) -> str:
    """Six significant digits; rounding noise below 1e-9 of the column's scale shows as 0."""
    if abs(value) <= 1e-9 * scale:
        value = 0.0
    return f"{value + 0.0:.6g}"


def table(header: Sequence[str], rows: Sequence[Sequence[str]], align: str) -> list[str]:
    """Aligned columns, each to the left ("l") or to the right ("r")."""
    widths = [max(len(row[k]) for row in [header, *rows]) for k in range(len(header))]
    return ["  " + "  ".join(cell.ljust(w) if a == "l" else cell.rjust(w)
                             for cell, w, a in zip(row, widths, align)).rstrip()
            for row in [header, *rows]]


def text(result: Result) -> str:
    """The reactions and the extremes of a solved beam."""
    beam = result.beam
    length, force, moment = unit(result, "length"), unit(result, "force"), unit(result, "moment")
    reactions = list(result.reactions)
    scale = max((abs(v) for r in reactions for v in (r.rx, r.ry, r.m)), default=0.0)
    rows: list[list[str]] = [[r.label or "", number(r.x), r.support.kind,
             number(r.rx, scale), number(r.ry, scale), number(r.m, scale)] for r in reactions]
    lines = [beam.title, ""] if beam.title else []
    lines.append("Reactions (forces the supports apply: rx along +x, ry upwards, m counter-clockwise)")
    lines += table(["support", f"x{length}", "type", f"rx{force}", f"ry{force}", f"m{moment}"], rows, "lrlrrr")
    lines += _imposed_text(result) + _hinges_text(result)
    extremes = result.extremes()
    rows.clear()
    for q in ALL_QUANTITIES:
        e = extremes[q]
        size = max(abs(e.max), abs(e.min))
        rows.append([QUANTITY_NAMES[q] + unit(result, QUANTITY_UNITS[q]),
                     number(e.max, size), number(e.x_max), number(e.min, size), number(e.x_min)])
    lines += ["", "Extremes (normal force: compression positive; bending moment: sagging positive; "
                  "rotation: counter-clockwise positive)"]
    lines += table(["quantity", "max", f"at x{length}", "min", f"at x{length}"], rows, "lrrrr")
    return "\n".join(lines)


def _imposed_text(result: Result) -> list[str]:
    """The settlements and imposed curvatures among the loads, as given."""
    beam = result.beam
    length, deflection = unit(result, "length"), unit(result, "deflection")
    settled = [[_support_name(beam, load), number(load.dy), number(load.rotation)]
               for load in beam.loads if isinstance(load, Settlement)]
    curved = [[number(load.x1), number(load.x2), number(load.k1), number(load.k1 if load.k2 is None else load.k2)]
              for load in (_as_curvature(item) for item in beam.loads) if load is not None]
    lines: list[str] = []
    if settled:
        lines += ["", "Settlements (each support's base: dy upwards, rotation counter-clockwise in radians)"]
        lines += table(["support", f"dy{deflection}", "rotation"], settled, "lrr")
    if curved:
        lines += ["", "Imposed curvatures (sagging positive; a temperature difference as alpha dT / depth)"]
        lines += table([f"x1{length}", f"x2{length}", "k1", "k2"], curved, "rrrr")
    return lines


def _as_curvature(load: object) -> Curvature | None:
    if isinstance(load, ThermalGradient):
        return load.curvature()
    return load if isinstance(load, Curvature) else None


def _support_name(beam: Beam, load: Settlement) -> str:
    """A settled support as the model names it: its label, else its index and position."""
    key = load.support
    if isinstance(key, str):
        return key
    return beam.supports[key].label or f"supports[{key}] at {number(float(beam.supports[key].x))}"


def _hinges_text(result: Result) -> list[str]:
    jumps = result.hinge_jumps
    if not jumps:
        return []
    rows = [[number(j.x), number(j.jump)] for j in jumps]
    return ["", "Hinges (the rotation just right of each minus just left, radians, counter-clockwise)",
            *table([f"x{unit(result, 'length')}", "rotation jump"], rows, "rr")]


def envelope_text(envelope: Envelope, heading: str) -> str:
    """The extremes of an envelope and the range of each support's reactions, each
    with the member that gives it."""
    beam = envelope.members.beam
    names = envelope.names
    length, force, moment = (unit_of(beam.unit_names, k) for k in ("length", "force", "moment"))
    extremes = envelope.extremes()
    rows: list[list[str]] = []
    for q, e in extremes.items():
        size = max(abs(e.max), abs(e.min))
        rows.append([QUANTITY_NAMES[q] + unit_of(beam.unit_names, QUANTITY_UNITS[q]), number(e.max, size),
                     number(e.x_max), names[e.max_member], number(e.min, size), number(e.x_min), names[e.min_member]])
    lines = [heading]
    lines += table(["quantity", "max", f"at x{length}", "by", "min", f"at x{length}", "by"], rows, "lrrlrrl")
    fixed = any(r.support.km != 0 for r in envelope.reactions)  # moments only where a support takes one
    rows = []
    for r in envelope.reactions:
        rows.append([r.label or "", number(r.x), number(r.ry.max), names[r.ry.max_member], number(r.ry.min),
                     names[r.ry.min_member]] + ([number(r.m.max), number(r.m.min)] if fixed else []))
    lines += ["", "Reactions' ranges (ry upwards" + (", m counter-clockwise)" if fixed else ")")]
    header = ["support", f"x{length}", f"ry max{force}", "by", f"ry min{force}", "by"]
    lines += table(header + ([f"m max{moment}", f"m min{moment}"] if fixed else []), rows, "lrrlrlrr")
    return "\n".join(lines)


def unit_of(names: Mapping[str, str], kind: str) -> str:
    """' [kN]': the name `names` give a kind of unit ('' when they give none); the
    rotation's is always the radian."""
    name = RADIAN if kind == "rotation" else names.get(kind)
    return f" [{name}]" if name else ""


def heading(beam: Beam) -> dict[str, object]:
    """What every results document starts with."""
    return {RESULTS_KEY: 1, "title": beam.title, "unit_names": dict(beam.unit_names)}


def document(result: Result, points: int = 200) -> dict[str, object]:
    """Reactions, extremes and diagram columns as one JSON-ready object."""
    return {**heading(result.beam), **_results(result, points)}


def _results(result: Result, points: int) -> dict[str, object]:
    diagram = result.diagram(points)
    out: dict[str, object] = {"reactions": reaction_records(result)}
    settled = [load for load in result.beam.loads if isinstance(load, Settlement)]
    if settled:  # the imposed movements, as given: what the reactions answer
        out["settlements"] = [{"support": _support_name(result.beam, load), "dy": load.dy, "rotation": load.rotation}
                              for load in settled]
    if result.hinge_jumps:
        out["hinge_jumps"] = [{"x": j.x, "jump": j.jump} for j in result.hinge_jumps]
    return {
        **out,
        "extremes": result_extremes(result),
        "diagram": {"x": diagram.x, "nf": diagram.nf, "sf": diagram.sf, "bm": diagram.bm, "d": diagram.d,
                    "rotation": diagram.rotation},
    }


def reaction_records(result: Result) -> list[dict[str, object]]:
    """Per support in the model's order: label, x, rx, ry, m."""
    return [{"label": r.label, "x": r.x, "rx": r.rx, "ry": r.ry, "m": r.m} for r in result.reactions]


def result_extremes(result: Result) -> dict[str, object]:
    """Per quantity: max, x_max, min, x_min."""
    extremes = result.extremes()
    return {q: {"max": extremes[q].max, "x_max": extremes[q].x_max,
                "min": extremes[q].min, "x_min": extremes[q].x_min} for q in ALL_QUANTITIES}


def combinations_document(results: Mapping[str, Result], envelope: Envelope, points: int = 200) -> dict[str, object]:
    """Each combination's results by name, and their envelope: each extreme and each
    support's reaction ranges with the combination giving it (what the tables show)."""
    return {
        "combinations": {name: _results(result, points) for name, result in results.items()},
        "envelope": {"extremes": envelope_extremes(envelope), "reactions": reaction_ranges(envelope)},
    }


def envelope_extremes(envelope: Envelope) -> dict[str, object]:
    """Per enveloped quantity: max, x_max, max_by, max_with, min, x_min, min_by,
    min_with (member names; `with`: the other quantities coincident with the extreme,
    in the member giving it at the same section and side)."""
    names = envelope.names
    extremes = envelope.extremes()
    coincident = envelope.extremes_coincident(extremes)

    def extreme(q: Quantity, e: EnvelopeExtreme) -> dict[str, object]:
        return {"max": e.max, "x_max": e.x_max, "max_by": names[e.max_member], "max_with": coincident[q]["max"],
                "min": e.min, "x_min": e.x_min, "min_by": names[e.min_member], "min_with": coincident[q]["min"]}

    return {q: extreme(q, e) for q, e in extremes.items()}


def reaction_ranges(envelope: Envelope) -> list[dict[str, object]]:
    """Per support in the model's order: label, x and the range of rx, ry, m (max,
    max_by, min, min_by)."""
    names = envelope.names

    def span(r: Range) -> dict[str, object]:
        return {"max": r.max, "max_by": names[r.max_member], "min": r.min, "min_by": names[r.min_member]}

    return [{"label": r.label, "x": r.x, "rx": span(r.rx), "ry": span(r.ry), "m": span(r.m)}
            for r in envelope.reactions]


def dumps(document: Mapping[str, object]) -> str:
    """A document as JSON text; non-finite numbers as text, as in the model file."""
    return json.dumps(encode(dict(document)), allow_nan=False) + "\n"


def to_json(result: Result, points: int = 200) -> str:
    """The document of one result as JSON text."""
    return dumps(document(result, points))
