"""flexura_tools._engine, the layer's private route into the core: the same
solve as flexura.solve, read by quantity at many positions, to the bit."""
import json
import math
from array import array
from pathlib import Path

import numpy as np
import pytest

import flexura
from shared import ARGS, INF, NAN, SIMPLE, raises_exactly
from flexura_tools import _engine
from flexura_tools import Beam, Moment, PointLoad, PolynomialLoad, Support, TrapezoidalLoad, UniformLoad
from flexura_tools.model import features_of, jumps_of

GOLDEN = Path(__file__).parents[2] / "golden"
CORPUS = [c for c in json.loads((GOLDEN / "corpus.json").read_text())["cases"] if "error" not in c["expected"]]
QUANTITIES = ["nf", "sf", "bm", "d"]


def corpus_args(case):
    span, e, i, a, g, supports, loads, units = case["args"]
    return span, e, i, a, g, [tuple(s) for s in supports], [tuple(load) for load in loads], units


def hexes(values):
    return [float(v).hex() for v in values]


def positions(case):
    """The corpus's query positions, shuffled, with a NaN and each jump's neighbours."""
    xs = [float.fromhex(x) for x in case["expected"]["x"]]
    near = [math.nextafter(x, d) for x in xs for d in (-INF, INF)]
    return (xs + near)[::-1] + [NAN] + xs[1::2]


@pytest.mark.parametrize("case", CORPUS, ids=[c["name"] for c in CORPUS])
def test_values_are_those_of_eval_in_every_form(case):
    args = corpus_args(case)
    mine, theirs, xs = _engine.solve(*args), flexura.solve(*args), positions(case)
    ascending = sorted(x for x in xs if not math.isnan(x))  # read a block at a time
    for q in QUANTITIES:
        evaluate = getattr(theirs, f"eval_{q}")
        for side, at in [("right", lambda x: x), ("left", lambda x: math.nextafter(x, -INF))]:
            want = hexes(evaluate(at(x)) for x in xs)
            assert hexes(mine.values(q, xs, side)) == want
            assert hexes(mine.values(q, x, side=side) for x in xs) == want
            assert hexes(np.frombuffer(mine.values(q, np.array(xs).tobytes(), side), dtype=float)) == want
            sorted_values = mine.values(q, bytearray(array("d", ascending)), side)
            assert hexes(np.frombuffer(sorted_values, dtype=float)) == hexes(evaluate(at(x)) for x in ascending)


@pytest.mark.parametrize("case", CORPUS[::7], ids=[c["name"] for c in CORPUS[::7]])
@pytest.mark.parametrize("n", [0, 1, 12, 200])
def test_mesh_is_that_of_plotting_vectors(case, n):
    args = corpus_args(case)
    assert hexes(_engine.solve(*args).mesh(n)) == hexes(flexura.solve(*args).plotting_vectors(n)["x"])


def test_many_sorted_positions_read_in_blocks_equal_one_by_one():
    r, b = _engine.solve(*ARGS), flexura.solve(*ARGS)
    xs = np.sort(np.concatenate([np.linspace(-1, 11, 5000), np.full(1500, 5.0)]))  # the jump, many times over
    for side, at in [("right", lambda x: x), ("left", lambda x: math.nextafter(x, -INF))]:
        got = np.frombuffer(r.values("sf", xs.tobytes(), side), dtype=float)
        assert hexes(got) == hexes(b.eval_sf(at(x)) for x in xs)


@pytest.mark.parametrize("empty, out", [([], []), ((), []), (b"", bytearray()), (bytearray(), bytearray())])
def test_no_positions(empty, out):
    assert _engine.solve(*ARGS).values("bm", empty) == out


def reactions_in_order(args):
    """Each support's reactions in the caller's order, from flexura's keyed ones
    (supports at distinct keys only)."""
    keyed = flexura.solve(*args).reactions()
    return [tuple(keyed[next(k for k in keyed if float(k) == s[0])]) for s in args[5]]


@pytest.mark.parametrize("supports", [
    SIMPLE, SIMPLE[::-1], [(7, 0, INF, 0), (0, INF, INF, INF), (3.5, 1e4, 2e3, 0)],
    [(k, 1e5 * (k % 3), INF, 0) for k in (9, 1, 4, 0, 6, 2)]])
def test_reactions_in_the_order_the_supports_were_given(supports):
    args = (*ARGS[:5], supports, [("point", [-10, 5, 60]), ("udl", [-1, 0, 10, 80])])
    assert _engine.solve(*args).reactions() == reactions_in_order(args)


