"""Pictures of a solved beam, of an envelope and of an influence line (needs matplotlib).

Each drawing function returns a matplotlib Figure. Given `ax` (one Axes per
panel) it draws into those; given `figure` it adds its panels to that figure;
given neither it makes a new figure through pyplot, so that `plt.show()` and a
notebook show it. The `save_*` functions draw into a figure of their own, outside
pyplot, so that they leave the caller's backend and open figures alone.
"""
# matplotlib annotates its **kwargs as untyped, which strict pyright reports on every call.
# pyright: reportUnknownMemberType=false

from __future__ import annotations

import importlib.util
import math
import os
from collections.abc import Mapping, Sequence
from dataclasses import replace
from typing import TYPE_CHECKING

from .checks import MAX_COUNT, Checker
from .equilibrium import TOLERANCE, reaction_scale, scale_of
from .errors import ModelError, Problem
from .influence import InfluenceLine
from .loads import (Curvature, Load, Moment, PointLoad, PolynomialLoad, Settlement, ThermalGradient,
                    TrapezoidalLoad, UniformLoad, settled_support)
from .model import Beam, Result
from .report import QUANTITY_NAMES, QUANTITY_UNITS, RADIAN, number, unit_of
from .result import ALL_QUANTITIES, QUANTITIES, Quantity
from .supports import Support

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure
    from matplotlib.path import Path

    from .envelopes import Envelope

INSTALL_HINT = "pictures need matplotlib: pip install 'flexura[plot]'"
COLOURS = {"nf": "tab:brown", "sf": "tab:green", "bm": "tab:purple", "d": "tab:orange", "rotation": "tab:red"}
LOAD_COLOUR, DISTRIBUTED_COLOUR, IMPOSED_COLOUR = "tab:red", "tab:blue", "darkorange"
WIDTH = 9.0  # inches: a page's width at the default dpi
ARROW = 30.0  # points: a point load's arrow; the arrows inside a distributed load are a third of it
BLOCK = 0.32  # sketch units: the height of the largest distributed load
BAND = 0.07  # sketch units: the height of an imposed curvature's band
BEAM_WIDTH, STIFFEST_WIDTH = 3.0, 8.0  # points: the beam's line where it is least and most stiff
COMPONENT_NAMES = {"rx": "reaction rx", "ry": "reaction ry", "m": "reaction m"}


def available() -> bool:
    """Whether matplotlib is installed, so that pictures can be drawn."""
    return importlib.util.find_spec("matplotlib") is not None


def _require() -> None:
    if not available():
        raise ImportError(INSTALL_HINT)


# --- the public drawing functions -------------------------------------------------------------


def diagrams(result: Result, quantities: Quantity | Sequence[Quantity] | None = None, *, points: int = 400,
             sketch: bool | None = None, ax: Axes | Sequence[Axes] | None = None,
             figure: Figure | None = None) -> Figure:
    """The sketch of the beam above the diagrams of `quantities` (by default the shear
    force, the bending moment and the deflection, and the normal force first where
    there is one; the rotation, "rotation", on request), each extreme marked with its
    value and position.

    `points` evenly spaced positions are read, plus both sides of every jump. The
    sketch is drawn by default on a figure made here, not into given axes; `ax`
    then holds one Axes per panel (a single Axes for one diagram, such as
    quantities="bm"). A diagram that
    is zero to rounding (within 1e-9 of the loads) is drawn as a flat line at 0."""
    _require()
    wanted = _listed(quantities) if quantities is not None else _shown(result)
    with_sketch = (ax is None) if sketch is None else sketch
    _check_arguments(wanted, ALL_QUANTITIES, ax, figure, len(wanted) + with_sketch, points)
    fig, axes = _panels(len(wanted), with_sketch, ax, figure)
    if with_sketch:
        _sketch(axes.pop(0), result)
    diagram = result.diagram(points)
    extremes = result.extremes()
    zero = noise_levels(result)
    names = result.beam.unit_names
    for panel, q in zip(axes, wanted):
        e = extremes[q]
        _curve(panel, q, diagram.x, diagram[q], [(e.max, e.x_max, ""), (e.min, e.x_min, "")], zero[q])
        _label(panel, q, names)
    _x_labels(axes, ax is not None, names)
    return fig


def envelope(envelope: Envelope, quantities: Quantity | Sequence[Quantity] = ("sf", "bm"), *, title: str = "",
             members: Mapping[str, Result] | None = None, sketch: bool | None = None,
             ax: Axes | Sequence[Axes] | None = None, figure: Figure | None = None) -> Figure:
    """The beam's supports above the band between the smallest and the largest value
    of each quantity, each extreme marked with the member that gives it; with
    `members` (a few solved beams, such as the combinations), each one's own diagram
    as a thin line, named in a legend. `sketch`, `ax` and `figure` as in diagrams()."""
    return _envelope_figure(envelope, _listed(quantities), title, members, sketch, ax, figure)


