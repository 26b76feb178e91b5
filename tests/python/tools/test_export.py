"""Exports (to_dict, to_csv, to_dataframe) and the notebook's HTML view."""
import csv
import json
import math
import sys
from dataclasses import replace
from html.parser import HTMLParser
from pathlib import Path

import pytest

import flexura_tools as ft
from flexura_tools.report import number

HOSTILE = "<script>alert('x')</script>"
BEAM = ft.Beam(title="Two spans", span=10, E=2.1e8, I=8.356e-5,
               supports=[ft.Support.pin(0, "A"), ft.Support.roller(4, "B"), ft.Support.fixed(10, "C")],
               loads=[ft.UniformLoad(w=-12), ft.PointLoad(x=7, force=-45), ft.Moment(x=2, moment=30)],
               unit_names={"length": "m", "force": "kN", "moment": "kNm"})
GIRDER = BEAM.with_loads([])
COMBINED = {"ULS": BEAM.solve(), "SLS": BEAM.with_loads([ft.UniformLoad(w=-8)]).solve()}


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as stream:
        rows = list(csv.reader(stream))
    return rows[0], [dict(zip(rows[0], row)) for row in rows[1:]]


def as_read(header, rows):
    """The CSV's columns, numbers back as floats."""
    text = {"side"} | {h for h in header if h.endswith("_by")}
    return {h: [row[h] if h in text else float(row[h]) for row in rows] for h in header}


EXPORTS = [
    ("result", lambda: BEAM.solve(), lambda r, path: r.to_csv(path, 50), lambda r: r.to_dict(50)["diagram"]),
    ("envelope", lambda: ft.envelope(COMBINED), lambda e, path: e.to_csv(path), lambda e: e.to_dict()["bands"]),
    ("influence", lambda: ft.influence_line(GIRDER, "sf", 4), lambda line, path: line.to_csv(path),
     lambda line: {k: v for k, v in line.to_dict().items() if k in ("x", "side", "value")}),
]


@pytest.mark.parametrize("kind, make, write, columns", EXPORTS, ids=[e[0] for e in EXPORTS])
def test_csv_reads_back_bit_for_bit_as_to_dict_and_through_json(kind, make, write, columns, tmp_path):
    made = make()
    write(made, tmp_path / "out.csv")
    header, rows = read_csv(tmp_path / "out.csv")
    expected = columns(made)
    assert as_read(header, rows) == expected  # float(repr(v)) == v for every value
    document = made.to_dict(50) if kind == "result" else made.to_dict()
    assert json.loads(json.dumps(document, allow_nan=False)) == document
    # Both sides of the jump at x = 4 (the support B, or the section for the influence line).
    sides = [(row["side"]) for row in rows if float(row["x"]) == 4.0]
    assert sides == ["left", "right"]


def test_result_rows_are_the_exact_values_on_each_side_of_every_jump(tmp_path):
    result = BEAM.solve()
    diagram = result.to_dict(50)["diagram"]
    below = math.nextafter
    for q in ("sf", "bm"):
        read = result.evaluator(q)
        for x, side, value in zip(diagram["x"], diagram["side"], diagram[q]):
            assert value == read(below(x, -math.inf) if side == "left" else x)
    rows = {(x, s): k for k, (x, s) in enumerate(zip(diagram["x"], diagram["side"]))}
    # The point load's step in the shear, the applied moment's in the bending moment.
    assert diagram["sf"][rows[(7.0, "left")]] - diagram["sf"][rows[(7.0, "right")]] == pytest.approx(45)
    assert diagram["bm"][rows[(2.0, "right")]] - diagram["bm"][rows[(2.0, "left")]] == pytest.approx(-30)
    assert diagram["side"][-1] == "left" and diagram["x"][-1] == 10.0


def test_envelope_names_the_member_giving_every_extreme_and_reads_members_on_its_mesh(tmp_path):
    combined = ft.envelope(COMBINED)
    document = combined.to_dict()
    bm = combined.extremes()["bm"]
    with_bm = combined.extremes_coincident()["bm"]
    assert document["extremes"]["bm"] == {"max": bm.max, "x_max": bm.x_max, "max_by": combined.names[bm.max_member],
                                          "max_with": with_bm["max"], "min": bm.min, "x_min": bm.x_min,
                                          "min_by": combined.names[bm.min_member], "min_with": with_bm["min"]}
    assert set(document["bands"]["sf_max_by"]) <= {"ULS", "SLS"}
    combined.to_csv(tmp_path / "with.csv", members=COMBINED)
    header, rows = read_csv(tmp_path / "with.csv")
    for row in rows:
        members = [float(row[f"bm {name}"]) for name in COMBINED]
        assert float(row["bm_max"]) == max(members) and float(row["bm_min"]) == min(members)


@pytest.mark.parametrize("make", [lambda: BEAM.solve(), lambda: ft.envelope(COMBINED),
                                  lambda: ft.influence_line(GIRDER, "bm", 2)])
def test_to_dataframe_holds_the_csv_columns_or_names_the_extra(make, monkeypatch):
    made = make()
    pandas = pytest.importorskip("pandas", reason="pandas is in the test group; this checks its absence below too")
    frame = made.to_dataframe()
    assert isinstance(frame, pandas.DataFrame) and list(frame.columns)[:2] == ["x", "side"]
    monkeypatch.setitem(sys.modules, "pandas", None)  # an import of pandas now fails
    with pytest.raises(ImportError, match=r"pip install 'flexura\[pandas\]'"):
        made.to_dataframe()


