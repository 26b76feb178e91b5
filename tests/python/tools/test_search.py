"""The core's search for extremes gives the bits of the search step by step in
Python (reference_search.py) on beams of every kind: each load kind, jumps,
overhangs, hinges and sections, springs, the rotation, many loads, ties."""
import random
import struct

import pytest
import reference_search as reference

import flexura_tools as ft
from flexura_tools.algebra import Superposed
from flexura_tools.extremes import samples_for
from flexura_tools.result import ALL_QUANTITIES, reader

PIN, FIXED = ft.Support.pin, ft.Support.fixed


def beam(span, supports, *loads, **extra):
    return ft.Beam(span=span, E=2e8, I=1e-4, supports=supports, loads=loads, **extra)


def many_loads(count, seed):
    rng = random.Random(seed)
    return [ft.PointLoad(x=round(rng.uniform(0, 10), 3), force=rng.uniform(-20, 5)) for _ in range(count)]


BEAMS = {
    "point and uniform": beam(7.3, [PIN(0), ft.Support.roller(7.3)], ft.PointLoad(x=2.2, force=-10),
                              ft.UniformLoad(w=-3)),
    "cantilever, trapezoid, angled": beam(6, [FIXED(0)], ft.TrapezoidalLoad(w1=-3, w2=5, x1=1, x2=5),
                                          ft.PointLoad(x=5, force=-3, angle=30)),
    "overhangs, moment": beam(10, [PIN(2), ft.Support.roller(8)], ft.PointLoad(x=0, force=-5),
                              ft.PointLoad(x=10, force=-7), ft.Moment(x=5, moment=12), ft.UniformLoad(w=-1)),
    "equal spans (a tie)": beam(8, [PIN(0), ft.Support.roller(4), ft.Support.roller(8)], ft.UniformLoad(w=-2)),
    "hinge and sections": beam(10, [FIXED(0), FIXED(10)], ft.UniformLoad(w=-4), ft.PointLoad(x=6.5, force=-9),
                               hinges=[4.0], sections=[ft.Section(x1=0, x2=5), ft.Section(x1=5, x2=10, I=3e-4)]),
    "springs and a settlement": beam(9, [ft.Support.spring(0, ky=1e4, km=5e3), ft.Support.pin(4.5, "B"),
                                         ft.Support.spring(9, ky=2e3)],
                                     ft.UniformLoad(w=-3), ft.Settlement(support="B", dy=-0.002)),
    "polynomial and curvature": beam(10, [PIN(0), ft.Support.roller(10)],
                                     ft.PolynomialLoad(coefficients=[-1, 0.2, -0.03, 0.001], x1=1, x2=9),
                                     ft.Curvature(x1=2, x2=8, k1=1e-3, k2=-2e-3)),
    "many loads": beam(10, [PIN(0), ft.Support.roller(5), ft.Support.roller(10)], *many_loads(60, 1)),
    "a load a double off the end": beam(10, [FIXED(0)], ft.PointLoad(x=5e-324, force=-1),
                                        ft.PointLoad(x=9.999999999999998, force=2)),
}


def bits(values):
    return [struct.pack("<d", v) for v in values]


@pytest.mark.parametrize("name", BEAMS)
def test_the_core_search_gives_the_bits_of_the_step_by_step_search(name):
    model = BEAMS[name]
    result = model.solve()
    features, count = result.solved.features(), samples_for(model.max_degree())
    extremes = result.extremes()
    for q in ALL_QUANTITIES:
        solved = result.rotated if q == "rotation" else result.solved
        e = extremes[q]
        assert bits([e.max, e.x_max, e.min, e.x_min]) == bits(reference.find_extreme(reader(solved, q), features, count))
        # A stretch between positions that are no features, as the envelopes search them.
        inside = [0.37 * model.span, *(x for x in features if 0.37 * model.span < x < 0.81 * model.span),
                  0.81 * model.span]
        for sign in (1.0, -1.0):
            assert bits(solved.peak(q, inside, sign, count, model.span)) == bits(
                reference.find_peak(reader(solved, q), inside, sign, count, model.span))


def test_a_sum_of_beams_is_searched_as_its_values_add():
    """An envelope's member plus fixed results, one sum inside another (added twice)."""
    member, first, second = (BEAMS[name].solve().solved for name in ("overhangs, moment", "equal spans (a tie)",
                                                                   "point and uniform"))
    twice = Superposed(Superposed(member, first, 1.35), second, -0.7)
    features = sorted({0.0, 2.0, 4.0, 5.0, 7.3, 8.0, 10.0})
    for q in ("sf", "bm", "d"):
        for sign in (1.0, -1.0):
            assert bits(twice.peak(q, features, sign, 20, 10.0)) == bits(
                reference.find_peak(reader(twice, q), features, sign, 20, 10.0))


@pytest.mark.parametrize("features, count", [([3.0], 16), ([2.0, 2.0], 16), ([0.0, 10.0], 1), ([0.0, 5.0, 10.0], 3)])
def test_the_search_over_few_positions_or_samples_matches_too(features, count):
    solved = BEAMS["overhangs, moment"].solve().solved
    for q in ("sf", "bm", "d"):
        assert bits(solved.extreme(q, features, count)) == bits(reference.find_extreme(reader(solved, q), features,
                                                                                       count))


@pytest.mark.parametrize("call, error, match", [
    (lambda s: s.extreme("bm", [], 16), ValueError, "at least one position"),
    (lambda s: s.extreme("bm", [0.0, 1.0], 0), ValueError, "count must be from 1"),
    (lambda s: s.peak("bm", [0.0, 1.0], 0.5, 16, 1.0), ValueError, "sign must be 1.0"),
    (lambda s: s.extreme("rotation", [0.0, 1.0], 16), ValueError, "rotation was not asked for"),
    (lambda s: s.peak("bm", [0.0, 1.0], 1.0, 16, 1.0, [(object(), 1.0)]), TypeError, "'added'.*SolvedBeam"),
])
def test_the_search_refuses_what_it_cannot_search(call, error, match):
    with pytest.raises(error, match=match):
        call(BEAMS["overhangs, moment"].solve().solved)
