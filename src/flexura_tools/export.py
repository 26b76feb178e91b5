"""Results, envelopes and influence lines as plain data, CSV files and pandas DataFrames.

Every table has one row per position, left to right. Where a diagram jumps, the
position is held twice, the value just left of it and then the value just
right, both exact; the `side` column says which ("left", "right"). A result's
and an envelope's table also mark the end of the beam, read just left of it
("left"). Elsewhere `side` is empty: the diagrams are continuous there. Numbers are written to CSV as
Python's `repr`, which reads back to the same bits.
"""

from __future__ import annotations

import csv
import importlib
import math
import os
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING, Any

from .checks import Checker
from .errors import ModelError
from .report import envelope_extremes, heading, reaction_ranges, reaction_records, result_extremes
from .model import Result
from .result import ALL_QUANTITIES, Quantity

if TYPE_CHECKING:
    from .envelopes import Envelope
    from .influence import InfluenceLine
    from .model import Beam

PANDAS_HINT = "to_dataframe() needs pandas: pip install 'flexura[pandas]'"
LEFT, RIGHT, CONTINUOUS = "left", "right", ""
Columns = dict[str, list[Any]]


def diagram_positions(beam: Beam, n: int) -> tuple[list[float], list[float]]:
    """The diagram's positions and where each is read: n even intervals and every
    feature; a position where a diagram jumps held twice, read just left of it, then
    at it (the value just right); the end of the beam read just left of it."""
    span = float(beam.span)
    jumps = beam.jumps()
    jumping = {x for q in ALL_QUANTITIES for x in jumps[q] if 0.0 < x < span}
    grid = sorted(set(beam.features()) | {span * k / n for k in range(1, n)})
    below = math.nextafter
    xs: list[float] = []
    reads: list[float] = []
    for x in grid:
        if x in jumping:
            xs += [x, x]
            reads += [below(x, -math.inf), x]
        else:
            xs.append(x)
            reads.append(below(x, -math.inf) if x == span else x)
    return xs, reads


def sides(xs: Sequence[float], end: float | None) -> list[str]:
    """The side column of positions where a jump's position is held twice: "left" for
    the first of the two, "right" for the second, "left" at `end` (the end of the
    beam, read just left of it; None: the ends are read at themselves)."""
    out = [CONTINUOUS] * len(xs)
    for k in range(1, len(xs)):
        if xs[k] == xs[k - 1]:
            out[k - 1], out[k] = LEFT, RIGHT
    if xs and xs[-1] == end and out[-1] == CONTINUOUS:
        out[-1] = LEFT
    return out


def _checked_points(n: int) -> None:
    c = Checker()
    c.count(n, "n")
    if c.problems:
        raise ModelError(c.problems)


# --- the tables --------------------------------------------------------------------------------


def result_columns(result: Result, n: int = 200) -> Columns:
    """x, side and the diagrams (nf, sf, bm, d, rotation) at the exact diagram positions
    (n even intervals, every feature, both sides of every jump)."""
    _checked_points(n)
    xs, reads = diagram_positions(result.beam, n)
    columns: Columns = {"x": xs, "side": sides(xs, float(result.beam.span))}
    for q in ALL_QUANTITIES:
        columns[q] = list(map(result.evaluator(q), reads))
    return columns