def _envelope_figure(envelope: Envelope, quantities: Sequence[Quantity], title: str,
                     members: Mapping[str, Result] | None, sketch: bool | None,
                     ax: Axes | Sequence[Axes] | None, figure: Figure | None) -> Figure:
    _require()
    with_sketch = (ax is None) if sketch is None else sketch
    _check_arguments(list(quantities), tuple(envelope.bands), ax, figure, len(quantities) + with_sketch)
    fig, axes = _panels(len(quantities), with_sketch, ax, figure, sketch_ratio=0.7, panel_height=2.4)
    beam = envelope.members.beam
    if with_sketch:
        _supports_only(axes.pop(0), beam, title)
    extremes = envelope.extremes()
    names = beam.unit_names
    for panel, q in zip(axes, quantities):
        _band(panel, envelope, q, members or {})
        e = extremes[q]
        marks = [(e.max, e.x_max, envelope.names[e.max_member]), (e.min, e.x_min, envelope.names[e.min_member])]
        _marks(panel, q, marks, 7)
        panel.margins(y=0.3)
        _label(panel, q, names)
    _x_labels(axes, ax is not None, names)
    return fig


def influence(line: InfluenceLine, beam: Beam | None = None, *, ax: Axes | None = None,
              figure: Figure | None = None) -> Figure:
    """The influence line: its ordinate against the unit load's position, the largest
    and the smallest ordinate marked, the section dotted. With the `beam` it was
    computed on, its supports and hinges are marked on the axis and the units named."""
    _require()
    _check_arguments([], (), ax, figure, 1)
    fig, (panel,) = _panels(1, False, ax, figure, panel_height=3.2)
    quantity = line.quantity
    colour = COLOURS.get(quantity, "tab:blue")
    panel.plot(line.x, line.value, color=colour, lw=1.5)
    panel.fill_between(line.x, line.value, 0.0, color=colour, alpha=0.15)
    panel.axhline(0.0, color="k", lw=0.7)
    top = max(range(len(line.value)), key=lambda k: line.value[k])
    bottom = min(range(len(line.value)), key=lambda k: line.value[k])
    _marks(panel, colour, [(line.value[k], line.x[k], "") for k in (top, bottom)], 8)
    panel.margins(y=0.22)
    if quantity in ALL_QUANTITIES:
        panel.axvline(line.at, color="0.4", lw=0.8, ls=":")
    names: Mapping[str, str] = beam.unit_names if beam is not None else {}
    if beam is not None:
        for support in beam.supports:
            panel.plot([float(support.x)], [0.0], "^", ms=7, color="k", clip_on=False)
        for x in beam.hinges:  # where the line may kink
            panel.plot([float(x)], [0.0], "o", ms=6, mfc="white", mec="k", zorder=5)
    name = QUANTITY_NAMES[quantity] if quantity in ALL_QUANTITIES else COMPONENT_NAMES[quantity]
    panel.set_title(f"Influence line of the {name} at x = {number(line.at)}", fontsize=10)
    panel.set_ylabel("ordinate" + _per_unit_load(quantity, names), fontsize=9)
    panel.grid(True, alpha=0.3)
    _x_label(panel, names, "unit load at x")
    return fig


def save_png(result: Result, path: str | os.PathLike[str], points: int = 400) -> None:
    """Write diagrams(result) as a PNG file: the sketch and the diagrams (the normal
    force only where there is one)."""
    _require()
    _save(diagrams(result, points=points, figure=_new_figure()), path)


def save_envelope_png(envelope: Envelope, path: str | os.PathLike[str], quantities: Sequence[Quantity] = ("sf", "bm"),
                      title: str = "", members: Mapping[str, Result] | None = None) -> None:
    """Write the picture of the function envelope() as a PNG file."""
    _require()
    _save(_envelope_figure(envelope, quantities, title, members, None, None, _new_figure()), path)


def sketch(ax: Axes, model: Beam | Result) -> None:
    """The beam as a line, its supports below it by type (pin, roller, fixed, spring)
    with their labels, and its loads above it at their angles with their values."""
    _sketch(ax, model)


def _sketch(ax: Axes, model: Beam | Result) -> None:
    beam = model.beam if isinstance(model, Result) else model
    _beam_line(ax, beam)
    top = _draw_loads(ax, beam)
    for load in beam.loads:
        if isinstance(load, Settlement):
            _settlement(ax, load, beam)
    ax.set_ylim(-1.0, max(1.45, top + 0.1))
    ax.axis("off")
    if beam.title:
        ax.set_title(beam.title, fontsize=10)


