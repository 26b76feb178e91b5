"""Envelopes of solved members folded in the core against the layer's own fold, to
the bit, its arguments refused cleanly, and Ctrl-C inside the core's fold."""
import dataclasses
import signal
import sys
from array import array

import pytest

import flexura_tools as ft
from flexura_tools import _engine, core_fold, envelopes

from test_workflows import CASES, FACTORS, bits, continuous, overhang, two_spans

G, Q = 12.0, 6.0
HINGED = ft.Beam(span=30.0, E=2e4, I=0.5, hinges=[8.0], sections=[ft.Section(x1=0.0, x2=15.0),
                                                                   ft.Section(x1=15.0, x2=30.0, I=0.8)],
                 supports=[ft.Support.fixed(0, "A"), ft.Support.roller(12, "B"), ft.Support.roller(30, "C")])
FACTORED = ([ft.UniformLoad(w=-1.35 * G), ft.UniformLoad(w=-1.5 * Q)], [ft.UniformLoad(w=-G)])
MIXED = [ft.UniformLoad(w=-2.0), ft.PointLoad(x=7.0, force=-5.0, angle=60.0), ft.Moment(x=13.0, moment=3.0),
         ft.UniformLoad(w=-4.0, x1=2.0, x2=9.5), ft.TrapezoidalLoad(w1=-1.0, w2=-3.0, x1=10.0, x2=17.0)]
ALL = ("nf", "sf", "bm", "d")


def patterns(beam, loaded, unloaded=(), **options):
    return lambda: ft.pattern_envelope(beam, loaded, unloaded, **options)


ENVELOPES = {
    "two spans, one load": patterns(two_spans(), [ft.UniformLoad(w=-Q)]),
    "the benchmark's three spans": patterns(continuous([20.0, 25.0, 20.0]), *FACTORED, quantities=("sf", "bm")),
    "four spans, overhangs, the governing search": patterns(continuous([4.0, 5.0, 4.0, 5.0], left=1.5, right=2.0),
                                                           MIXED, [ft.UniformLoad(w=-1.0)], quantities=ALL),
    "five spans, every pattern (chunks, screens)": patterns(continuous([5.0] * 5), *FACTORED, all_patterns=True),
    "propped cantilever with an overhang": patterns(
        continuous([9.0], right=3.0, first=ft.Support.fixed),
        [ft.TrapezoidalLoad(w1=-1.0, w2=-4.0, x1=2.0, x2=11.0), ft.UniformLoad(w=-2.0, x1=8.0, x2=12.0)],
        quantities=ALL),
    "cantilever": patterns(ft.Beam(span=5.0, E=2e5, I=1e-3, supports=[ft.Support.fixed(0.0)]),
                           [ft.PointLoad(x=3.0, force=-4.0)], [ft.UniformLoad(w=-0.5)], quantities=ALL),
    "a spring, n = 37, points, the rotation": patterns(
        continuous([4.0, 6.0, 5.0, 4.0], spring_at=2), MIXED[:3], all_patterns=True, n=37, points=(3.3, 11.1),
        quantities=(*ALL, "rotation")),
    "a hinge and two sections": patterns(HINGED, [ft.UniformLoad(w=-3.0), ft.PointLoad(x=20.0, force=-8.0)],
                                         [ft.UniformLoad(w=-1.0)], quantities=(*ALL, "rotation")),
    "combinations": lambda: ft.envelope(dataclasses.replace(overhang(), cases=CASES, combinations=[
        ft.Combination(name=f"c{k}", factors=f) for k, f in enumerate(FACTORS)]).solve_combinations(),
        n=40, quantities=(*ALL, "rotation")),
    "a vehicle on a settling support": lambda: ft.moving_load(
        dataclasses.replace(two_spans(), loads=(ft.Settlement(support="B", dy=-0.01),)),
        ft.Vehicle(weights=[10.0, 20.0], spacings=[2.0]), step=0.7, axle_points=False).envelope,
}


