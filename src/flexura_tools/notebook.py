"""The notebook's view of a beam, a result and an envelope: compact HTML tables and
the beam with its diagrams as inline SVG, written here (no matplotlib, no script).

Every text of the model (title, labels, unit names, member names) passes through
html.escape. A diagram is drawn at the resolution of the picture: of the points
that fall in one column of 3 px only the lowest and the highest are kept, so the outline is exact to the pixel and the markup stays a
few kB however many loads or vehicle positions there are. A normal force that is
zero along the whole beam gets no panel.
"""

from __future__ import annotations

import math
from collections.abc import Mapping, Sequence
from dataclasses import fields, replace
from html import escape
from typing import TYPE_CHECKING, cast

from .export import envelope_columns, result_columns
from .loads import (IMPOSED, Curvature, Moment, PointLoad, PolynomialLoad, Settlement, ThermalGradient,
                    TrapezoidalLoad, UniformLoad, settled_support)
from .plot import (angle_text, clear_place, curvature_text, intensity_along, inward, noise_levels, rotational_unit,
                   section_texts, section_widths, settlement_text, with_unit)
from .report import QUANTITY_NAMES, QUANTITY_UNITS, number, unit_of
from .model import Result
from .result import ALL_QUANTITIES, QUANTITIES, Extremes, Quantity

if TYPE_CHECKING:
    from .envelopes import Envelope, EnvelopeExtreme
    from .loads import Load
    from .model import Beam
    from .supports import Support

WIDTH, LEFT, RIGHT = 680.0, 70.0, 610.0  # px: the picture, and where the beam starts and ends
SKETCH, PANEL = 110.0, 80.0  # px: the height of the sketch and of each diagram's panel
ROW = 14.0  # px: the row of one imposed curvature's band, over the loads
CHARACTER = 5.5  # px: the width of one character of a label
COLUMN = 3.0  # px: the width of one column of the outline
POINTS = 100  # even intervals read for a result's diagrams
MOST_DRAWN = 40  # loads in the sketch (the largest of each kind), so that it stays readable and small
MOST_ROWS = 30  # rows of a table; the rest are counted
COLOURS = {"nf": "#8c564b", "sf": "#2ca02c", "bm": "#9467bd", "d": "#ff7f0e", "rotation": "#d62728"}
LOAD, SPREAD, IMPOSED_COLOUR, SECTION_COLOUR = "#d62728", "#1f77b4", "#ff8c00", "#555"
STYLE = ("<style>.flexura table{border-collapse:collapse;margin:4px 0;font-size:12px}"
         ".flexura td,.flexura th{padding:1px 8px;text-align:right}</style>")


def beam_html(beam: Beam) -> str:
    """The title, the sketch, and the supports and loads as tables; a beam with
    problems shows them instead of the sketch."""
    problems = beam.problems()
    if problems:
        rows = [[escape(p.path), escape(p.message)] for p in problems]
        return _block(_title(beam.title) + "<p>The model has problems:</p>" + _table(["where", "problem"], rows))
    svg = _svg(_sketch_height(beam), _sketch(beam, 0.0))
    tables = _supports_table(beam) + _sections_table(beam) + _hinges_table(beam) + _loads_table(beam)
    return _block(_title(beam.title) + svg + tables)


def result_html(result: Result) -> str:
    """The title, the sketch over the diagrams, the reactions and the extremes."""
    beam = result.beam
    columns = result_columns(result, POINTS)
    extremes = result.extremes()
    noise = noise_levels(result)
    shown: list[Quantity] = [q for q in QUANTITIES if q != "nf" or any(abs(v) > noise["nf"] for v in columns["nf"])]
    parts = _sketch(beam, 0.0)
    height = _sketch_height(beam)
    for k, q in enumerate(shown):
        top = height + k * PANEL
        values = [0.0 if all(abs(v) <= noise[q] for v in columns[q]) else v for v in columns[q]]
        parts += _panel(beam, q, top, columns["x"], [(values, COLOURS[q])], extremes[q].max, extremes[q].min)
    svg = _svg(height + len(shown) * PANEL, parts)
    tables = _reactions_table(result) + _hinge_jumps_table(result) + _extremes_table(result, extremes)
    return _block(_title(beam.title) + svg + tables)