# --- arguments and panels ---------------------------------------------------------------------


def _listed(quantities: Quantity | Sequence[Quantity]) -> list[Quantity]:
    """The quantities as a list: one given by name ("bm") is a list of one."""
    return [quantities] if isinstance(quantities, str) else list(quantities)


def _check_arguments(quantities: Sequence[str], known: Sequence[str], ax: object, figure: object, panels: int,
                     points: int | None = None) -> None:
    """Every problem of a drawing function's arguments, as one ModelError."""
    c = Checker()
    for k, q in enumerate(quantities):
        if q not in known:
            c.add(f"quantities[{k}]", f"{q!r} is not one of {', '.join(known)}")
    if points is not None:
        c.count(points, "points", least=2, most=MAX_COUNT)
    if ax is not None and figure is not None:
        c.add("figure", "give either ax (axes to draw into) or figure (a figure to add them to), not both")
    elif ax is not None:
        given = _axes_list(ax)
        if given is None:
            c.add("ax", f"must be a matplotlib Axes or a sequence of them, got {type(ax).__name__}")
        elif len(given) != panels:
            c.add("ax", f"{len(given)} Axes given for {panels} panels (one per quantity, and the sketch "
                        "when sketch=True)")
    if c.problems:
        raise ModelError(c.problems)


def _axes_list(ax: object) -> list[Axes] | None:
    """The Axes given: one, or a list or array of them (as plt.subplots() returns); None
    for anything else."""
    from matplotlib.axes import Axes

    if isinstance(ax, Axes):
        return [ax]
    try:
        given: list[object] = list(ax)  # type: ignore[call-overload]
    except TypeError:
        return None
    axes = [a for a in given if isinstance(a, Axes)]
    return axes if len(axes) == len(given) else None


def _panels(count: int, with_sketch: bool, ax: Axes | Sequence[Axes] | None, figure: Figure | None, *,
            sketch_ratio: float = 1.6, panel_height: float = 2.1) -> tuple[Figure, list[Axes]]:
    """The figure and its panels: the given axes, or new ones stacked in `figure` (a
    new pyplot figure when none is given) with a shared x axis."""
    if ax is not None:
        given = _axes_list(ax) or []
        owner = given[0].get_figure(root=True)
        if owner is None:
            raise ModelError([Problem("ax", "the Axes belongs to no figure")])
        return owner, given
    ratios = [sketch_ratio] * with_sketch + [2.0] * count
    height = 0.8 + sum(ratios) * panel_height / 2.0
    if figure is None:
        import matplotlib.pyplot as plt

        figure = plt.figure(figsize=(WIDTH, height))
    else:
        figure.set_size_inches(WIDTH, height)
    grid = figure.add_gridspec(len(ratios), 1, height_ratios=ratios)
    axes: list[Axes] = []
    for k in range(len(ratios)):
        axes.append(figure.add_subplot(grid[k], sharex=axes[0] if axes else None))
    for panel in axes[:-1]:
        panel.tick_params(labelbottom=False)
    return figure, axes


def _new_figure() -> Figure:
    from matplotlib.figure import Figure

    return Figure()


def _save(fig: Figure, path: str | os.PathLike[str]) -> None:
    fig.tight_layout()
    fig.savefig(os.fspath(path), dpi=110)


# --- diagrams ---------------------------------------------------------------------------------


def noise_levels(result: Result) -> dict[Quantity, float]:
    """Per quantity, the size below which a whole diagram is rounding of zero: 1e-9 of
    the loads as forces, as moments, and as the bending deflection they give over the
    span (F L^3 / E I), as the equilibrium check measures the residuals."""
    beam = result.beam
    args = beam.layer_args()
    scale = scale_of(args.loads, float(args.span), args.units)
    if beam.beyond_core():  # an imposed deformation is measured by what it makes, as the balance check does
        scale = scale.plus(reaction_scale(result.solved, float(args.span), args.units))
    factor = {k: float((args.units or {}).get(k, 1.0)) for k in ("force", "length", "E", "I", "deflection")}
    length = float(args.span) * factor["length"]
    stiffness = float(args.e) * factor["E"] * float(args.i) * factor["I"]
    turning = scale.force * factor["force"] * length**2 / stiffness  # radians: F L^2 / E I
    bending = turning * length / factor["deflection"]
    if not math.isfinite(bending):  # out of the double range: no diagram is taken for zero
        bending = turning = 0.0
    return {"nf": TOLERANCE * scale.force, "sf": TOLERANCE * scale.force, "bm": TOLERANCE * scale.moment,
            "d": TOLERANCE * bending, "rotation": TOLERANCE * turning}


