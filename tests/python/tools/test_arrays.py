"""Result's queries at many positions: floats and arrays in, the same bits as
flexura's eval_* out, one ModelError naming every position off the beam."""
import math
import subprocess
import sys

import numpy as np
import pytest

import flexura_tools as ft

INF = math.inf
BEAMS = {
    "three spans": ft.Beam(span=19.5, E=2.1e8, I=8.356e-5, A=5.381e-3, G=4e7,
                           supports=[ft.Support.pin(0, "A"), ft.Support.roller(6), ft.Support.roller(13.5),
                                     ft.Support.roller(19.5)],
                           loads=[ft.UniformLoad(w=-12), ft.PointLoad(x=9.75, force=-45, angle=60),
                                  ft.TrapezoidalLoad(w1=0, w2=-8, x1=13.5, x2=19.5)]),
    "cantilever": ft.Beam(span=3, E=1e4, I=1, supports=[ft.Support.fixed(0)],
                          loads=[ft.Moment(x=1, moment=5), ft.PolynomialLoad(coefficients=[1, -2, 0.5], x1=0.5, x2=2.5),
                                 ft.PointLoad(x=3, force=-7)]),
    "springs": ft.Beam(span=10, E=3e7, I=2e-3, units={"deflection": 1e-3},
                       supports=[ft.Support.spring(0, ky=1e4, kx=INF), ft.Support.pin(4), ft.Support.spring(10, ky=5e3)],
                       loads=[ft.PointLoad(x=2.5, force=-10), ft.UniformLoad(w=-3, x1=4, x2=9)]),
}
QUANTITIES = ["nf", "sf", "bm", "d"]


def positions(beam, seed):
    """Random positions, every feature and the doubles either side of each."""
    span = float(beam.span)
    features = beam.features()
    near = [min(max(math.nextafter(x, d), 0.0), span) for x in features for d in (-INF, INF)]
    random = np.random.default_rng(seed).uniform(0, span, 500).tolist()
    return np.array(features + near + random)


@pytest.mark.parametrize("name", BEAMS)
@pytest.mark.parametrize("quantity", QUANTITIES)
def test_arrays_are_eval_to_the_bit_on_both_sides(name, quantity):
    result = BEAMS[name].solve()
    xs = positions(result.beam, len(name))
    evaluate = getattr(result.raw, f"eval_{quantity}")
    query = getattr(result, quantity)
    right = [evaluate(x) for x in xs.tolist()]
    left = [evaluate(math.nextafter(x, -INF)) for x in xs.tolist()]
    assert query(xs).tobytes() == np.array(right).tobytes()
    assert query(xs, side="left").tobytes() == np.array(left).tobytes()
    assert query(xs.tolist()).tobytes() == np.array(right).tobytes()  # a list reads the same
    order = np.argsort(xs)  # ascending positions take the core's other road: the same bits
    assert query(xs[order], side="left").tobytes() == np.array(left)[order].tobytes()
    # Shuffled over several of the core's blocks, each read grouped by the stretch between term positions.
    shuffled = np.random.default_rng(7).permutation(len(xs) * 3) % len(xs)
    assert query(xs[shuffled], side="left").tobytes() == np.array(left)[shuffled].tobytes()
    assert all(type(query(x)) is float and query(x) == v for x, v in zip(xs[:20].tolist(), right))
    at = result.at(xs, "left")
    assert at[quantity].tobytes() == np.array(left).tobytes() and at.x is not xs and (at.x == xs).all()


def test_shape_and_dtype_follow_the_positions():
    result = BEAMS["three spans"].solve()
    grid = np.linspace(0, 19.5, 12, dtype=np.float32).reshape(3, 4)
    moments = result.bm(grid)
    assert moments.shape == (3, 4) and moments.dtype == np.float64
    assert moments[2, 1] == result.bm(float(grid[2, 1]))
    assert result.sf(np.array(6.0)).shape == () and result.d([]).shape == (0,)
    assert result.at(6).sf == result.raw.eval_sf(6) and type(result.at(6).sf) is float
    for number in (np.float64(2), np.int64(3), np.float32(2.5)):  # NumPy's numbers give floats too
        assert type(result.bm(number)) is float and result.bm(number) == result.raw.eval_bm(float(number))


@pytest.mark.parametrize("x, side, paths, words", [
    ([1, -0.5, 2, math.nan, 30], "right", ["x[1]", "x[3]", "x[4]"], ["left of the beam", "nan", "beyond"]),
    (np.array([[0, 1], [INF, 2]]), "right", ["x[1, 0]"], ["inf"]),
    (np.arange(-50, 0), "right", [f"x[{k}]" for k in range(20)] + ["x"], ["30 more positions"]),
    (-1, "right", ["x"], ["left of the beam"]),
    (True, "right", ["x"], ["not a number"]),
    ("3", "right", ["x"], ["not a number"]),
    (["a", 1], "right", ["x"], ["sequence or array of numbers"]),
    (2, "middle", ["side"], ["'right' or 'left'"]),
    ([2], None, ["side"], ["'right' or 'left'"]),
])
def test_problems_name_each_position_by_its_index(x, side, paths, words):
    result = BEAMS["three spans"].solve()
    for query in (result.sf, result.at):
        with pytest.raises(ft.ModelError) as error:
            query(x, side=side)
        assert [p.path for p in error.value.problems] == paths
        assert all(word in str(error.value) for word in words)


def test_arrays_of_bands_influence_lines_and_diagrams_keep_the_bits():
    beam = BEAMS["three spans"]
    line = ft.influence_line(beam.with_loads([]), "bm", 9.75, n=40)
    x, value = line.arrays()
    assert x.tolist() == line.x and value.tobytes() == np.array(line.value).tobytes()
    band = ft.envelope([beam.solve(), beam.with_loads([ft.UniformLoad(w=-1)]).solve()], n=30).bm
    arrays = band.arrays()
    assert [a.tolist() for a in arrays] == [band.max, band.min, band.max_member, band.min_member]
    diagram = beam.solve().diagram(20)
    assert arrays.min_member.dtype == np.int64 and diagram.arrays().bm.tolist() == diagram.bm


def test_importing_and_reading_one_position_do_not_import_numpy():
    code = ("import sys, flexura, flexura_tools as ft\n"
            "r = ft.Beam(span=2, E=1, I=1, supports=[ft.Support.fixed(0)]).solve()\n"
            "r.bm(1.0), r.at(1)\n"
            "assert 'numpy' not in sys.modules\n")
    subprocess.run([sys.executable, "-c", code], check=True)