def envelope_html(envelope: Envelope) -> str:
    """The supports over each band, the extremes with the members giving them, and
    the ranges of the reactions."""
    beam = envelope.members.beam
    columns = envelope_columns(envelope)
    extremes = envelope.extremes()
    parts = _supports(beam, 40.0)
    bands: list[Quantity] = [q for q in envelope.bands if q != "nf" or envelope.members.axial]
    for k, q in enumerate(bands):
        top = 80.0 + k * PANEL
        parts += _panel(beam, q, top, columns["x"], [(columns[f"{q}_max"], COLOURS[q]),
                        (columns[f"{q}_min"], COLOURS[q])], extremes[q].max, extremes[q].min)
    svg = _svg(80.0 + len(bands) * PANEL, parts)
    return _block(_title(_envelope_title(envelope.names)) + svg + _envelope_tables(envelope, extremes))


def _envelope_title(names: Sequence[str]) -> str:
    """The members named, when they are few (combinations, patterns), else counted."""
    listed = f": {', '.join(names)}" if len(names) <= 8 else ""
    return f"Envelope of {len(names):,} members{listed}"


# --- tables ------------------------------------------------------------------------------------


def _block(inner: str) -> str:
    return f'<div class="flexura">{STYLE}{inner}</div>'


def _title(title: object) -> str:
    return f"<p><strong>{escape(str(title))}</strong></p>" if title else ""


def _table(header: Sequence[str], rows: Sequence[Sequence[str]]) -> str:
    """Cells given as HTML, already escaped; beyond MOST_ROWS rows the rest are counted."""
    head = "".join(f"<th>{cell}</th>" for cell in header)
    body = "".join("<tr>" + "".join(f"<td>{cell}</td>" for cell in row) + "</tr>" for row in rows[:MOST_ROWS])
    if len(rows) > MOST_ROWS:
        body += f'<tr><td colspan="{len(header)}">and {len(rows) - MOST_ROWS:,} more</td></tr>'
    return f"<table><thead><tr>{head}</tr></thead><tbody>{body}</tbody></table>"


def _units(beam: Beam, kind: str) -> str:
    return escape(unit_of(beam.unit_names, kind))


def _supports_table(beam: Beam) -> str:
    rows = [[escape(s.label or ""), number(float(s.x)), s.kind, number(float(s.kx)), number(float(s.ky)),
             number(float(s.km))] for s in beam.supports]
    return _table(["support", f"x{_units(beam, 'length')}", "type", "kx", "ky", "km"], rows)


def _sections_table(beam: Beam) -> str:
    """The sections, each with its stiffnesses (the beam's where it gives none); nothing
    for a prismatic beam."""
    if len(beam.sections) < 2:
        return ""
    rows = [[number(float(s.x1)), number(float(s.x2)),
             *(_given(getattr(s, name), getattr(beam, name)) for name in ("E", "I", "A", "G"))]
            for s in sorted(beam.sections, key=lambda s: float(s.x1))]
    length = _units(beam, "length")
    return _table([f"section from{length}", f"to{length}", f"E{_units(beam, 'E')}", f"I{_units(beam, 'I')}",
                   f"A{_units(beam, 'A')}", f"G{_units(beam, 'G')}"], rows)


def _given(own: float | None, beam: float | None) -> str:
    """A section's stiffness, the beam's where it gives none; blank where neither does."""
    value = beam if own is None else own
    return "" if value is None else number(float(value))


def _hinges_table(beam: Beam) -> str:
    if not beam.hinges:
        return ""
    return _table([f"hinge at x{_units(beam, 'length')}"], [[number(float(x))] for x in sorted(beam.hinges)])


def _hinge_jumps_table(result: Result) -> str:
    """Each hinge with the jump of the rotation across it (right minus left)."""
    rows = [[number(j.x), number(j.jump)] for j in result.hinge_jumps]
    if not rows:
        return ""
    return _table([f"hinge at x{_units(result.beam, 'length')}", "rotation jump [rad]"], rows)


def _loads_table(beam: Beam) -> str:
    if not beam.loads:
        return "<p>No loads.</p>"
    rows = [[type(load).__name__, escape(_describe(load))] for load in beam.loads]
    return _table(["load", "values"], rows)