def test_supports_that_share_a_key_keep_their_own_reactions():
    # flexura keys both by the saturated integer text and adds them up.
    args = (3e19, 1e4, 1, 1, INF, [(2e19, 0, INF, 0), (1e19, INF, INF, 0)], [("point", [-10, 1.2e19, 90])])
    assert list(flexura.solve(*args).reactions().values()) == [[0.0, 10.0, 0.0]]
    assert _engine.solve(*args).reactions() == [(0.0, 2.0, 0.0), (0.0, 8.0, 0.0)]


# Every restraint carries a reaction in each direction it restrains.
BEAMS = [
    ([Support.pin(0), Support.roller(10)], [PointLoad(x=4, force=-10, angle=60), UniformLoad(w=-2, x1=1, x2=12)]),
    ([Support.fixed(0)], [Moment(x=3, moment=5), TrapezoidalLoad(w1=-1, w2=-3, x1=2, x2=8, angle=120)]),
    ([Support.pin(0), Support.spring(4, ky=1e3, kx=1e4), Support.roller(10)],
     [PointLoad(x=1, force=3, angle=10), PolynomialLoad(coefficients=[1, -0.1], x1=5, x2=10), Moment(x=10, moment=-2)]),
    ([Support.fixed(0), Support.fixed(10)], [PointLoad(x=5, force=-1, angle=90), PointLoad(x=5, force=2, angle=0)]),
]


@pytest.mark.parametrize("supports, loads", BEAMS)
def test_features_and_jumps_as_the_layer_works_them_out(supports, loads):
    beam = Beam(span=10, E=2e8, I=1e-4, A=1e-2, supports=supports, loads=loads)
    r = _engine.solve(*beam.solve_args(), rotation=True)
    assert r.features() == features_of(10.0, supports, loads)
    for q, expected in jumps_of(supports, loads).items():
        assert r.jumps(q) == sorted(set(expected))


def test_a_restraint_without_reaction_makes_no_jump():
    # The pin restrains the beam along its axis, but no load pushes along it.
    r = _engine.solve(*ARGS)
    assert r.reactions()[0][0] == 0 and r.jumps("nf") == []
    assert r.jumps("sf") == [0.0, 5.0, 10.0]


@pytest.mark.parametrize("angle", [0, 1e-7, 5e-7, 30, 89.9999999, 90, 180, 270, -45, INF, NAN])
def test_angle_factors_with_their_cut_off(angle):
    def share(v):
        return 0.0 if abs(v) < _engine.PROJECTION_CUT_OFF else v

    radians = angle * 0.017453292519943295
    for got, want in [(_engine.axial_factor(angle), share(math.cos(radians)) if math.isfinite(angle) else NAN),
                      (_engine.transverse_factor(angle), share(math.sin(radians)) if math.isfinite(angle) else NAN)]:
        assert got.hex() == want.hex() or math.isnan(got) and math.isnan(want)


@pytest.mark.parametrize("args", [
    (*ARGS[:6], [("bogus", [])]), (*ARGS[:6], [("point", [1])]), (*ARGS[:5], [(0, INF, 0, 0)], []),
    ARGS[:3], (*ARGS, {"force": "kN"}), ("10", *ARGS[1:]), (*ARGS[:5], [(0, 1, 2)], [])])
def test_solve_fails_as_flexura_solve_does(args):
    with pytest.raises((TypeError, ValueError)) as theirs:
        flexura.solve(*args)
    raises_exactly(type(theirs.value), str(theirs.value), _engine.solve, *args)


@pytest.mark.parametrize("call, error", [
    (lambda r: r.values(3, 1.0), TypeError), (lambda r: r.values("bm", "12"), TypeError),
    (lambda r: r.values("bm", object()), TypeError), (lambda r: r.values("bm", [1.0, "x"]), TypeError),
    (lambda r: r.values("bm", 1.0, side=0), TypeError), (lambda r: r.values("bm"), TypeError),
    (lambda r: r.values("bm", 1.0, "right", 1), TypeError), (lambda r: r.jumps(None), TypeError),
    (lambda r: r.values("moment", 1.0), ValueError), (lambda r: r.values("bm", 1.0, "middle"), ValueError),
    (lambda r: r.values("bm", b"\0" * 12), ValueError), (lambda r: r.jumps("x"), ValueError),
    (lambda r: r.reactions(1), TypeError), (lambda r: type(r)(), TypeError),
    (lambda r: r.mesh(-1), OverflowError), (lambda r: r.mesh(1.5), TypeError), (lambda r: r.mesh(2**63), MemoryError),
])
def test_wrong_arguments(call, error):
    with pytest.raises(error):
        call(_engine.solve(*ARGS))
