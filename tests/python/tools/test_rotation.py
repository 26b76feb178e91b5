"""The rotation (slope) through flexura_tools: closed forms, its reads against each
other, the derivative of the deflection, its extremes and exports."""
import csv
import math

import numpy as np
import pytest

import flexura_tools as ft
from flexura_tools import Beam, Moment, PointLoad, Support, UniformLoad

L, E, I, W, P = 8.0, 2.0e8, 5.0e-5, 12.0, 30.0
EI = E * I


def beam(supports, loads, **more):
    return Beam(span=L, E=E, I=I, supports=supports, loads=loads, **more)


SIMPLE = [Support.pin(0.0), Support.roller(L)]
CANTILEVER = [Support.fixed(0.0)]
UDL = [UniformLoad(w=-W)]

# (beam, x, side, closed form): counter-clockwise positive, so a sagging span turns
# clockwise (negative) at its left end.
CLOSED_FORMS = [
    pytest.param(beam(SIMPLE, UDL), 0.0, "right", -W * L**3 / (24 * EI), id="simple UDL, left end"),
    pytest.param(beam(SIMPLE, UDL), L, "left", W * L**3 / (24 * EI), id="simple UDL, right end"),
    pytest.param(beam(SIMPLE, UDL), L / 2, "right", 0.0, id="simple UDL, midspan"),
    pytest.param(beam(CANTILEVER, [PointLoad(x=L, force=-P)]), L, "left", -P * L**2 / (2 * EI), id="cantilever tip load"),
    pytest.param(beam(CANTILEVER, [PointLoad(x=L, force=-P)]), 0.0, "right", 0.0, id="fixed end"),
    pytest.param(beam([Support.fixed(0.0), Support.fixed(L)], UDL), L, "left", 0.0, id="fixed-fixed end"),
    pytest.param(beam(CANTILEVER, [Moment(x=L, moment=P)]), L, "left", P * L / EI, id="cantilever end moment"),
    # A moment M at midspan of a simple span: sagging M x / L left of it, so the span
    # turns by M L / (12 EI) there on both sides, and by -M L / (24 EI) at its ends.
    pytest.param(beam(SIMPLE, [Moment(x=L / 2, moment=P)]), L / 2, "left", P * L / (12 * EI), id="moment, left"),
    pytest.param(beam(SIMPLE, [Moment(x=L / 2, moment=P)]), L / 2, "right", P * L / (12 * EI), id="moment, right"),
    pytest.param(beam(SIMPLE, [Moment(x=L / 2, moment=P)]), 0.0, "right", -P * L / (24 * EI), id="moment, end"),
    # The deflection in mm: the rotation stays in radians.
    pytest.param(beam(SIMPLE, UDL, units={"deflection": 0.001}), 0.0, "right", -W * L**3 / (24 * EI),
                 id="deflection unit"),
]


@pytest.mark.parametrize("model, x, side, expected", CLOSED_FORMS)
def test_rotation_matches_closed_forms(model, x, side, expected):
    result = model.solve()
    scale = W * L**3 / EI
    assert result.rotation(x, side) == pytest.approx(expected, abs=1e-12 * scale)
    assert result.at(x, side).rotation == result.rotation(x, side)
    assert result.evaluator("rotation")(x) == result.rotation(x)


THREE_SPAN = Beam(span=19.5, E=2.1e8, I=8.356e-5, supports=[Support.pin(0.0), Support.roller(6.0),
                                                           Support.roller(13.5), Support.roller(19.5)],
                  loads=[UniformLoad(w=-12.0), PointLoad(x=9.75, force=-45.0), Moment(x=3.0, moment=20.0),
                         UniformLoad(w=-8.0, x1=14.0, x2=18.0)])


def test_array_reads_are_the_bits_of_scalar_reads_on_both_sides():
    result = THREE_SPAN.solve()
    xs = np.random.default_rng(5).uniform(0.0, 19.5, size=(7, 9))
    for side in ("left", "right"):
        scalar = [[result.rotation(float(x), side) for x in row] for row in xs]
        assert result.rotation(xs, side).tobytes() == np.array(scalar).tobytes()
        assert result.at(xs, side).rotation.tobytes() == np.array(scalar).tobytes()
    diagram = result.diagram(50)
    assert diagram.rotation == [result.rotation(x) for x in diagram.x]
    assert diagram.arrays().rotation.tobytes() == np.array(diagram.rotation).tobytes()


def test_rotation_is_the_slope_of_the_deflection():
    # Central differences of the deflection, h = 1e-4: the truncation error h^2 / 6 d''' is
    # below 1e-8 of the largest rotation here, and rounding 1e-16 |d| / h below 1e-11.
    result = THREE_SPAN.solve()
    h = 1e-4
    xs = [x for x in np.linspace(0.01, 19.49, 301).tolist() if all(abs(x - f) > 2 * h for f in (3.0, 6.0, 9.75))]
    slope = [(result.d(x + h) - result.d(x - h)) / (2 * h) for x in xs]
    scale = max(map(abs, result.rotation(xs)))
    assert result.rotation(xs) == pytest.approx(slope, abs=1e-7 * scale)


def test_rotation_extremes_are_the_peaks_of_a_dense_reading():
    result = THREE_SPAN.solve()
    extreme = result.extremes().rotation
    assert extreme == result.extremes()["rotation"]
    dense = result.rotation(np.linspace(0.0, 19.5, 200_001))
    scale = float(np.abs(dense).max())
    assert extreme.max >= dense.max() - 1e-12 * scale and extreme.max == pytest.approx(dense.max(), abs=1e-9 * scale)
    assert extreme.min <= dense.min() + 1e-12 * scale and extreme.min == pytest.approx(dense.min(), abs=1e-9 * scale)
    assert result.rotation(extreme.x_max) == pytest.approx(extreme.max, abs=1e-12 * scale)


def test_rotation_is_exported_after_the_other_columns(tmp_path):
    result = THREE_SPAN.solve()
    document = result.to_dict(20)
    assert list(document["diagram"])[-1] == "rotation" and list(document["extremes"])[-1] == "rotation"
    assert document["extremes"]["rotation"]["max"] == result.extremes().rotation.max
    path = tmp_path / "r.csv"
    result.to_csv(path, 20)
    with open(path, encoding="utf-8") as stream:
        rows = list(csv.DictReader(stream))
    assert list(rows[0])[-1] == "rotation"
    assert [float(r["rotation"]) for r in rows] == document["diagram"]["rotation"]
    assert "rotation" in ft.report.text(result) and "rotation" in result._repr_html_()
    assert ft.report.document(result, 20)["diagram"]["rotation"] == result.diagram(20).rotation


def test_batch_records_find_the_rotation_extremes_when_read():
    (solved,) = ft.solve_many([THREE_SPAN])
    assert solved.extremes.rotation == THREE_SPAN.solve().extremes().rotation
    assert not math.isnan(solved.extremes.rotation.max)