def _describe(load: Load) -> str:
    return ", ".join(f"{f.name} = {_value(getattr(load, f.name))}" for f in fields(load))


def _value(value: object) -> str:
    if isinstance(value, float):
        return number(value)
    if isinstance(value, tuple):
        items = cast("tuple[object, ...]", value)
        return "(" + ", ".join(_value(v) for v in items) + ")"
    return str(value)


def _reactions_table(result: Result) -> str:
    beam = result.beam
    force, moment = _units(beam, "force"), _units(beam, "moment")
    rows = [[escape(r.label or ""), number(r.x), r.support.kind, number(r.rx), number(r.ry), number(r.m)]
            for r in result.reactions]
    return _table(["support", f"x{_units(beam, 'length')}", "type", f"rx{force}", f"ry{force}", f"m{moment}"], rows)


def _quantity(beam: Beam, q: Quantity) -> str:
    return QUANTITY_NAMES[q] + _units(beam, QUANTITY_UNITS[q])


def _extremes_table(result: Result, extremes: Extremes) -> str:
    length = _units(result.beam, "length")
    rows = [[_quantity(result.beam, q), *_pair(extremes[q].max, extremes[q].min, extremes[q].x_max,
                                                  extremes[q].x_min)] for q in ALL_QUANTITIES]
    return _table(["quantity", "max", f"at x{length}", "min", f"at x{length}"], rows)


def _pair(high: float, low: float, x_high: float, x_low: float) -> list[str]:
    """The largest and the smallest value with their positions; rounding noise below
    1e-9 of the larger as 0, as the printed tables show it."""
    size = max(abs(high), abs(low))
    return [number(high, size), number(x_high), number(low, size), number(x_low)]


def _envelope_tables(envelope: Envelope, extremes: Mapping[Quantity, EnvelopeExtreme]) -> str:
    beam = envelope.members.beam
    names = [escape(name) for name in envelope.names]
    length, force = _units(beam, "length"), _units(beam, "force")
    rows: list[list[str]] = []
    for q, e in extremes.items():
        high, x_high, low, x_low = _pair(e.max, e.min, e.x_max, e.x_min)
        rows.append([_quantity(beam, q), high, x_high, names[e.max_member], low, x_low, names[e.min_member]])
    table = _table(["quantity", "max", f"at x{length}", "by", "min", f"at x{length}", "by"], rows)
    rows = [[escape(r.label or ""), number(r.x), number(r.ry.max), names[r.ry.max_member], number(r.ry.min),
             names[r.ry.min_member]] for r in envelope.reactions]
    ranges = _table(["support", f"x{length}", f"ry max{force}", "by", f"ry min{force}", "by"], rows)
    return table + ranges


# --- the picture -------------------------------------------------------------------------------


def _svg(height: float, parts: list[str]) -> str:
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH:g}" height="{height:g}" '
            f'viewBox="0 0 {WIDTH:g} {height:g}" font-family="sans-serif" font-size="10">{"".join(parts)}</svg>')


def _across(beam: Beam, x: float) -> float:
    """The picture's x of a position on the beam."""
    return LEFT + (RIGHT - LEFT) * x / float(beam.span)


def _text(x: float, y: float, text: str, anchor: str = "middle", colour: str = "#000") -> str:
    return f'<text x="{x:.1f}" y="{y:.1f}" text-anchor="{anchor}" fill="{colour}">{escape(text)}</text>'


def _line(points: Sequence[tuple[float, float]], colour: str, width: float = 1.0, fill: str = "none") -> str:
    joined = " ".join(f"{x:.0f},{y:.1f}" for x, y in points)
    return f'<polyline points="{joined}" fill="{fill}" stroke="{colour}" stroke-width="{width:g}"/>'


def _bands(beam: Beam) -> list[Curvature | ThermalGradient]:
    """The imposed curvatures drawn, each in a row of its own over the loads."""
    return [load for load in _drawn(beam.loads, float(beam.span)) if isinstance(load, (Curvature, ThermalGradient))]


def _sketch_height(beam: Beam) -> float:
    return SKETCH + ROW * len(_bands(beam))