def _is_zero(values: Sequence[float], noise: float) -> bool:
    return all(abs(v) <= noise for v in values)


def _shown(result: Result) -> list[Quantity]:
    """The shear force, bending moment and deflection, after the normal force where there is one."""
    nf = result.diagram(50).nf
    return [q for q in QUANTITIES if q != "nf" or not _is_zero(nf, noise_levels(result)["nf"])]


def _curve(ax: Axes, q: Quantity, xs: list[float], ys: list[float], marks: list[tuple[float, float, str]],
           noise: float) -> None:
    """One diagram with its extremes marked; a diagram that is zero to rounding as a flat
    line at 0 on an axis symmetric about it, not as rounding blown up to fill the panel."""
    if _is_zero(ys, noise):
        ax.plot(xs, [0.0] * len(xs), color=COLOURS[q], lw=1.5)
        ax.set_ylim(-1.0, 1.0)
        ax.text(0.01, 0.62, "zero along the whole beam", transform=ax.transAxes, fontsize=8, color="0.3")
        return
    ax.plot(xs, ys, color=COLOURS[q], lw=1.5)
    ax.fill_between(xs, ys, 0.0, color=COLOURS[q], alpha=0.15)
    ax.axhline(0.0, color="k", lw=0.7)
    _marks(ax, COLOURS[q], marks, 8)
    ax.margins(y=0.22)


def _marks(ax: Axes, colour: str, marks: list[tuple[float, float, str]], size: int) -> None:
    """The largest and the smallest value, each a dot with its value, position and
    (for an envelope) member; the smaller of the two left out where it is rounding of zero."""
    top = max(abs(value) for value, _, _ in marks)
    left, right = ax.get_xlim()
    seen: set[tuple[float, float]] = set()
    for value, x, member in marks:
        if (value, x) in seen or abs(value) <= 1e-9 * top:
            continue
        seen.add((value, x))
        text = f"{number(value)} at x = {number(x)}" + (f"\n{member}" if member else "")
        ax.plot([x], [value], "o", ms=3, color=COLOURS.get(colour, colour))
        below = -size - 3 - (size + 1) * text.count("\n")
        leftward = x > left + 0.8 * (right - left)  # near the right edge the text runs to the left
        ax.annotate(text, xy=(x, value), fontsize=size, xytext=(-5 if leftward else 5, 3 if value > 0 else below),
                    textcoords="offset points", ha="right" if leftward else "left")


def _band(ax: Axes, envelope: Envelope, q: Quantity, members: Mapping[str, Result]) -> None:
    band = envelope[q]
    ax.fill_between(envelope.x, band.min, band.max, color=COLOURS[q], alpha=0.18, lw=0)
    ax.plot(envelope.x, band.max, color=COLOURS[q], lw=1.4)
    ax.plot(envelope.x, band.min, color=COLOURS[q], lw=1.4, ls="--")
    ax.axhline(0.0, color="k", lw=0.7)
    for name, result in members.items():
        diagram = result.diagram(400)
        ax.plot(diagram.x, diagram[q], lw=0.8, alpha=0.8, label=name)
    if members:
        ax.legend(fontsize=7, loc="best")


def _label(ax: Axes, q: Quantity, names: Mapping[str, str]) -> None:
    ax.set_ylabel(QUANTITY_NAMES[q] + unit_of(names, QUANTITY_UNITS[q]), fontsize=9)
    ax.grid(True, alpha=0.3)


def _x_label(bottom: Axes, names: Mapping[str, str], what: str = "x") -> None:
    length = names.get("length")
    bottom.set_xlabel(what + (f" [{length}]" if length else ""))


def _x_labels(axes: list[Axes], given: bool, names: Mapping[str, str]) -> None:
    """The x label under each given Axes (they may stand side by side), else under the bottom panel."""
    for panel in axes if given else axes[-1:]:
        _x_label(panel, names)


def _per_unit_load(quantity: str, names: Mapping[str, str]) -> str:
    """The unit of an ordinate: the quantity's unit per unit of force; nothing for a
    force per force."""
    kind = {"bm": "moment", "m": "moment", "d": "deflection", "rotation": "rotation"}.get(quantity)
    top, force = RADIAN if kind == "rotation" else names.get(kind or ""), names.get("force")
    return f" [{top}/{force}]" if top and force else ""


# --- the sketch -------------------------------------------------------------------------------


def _beam_line(ax: Axes, beam: Beam) -> None:
    """The beam's axis, thicker where it is stiffer, its supports and its hinges (for an
    envelope too: its loads vary, so its settlements are drawn with the loads)."""
    stretches = section_widths(beam)
    for x1, x2, width in stretches:
        ax.plot([x1, x2], [0.0, 0.0], color="k", lw=width, solid_capstyle="butt", zorder=3)
    if len(stretches) > 1:
        _section_labels(ax, beam)
    for support in beam.supports:
        _support(ax, support, beam)
    for x in beam.hinges:  # a release: an open circle on the axis
        ax.plot([float(x)], [0.0], "o", ms=7, mfc="white", mec="k", mew=1.2, zorder=5)