def folded(make):
    env = make()
    screens = {q: [(s.first, bits(list(s.top)), bits(list(s.bottom))) for s in chunks]
               for q, chunks in env.screens.items()}
    return bits(env), bits(env.extremes()), screens


CHUNKS = {"as built": (envelopes.FEW, envelopes.CHUNK), "chunks of 3": (0, 3)}


@pytest.mark.parametrize("few, chunk", CHUNKS.values(), ids=CHUNKS)
@pytest.mark.parametrize("make", ENVELOPES.values(), ids=ENVELOPES)
def test_the_core_folds_solved_members_to_the_bits_of_the_layers_fold(make, few, chunk, monkeypatch):
    monkeypatch.setattr(envelopes, "FEW", few)
    monkeypatch.setattr(envelopes, "CHUNK", chunk)
    found = []
    for in_core in (True, False):
        monkeypatch.setattr(envelopes, "IN_CORE", in_core)
        found.append(folded(make))
    assert found[0] == found[1]


def _plan(count=1):
    beam = two_spans()
    solved = _engine.solve(*beam.solve_args()[:6], [("udl", [-1.0, 0.0, 20.0, 90.0])])
    mesh = (array("d", [0.0, 10.0, 20.0]).tobytes(), array("d", [0.0, 10.0, 19.999999]).tobytes(),
            array("q", [0, 1, 2]).tobytes(), array("q", [0, 1, 2]).tobytes(), array("d", [0.0, 10.0, 20.0]).tobytes(),
            array("q", [0, 1, 2]).tobytes())
    band = core_fold.RunningBand("bm", 3)
    return [(solved,) * count, b"", array("q", [0] * count).tobytes(), 0, mesh, (band.plan,), core_fold.new_ranges(3)]


@pytest.mark.parametrize("k, value, error", [
    (0, ("not a beam",), "members: a tuple of SolvedBeam"),
    (1, b"\x00" * 3, "jumps: bytes of float64"),
    (2, array("q", [4]).tobytes(), "a position's list of pairs is out of order"),
    (3, -1, "first: the first member's index"),
    (4, (b"",) * 5, "mesh: "),
    (6, core_fold.new_ranges(2), "ranges' hi: bytearray of float64"),
    (1, array("d", [2.0, 15.0]).tobytes(), "a jump's position is not among the mesh's keys"),
])
def test_fold_members_refuses_arguments_it_cannot_fold(k, value, error):
    args = _plan()
    args[k] = value
    if k == 1 and len(value) == 16:
        args[2] = array("q", [2]).tobytes()
    with pytest.raises((TypeError, ValueError), match=error):
        _engine.fold_members(*args)


def test_fold_members_reads_the_rotation_only_where_solved_with_it():
    args = _plan()
    args[5] = (core_fold.RunningBand("rotation", 3).plan,)
    with pytest.raises(ValueError, match="the rotation was not asked for"):
        _engine.fold_members(*args)


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs an interval timer")
def test_ctrl_c_stops_a_long_fold_inside_the_core():
    events = []
    beam = two_spans()
    results = [dataclasses.replace(beam, loads=(ft.UniformLoad(w=-w),)).solve() for w in (1.0, 2.0, 3.0)]

    def interrupt(signum, frame):  # only inside the core's fold, run from fold_solved's frame
        if events[-1:] == ["c_call"] and frame is not None and frame.f_code is core_fold.fold_solved.__code__:
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    sys.setprofile(lambda frame, event, arg: events.append(event) if arg is _engine.fold_members else None)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.002, 0.002)
        with pytest.raises(KeyboardInterrupt):
            for _ in range(50):  # each fold a few ms: the timer fires inside one
                ft.envelope(results, n=100_000, quantities=ALL)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        sys.setprofile(None)
        signal.signal(signal.SIGALRM, previous)
    assert events[-2:] == ["c_call", "c_exception"]