def _sketch(beam: Beam, top: float) -> list[str]:
    """The beam 70 px below `top` (and a row lower for each imposed curvature's band,
    drawn over the loads), its supports under it and its loads over it."""
    bands = _bands(beam)
    level = top + 70.0 + ROW * len(bands)
    parts = _supports(beam, level) + _loads(beam, level)
    for k, band in enumerate(bands):
        parts += _band(beam, band, top + 4.0 + ROW * k)
    for load in beam.loads:
        if isinstance(load, Settlement):
            parts += _settlement(beam, load, level)
    return parts


def _supports(beam: Beam, level: float) -> list[str]:
    """The beam, as wide as the matplotlib sketch draws each section, the sections'
    I under it, its supports and its hinges (open circles on the axis)."""
    stretches = section_widths(beam)
    parts = [_line([(_across(beam, x1), level), (_across(beam, x2), level)], "#000", width)
             for x1, x2, width in stretches]
    if len(stretches) > 1:
        parts += _section_labels(beam, level)
    for support in beam.supports:
        parts += _support(beam, support, level)
    parts += [f'<circle class="hinge" cx="{_across(beam, float(x)):.1f}" cy="{level:.1f}" r="3.5" fill="#fff" '
              'stroke="#000" stroke-width="1.2"/>' for x in beam.hinges]
    return parts


def _section_labels(beam: Beam, level: float) -> list[str]:
    """A tick at each change of section and each section's I under the beam, clear of
    the supports and hinges."""
    span = float(beam.span)
    per_px = span / (RIGHT - LEFT)
    marks = [float(s.x) for s in beam.supports] + [float(x) for x in beam.hinges]
    ends = {float(s.x1): float(s.x2) for s in beam.sections}
    parts: list[str] = []
    for x1, text in section_texts(beam):
        if x1 > 0.0:
            parts.append(_line([(_across(beam, x1), level - 6), (_across(beam, x1), level + 6)], SECTION_COLOUR))
        _, x, anchor = clear_place(x1, ends[x1], [len(text) * CHARACTER * per_px], 10.0 * per_px, marks)
        parts.append(_text(_across(beam, x), level + 14, text, ANCHORS[anchor], SECTION_COLOUR))
    return parts


ANCHORS = {"left": "start", "center": "middle", "right": "end"}


def _band(beam: Beam, load: Curvature | ThermalGradient, row: float) -> list[str]:
    """An imposed curvature as a band over [x1, x2], its values written on it."""
    a, b = _across(beam, float(load.x1)), _across(beam, float(load.x2))
    band = (f'<rect x="{a:.1f}" y="{row + 8:.1f}" width="{b - a:.1f}" height="4" fill="#ff8c0033" '
            f'stroke="{IMPOSED_COLOUR}"/>')
    return [band, _text(a, row + 5, curvature_text(load, beam), "start", IMPOSED_COLOUR)]


def _settlement(beam: Beam, load: Settlement, level: float) -> list[str]:
    """A settlement under the beam beside its support, towards the middle: arrows the
    way its base moves and turns, and its values."""
    index = settled_support(load, beam.supports)
    if index is None:
        return []
    x = float(beam.supports[index].x)
    side = inward(x, float(beam.span))
    glyphs = ("\u2193" if load.dy < 0 else "\u2191" if load.dy > 0 else "") + \
             ("\u21ba" if load.rotation > 0 else "\u21bb" if load.rotation < 0 else "")
    text = f"{glyphs} {settlement_text(load, beam)}" if side > 0 else f"{settlement_text(load, beam)} {glyphs}"
    return [_text(_across(beam, x) + side * 12, level + 24, text, "start" if side > 0 else "end", IMPOSED_COLOUR)]


def _coil(beam: Beam, support: Support, level: float) -> list[str]:
    """A rotational spring as a spiral beside its support, towards the middle, its
    stiffness written by it."""
    x = _across(beam, float(support.x))
    side = inward(float(support.x), float(beam.span))
    cx, cy = x + side * 14, level + 9
    spiral = [(cx + t / 5 * math.cos(t * math.pi / 10), cy + t / 5 * math.sin(t * math.pi / 10)) for t in range(31)]
    label = f"km = {with_unit(float(support.km), rotational_unit(beam))}"
    return [_line(spiral, "#000"), _text(cx + side * 10, cy + 4, label, "start" if side > 0 else "end")]


