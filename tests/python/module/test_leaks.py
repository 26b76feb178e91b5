"""Repeated calls on every success and error path must leave the interpreter's
allocated blocks and the process's resident heap memory flat."""
import gc
import os
import sys

import pytest

import flexura
from shared import ALLOWED, ARGS, CENTRE_LOAD, INF, NAN, QUERIES, SIMPLE, Boom, Raising
import flexura_tools as ft
from flexura_tools import _engine

# Ten supports and loads of every kind, so that a lost result record or load
# list costs kilobytes per call and shows in the resident memory.
SUPPORTS = [(k, INF if k % 3 == 0 else 0, INF if k % 2 == 0 else 1e6, INF if k == 0 else 0) for k in range(10)]
LOADS = [CENTRE_LOAD, ("udl", [-1, 0, 10, 60]), ("trap", [0, -3, 1, 9, 45]), ("dist", [0, 10, 90, 0, -0.3, 0.01]),
         ("torque", [10, 5])] * 2
UNITS = {"force": 1000, "length": 0.5, "deflection": 0.001}
PAGE = os.sysconf("SC_PAGE_SIZE")
# Under the address sanitizer the interpreter allocates with malloc (no block
# count) and freed memory waits in the sanitizer's quarantine, so neither
# measure means anything there; the sanitizer checks memory itself.
memory_measured = pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                                     reason="memory is accounted by the sanitizer in this run")


def solve_busy(supports=SUPPORTS, loads=LOADS, units=UNITS, span=10.0, solve=flexura.solve):
    """A beam with every kind of support and load, shear deformation on."""
    return solve(span, 2e5, 1e-4, 1e-2, 8e4, supports, loads, units)


RESULT = solve_busy()
SOLVED = solve_busy(solve=_engine.solve)
# Every extension at once: sections, hinges, springs, settlements, curvature.
EXTENDED = {"sections": [(3, 2e5, 2e-4, 1e-2, 8e4), (6, 2e5, 1e-4, 1e-2, 8e4)], "hinges": [5.5],
            "settlements": [(0.1 * k, 1e-4) for k in range(10)], "curvatures": [(1e-3, 2e-3, 1, 9)],
            "rotational_springs": True, "rotation": True}
SOLVED_EXTENDED = _engine.solve(10.0, 2e5, 1e-4, 1e-2, 8e4, SUPPORTS, LOADS, UNITS, **EXTENDED)
BUFFER = bytes(range(8)) * 300
# A vehicle's core fold with its arguments as moving_load passed them (50 positions, one chunk).
VEHICLE = ft.moving_load(ft.Beam(span=10.0, E=2e4, I=0.5, supports=[ft.Support.pin(0), ft.Support.roller(10.0)]),
                         ft.Vehicle(weights=[40.0, 20.0], spacings=[2.0]), step=0.5).members.reach
