"""The vehicle's envelope folded in the core against the layer's own fold, to the
bit, and Ctrl-C inside the core's long run."""
import signal
import sys

import pytest

import flexura_tools as ft
from flexura_tools import _engine, envelopes, moving, moving_fold

from test_workflows import CASES, FIVE_AXLES, FOUR_AXLES, beam_on, bits, overhang, simple

LM1 = ft.Vehicle(weights=[300.0, 300.0], spacings=[1.2])
HINGED = ft.Beam(span=30.0, E=2e4, I=0.5, hinges=[8.0], sections=[ft.Section(x1=0.0, x2=15.0),
                                                                   ft.Section(x1=15.0, x2=30.0, I=0.8)],
                 supports=[ft.Support.fixed(0, "A"), ft.Support.roller(12, "B"), ft.Support.roller(30, "C")])
VEHICLES = {
    "few positions, one chunk": (simple(), ft.Vehicle(weights=[40.0]), 2.5, {}),
    "an axle on each support": (simple(), ft.Vehicle(weights=[40.0]), 0.1, {}),
    "overhang, fixed end, spring, a weightless axle": (
        overhang(*CASES["D"]), ft.Vehicle(weights=[6.0, 0.0, 9.0], spacings=[1.5, 1.0]), 0.05,
        {"quantities": ("nf", "sf", "bm", "d", "rotation")}),
    "three spans": (beam_on(20, 45, 65), FOUR_AXLES, 0.1, {}),
    "backward only": (beam_on(12, 30, 48, 60), FIVE_AXLES, 0.1, {"directions": ("backward",)}),
    "no axle points": (beam_on(20, 45, 65), FOUR_AXLES, 0.1, {"axle_points": False, "n": 50, "points": (31.7,)}),
    "lane with clearances": (beam_on(20, 45, 65), LM1, 0.1,
                             {"lane": ft.Lane(w=27.0, placement="whole", clearances=(2.0, 3.0))}),
    "the vehicle's own lane": (beam_on(20, 45, 65), ft.Vehicle(weights=[300.0, 300.0], spacings=[1.2], lane=27.0),
                               0.3, {}),
    "a hinge and two sections": (HINGED, FOUR_AXLES, 0.1, {}),
}


CHUNKS = {"default chunks": None, "chunks of 3": 3}


@pytest.mark.parametrize("chunk", CHUNKS.values(), ids=CHUNKS)
@pytest.mark.parametrize("beam, vehicle, step, options", VEHICLES.values(), ids=VEHICLES)
def test_the_core_folds_a_vehicle_to_the_bits_of_the_layers_fold(beam, vehicle, step, options, chunk, monkeypatch):
    if chunk is not None:  # a governing position and its sign of zero across many chunk boundaries
        monkeypatch.setattr(envelopes, "CHUNK", chunk)
        monkeypatch.setattr(envelopes, "FEW", 0)
    monkeypatch.setattr(envelopes, "IN_CORE", False)  # the layer's own fold, the reference
    found = []
    for fold in (moving_fold.fold_vehicle, lambda members, quantities, n, points, progress, label: envelopes.build(
            members, n=n, points=points, quantities=quantities, progress=progress, label=label)):
        monkeypatch.setattr(moving, "fold_vehicle", fold)
        run = ft.moving_load(beam, vehicle, step=step, **options)
        screens = {q: [(s.first, bits(list(s.top)), bits(list(s.bottom))) for s in chunks]
                   for q, chunks in run.envelope.screens.items()}
        found.append((bits(run.envelope), bits(run.extremes()), screens))
    assert found[0] == found[1]


def test_a_position_the_core_refuses_raises_the_layers_own_error():
    # Two axles whose weights add up beyond the largest double: the first position fails
    # its balance in the core and is solved again by the layer for its words.
    with pytest.raises(ft.ModelError, match="forward, front axle at 0: the solution overflows"):
        ft.moving_load(simple(), ft.Vehicle(weights=[1.5e308, 1.5e308], spacings=[1.0]), step=1.0)


@pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs an interval timer")
def test_ctrl_c_stops_a_long_vehicle_run_inside_the_core():
    events = []

    def interrupt(signum, frame):  # only inside the core's fold: its own check runs it from _call's frame
        if events[-1:] == ["c_call"] and frame is not None and frame.f_code is moving_fold._call.__code__:
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    sys.setprofile(lambda frame, event, arg: events.append(event) if arg is _engine.fold_positions else None)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.002, 0.002)
        with pytest.raises(KeyboardInterrupt):
            ft.moving_load(beam_on(20, 45, 65), FOUR_AXLES, step=0.002)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        sys.setprofile(None)
        signal.signal(signal.SIGALRM, previous)
    assert events[-2:] == ["c_call", "c_exception"]