def section_widths(beam: Beam) -> list[tuple[float, float, float]]:
    """Each section's stretch and the width of its line: in proportion to its bending
    stiffness E*I, from BEAM_WIDTH at the least stiff to at most STIFFEST_WIDTH, so that
    a girder deeper over its pier reads so at a glance. One stretch for a prismatic beam."""
    span = float(beam.span)
    if len(beam.sections) < 2:
        return [(0.0, span, BEAM_WIDTH)]
    own = (float(beam.E), float(beam.I))
    stiffness = [_ei(s.E, s.I, own) for s in beam.sections]
    least = min(stiffness)
    return sorted((float(s.x1), float(s.x2), min(BEAM_WIDTH * ei / least, STIFFEST_WIDTH))
                  for s, ei in zip(beam.sections, stiffness))


def _ei(e: float | None, i: float | None, own: tuple[float, float]) -> float:
    return (own[0] if e is None else float(e)) * (own[1] if i is None else float(i))


def section_texts(beam: Beam) -> list[tuple[float, str]]:
    """Where each section starts and what it is written as: its I (and its E where the
    sections' E differ), with their units where the model names them."""
    own = {"E": float(beam.E), "I": float(beam.I)}
    ordered = sorted(beam.sections, key=lambda s: float(s.x1))
    values = [{name: own[name] if getattr(s, name) is None else float(getattr(s, name)) for name in own}
              for s in ordered]
    shown = [name for name in ("E", "I") if len({v[name] for v in values}) > 1 or name == "I"]
    names = beam.unit_names
    return [(float(s.x1), ", ".join(f"{name} = {with_unit(v[name], names.get(name))}" for name in shown))
            for s, v in zip(ordered, values)]


def _section_labels(ax: Axes, beam: Beam) -> None:
    """At each change of section a tick across the beam, and each section's I written
    under the beam where it is clear of the supports and hinges."""
    span = float(beam.span)
    marks = [float(s.x) for s in beam.supports] + [float(x) for x in beam.hinges]
    ends = {float(s.x1): float(s.x2) for s in beam.sections}
    for x1, text in section_texts(beam):
        if x1 > 0.0:
            ax.plot([x1, x1], [-0.09, 0.09], color="0.35", lw=0.9, zorder=4)
        broken = text.replace(", ", ",\n").replace(" = ", " =\n")  # a narrower label, where one line does not fit
        widths = [max(map(len, t.split("\n"))) * TEXT_SHARE * span for t in (text, broken)]
        k, x, ha = clear_place(x1, ends[x1], widths, 0.012 * span, marks)
        ax.text(x, -0.1, (text, broken)[k], fontsize=7, color="0.3", va="top", ha=ha, linespacing=1.0)


TEXT_SHARE = 0.0095  # of the span: the width of one character of a small label in the sketch


def clear_place(x1: float, x2: float, widths: Sequence[float], gap: float,
                marks: Sequence[float]) -> tuple[int, float, str]:
    """Where a label goes in the stretch [x1, x2] without covering a mark (a support, a
    hinge, `gap` wide either side), given the widths of its forms, widest first: the
    first form that fits, at the start of the first free part wide enough; else the
    last form in the middle of the widest part."""
    cuts = [x1 - gap] + sorted(m for m in marks if x1 - gap < m < x2 + gap) + [x2 + gap]
    free = [(a + gap, b - gap) for a, b in zip(cuts, cuts[1:])]
    for k, width in enumerate(widths):
        for a, b in free:
            if b - a >= width:
                return k, a + 0.4 * gap, "left"
    a, b = max(free, key=lambda part: part[1] - part[0])
    return len(widths) - 1, 0.5 * (a + b), "center"


def _supports_only(ax: Axes, beam: Beam, title: str) -> None:
    _beam_line(ax, beam)
    ax.set_ylim(-1.0, 0.6)
    ax.axis("off")
    if title:
        ax.set_title(title, fontsize=10)