# Each success path, and each place where a call can fail.
PATHS = {
    "solve": solve_busy, "reactions": RESULT.reactions, "plotting_vectors": lambda: RESULT.plotting_vectors(50),
    **{q: lambda q=q: getattr(RESULT, q)(3.0) for q in QUERIES},
    "binding": lambda: flexura.solve(*range(9)), "keyword": lambda: flexura.solve(*range(7), unit={}),
    "missing": lambda: flexura.solve(1, 2, 3), "span": lambda: solve_busy(span="10"),
    "support length": lambda: solve_busy(supports=SUPPORTS + [(0, 1, 2)]),
    "support type": lambda: solve_busy(supports=[[0, INF, INF, INF]]),
    "supports str": lambda: solve_busy(supports="ab"),
    "units type": lambda: solve_busy(units=[]), "units value": lambda: solve_busy(units={"force": "kN"}),
    "units key": lambda: solve_busy(units={"\ud800": 1.0}),
    "parameter": lambda: solve_busy(loads=LOADS + [("point", [1, 2, "a"])]),
    "own exception": lambda: solve_busy(loads=LOADS + [("point", [1, 2, Raising(Boom())])]),
    "kind": lambda: solve_busy(loads=LOADS + [("bogus", [])]),
    "kind text": lambda: solve_busy(loads=LOADS + [("\ud800", [])]),
    "too few parameters": lambda: solve_busy(loads=LOADS + [("dist", [0, 1, 2])]),
    "singular": lambda: solve_busy(supports=[(k, INF, 0, 0) for k in range(10)]),
    "position NaN": lambda: solve_busy(supports=SUPPORTS + [(NAN, INF, INF, 0)]),
    "x": lambda: RESULT.get_shear_force(x="a"), "query binding": lambda: RESULT.eval_d(1, 2),
    "reactions binding": lambda: RESULT.reactions(1), "mesh too large": lambda: RESULT.plotting_vectors(2**63),
    "mesh negative": lambda: RESULT.plotting_vectors(-1), "mesh None": lambda: RESULT.plotting_vectors(None),
    "constructor": flexura.BeamResult,
    "engine solve": lambda: solve_busy(solve=_engine.solve),
    "engine solve error": lambda: solve_busy(loads=LOADS + [("point", [1, 2])], solve=_engine.solve),
    "engine solve binding": lambda: _engine.solve(*range(9)),
    "engine values": lambda: SOLVED.values("d", [3.0, 1.0, NAN, 2.0], "left"),
    "engine values buffer": lambda: SOLVED.values("bm", BUFFER), "engine values float": lambda: SOLVED.values("sf", 3),
    "engine values item": lambda: SOLVED.values("bm", [1.0, Raising(Boom())]),
    "engine values odd buffer": lambda: SOLVED.values("bm", BUFFER[:-1]),
    "engine values quantity": lambda: SOLVED.values("x", 1.0), "engine values side": lambda: SOLVED.values("d", 1.0, 2),
    "engine reactions": SOLVED.reactions, "engine features": SOLVED.features,
    "engine jumps": lambda: SOLVED.jumps("sf"), "engine jumps binding": lambda: SOLVED.jumps(),
    "engine factors": lambda: (_engine.axial_factor(30), _engine.transverse_factor("30")),
    "engine extended solve": lambda: _engine.solve(10.0, 2e5, 1e-4, 1e-2, 8e4, SUPPORTS, LOADS, UNITS, **EXTENDED),
    "engine extension item": lambda: _engine.solve(*ARGS, hinges=[1.0, Raising(Boom())]),
    "engine extension switch": lambda: _engine.solve(*ARGS, rotation=1),
    "engine extension settlements": lambda: _engine.solve(*ARGS, settlements=[(0, 0)]),
    "engine rotation": lambda: SOLVED_EXTENDED.values("rotation", [3.0, 5.5], "left"),
    "engine rotation not asked": lambda: SOLVED.values("rotation", 1.0),
    "engine hinge jumps": SOLVED_EXTENDED.hinge_jumps,
    "engine vehicle fold": lambda: _engine.fold_positions(*VEHICLE.beam, (0, *VEHICLE.placed[0], *VEHICLE.fixed)),
    "engine vehicle watch": lambda: VEHICLE(0, len(VEHICLE.members), [("bm", 1.0, [2.5, 5.0], 0.0)]),
    "engine vehicle plan error": lambda: _engine.fold_positions(*VEHICLE.beam, (0, *VEHICLE.placed[0])),
}


def resident_bytes():
    """Resident anonymous memory (the heaps), not the file-backed pages such as the
    interpreter's code, which the kernel drops and reads again as others need memory."""
    with open("/proc/self/statm") as f:
        _, resident, shared = f.read().split()[:3]
    return (int(resident) - int(shared)) * PAGE


def grows(body, times, rounds=3):
    """Growth of allocated blocks and resident memory over `times` calls, or
    None when one of a few rounds stays within the slack. The allocators
    sometimes take a step once after warming up; a leak grows in every round."""
    def run(n):
        for _ in range(n):
            try:
                body()
            except ALLOWED:
                pass

    run(max(times // 20, 50))  # warm up free lists, caches and arenas
    for _ in range(rounds):
        gc.collect()
        blocks, rss = sys.getallocatedblocks(), resident_bytes()
        run(times)
        gc.collect()
        growth = sys.getallocatedblocks() - blocks, resident_bytes() - rss
        if growth[0] < 50 and growth[1] < 256 * 1024:
            return None
    return growth


@memory_measured
@pytest.mark.parametrize("path", PATHS)
def test_every_path_leaves_memory_flat(path):
    assert grows(PATHS[path], 10_000) is None


@memory_measured
def test_hundred_thousand_results_leave_memory_flat():
    def batch():
        # One result dropped at once, then a thousand held and dropped together.
        solve_busy(SIMPLE, [CENTRE_LOAD], None)
        held = [solve_busy(SIMPLE, [CENTRE_LOAD], None) for _ in range(999)]
        del held

    assert grows(batch, 100) is None