class Balanced(HTMLParser):
    """Checks that every tag opened is closed in order; collects the text."""

    def __init__(self):
        super().__init__()
        self.open, self.text, self.tags = [], [], set()

    def handle_starttag(self, tag, attrs):
        self.open.append(tag)
        self.tags.add(tag)

    def handle_startendtag(self, tag, attrs):
        self.tags.add(tag)

    def handle_endtag(self, tag):
        assert self.open and self.open.pop() == tag, f"</{tag}> closes {self.open}"

    def handle_data(self, data):
        self.text.append(data)


def parsed(html):
    parser = Balanced()
    parser.feed(html)
    parser.close()
    assert parser.open == [] and "script" not in parser.tags
    return " ".join(parser.text)


def test_html_views_are_well_formed_and_show_reactions_and_extremes():
    result = BEAM.solve()
    text = parsed(result._repr_html_())
    for r in result.reactions:
        assert number(r.ry) in text and number(r.m) in text
    assert number(result.extremes().bm.min) in text
    combined = ft.envelope(COMBINED)
    text = parsed(combined._repr_html_())
    assert all(number(r.ry.max) in text for r in combined.reactions) and "ULS" in text
    assert "inf" in parsed(BEAM._repr_html_())  # the rigid restraints in the supports' table
    assert "beyond the span" in parsed(BEAM.with_loads([ft.PointLoad(x=15, force=-1)])._repr_html_())


def test_html_views_draw_and_list_the_extended_model():
    girder = ft.load(Path(__file__).resolve().parents[3] / "examples" / "stepped_girder.json")
    beam_html, result_html = girder._repr_html_(), girder.solve()._repr_html_()
    beam_text, result_text = parsed(beam_html), parsed(result_html)
    for html, text in ((beam_html, beam_text), (result_html, result_text)):
        assert html.count('class="hinge"') == 1  # the hinge at 14 as an open circle on the axis
        assert "\u03b4 = 0.02 m" in text and "km = 30000 kNm/rad" in text and "I = 0.00025" in text
        assert "\u0394T = -10, \u03b1 = 1.2e-05, depth 0.8 m" in text
    assert "hinge at x [m]" in beam_text and "section from [m]" in beam_text and "Settlement" in beam_text
    assert number(girder.solve().hinge_jumps[0].jump) in result_text
    crowded = girder.with_loads([ft.PointLoad(x=20 * k / 61, force=-1) for k in range(1, 61)] + list(girder.loads[1:]))
    text = parsed(crowded._repr_html_())  # the sketch keeps the 40 largest loads, and every imposed deformation
    assert "the 40 largest of 62 loads" in text and "\u03b4 = 0.02 m" in text and "\u0394T = -10" in text


def test_html_escapes_every_text_of_the_model():
    hostile = ft.Beam(title=HOSTILE, span=10, E=1, I=1, unit_names={"force": HOSTILE},
                      supports=[ft.Support.pin(0, HOSTILE), ft.Support.roller(10, "B")],
                      loads=[ft.PointLoad(x=5, force=-1)])
    envelope = ft.envelope({HOSTILE: hostile.solve(), "other": hostile.solve()})
    for html in (hostile._repr_html_(), hostile.solve()._repr_html_(), envelope._repr_html_()):
        assert "<script" not in html and HOSTILE in parsed(html)


def test_html_stays_small_for_many_loads_and_many_members():
    many = BEAM.with_loads([ft.PointLoad(x=10 * k / 1001, force=-1) for k in range(1, 1001)])
    vehicle = ft.moving_load(GIRDER, ft.hl93_truck(), step=0.05)
    for html in (many.solve()._repr_html_(), vehicle.envelope._repr_html_()):
        assert len(html) < 20_000
        parsed(html)


@pytest.mark.parametrize("own_loads", [True, False])
def test_command_writes_the_diagrams_and_the_combinations_as_csv(own_loads, tmp_path):
    from test_cli import flexura

    model = replace(BEAM if own_loads else BEAM.with_loads([]), cases={"G": [ft.UniformLoad(w=-12)]},
                    combinations=[ft.Combination(name="ULS", factors={"G": 1.35}),
                                  ft.Combination(name="SLS", factors={"G": 1.0})])
    ft.save(model, tmp_path / "beam.json")
    done = flexura(tmp_path / "beam.json", "--csv", tmp_path / "out.csv", "--points", 40)
    assert done.returncode == 0, done.stderr
    combinations = tmp_path / ("out-combinations.csv" if own_loads else "out.csv")
    header, rows = read_csv(combinations)
    everything = ["nf", "sf", "bm", "d", "rotation"]  # the command envelopes the rotation too
    assert as_read(header, rows) == ft.envelope(model.solve_combinations(), n=40, quantities=everything).to_dict()["bands"] | {
        h: [float(row[h]) for row in rows] for h in header if " " in h}
    assert {"bm ULS", "sf SLS", "d_min_by"} <= set(header)
    if own_loads:
        header, rows = read_csv(tmp_path / "out.csv")
        assert as_read(header, rows) == model.solve().to_dict(40)["diagram"]
    assert "flexura: wrote" in done.stderr
    assert flexura(tmp_path / "beam.json", "--csv", "-").returncode == 2
