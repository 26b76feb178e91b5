"""Pictures of a solved beam: a sketch of the model above its diagrams (needs matplotlib)."""
# matplotlib annotates its **kwargs as untyped, which strict pyright reports on every call.
# pyright: reportUnknownMemberType=false

from __future__ import annotations

import importlib.util
import math
import os
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING

from .loads import Moment, PointLoad, PolynomialLoad, TrapezoidalLoad, UniformLoad
from .model import Beam, Result
from .report import QUANTITY_NAMES, QUANTITY_UNITS, number
from .result import QUANTITIES, Quantity
from .supports import Support

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure

    from .envelopes import Envelope

INSTALL_HINT = "pictures need matplotlib: pip install 'flexura[plot]'"
COLOURS = {"nf": "tab:brown", "sf": "tab:green", "bm": "tab:purple", "d": "tab:orange"}


def available() -> bool:
    return importlib.util.find_spec("matplotlib") is not None


def save_png(result: Result, path: str | os.PathLike[str], points: int = 400) -> None:
    """Write the sketch and the diagrams (the normal force only where there is one)."""
    if not available():
        raise ImportError(INSTALL_HINT)
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    diagram = result.diagram(points)
    extremes = result.extremes()
    shown: list[Quantity] = [q for q in QUANTITIES if q != "nf" or any(diagram.nf)]
    fig, axes = plt.subplots(len(shown) + 1, 1, figsize=(9, 1.3 + 2.1 * len(shown)), sharex=True,
                             height_ratios=[1.0] + [2.0] * len(shown))
    sketch(axes[0], result)
    names = result.beam.unit_names
    for ax, q in zip(axes[1:], shown):
        xs, ys = diagram.x, diagram[q]
        ax.plot(xs, ys, color=COLOURS[q], lw=1.5)
        ax.fill_between(xs, ys, 0.0, color=COLOURS[q], alpha=0.15)
        ax.axhline(0.0, color="k", lw=0.7)
        e = extremes[q]
        for value, x in {(e.max, e.x_max), (e.min, e.x_min)}:
            if abs(value) > 1e-9 * max(abs(e.max), abs(e.min)):
                _mark(ax, q, x, value, f"{number(value)} at {number(x)}", 8)
        ax.margins(y=0.22)
        _label(ax, q, names)
    _finish(fig, axes[-1], names, path)


def _mark(ax: Axes, q: Quantity, x: float, value: float, text: str, size: int) -> None:
    """A dot on an extreme and its text beside it, above a peak, below a trough."""
    ax.plot([x], [value], "o", ms=3, color=COLOURS[q])
    below = -size - 3 - (size + 1) * text.count("\n")
    ax.annotate(text, xy=(x, value), fontsize=size, xytext=(5, 3 if value > 0 else below), textcoords="offset points")


def _label(ax: Axes, q: Quantity, names: Mapping[str, str]) -> None:
    name = names.get(QUANTITY_UNITS[q])
    ax.set_ylabel(QUANTITY_NAMES[q] + (f" [{name}]" if name else ""), fontsize=9)
    ax.grid(True, alpha=0.3)


def _finish(fig: Figure, bottom: Axes, names: Mapping[str, str], path: str | os.PathLike[str]) -> None:
    length = names.get("length")
    bottom.set_xlabel("x" + (f" [{length}]" if length else ""))
    import matplotlib.pyplot as plt

    fig.tight_layout()
    fig.savefig(os.fspath(path), dpi=110)
    plt.close(fig)


