"""Envelopes and influence lines read at any position: the same bits as their own
mesh where they have one, and the brute force (every member read, a solve per load
position) elsewhere."""
import dataclasses
import math
import pickle

import numpy as np
import pytest

import flexura_tools as ft
from test_workflows import CASES, overhang  # the beam whose every diagram jumps, and its cases

INF = math.inf


FACTORS = [{"D": 1.35, "L": 1.5}, {"D": 1.0}, {"D": 1.35, "L": 1.5}, {"D": 0.0, "W": 0.0}, {"W": 1.0, "L": -0.5}]
COMBINED = dataclasses.replace(overhang(), cases=CASES, combinations=[
    ft.Combination(name=f"c{k}", factors=f) for k, f in enumerate(FACTORS)]).solve_combinations()
VEHICLE = ft.Vehicle(weights=[6.0, 0.0, 9.0], spacings=[1.5, 1.0])
ENVELOPES = {
    "combinations": lambda: ft.envelope(COMBINED, n=40),
    "vehicle (chunks of members, steps exact in binary)":
        lambda: ft.moving_load(overhang(*CASES["D"]), VEHICLE, step=0.0625).envelope,
    "augmented and plus": lambda: ft.envelope(COMBINED, n=40).augment(
        ft.pattern_envelope(overhang(), CASES["L"], [ft.UniformLoad(w=-1.0)], n=30)).plus(COMBINED["c1"], 0.5),
}


def signless(values):
    return (np.asarray(values, dtype=np.float64) + 0.0).tobytes()  # -0.0 + 0.0 is 0.0


@pytest.mark.parametrize("name", ENVELOPES)
@pytest.mark.parametrize("quantity", ["nf", "sf", "bm", "d"])
def test_an_envelope_read_at_its_mesh_is_its_band_to_the_bit(name, quantity):
    env = ENVELOPES[name]()
    xs = np.array(env.x)
    band = env[quantity]
    # The first entry of a position held twice, and the end, are the values just left of it.
    left = np.array([x == env.x[-1] or (e + 1 < len(xs) and xs[e + 1] == x) for e, x in enumerate(env.x)])
    # Where a vehicle's axle stands on a shear jump the band also holds its limits beside it.
    keep = ~np.isin(xs, [0.0, 5.0, 10.0, 12.0]) if name.startswith("vehicle") and quantity == "sf" else True
    for side, where in (("right", ~left & keep), ("left", left & keep)):
        read = env.at(xs[where], quantity, side=side)
        for column in ("max", "min", "max_member", "min_member"):
            assert signless(getattr(read, column)) == signless(np.array(getattr(band, column))[where])


@pytest.mark.parametrize("quantity", ["sf", "bm", "d"])
def test_an_envelope_between_its_mesh_is_the_worst_member_there(quantity):
    env = ft.envelope(COMBINED, n=40)
    xs = np.random.default_rng(7).uniform(0, 12, (30, 20))
    rows = np.array([getattr(r, quantity)(xs) for r in COMBINED.values()])  # brute force: every member
    read = env.at(xs, quantity)
    assert read.max.shape == xs.shape and read.max_member.dtype == np.int64 and read.x is not xs
    assert read.max.tobytes() == rows.max(axis=0).tobytes() and (read.max_member == rows.argmax(axis=0)).all()
    assert read.min.tobytes() == rows.min(axis=0).tobytes() and (read.min_member == rows.argmin(axis=0)).all()
    one = env.at(float(xs[3, 4]), quantity)
    assert (one.max, one.max_member) == (read.max[3, 4], read.max_member[3, 4]) and type(one.max_member) is int


def test_envelope_query_problems_are_listed_together():
    env = ft.envelope(COMBINED, n=40, quantities=["bm"])
    with pytest.raises(ft.ModelError) as raised:
        env.at([1.0, 13.0], "sf", side="up")
    assert [p.path for p in raised.value.problems] == ["quantity", "side"]
    with pytest.raises(ft.ModelError, match=r"x\[1\]"):
        env.at([1.0, 13.0], "bm")
    no_axial = ft.envelope([overhang(ft.UniformLoad(w=-1.0)).solve()], n=10)
    assert no_axial.at([2.0, 3.0], "nf").max.tolist() == [0.0, 0.0]


def unit_load_at(beam, x):
    return beam.with_loads([ft.PointLoad(x=x, force=1.0, angle=-90.0)]).solve()


LINES = [("sf", 7.5, "right"), ("sf", 5.0, "left"), ("bm", 5.0, "right"), ("d", 11.0, "right"),
         ("ry", "B", "right"), ("m", "A", "right")]


@pytest.mark.parametrize("quantity, at, side", LINES)
def test_an_influence_line_read_anywhere_is_the_solve_under_the_unit_load(quantity, at, side):
    beam = overhang()
    line = ft.influence_line(beam, quantity, at, side=side, n=30)
    xs, values = np.array(line.x), np.array(line.value)
    once = np.array([line.x.count(x) == 1 for x in line.x])
    assert line(xs[once]).tobytes() == values[once].tobytes()  # its own ordinates, to the bit
    assert line(xs[once], side="left").tobytes() == values[once].tobytes()  # continuous there
    if not once.all():  # the section: the load just left of it, then just right
        assert [line(line.at, side="left"), line(line.at)] == values[~once].tolist()
    random = np.random.default_rng(3).uniform(0, 12, 25)
    if isinstance(at, str):
        brute = [getattr(unit_load_at(beam, x).reactions[at], quantity) for x in random.tolist()]
    else:
        probe = at if side == "right" else math.nextafter(at, -INF)
        brute = [getattr(unit_load_at(beam, x), quantity)(probe) for x in random.tolist()]
    assert line(random).tobytes() == np.array(brute).tobytes()
    assert line(random.reshape(5, 5)).shape == (5, 5) and type(line(float(random[0]))) is float


def test_an_influence_line_between_its_points_meets_the_closed_form():
    beam = ft.Beam(span=10.0, E=2e4, I=0.5, supports=[ft.Support.pin(0), ft.Support.roller(10.0)])
    line, xs = ft.influence_line(beam, "bm", 3.0, n=4), np.linspace(0, 10, 101)  # a coarse mesh: no interpolation
    assert line(xs) == pytest.approx(np.minimum(xs * 7.0, 3.0 * (10 - xs)) / 10, abs=1e-12)
    assert pickle.loads(pickle.dumps(line)) == line  # its columns
    for bad, words in ((lambda: line([-1.0]), r"x\[0\]"),
                       (lambda: pickle.loads(pickle.dumps(line))(1.0), "no beam to solve")):
        with pytest.raises(ft.ModelError, match=words):
            bad()