def _support(beam: Beam, support: Support, level: float) -> list[str]:
    """A pin as a triangle on the ground, a roller as a triangle on a wheel, a fixed
    end as a wall, a spring as a zigzag, any other restraint as a square."""
    x = _across(beam, float(support.x))
    coil = _coil(beam, support, level) if support.rotational_spring() else []
    held = replace(support, km=0.0) if coil else support  # its translational restraints drawn as such
    kind = held.kind if (held.kx, held.ky, held.km) != (0.0, 0.0, 0.0) else "none"
    y = level + 2.0
    if kind in ("pin", "roller"):
        parts = [_line([(x, y), (x - 7, y + 12), (x + 7, y + 12), (x, y)], "#000", 1.0, "#fff")]
        if kind == "roller":
            parts.append(f'<circle cx="{x:.1f}" cy="{y + 15:.1f}" r="3" fill="#fff" stroke="#000"/>')
        parts.append(_line([(x - 10, y + 19), (x + 10, y + 19)], "#000"))
    elif kind == "fixed":
        parts = [_line([(x, level - 14), (x, level + 14)], "#000", 2.5)]
    elif kind == "spring":
        zig = [(x + (4.0 if j % 2 else -4.0) * (0 < j < 8), y + 2.5 * j) for j in range(9)]
        parts = [_line(zig, "#000"), _line([(x - 10, y + 20), (x + 10, y + 20)], "#000")]
    elif kind != "none":
        parts = [f'<rect x="{x - 5:.1f}" y="{y:.1f}" width="10" height="10" fill="#000"/>']
    else:
        parts = []
    if support.label:
        parts.append(_text(x, level + 34, support.label))
    return parts + coil


def _loads(beam: Beam, level: float) -> list[str]:
    span = float(beam.span)
    drawn = _drawn(beam.loads, span)
    spread = [load for load in drawn if isinstance(load, (UniformLoad, TrapezoidalLoad, PolynomialLoad))]
    largest = max((abs(w) for load in spread for w in intensity_along(load, span)[1]), default=0.0) or 1.0
    parts: list[str] = []
    if len(drawn) < len(beam.loads):
        parts.append(_text(LEFT, 12, f"the {len(drawn)} largest of {len(beam.loads):,} loads", "start"))
    for block in spread:
        parts += _spread(beam, block, level, largest)
    for load in drawn:
        if isinstance(load, PointLoad):
            parts += _point(beam, load, level)
        elif isinstance(load, Moment):
            glyph = "\u21ba" if load.moment > 0 else "\u21bb"  # counter-clockwise positive
            x = _across(beam, float(load.x))
            text = glyph + " " + with_unit(abs(float(load.moment)), beam.unit_names.get("moment"))
            parts.append(_text(x, level - 8, text, colour=LOAD))
    return parts


def _drawn(loads: Sequence[Load], span: float) -> list[Load]:
    """All loads when they are few; else the imposed deformations and the largest of the
    rest, MOST_DRAWN in all, each measured against the largest of its kind (forces,
    moments and intensities do not compare), in order."""
    if len(loads) <= MOST_DRAWN:
        return list(loads)
    sizes = [_size(load, span) for load in loads]
    largest: dict[type, float] = {}
    for load, size in zip(loads, sizes):
        largest[type(load)] = max(largest.get(type(load), 0.0), size)
    share = [size / (largest[type(load)] or 1.0) for load, size in zip(loads, sizes)]
    imposed = [isinstance(load, IMPOSED) for load in loads]  # few, and of no size comparable with a force
    kept = sorted(sorted(range(len(loads)), key=lambda k: (not imposed[k], -share[k]))[:MOST_DRAWN])
    return [loads[k] for k in kept]


def _size(load: Load, span: float) -> float:
    if isinstance(load, PointLoad):
        return abs(float(load.force))
    if isinstance(load, Moment):
        return abs(float(load.moment))
    if not isinstance(load, (UniformLoad, TrapezoidalLoad, PolynomialLoad)):
        return 0.0  # an imposed deformation: kept whatever its size (see _drawn)
    return max(map(abs, intensity_along(load, span)[1]))


