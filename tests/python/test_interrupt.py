"""Ctrl-C stops long calls: every loop whose length the caller controls
checks for pending signals now and then."""
import gc
import signal
import sys

import pytest

import flexura
from conftest import INF, SIMPLE

pytestmark = pytest.mark.skipif(not hasattr(signal, "setitimer"), reason="needs an interval timer")
SECTION = (10, 1e4, 1, 1, INF)


# Each takes from a third of a second to seconds when left to finish; the
# arguments are built before the clock starts.
LONG_CALLS = {
    "supports": lambda: (flexura.solve, (*SECTION, [(k / 200, 0, INF, 0) for k in range(2000)] + [(0, INF, 0, 0)],
                                         [("udl", [-1, 0, 10, 90])])),
    "load terms": lambda: (flexura.solve(*SECTION, SIMPLE, [("point", [-1, k / 800, 90]) for k in range(8000)])
                           .plotting_vectors, ()),
    "mesh points": lambda: (flexura.solve(*SECTION, SIMPLE, [("point", [-1, 5, 90])]).plotting_vectors, (3 * 10**6,)),
    "coefficients": lambda: (flexura.solve, (*SECTION, SIMPLE, [("dist", [0, 1, 90] + [1e-3] * 30000)])),
    "parameters": lambda: (flexura.solve, (*SECTION, SIMPLE, [("point", [-1.0, 5, 90] + [0.0] * 10**7)])),
}


def interrupt(signum, frame):
    raise KeyboardInterrupt


def interrupted(call, args):
    """How the call ended when an alarm raised KeyboardInterrupt 50 ms into it."""
    endings = []
    previous = signal.signal(signal.SIGALRM, interrupt)
    sys.setprofile(lambda frame, event, arg: endings.append(event) if arg is call else None)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.05)
        with pytest.raises(KeyboardInterrupt):
            call(*args)
    finally:
        sys.setprofile(None)
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
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
