"""Solved members folded in the core: the layer's fold's bits, clean refusals, Ctrl-C."""
import signal
import sys
from array import array

import pytest

import flexura_tools as ft
from flexura_tools import _engine, core_fold, envelopes

from test_moving_fold import HINGED
from test_workflows import MEMBER_SETS, bits, continuous, two_spans

FACTORED = ([ft.UniformLoad(w=-16.2), ft.UniformLoad(w=-9.0)], [ft.UniformLoad(w=-12.0)])
MIXED = [ft.UniformLoad(w=-2.0), ft.PointLoad(x=7.0, force=-5.0, angle=60.0), ft.Moment(x=13.0, moment=3.0),
         ft.UniformLoad(w=-4.0, x1=2.0, x2=9.5), ft.TrapezoidalLoad(w1=-1.0, w2=-3.0, x1=10.0, x2=17.0)]
ALL, TURNING = ("nf", "sf", "bm", "d"), ("nf", "sf", "bm", "d", "rotation")
UNLOADED = [ft.UniformLoad(w=-1.0)]


def patterns(beam, loaded, unloaded=(), **options):
    return lambda: ft.pattern_envelope(beam, loaded, unloaded, **options)


ENVELOPES = {
    "the benchmark's three spans": patterns(continuous([20.0, 25.0, 20.0]), *FACTORED, quantities=("sf", "bm")),
    "five spans, every pattern": patterns(continuous([5.0] * 5), *FACTORED, all_patterns=True),
    "four spans, overhangs, governing": patterns(continuous([4.0, 5.0, 4.0, 5.0], left=1.5, right=2.0), MIXED,
                                                 UNLOADED, quantities=ALL),
    "propped cantilever, overhang": patterns(continuous([9.0], right=3.0, first=ft.Support.fixed), [
        ft.TrapezoidalLoad(w1=-1.0, w2=-4.0, x1=2.0, x2=11.0), ft.UniformLoad(w=-2.0, x1=8.0, x2=12.0)]),
    "cantilever": patterns(ft.Beam(span=5.0, E=2e5, I=1e-3, supports=[ft.Support.fixed(0.0)]),
                           [ft.PointLoad(x=3.0, force=-4.0)], UNLOADED, quantities=ALL),
    "spring, n = 37, points, rotation": patterns(continuous([4.0, 6.0, 5.0, 4.0], spring_at=2), MIXED[:3],
                                                 all_patterns=True, n=37, points=(3.3, 11.1), quantities=TURNING),
    "hinge and sections": patterns(HINGED, MIXED[:3], UNLOADED, quantities=TURNING),
    "combinations": MEMBER_SETS["combinations"],
    "vehicle, settling support": lambda: ft.moving_load(two_spans(ft.Settlement(support="B", dy=-0.01)), ft.Vehicle(
        weights=[10.0, 20.0], spacings=[2.0]), step=0.7, axle_points=False).envelope,
}
CHUNKS = {"as built": (envelopes.FEW, envelopes.CHUNK), "chunks of 3": (0, 3)}


@pytest.mark.parametrize("few, chunk", CHUNKS.values(), ids=CHUNKS)
@pytest.mark.parametrize("make", ENVELOPES.values(), ids=ENVELOPES)
def test_the_core_folds_solved_members_to_the_bits_of_the_layers_fold(make, few, chunk, monkeypatch):
    monkeypatch.setattr(envelopes, "FEW", few)
    monkeypatch.setattr(envelopes, "CHUNK", chunk)
    found = []
    for in_core in (True, False):
        monkeypatch.setattr(envelopes, "IN_CORE", in_core)
        env = make()
        screens = {q: [(s.first, bits(list(s.top)), bits(list(s.bottom))) for s in chunks]
                   for q, chunks in env.screens.items()}
        found.append((bits(env), bits(env.extremes()), screens))
    assert found[0] == found[1]


@pytest.mark.parametrize("changed, error", [
    ({0: ("not a beam",)}, "members: a tuple of SolvedBeam"),
    ({1: b"\x00" * 3}, "jumps: bytes of float64"),
    ({4: (b"",) * 5}, "mesh: "),
    ({5: (core_fold.RunningBand("rotation", 3).plan,)}, "the rotation was not asked for"),
    ({1: array("d", [2.0, 15.0]).tobytes(), 2: array("q", [2]).tobytes()}, "not among the mesh's keys"),
])
def test_fold_members_refuses_arguments_it_cannot_fold(changed, error):
    solved = _engine.solve(*two_spans().solve_args()[:6], [("udl", [-1.0, 0.0, 20.0, 90.0])])
    at, entries = array("d", [0.0, 10.0, 20.0]).tobytes(), array("q", [0, 1, 2]).tobytes()
    mesh = (at, array("d", [0.0, 10.0, 19.999999]).tobytes(), entries, entries, at, entries)
    args = [(solved,), b"", array("q", [0]).tobytes(), 0, mesh, (core_fold.RunningBand("bm", 3).plan,),
            core_fold.new_ranges(3)]
    for k, value in changed.items():
        args[k] = value
    with pytest.raises((TypeError, ValueError), match=error):
        _engine.fold_members(*args)


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs an interval timer")
def test_ctrl_c_stops_a_long_fold_inside_the_core():
    events = []
    results = [two_spans(ft.UniformLoad(w=-w)).solve() for w in (1.0, 2.0, 3.0)]

    def interrupt(signum, frame):  # only inside the core's fold, run from fold_solved's frame
        if events[-1:] == ["c_call"] and frame is not None and frame.f_code is core_fold.fold_solved.__code__:
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    sys.setprofile(lambda frame, event, arg: events.append(event) if arg is _engine.fold_members else None)
    signal.setitimer(signal.ITIMER_REAL, 0.002, 0.002)
    try:
        with pytest.raises(KeyboardInterrupt):
            for _ in range(50):  # each fold a few ms: the timer fires inside one
                ft.envelope(results, n=100_000, quantities=ALL)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        sys.setprofile(None)
        signal.signal(signal.SIGALRM, previous)
    assert events[-2:] == ["c_call", "c_exception"]
