"""Ctrl-C stops long calls: every loop whose length the caller controls
checks for pending signals now and then."""
import gc
from array import array
import signal
import subprocess
import sys

import pytest

import flexura
from shared import INF, SIMPLE
from flexura_tools import _engine

pytestmark = pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs an interval timer")
SECTION = (10, 1e4, 1, 1, INF)


# Each takes from a tenth of a second to seconds when left to finish (ten
# million parameters about 40 ms, the features of 300,000 loads 25 ms); the
# arguments are built before the timer
# starts.
LONG_CALLS = {
    "supports": lambda: (flexura.solve, (*SECTION, [(k / 200, 0, INF, 0) for k in range(2000)] + [(0, INF, 0, 0)],
                                         [("udl", [-1, 0, 10, 90])])),
    "load terms": lambda: (flexura.solve(*SECTION, SIMPLE, [("point", [-1, k / 800, 90]) for k in range(8000)])
                           .plotting_vectors, ()),
    "mesh points": lambda: (flexura.solve(*SECTION, SIMPLE, [("point", [-1, 5, 90])]).plotting_vectors, (3 * 10**6,)),
    "coefficients": lambda: (flexura.solve, (*SECTION, SIMPLE, [("dist", [0, 1, 90] + [1e-3] * 30000)])),
    "parameters": lambda: (flexura.solve, (*SECTION, SIMPLE, [("point", [-1.0, 5, 90] + [0.0] * 10**7)])),
    "reactions": lambda: (flexura.solve(*SECTION, SIMPLE + [(k * 2e-5, 0, 0, 0) for k in range(5 * 10**5)], [])
                          .reactions, ()),
    "engine positions": lambda: (_engine.solve(*SECTION, SIMPLE, [("point", [-1, k / 200, 90]) for k in range(2000)])
                                 .values, ("bm", array("d", (k / 2e4 for k in range(2 * 10**5))).tobytes())),
    "engine position list": lambda: (_engine.solve(*SECTION, SIMPLE, [("udl", [-1, 0, 10, 90])] * 50).values,
                                     ("d", [k / 2e5 for k in range(2 * 10**6)])),
    "engine reactions": lambda: (_engine.solve(*SECTION, SIMPLE + [(k * 2e-5, 0, 0, 0) for k in range(5 * 10**5)], [])
                                 .reactions, ()),
    # Each load's terms re-expanded at every later change of section: half a million corrections.
    "engine section corrections": lambda: (_engine.solve, (*SECTION, SIMPLE,
                                                           [("point", [-1, k / 100, 90]) for k in range(1000)], None,
                                                           [(k / 100 + 0.005, 1e4, 1 + k % 2, 1, INF)
                                                            for k in range(1000)])),
    "engine features": lambda: (_engine.solve(*SECTION, SIMPLE, [("point", [-1, 10 - k / 3e4, 90])
                                                                for k in range(3 * 10**5)]).features, ()),
    # Loads of alternating sign make a peak inside every segment: 300 bisections, read
    # in about 40 ms after samples too few to reach the first check.
    "engine extreme search": lambda: extreme_search(_engine.solve(*SECTION, SIMPLE, [
        ("udl", [(-1) ** k, k / 30, (k + 1) / 30, 90]) for k in range(300)])),
}


def extreme_search(solved):
    return solved.extreme, ("bm", solved.features(), 1)


def interrupted(call, args):
    """How the call ended when Ctrl-C came while it ran: a timer fires every 2 ms, and
    its handler raises only when the call's own check for signals runs it (the call
    under way, this frame the handler's), never before or after it, however busy the
    machine. Collections wait: their callbacks (hypothesis installs one) run Python."""
    endings, here = [], sys._getframe()

    def interrupt(signum, frame):
        if endings == ["c_call"] and frame is here:
            raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    sys.setprofile(lambda frame, event, arg: endings.append(event) if arg is call else None)
    gc.disable()
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.002, 0.002)
        with pytest.raises(KeyboardInterrupt):
            call(*args)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        sys.setprofile(None)
        gc.enable()
        signal.signal(signal.SIGALRM, previous)  # a signal still pending then is dropped
    return endings


@pytest.mark.parametrize("case", LONG_CALLS.values(), ids=LONG_CALLS)
def test_ctrl_c_stops_the_call_itself(case):
    """The call ends with a KeyboardInterrupt of its own, not with a return
    that the interrupt follows, and a second interrupted call leaves no
    objects behind (the first warms the interpreter's caches)."""
    call, args = case()
    assert interrupted(call, args) == ["c_call", "c_exception"]
    gc.collect()
    blocks = sys.getallocatedblocks()
    interrupted(call, args)
    gc.collect()
    assert sys.getallocatedblocks() - blocks < 50


# Python code that empties the list being converted while the call asks for
# pending signals: a handler that returns normally, or (3.12 on) a pending
# collection's finaliser. `items` is the list, `call()` the solve.
EMPTIED = {
    "supports": "items = [(0, inf, inf, 0), (10, 0, inf, 0)] + [(5.0, 0, 0, 0)] * 3 * 10**6\n"
                "call = lambda: flexura.solve(*section, items, [('point', [-1, 5, 90])])",
    "loads": "items = [('point', [-1, 5, 90])] * 3 * 10**6\n"
             "call = lambda: flexura.solve(*section, [(0, inf, inf, 0), (10, 0, inf, 0)], items)",
    "parameters": "items = [-1.0, 5, 90] + [0.0] * 10**7\n"
                  "call = lambda: flexura.solve(*section, [(0, inf, inf, 0), (10, 0, inf, 0)], [('point', items)])",
}
TRIGGERS = {
    "signal handler": "signal.signal(signal.SIGALRM, lambda *a: (items.clear(), fired.append(1)))\n"
                      "signal.setitimer(signal.ITIMER_REAL, 0.005, 0.005)",
    "finaliser": "class Trap:\n    def __del__(self): items.clear(); fired.append(1)\n"
                 "gc.collect(); t = Trap(); t.me = t; del t; gc.set_threshold(1)",
}


@pytest.mark.parametrize("trigger", TRIGGERS)
@pytest.mark.parametrize("container", EMPTIED)
def test_list_emptied_during_conversion_is_read_as_its_iterator_would(container, trigger):
    if trigger == "finaliser" and sys.version_info < (3, 12):
        pytest.skip("before 3.12 asking for signals runs no collection")
    script = "\n".join([
        "import gc, signal, flexura", "inf = float('inf'); section = (10, 1e4, 1, 1, inf); fired = []",
        EMPTIED[container], TRIGGERS[trigger],
        "try:\n    outcome = type(call()).__name__\nexcept ValueError as e:\n    outcome = str(e)",
        "signal.setitimer(signal.ITIMER_REAL, 0); print(outcome, bool(fired), len(items))"])
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr
    outcome, fired, left = out.stdout.rsplit(" ", 2)
    assert (fired, left) == ("True", "0\n")
    assert outcome in {"BeamResult", "beam is unstable / singular (no unique solution)"}