def _point(beam: Beam, load: PointLoad, level: float) -> list[str]:
    """An arrow of 40 px at the load's angle, its head on the beam when it pushes."""
    angle = math.radians(float(load.angle))
    sign = math.copysign(1.0, float(load.force))
    dx, dy = sign * math.cos(angle), -sign * math.sin(angle)  # the picture's y points down
    x = _across(beam, float(load.x))
    head = (x, level - 3) if dy >= 0 else (x + 40 * dx, level - 3 + 40 * dy)
    tail = (head[0] - 40 * dx, head[1] - 40 * dy) if dy >= 0 else (x, level - 3)
    wing = [(head[0] - 6 * dx + 3 * dy, head[1] - 6 * dy - 3 * dx), head,
            (head[0] - 6 * dx - 3 * dy, head[1] - 6 * dy + 3 * dx)]
    text = with_unit(abs(float(load.force)), beam.unit_names.get("force")) + angle_text(float(load.angle))
    top = min(head[1], tail[1])
    return [_line([tail, head], LOAD, 1.5), _line(wing, LOAD, 1.5), _text(tail[0], top - 3, text, colour=LOAD)]


def _spread(beam: Beam, load: UniformLoad | TrapezoidalLoad | PolynomialLoad, level: float,
            largest: float) -> list[str]:
    """A distributed load as an outline over the beam, 30 px at the largest intensity,
    its values at its ends."""
    xs, ws = intensity_along(load, float(beam.span))
    outline = [(_across(beam, x), level - 4 - 30 * abs(w) / largest) for x, w in zip(xs, ws)]
    closed = [(outline[0][0], level - 4), *outline, (outline[-1][0], level - 4)]
    unit = beam.unit_names.get("force")
    per = f"{unit}/{beam.unit_names.get('length', '')}" if unit else None
    ends = [_text(outline[k][0], outline[k][1] - 3, with_unit(abs(ws[k]), per), colour=SPREAD)
            for k in sorted({0, len(ws) - 1})]
    return [_line(closed, SPREAD, 1.0, "#1f77b41f"), *ends]


def _panel(beam: Beam, q: Quantity, top: float, xs: Sequence[float], curves: Sequence[tuple[Sequence[float], str]],
           high: float, low: float) -> list[str]:
    """One quantity's panel: the axis, each curve, its name and its largest and smallest value."""
    middle = top + PANEL / 2
    size = max((abs(v) for values, _ in curves for v in values), default=0.0)
    scale = (PANEL / 2 - 10) / size if size > 0 and math.isfinite(size) else 0.0
    parts = [_line([(LEFT, middle), (RIGHT, middle)], "#999", 0.5)]
    for values, colour in curves:
        points = [(_across(beam, x), middle - scale * v) for x, v in zip(xs, values)]
        parts.append(_line(_outline(points), colour, 1.2))
    name = q + unit_of(beam.unit_names, QUANTITY_UNITS[q])
    size = max(abs(high), abs(low))
    parts += [_text(LEFT - 6, middle + 3, name, "end"), _text(RIGHT + 4, top + 12, number(high, size), "start"),
              _text(RIGHT + 4, top + PANEL - 6, number(low, size), "start")]
    return parts


def _outline(points: Sequence[tuple[float, float]]) -> list[tuple[float, float]]:
    """Of the points in each column of COLUMN px, the lowest and the highest, in their
    order (one of them where they lie within a px): the outline at the picture's
    resolution (a jump stays a vertical line)."""
    out: list[tuple[float, float]] = []
    start = 0
    while start < len(points):
        column = math.floor(points[start][0] / COLUMN)
        end = start
        while end < len(points) and math.floor(points[end][0] / COLUMN) == column:
            end += 1
        group = range(start, end)
        low, high = min(group, key=lambda k: points[k][1]), max(group, key=lambda k: points[k][1])
        kept = sorted({low, high}) if points[high][1] - points[low][1] >= 1.0 else [start]
        out += [points[k] for k in kept]
        start = end
    return out
