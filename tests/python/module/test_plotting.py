import math

import pytest

from shared import FREE, INF, NAN, raises_exactly, solve

D = 1e-7
# Features 0, 10 (supports) and 5 (the load).
CENTRE_MESH_3 = [0.0, D, 5 - D, 5.0, 5 + D, 10 - D, 10.0]


@pytest.mark.parametrize("extra_supports, loads, n, mesh", [
    ([], [("point", [-10, 5, 90])], 3, CENTRE_MESH_3),
    ([], [("point", [-10, 5, 90])], 0, [D, 5 - D, 5 + D, 10 - D]),
    ([], [("point", [-10, 5, 90])], 1, [0.0, D, 5 - D, 5 + D, 10 - D]),
    ([], [("point", [-10, 5, 90])], 2, [0.0, D, 5 - D, 5 + D, 10 - D, 10.0]),
    ([], [("point", [-10, 5, 90])], 11, sorted({float(k) for k in range(11)} | {D, 5 - D, 5 + D, 10 - D})),
    # A support and a load at the same place add their points once.
    ([(5, *FREE)], [("point", [-10, 5, 90])], 3, CENTRE_MESH_3),
    # Features within 1e-7 of an end add only their inner point.
    ([], [("point", [-10, 5e-8, 90]), ("point", [-10, 10 - 5e-8, 90])], 2,
     [0.0, D, 5e-8 + D, 10 - 5e-8 - D, 10 - D, 10.0]),
    # A NaN feature adds no point; an infinite one adds a point only on the
    # side whose strict comparison holds (+inf above 0, -inf below the span).
    ([(NAN, *FREE)], [("point", [-10, 5, 90])], 3, None),
    ([(INF, *FREE)], [("point", [-10, 5, 90])], 3, CENTRE_MESH_3 + [INF]),
    ([(-INF, *FREE)], [("point", [-10, 5, 90])], 3, [-INF] + CENTRE_MESH_3),
    ([], [("point", [-10, 5, 90]), ("torque", [0, INF])], 3, CENTRE_MESH_3 + [INF]),
])
def test_mesh(extra_supports, loads, n, mesh):
    supports = [(0, INF, INF, 0), (10, 0, INF, 0)] + extra_supports
    if mesh is None:  # a NaN support position cannot be ordered among others
        with pytest.raises(ValueError, match="^support position is not a number$"):
            solve(loads, supports)
        return
    vectors = solve(loads, supports).plotting_vectors(n)
    assert list(vectors) == ["x", "nf", "sf", "bm", "d"] and vectors["x"] == mesh
    assert all(len(v) == len(mesh) for v in vectors.values())


def test_empty_mesh_without_inner_features():
    # The support's only feature point, 1e-7, is not inside a span of 1e-7.
    vectors = solve([], [(0, INF, INF, INF)], span=D).plotting_vectors(0)
    assert vectors == {"x": [], "nf": [], "sf": [], "bm": [], "d": []}


@pytest.mark.parametrize("span", [INF, -INF, NAN])
def test_non_finite_span_gives_ascending_mesh(span):
    x = solve([("point", [-10, 5, 90])], [(0, INF, INF, INF)], span=span).plotting_vectors(5)["x"]
    assert not any(math.isnan(v) for v in x)
    assert all(a < b for a, b in zip(x, x[1:]))


def test_values_are_the_exact_evaluations(centre):
    vectors = centre.plotting_vectors(7)
    for key, method in [("nf", "eval_nf"), ("sf", "eval_sf"), ("bm", "eval_bm"), ("d", "eval_d")]:
        assert vectors[key] == [getattr(centre, method)(x) for x in vectors["x"]]
    sf = dict(zip(vectors["x"], vectors["sf"]))
    assert sf[5 + D] - sf[5 - D] == -10.0  # the point load
    assert sf[D] - vectors["sf"][0] == 0.0 and sf[D] == 5.0


def test_results_are_new_objects(centre):
    first = centre.plotting_vectors(3)
    first["x"].clear()
    first["sf"][0] = 1e9
    second = centre.plotting_vectors(3)
    assert second["x"] == CENTRE_MESH_3 and second["sf"][0] == 5.0
    assert second is not first and second["x"] is not first["x"]


class Index:
    def __index__(self):
        return 3


@pytest.mark.parametrize("n, points", [(True, 5), (Index(), 7), (3, 7), (200, 204)])
def test_integer_like_n(centre, n, points):
    assert len(centre.plotting_vectors(n)["x"]) == len(centre.plotting_vectors(n=n)["d"]) == points
    if n == 200:
        assert centre.plotting_vectors() == centre.plotting_vectors(n)


@pytest.mark.parametrize("n, exc, message", [
    (2.0, TypeError, "argument 'n': 'float' object cannot be interpreted as an integer"),
    (None, TypeError, "argument 'n': 'NoneType' object cannot be interpreted as an integer"),
    ("3", TypeError, "argument 'n': 'str' object cannot be interpreted as an integer"),
    (-1, OverflowError, "can't convert negative int to unsigned"),
    (2**64, OverflowError, "int too big to convert"),
    (2**62, MemoryError, None),
    (2**59, MemoryError, None),
])
def test_bad_n(centre, n, exc, message):
    raises_exactly(exc, message, centre.plotting_vectors, n)
