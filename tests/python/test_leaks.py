"""Repeated calls on every success and error path must leave the interpreter's
allocated blocks and the process's resident memory flat."""
import gc
import importlib
import os
import subprocess
import sys
import textwrap

import pytest

import flexura
from conftest import CENTRE_LOAD, INF, NAN, SIMPLE
from test_hostile import ALLOWED, QUERIES, BadFloat

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


def solve(supports=SUPPORTS, loads=LOADS, units=UNITS, span=10.0):
    return flexura.solve(span, 2e5, 1e-4, 1e-2, 8e4, supports, loads, units)


RESULT = solve()
# Each success path, and each place where a call can fail.
PATHS = {
    "solve": solve, "reactions": RESULT.reactions, "plotting_vectors": lambda: RESULT.plotting_vectors(50),
    **{q: lambda q=q: getattr(RESULT, q)(3.0) for q in QUERIES},
    "binding": lambda: flexura.solve(*range(9)), "keyword": lambda: flexura.solve(*range(7), unit={}),
    "missing": lambda: flexura.solve(1, 2, 3), "span": lambda: solve(span="10"),
    "support length": lambda: solve(supports=SUPPORTS + [(0, 1, 2)]),
    "support type": lambda: solve(supports=[[0, INF, INF, INF]]), "supports str": lambda: solve(supports="ab"),
    "units type": lambda: solve(units=[]), "units value": lambda: solve(units={"force": "kN"}),
    "units key": lambda: solve(units={"\ud800": 1.0}),
    "parameter": lambda: solve(loads=LOADS + [("point", [1, 2, "a"])]),
    "own exception": lambda: solve(loads=LOADS + [("point", [1, 2, BadFloat()])]),
    "kind": lambda: solve(loads=LOADS + [("bogus", [])]), "kind text": lambda: solve(loads=LOADS + [("\ud800", [])]),
    "too few parameters": lambda: solve(loads=LOADS + [("dist", [0, 1, 2])]),
    "singular": lambda: solve(supports=[(k, INF, 0, 0) for k in range(10)]),
    "position NaN": lambda: solve(supports=SUPPORTS + [(NAN, INF, INF, 0)]),
    "x": lambda: RESULT.get_shear_force(x="a"), "query binding": lambda: RESULT.eval_d(1, 2),
    "reactions binding": lambda: RESULT.reactions(1), "mesh too large": lambda: RESULT.plotting_vectors(2**63),
    "mesh negative": lambda: RESULT.plotting_vectors(-1), "mesh None": lambda: RESULT.plotting_vectors(None),
    "constructor": flexura.BeamResult,
}


def resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * PAGE


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
        solve(SIMPLE, [CENTRE_LOAD], None)
        held = [solve(SIMPLE, [CENTRE_LOAD], None) for _ in range(999)]
        del held

    assert grows(batch, 100) is None


def importable(name):
    try:
        return bool(importlib.import_module(name))
    except ImportError:
        return False


@pytest.mark.skipif(not any(map(importable, ["_interpreters", "_xxsubinterpreters"])), reason="no sub-interpreters")
def test_sub_interpreter_is_refused_and_main_keeps_working():
    # In a child process, so that a broken import cannot harm this interpreter.
    script = textwrap.dedent("""
        import sys, flexura
        try:
            import _interpreters as interpreters
        except ImportError:
            import _xxsubinterpreters as interpreters
        try:
            print(interpreters.run_string(interpreters.create(), "import flexura"))
        except Exception as error:
            print(error)
        del sys.modules["flexura"]
        import flexura as again
        inf = float("inf")
        r = again.solve(10, 1e4, 1, 1, inf, [(0, inf, inf, 0), (10, 0, inf, 0)], [("point", [-10, 5, 90])])
        print(again is flexura, r.reactions(), r.eval_bm(5))
    """)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60,
                         env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert out.returncode == 0, out.stderr
    refused, works = out.stdout.splitlines()
    assert "ImportError" in refused and "flexura" in refused
    assert works == "True {'0': [0.0, 5.0, 0.0], '10': [0.0, 5.0, 0.0]} 25.0"
