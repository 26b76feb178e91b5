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


# --- workflows ----------------------------------------------------------------------------------

TWO_SPANS = Beam(span=20.0, E=3.0e7, I=0.02, supports=[Support.pin(0.0), Support.roller(8.0), Support.roller(20.0)],
                 loads=[UniformLoad(w=-5.0)])
TRUCK = ft.Vehicle(weights=(40.0, 90.0, 60.0), spacings=(2.5, 3.0))


def members_by_brute_force(moving):
    """Each vehicle position solved as a Beam of its own: the axles on the beam as point loads."""
    return [TWO_SPANS.with_loads([*TWO_SPANS.loads, *(PointLoad(x=x, force=-w) for x, w in moving.members.on[k])]).solve()
            for k in range(len(moving.envelope.names))]


def assert_band_is_the_members_extreme(band, xs, members, scale):
    """Each entry's max and min against every member's rotation there (it never jumps)."""
    columns = np.array([member.rotation(np.array(xs)) for member in members])
    assert band.max == pytest.approx(columns.max(axis=0).tolist(), abs=1e-12 * scale)
    assert band.min == pytest.approx(columns.min(axis=0).tolist(), abs=1e-12 * scale)
    governing = [members[k].rotation(x) for k, x in zip(band.max_member, xs)]
    assert governing == pytest.approx(band.max, abs=1e-12 * scale)


def test_vehicle_envelope_of_the_rotation_against_every_position_solved_alone():
    moving = ft.moving_load(TWO_SPANS, TRUCK, step=0.5, n=40, quantities=["bm", "rotation"])
    members = members_by_brute_force(moving)
    band = moving.envelope.rotation
    scale = max(map(abs, band.max + band.min))
    assert_band_is_the_members_extreme(band, moving.envelope.x, members, scale)
    # The coincident values: the moment with the largest rotation, the rotation with the largest moment.
    with_rotation = moving.envelope.coincident("rotation", "max")
    assert with_rotation["bm"] == pytest.approx([members[k].bm(x) for k, x in zip(band.max_member, moving.envelope.x)],
                                                abs=1e-9 * max(map(abs, moving.envelope.bm.max)))
    with_moment = moving.envelope.coincident("bm", "min")["rotation"]
    assert with_moment == pytest.approx([members[k].rotation(x) for k, x in
                                         zip(moving.envelope.bm.min_member, moving.envelope.x)], abs=1e-12 * scale)
    extreme = moving.extremes()["rotation"]
    dense = max(member.rotation(np.linspace(0.0, 20.0, 4001)).max() for member in members)
    assert extreme.max == pytest.approx(dense, abs=1e-9 * scale) and extreme.max >= dense - 1e-12 * scale


def test_combinations_patterns_and_algebra_envelope_the_rotation():
    girder = ft.Beam(span=20.0, E=3.0e7, I=0.02, supports=TWO_SPANS.supports,
                     cases={"G": [UniformLoad(w=-5.0)], "Q": [UniformLoad(w=-8.0, x1=8.0), PointLoad(x=4.0, force=-50.0)]},
                     combinations=[ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5}),
                                   ft.Combination(name="SLS", factors={"G": 1.0, "Q": 1.0}),
                                   ft.Combination(name="G", factors={"G": 1.0})])
    results = girder.solve_combinations()
    combined = ft.envelope(results, quantities=["sf", "rotation"])
    scale = max(map(abs, combined.rotation.max + combined.rotation.min))
    assert_band_is_the_members_extreme(combined.rotation, combined.x, list(results.values()), scale)
    assert list(combined.to_dict()["extremes"]) == ["sf", "rotation"]
    # Governing patterns give the rotation's envelope that every pattern gives.
    loaded, unloaded = [UniformLoad(w=-12.0)], [UniformLoad(w=-4.0)]
    found = ft.pattern_envelope(TWO_SPANS, loaded, unloaded, quantities=["rotation"])
    every = ft.pattern_envelope(TWO_SPANS, loaded, unloaded, all_patterns=True, quantities=["rotation"])
    assert found.rotation.max == every.rotation.max and found.rotation.min == every.rotation.min
    # A fixed result added, and two envelopes joined.
    dead = results["G"]
    added = combined.plus(dead, 2.0)
    assert added.rotation.max == pytest.approx([v + 2.0 * dead.rotation(x) for v, x in zip(combined.rotation.max,
                                                                                          combined.x)], abs=1e-12 * scale)
    joined = combined | ft.envelope(results, quantities=["sf", "rotation"], n=7)
    assert max(joined.rotation.max) == max(combined.rotation.max)
    assert set(joined.coincident("sf", "max")) == {"nf", "bm", "d", "rotation"}


@pytest.mark.parametrize("at, side", [(4.0, "right"), (8.0, "left"), (8.0, "right"), (15.0, "right")])
def test_influence_line_of_the_rotation_against_direct_solves(at, side):
    line = ft.influence_line(TWO_SPANS, "rotation", at, side=side, n=20)
    unloaded = TWO_SPANS.with_loads([])
    for x, value in list(zip(line.x, line.value))[::3]:
        direct = unloaded.with_loads([PointLoad(x=x, force=-1.0)]).solve().rotation(at, side)
        assert value == pytest.approx(direct, abs=1e-12 * max(map(abs, line.value)))