def _support(ax: Axes, support: Support, beam: Beam) -> None:
    """A pin as a triangle on the ground, a roller as a triangle on two wheels, a fixed
    end as a hatched wall, a spring as a zigzag with its stiffness; other restraints
    (a horizontal spring, a fixed roller) as a square."""
    x, span = float(support.x), float(beam.span)
    tick = 0.018 * span
    if support.rotational_spring():  # its translational restraints drawn as such, and a coil beside
        _coil(ax, support, beam)
        support = replace(support, km=0.0)
    kind = support.kind if (support.kx, support.ky, support.km) != (0.0, 0.0, 0.0) else "none"
    if kind in ("pin", "roller"):
        ax.plot([x], [-0.2], marker="^", ms=12, color="k", clip_on=False)
        level = -0.42
        if kind == "roller":
            ax.plot([x - tick / 2, x + tick / 2], [-0.44, -0.44], "o", ms=4, mfc="white", mec="k", clip_on=False)
            level = -0.53
        _ground(ax, [x - tick, x + tick], [level, level])
    elif kind == "fixed":
        outward = -1.0 if x <= 0.5 * span else 1.0
        ax.plot([x, x], [-0.45, 0.45], color="k", lw=2.0)
        for y in (-0.4, -0.2, 0.0, 0.2, 0.4):
            _ground(ax, [x, x + outward * tick / 2], [y, y - 0.12])
    elif kind == "spring" and support.ky not in (0.0, math.inf):
        _spring(ax, x, tick)
        _ground(ax, [x - tick, x + tick], [-0.55, -0.55])
        unit = beam.unit_names.get("stiffness")
        ax.text(x + tick * 0.9, -0.35, f"k = {number(float(support.ky))}" + (f" {unit}" if unit else ""),
                fontsize=7, va="center")
    elif kind != "none":
        ax.plot([x], [-0.22], marker="s", ms=9, color="k", clip_on=False)
    if support.label:
        ax.text(x, -0.85, support.label, ha="center", fontsize=9)


def inward(x: float, span: float) -> float:
    """The side of a support on which its spring and settlement are drawn: towards the
    middle of the beam (+1 to the right), so that nothing is drawn beyond its ends."""
    return 1.0 if x <= 0.5 * span else -1.0


def _coil(ax: Axes, support: Support, beam: Beam) -> None:
    """A rotational spring as a spiral beside its support, its stiffness written by it."""
    x, span = float(support.x), float(beam.span)
    side = inward(x, span)
    ax.plot([x + side * 0.03 * span], [-0.16], marker=_spiral(), ms=15, mfc="none", mec="k", mew=1.0, zorder=4)
    ax.text(x + side * 0.048 * span, -0.16, f"km = {with_unit(float(support.km), rotational_unit(beam))}",
            fontsize=7, va="center", ha="left" if side > 0 else "right")


def _spiral() -> Path:
    """A spiral of two turns, as a marker (drawn in points, so round at any aspect)."""
    from matplotlib.path import Path

    turns = [(t / 40 * math.cos(t * math.pi / 10), t / 40 * math.sin(t * math.pi / 10)) for t in range(41)]
    return Path(turns)


def rotational_unit(beam: Beam) -> str | None:
    """The unit of a rotational stiffness: the model's moment per radian."""
    moment = beam.unit_names.get("moment")
    return f"{moment}/{RADIAN}" if moment else None


def deflection_unit(beam: Beam) -> str | None:
    """The name of the unit of deflections and settlements: the model's deflection unit,
    else its length unit where the unit factors make the two the same."""
    names, units = beam.unit_names, beam.units
    if "deflection" in names:
        return names["deflection"]
    same = float(units.get("deflection", 1.0)) == float(units.get("length", 1.0))
    return names.get("length") if same else None


def settlement_text(load: Settlement, beam: Beam) -> str:
    """A settlement as written by its support: 'δ = 0.02 m' down or up as its arrow
    shows, 'θ = 0.001 rad' turning as its curved arrow shows."""
    parts = [f"\u03b4 = {with_unit(abs(float(load.dy)), deflection_unit(beam))}"] if load.dy != 0.0 else []
    parts += [f"\u03b8 = {with_unit(abs(float(load.rotation)), RADIAN)}"] if load.rotation != 0.0 else []
    return ", ".join(parts)


def _settlement(ax: Axes, load: Settlement, beam: Beam) -> None:
    """A settlement under the beam beside its support: a short arrow the way the base
    moves, a curved arrow the way it turns (counter-clockwise positive), and its values."""
    index = settled_support(load, beam.supports)
    if index is None:
        return
    x, span = float(beam.supports[index].x), float(beam.span)
    side = inward(x, span)
    at, y = x + side * 0.03 * span, -0.6  # under a rotational spring's coil
    if load.dy != 0.0:
        style = "-|>" if load.dy < 0 else "<|-"  # down to y, or up from it
        ax.annotate("", xy=(at, y), xytext=(0, 13), textcoords="offset points",
                    arrowprops={"arrowstyle": style, "color": IMPOSED_COLOUR, "lw": 1.3, "shrinkA": 0, "shrinkB": 0})
        at += side * 0.02 * span
    if load.rotation != 0.0:  # an arc over the top: from right to left turns counter-clockwise
        ccw, half = load.rotation > 0, 0.016 * span
        middle = at + side * half
        ends = ((middle + half, y), (middle - half, y))
        tail, head = ends if ccw else ends[::-1]
        ax.annotate("", xy=head, xytext=tail,
                    arrowprops={"arrowstyle": "-|>", "color": IMPOSED_COLOUR, "lw": 1.2, "shrinkA": 0, "shrinkB": 0,
                                "connectionstyle": f"arc3,rad={0.7 if ccw else -0.7}"})
        at = middle + side * half
    ax.text(at + side * 0.008 * span, y + 0.06, settlement_text(load, beam), color=IMPOSED_COLOUR, fontsize=8,
            va="center", ha="left" if side > 0 else "right")