def envelope_columns(envelope: Envelope, members: Mapping[str, Result] | None = None) -> Columns:
    """x, side and per enveloped quantity its largest and smallest value with the name
    of the member giving each (`nf_max`, `nf_max_by`, `nf_min`, `nf_min_by`, ...), then
    the other quantities coincident with each (`bm_max_sf`: the shear acting with the
    largest moment, in the same member at the same section and side, ...); with
    `members` (solved beams by name, such as the combinations), each one's own values
    on the same positions after them (`nf ULS`, ...)."""
    span = float(envelope.members.beam.span)
    names = envelope.names
    columns: Columns = {"x": list(envelope.x), "side": sides(envelope.x, span)}
    for q, band in envelope.bands.items():
        columns[f"{q}_max"] = list(band.max)
        columns[f"{q}_max_by"] = [names[k] for k in band.max_member]
        columns[f"{q}_min"] = list(band.min)
        columns[f"{q}_min_by"] = [names[k] for k in band.min_member]
    for q in envelope.bands:
        for which in ("max", "min"):
            for other, values in envelope.coincident(q, which).items():
                columns[f"{q}_{which}_{other}"] = values
    for name, result in (members or {}).items():
        for q in envelope.bands:
            columns[f"{q} {name}"] = _member_values(result, q, columns["x"], columns["side"], span)
    return columns


def _member_values(result: Result, q: Quantity, xs: list[float], side: list[str], span: float) -> list[float]:
    """One member's values on an envelope's mesh, read as the band reads them: just left
    of a position held twice only where this member jumps in q there (elsewhere the
    diagram is continuous, and both entries hold the value at the position), and
    just left of the end of the beam."""
    below, read = math.nextafter, result.evaluator(q)
    jumping = set(result.beam.jumps()[q]) | {span}
    return [read(below(x, -math.inf) if s == LEFT and x in jumping else x) for x, s in zip(xs, side)]


def influence_columns(line: InfluenceLine) -> Columns:
    """x (the unit load's position), side (at the section: the load just left of it,
    then just right) and the ordinate `value`."""
    return {"x": list(line.x), "side": sides(line.x, None), "value": list(line.value)}


# --- plain data --------------------------------------------------------------------------------


def result_to_dict(result: Result, n: int = 200) -> dict[str, object]:
    """The results document of `flexura MODEL --json` with the side column in its
    diagram: flexura_results, title, unit_names, reactions (label, x, rx, ry, m),
    extremes (per quantity max, x_max, min, x_min) and diagram (result_columns)."""
    return {**heading(result.beam), "reactions": reaction_records(result), "extremes": result_extremes(result),
            "diagram": result_columns(result, n)}


def envelope_to_dict(envelope: Envelope) -> dict[str, object]:
    """names (the members), extremes (per quantity max, x_max, max_by, min, x_min,
    min_by), reactions (per support label, x and the ranges of rx, ry, m with max_by
    and min_by) and bands (envelope_columns)."""
    return {"names": list(envelope.names), "extremes": envelope_extremes(envelope),
            "reactions": reaction_ranges(envelope), "bands": envelope_columns(envelope)}


def influence_to_dict(line: InfluenceLine) -> dict[str, object]:
    """quantity, at (the section's or the support's position) and the columns x, side, value."""
    return {"quantity": line.quantity, "at": line.at, **influence_columns(line)}


# --- files and frames --------------------------------------------------------------------------


def write_csv(columns: Columns, path: str | os.PathLike[str]) -> None:
    """The columns as CSV, a header then one row per position; floats as repr."""
    with open(path, "w", newline="", encoding="utf-8") as stream:
        out = csv.writer(stream, lineterminator="\n")
        out.writerow(columns)
        for row in zip(*columns.values()):
            out.writerow([repr(cell) if isinstance(cell, float) else cell for cell in row])


def data_frame(columns: Columns) -> Any:
    """A pandas DataFrame of the columns (pandas is optional: ImportError naming it)."""
    try:
        pandas = importlib.import_module("pandas")
    except ImportError:
        raise ImportError(PANDAS_HINT) from None
    return pandas.DataFrame(columns)


def result_to_csv(result: Result, path: str | os.PathLike[str], n: int = 200) -> None:
    write_csv(result_columns(result, n), path)


def envelope_to_csv(envelope: Envelope, path: str | os.PathLike[str],
                    members: Mapping[str, Result] | None = None) -> None:
    write_csv(envelope_columns(envelope, members), path)


def influence_to_csv(line: InfluenceLine, path: str | os.PathLike[str]) -> None:
    write_csv(influence_columns(line), path)
