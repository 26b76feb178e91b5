"""The rotation through flexura_tools: closed forms, reads, extremes, exports, workflows."""
import pickle

import numpy as np
import pytest

import flexura_tools as ft
from flexura_tools import Beam, Moment, PointLoad, Support, UniformLoad

L, EI, W, P = 8.0, 1.0e4, 12.0, 30.0
SIMPLE, FIXED = [Support.pin(0.0), Support.roller(L)], [Support.fixed(0.0)]
UDL, TIP = [UniformLoad(w=-W)], [PointLoad(x=L, force=-P)]
MID = [Moment(x=L / 2, moment=P)]  # sagging P x / L left of it: the span turns by P L / (12 EI) there


@pytest.mark.parametrize("supports, loads, x, side, expected, units", [
    (SIMPLE, UDL, 0.0, "right", -W * L**3 / (24 * EI), {}), (SIMPLE, UDL, L, "left", W * L**3 / (24 * EI), {}),
    (SIMPLE, UDL, 0.0, "right", -W * L**3 / (24 * EI), {"deflection": 0.001}),  # radians whatever the units
    (FIXED, TIP, L, "left", -P * L**2 / (2 * EI), {}), (FIXED, TIP, 0.0, "right", 0.0, {}),
    (FIXED, [Moment(x=L, moment=P)], L, "left", P * L / EI, {}), (SIMPLE, MID, 0.0, "right", -P * L / (24 * EI), {}),
    (SIMPLE, MID, L / 2, "left", P * L / (12 * EI), {}), (SIMPLE, MID, L / 2, "right", P * L / (12 * EI), {})])
def test_rotation_matches_closed_forms(supports, loads, x, side, expected, units):
    result = Beam(span=L, E=2e8, I=5e-5, supports=supports, loads=loads, units=units).solve()
    assert result.rotation(x, side) == pytest.approx(expected, abs=1e-12 * W * L**3 / EI)


GIRDER = Beam(span=20.0, E=3.0e7, I=0.02, supports=[Support.pin(0.0), Support.roller(8.0), Support.roller(20.0)],
              loads=[UniformLoad(w=-5.0), Moment(x=3.0, moment=20.0), PointLoad(x=12.0, force=-45.0)])


def test_reads_bit_for_bit_the_slope_of_the_deflection_extremes_and_exports(tmp_path):
    result = GIRDER.solve()
    xs = np.random.default_rng(5).uniform(0.0, 20.0, size=(7, 9))
    for side in ("left", "right"):
        scalar = np.array([[result.rotation(float(x), side) for x in row] for row in xs]).tobytes()
        assert result.rotation(xs, side).tobytes() == scalar == result.at(xs, side).rotation.tobytes()
    diagram = result.diagram(50)
    assert diagram.rotation == [result.rotation(x) for x in diagram.x] == diagram.arrays().rotation.tolist()
    # Central differences, h = 1e-4: truncation h^2/6 d''' and rounding 1e-16 |d| / h both far below 1e-7.
    xs = [x for x in np.linspace(0.01, 19.99, 301).tolist() if min(abs(x - f) for f in (3.0, 8.0, 12.0)) > 2e-4]
    slope = [(result.d(x + 1e-4) - result.d(x - 1e-4)) / 2e-4 for x in xs]
    assert result.rotation(xs) == pytest.approx(slope, abs=1e-7 * max(map(abs, slope)))
    extreme, dense = result.extremes()["rotation"], result.rotation(np.linspace(0.0, 20.0, 200_001))
    assert [extreme.max, extreme.min] == pytest.approx([dense.max(), dense.min()], abs=1e-9 * np.abs(dense).max())
    assert extreme.max >= dense.max() - 1e-16 and extreme.min <= dense.min() + 1e-16
    assert result.to_dict(20)["extremes"]["rotation"]["max"] == extreme.max
    result.to_csv(tmp_path / "r.csv", 20)
    assert (tmp_path / "r.csv").read_text().splitlines()[0] == "x,side,nf,sf,bm,d,rotation"
    assert next(ft.solve_many([GIRDER])).extremes.rotation == extreme  # found again where it is read
    assert pickle.loads(pickle.dumps(result.extremes())).rotation == extreme  # pickled with its rotation


def brute_force(members, band, xs):  # each entry against every member there (the rotation never jumps)
    columns = np.array([member.rotation(np.array(xs)) for member in members])
    assert band.max + band.min == pytest.approx(columns.max(0).tolist() + columns.min(0).tolist(), abs=1e-15)


def test_envelopes_and_influence_lines_of_the_rotation_against_members_solved_alone():
    moving = ft.moving_load(GIRDER, ft.Vehicle(weights=(40.0, 90.0), spacings=(2.5,)), step=0.5, n=40,
                            quantities=["bm", "rotation"])
    env = moving.envelope
    members = [GIRDER.with_loads([*GIRDER.loads, *(PointLoad(x=x, force=-w) for x, w in on)]).solve()
               for on in moving.members.on]
    brute_force(members, env.rotation, env.x)
    coincident = [members[k].rotation(x) for k, x in zip(env.bm.min_member, env.x)]
    assert env.coincident("bm", "min")["rotation"] == pytest.approx(coincident, abs=1e-15)
    dense = max(member.rotation(np.linspace(0.0, 20.0, 4001)).max() for member in members)
    assert moving.extremes()["rotation"].max == pytest.approx(dense, abs=1e-12)
    # Combinations, a fixed result added, envelopes joined, patterns.
    results = {f"{k}": GIRDER.with_loads([*GIRDER.loads, UniformLoad(w=-4.0 * k, x1=8.0)]).solve() for k in range(3)}
    combined = ft.envelope(results, quantities=["sf", "rotation"])
    brute_force(list(results.values()), combined.rotation, combined.x)
    added = [v + 2 * results["0"].rotation(x) for v, x in zip(combined.rotation.max, combined.x)]
    assert combined.plus(results["0"], 2.0).rotation.max == pytest.approx(added, abs=1e-15)
    assert set((combined | combined).coincident("sf")) == {"nf", "bm", "d", "rotation"}
    loaded, unloaded = [UniformLoad(w=-12.0)], [UniformLoad(w=-4.0)]
    found = ft.pattern_envelope(GIRDER, loaded, unloaded, quantities=["rotation"]).rotation
    assert found == ft.pattern_envelope(GIRDER, loaded, unloaded, all_patterns=True, quantities=["rotation"]).rotation
    for at, side in [(4.0, "right"), (8.0, "left"), (15.0, "right")]:
        line = ft.influence_line(GIRDER, "rotation", at, side=side, n=20)
        direct = [GIRDER.with_loads([PointLoad(x=x, force=-1.0)]).solve().rotation(at, side) for x in line.x[::3]]
        assert line.value[::3] == pytest.approx(direct, abs=1e-15)