def sketch(ax: Axes, result: Result) -> None:
    """The beam as a line, supports below it with their labels, loads above it."""
    beam = result.beam
    span = float(beam.span)
    _beam_line(ax, beam)
    scale = max((max(_intensity(load, span)[1]) for load in beam.loads
                 if not isinstance(load, (PointLoad, Moment))), default=1.0) or 1.0
    for load in beam.loads:
        if isinstance(load, PointLoad):
            up = load.force * math.sin(math.radians(load.angle)) > 0
            ax.annotate("", xy=(load.x, 0.05), xytext=(load.x, 0.8),
                        arrowprops={"arrowstyle": "<|-" if up else "-|>", "color": "tab:red", "lw": 1.5})
            ax.text(load.x, 0.85, number(load.force), color="tab:red", ha="center", fontsize=8)
        elif isinstance(load, Moment):
            ax.text(load.x, 0.3, "\u21ba" if load.moment > 0 else "\u21bb", color="tab:red", ha="center",
                    fontsize=14)
        else:
            xs, heights = _intensity(load, span)
            ax.fill_between(xs, 0.08, [0.08 + 0.45 * h / scale for h in heights], color="tab:blue",
                            alpha=0.25, lw=0)
    ax.set_ylim(-0.9, 1.2)
    ax.axis("off")
    if beam.title:
        ax.set_title(beam.title, fontsize=10)


def _intensity(load: UniformLoad | TrapezoidalLoad | PolynomialLoad, span: float) -> tuple[list[float], list[float]]:
    """Positions along a distributed load and the size of its intensity there."""
    x1, x2 = (float(p) for p in load.positions(span))
    xs = [x1 + (x2 - x1) * j / 24 for j in range(25)]
    if isinstance(load, UniformLoad):
        return xs, [abs(load.w)] * len(xs)
    if isinstance(load, TrapezoidalLoad):
        return xs, [abs(load.w1 + (load.w2 - load.w1) * j / 24) for j in range(25)]
    return xs, [abs(sum(c * x**k for k, c in enumerate(load.coefficients))) for x in xs]


def _support(ax: Axes, support: Support) -> None:
    x = float(support.x)
    marker = {"pin": "^", "roller": "o", "fixed": "s"}.get(support.kind, "v")
    ax.plot([x], [-0.22], marker=marker, ms=10, color="k", clip_on=False)
    if support.label:
        ax.text(x, -0.75, support.label, ha="center", fontsize=9)


def save_envelope_png(envelope: Envelope, path: str | os.PathLike[str], quantities: Sequence[Quantity] = ("sf", "bm"),
                      title: str = "", members: Mapping[str, Result] | None = None) -> None:
    """The beam's supports above the band between the smallest and the largest value
    of each quantity, each extreme marked with the member that gives it; with
    `members` (a few solved beams, such as the combinations), each one's own diagram
    as a thin line, named in a legend."""
    if not available():
        raise ImportError(INSTALL_HINT)
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    beam = envelope.members.beam
    fig, axes = plt.subplots(len(quantities) + 1, 1, figsize=(9, 1.0 + 2.4 * len(quantities)), sharex=True,
                             height_ratios=[0.7] + [2.0] * len(quantities))
    _supports_only(axes[0], beam, title)
    extremes = envelope.extremes()
    names = beam.unit_names
    for ax, q in zip(axes[1:], quantities):
        band = envelope[q]
        ax.fill_between(envelope.x, band.min, band.max, color=COLOURS[q], alpha=0.18, lw=0)
        ax.plot(envelope.x, band.max, color=COLOURS[q], lw=1.4)
        ax.plot(envelope.x, band.min, color=COLOURS[q], lw=1.4, ls="--")
        ax.axhline(0.0, color="k", lw=0.7)
        for name, result in (members or {}).items():
            diagram = result.diagram(400)
            ax.plot(diagram.x, diagram[q], lw=0.8, alpha=0.8, label=name)
        if members:
            ax.legend(fontsize=7, loc="best")
        e = extremes[q]
        for value, x, member in ((e.max, e.x_max, e.max_member), (e.min, e.x_min, e.min_member)):
            _mark(ax, q, x, value, f"{number(value)} at {number(x)}\n{envelope.names[member]}", 7)
        ax.margins(y=0.3)
        _label(ax, q, names)
    _finish(fig, axes[-1], names, path)


def _beam_line(ax: Axes, beam: Beam) -> None:
    ax.plot([0.0, float(beam.span)], [0.0, 0.0], color="k", lw=3)
    for support in beam.supports:
        _support(ax, support)


def _supports_only(ax: Axes, beam: Beam, title: str) -> None:
    _beam_line(ax, beam)
    ax.set_ylim(-0.9, 0.6)
    ax.axis("off")
    if title:
        ax.set_title(title, fontsize=10)