def _ground(ax: Axes, xs: list[float], ys: list[float]) -> None:
    ax.plot(xs, ys, color="k", lw=1.0)


def _spring(ax: Axes, x: float, tick: float) -> None:
    ys = [-0.05 - 0.5 * j / 12 for j in range(13)]
    xs = [x + (tick / 2 if j % 2 else -tick / 2) if 0 < j < 12 else x for j in range(13)]
    ax.plot(xs, ys, color="k", lw=1.0)


def _direction(angle: float, sign: float) -> tuple[float, float]:
    """The unit vector a load of that sign acts along."""
    radians = math.radians(angle)
    return sign * math.cos(radians), sign * math.sin(radians)


def _arrow(ax: Axes, x: float, y: float, direction: tuple[float, float], length: float, text: str = "",
           colour: str = LOAD_COLOUR) -> None:
    """An arrow along `direction`, true to its angle on the page: a load pushing the
    beam ends at (x, y), one pulling it starts there; the text beyond its far end."""
    dx, dy = direction
    away = dy > 0  # acts away from the beam: the arrow starts at it
    far = (dx * length, dy * length) if away else (-dx * length, -dy * length)
    ax.annotate("", xy=(x, y), xytext=far, textcoords="offset points",
                arrowprops={"arrowstyle": "<|-" if away else "-|>", "color": colour, "lw": 1.3,
                            "shrinkA": 0, "shrinkB": 0})
    if text:
        beyond = (far[0] * (1 + 9 / length), far[1] * (1 + 9 / length) + 2)
        ax.annotate(text, xy=(x, y), xytext=beyond, textcoords="offset points", color=colour, fontsize=8,
                    ha="center", va="bottom" if far[1] >= 0 else "top")


def _draw_loads(ax: Axes, beam: Beam) -> float:
    """The loads over the beam; returns the top of the highest block or band drawn."""
    span = float(beam.span)
    distributed = [load for load in beam.loads if isinstance(load, (UniformLoad, TrapezoidalLoad, PolynomialLoad))]
    largest = max((abs(w) for load in distributed for w in intensity_along(load, span)[1]), default=0.0) or 1.0
    tops: list[tuple[float, float, float]] = []  # (x1, x2, top) of the blocks drawn so far, to stack on
    for spread in distributed:
        tops.append(_block(ax, spread, span, largest, tops, beam.unit_names))
    for load in beam.loads:
        if isinstance(load, (Curvature, ThermalGradient)):
            tops.append(_curvature_band(ax, load, tops, beam))
    for load in beam.loads:
        _concentrated(ax, load, beam.unit_names)
    return max((top for _, _, top in tops), default=0.0)


def _concentrated(ax: Axes, load: Load, names: Mapping[str, str]) -> None:
    if isinstance(load, PointLoad):
        text = with_unit(abs(float(load.force)), names.get("force")) + angle_text(float(load.angle))
        _arrow(ax, float(load.x), 0.06, _direction(float(load.angle), math.copysign(1.0, load.force)), ARROW, text)
    elif isinstance(load, Moment):
        glyph = "\u21ba" if load.moment > 0 else "\u21bb"  # counter-clockwise positive
        ax.text(float(load.x), 0.08, glyph, color=LOAD_COLOUR, ha="center", va="bottom", fontsize=16)
        ax.annotate(with_unit(abs(float(load.moment)), names.get("moment")), xy=(float(load.x), 0.08),
                    xytext=(9, 4), textcoords="offset points", color=LOAD_COLOUR, fontsize=8)


def _block(ax: Axes, load: UniformLoad | TrapezoidalLoad | PolynomialLoad, span: float, largest: float,
           below: list[tuple[float, float, float]], names: Mapping[str, str]) -> tuple[float, float, float]:
    """A distributed load as a block above the beam (on top of the blocks it overlaps),
    its height the intensity, small arrows at its angle showing which way it acts, and
    its intensity written at the ends (or at its largest, for a polynomial)."""
    xs, ws = intensity_along(load, span)
    x1, x2 = xs[0], xs[-1]
    base = _base(below, x1, x2)
    heights = [base + BLOCK * abs(w) / largest for w in ws]
    ax.fill_between(xs, base, heights, color=DISTRIBUTED_COLOUR, alpha=0.22, lw=0)
    ax.plot(xs, heights, color=DISTRIBUTED_COLOUR, lw=0.8)
    angle = float(load.angle)
    for j in range(0, len(xs), 4):
        if ws[j] != 0.0:
            _arrow(ax, xs[j], base, _direction(angle, math.copysign(1.0, ws[j])), ARROW / 3,
                   colour=DISTRIBUTED_COLOUR)
    unit = names.get("distributed") or (f"{names['force']}/{names['length']}"
                                        if "force" in names and "length" in names else None)
    places = _labelled(load, ws)
    for k in places:
        text = with_unit(abs(ws[k]), unit) + (angle_text(angle) if k == places[0] else "")
        ha = "left" if k == 0 else "right" if k == len(xs) - 1 else "center"
        ax.text(xs[k], heights[k] + 0.04, text, color=DISTRIBUTED_COLOUR, fontsize=8, ha=ha, va="bottom")
    return x1, x2, max(heights) + 0.22


def curvature_text(load: Curvature | ThermalGradient, beam: Beam) -> str:
    """An imposed curvature as written over its band: 'κ = 0.0001 1/m' (two values of a
    linear one), or a temperature difference with alpha and the depth."""
    length = beam.unit_names.get("length")
    if isinstance(load, ThermalGradient):
        return (f"\u0394T = {number(float(load.dT))}, \u03b1 = {number(float(load.alpha))}, "
                f"depth {with_unit(float(load.depth), length)}")
    values = number(float(load.k1)) + ("" if load.k2 is None else f" \u2192 {number(float(load.k2))}")
    return f"\u03ba = {values}" + (f" 1/{length}" if length else "")


def _curvature_band(ax: Axes, load: Curvature | ThermalGradient, below: list[tuple[float, float, float]],
                    beam: Beam) -> tuple[float, float, float]:
    """An imposed curvature as a hatched band over [x1, x2] (on top of the loads it
    overlaps), labelled with its values at its left end."""
    x1, x2 = float(load.x1), float(load.x2)
    base = _base(below, x1, x2) + 0.06  # clear of the label of a load below
    ax.fill_between([x1, x2], base, base + BAND, facecolor="none", edgecolor=IMPOSED_COLOUR, hatch="///", lw=0.8)
    ax.text(x1, base + BAND + 0.03, curvature_text(load, beam), color=IMPOSED_COLOUR, fontsize=8, va="bottom")
    return x1, x2, base + BAND + 0.26


def _base(below: list[tuple[float, float, float]], x1: float, x2: float) -> float:
    """Where a block or band over [x1, x2] starts: on top of those drawn that it overlaps."""
    return max([0.08] + [top for a, b, top in below if a < x2 and x1 < b])


def _labelled(load: UniformLoad | TrapezoidalLoad | PolynomialLoad, ws: list[float]) -> list[int]:
    """Where a distributed load's intensity is written: a uniform load's at its left end,
    a trapezoid's at both ends (an end of zero left out), a polynomial's at its largest."""
    if isinstance(load, UniformLoad):
        return [0]
    if isinstance(load, TrapezoidalLoad):
        return [k for k in (0, len(ws) - 1) if ws[k] != 0.0]
    return [max(range(len(ws)), key=lambda k: abs(ws[k]))]


def intensity_along(load: UniformLoad | TrapezoidalLoad | PolynomialLoad, span: float) -> tuple[list[float], list[float]]:
    """Positions along a distributed load and its signed intensity there."""
    x1, x2 = (float(p) for p in load.positions(span))
    xs = [x1 + (x2 - x1) * j / 24 for j in range(25)]
    if isinstance(load, UniformLoad):
        return xs, [float(load.w)] * len(xs)
    if isinstance(load, TrapezoidalLoad):
        w1, w2 = float(load.w1), float(load.w2)
        return xs, [w1 + (w2 - w1) * j / 24 for j in range(25)]
    return xs, [sum(float(c) * x**k for k, c in enumerate(load.coefficients)) for x in xs]


def with_unit(value: float, unit: str | None) -> str:
    """A value as the pictures write it, with its unit where the model names one."""
    return number(value) + (f" {unit}" if unit else "")


def angle_text(angle: float) -> str:
    """The angle where a load is not perpendicular to the beam (its arrows show it too)."""
    return "" if math.sin(math.radians(angle)) in (1.0, -1.0) else f", {number(angle)}\u00b0"
