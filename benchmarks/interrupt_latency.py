#!/usr/bin/env python3
"""How long Ctrl-C takes to stop a call with a huge input.

    python benchmarks/interrupt_latency.py               # 10^5, 10^6 and 3*10^6 items, about 2 min
    python benchmarks/interrupt_latency.py --items 1e6

Each call is timed whole once, then an interval timer raises KeyboardInterrupt
at eleven moments spread over it; the delay from the timer to the moment the
call has ended with the exception is measured, and the worst is printed with
the moment it was asked at.
"""

import argparse
import signal
import time
from collections.abc import Callable
from types import FrameType
from typing import Literal

import flexura

INF = float("inf")
SECTION = (10.0, 1e4, 1.0, 1.0, INF)
SIMPLE = [(0.0, INF, INF, 0.0), (10.0, 0.0, INF, 0.0)]
Call = Callable[[], object]
Load = tuple[Literal["point", "udl", "trap", "torque", "dist"], list[float]]


def interrupt(signum: int, frame: FrameType | None) -> None:
    raise KeyboardInterrupt


def delay_after(call: Call, moment: float) -> float | None:
    """Seconds from a timer at `moment` to the end of the interrupted call; None when it finished first."""
    start = time.perf_counter()
    try:
        signal.setitimer(signal.ITIMER_REAL, moment)
        call()
        signal.setitimer(signal.ITIMER_REAL, 0)
    except KeyboardInterrupt:  # also when the timer went off just after the call returned
        signal.setitimer(signal.ITIMER_REAL, 0)
        return max(time.perf_counter() - start - moment, 0.0)
    return None


def worst_delay(call: Call) -> tuple[float, float, float]:
    """(whole call, worst delay, moment of the worst delay) in seconds."""
    call()  # warms the allocator
    start = time.perf_counter()
    call()
    whole = time.perf_counter() - start
    moments = [whole * k / 12 for k in range(1, 12)]
    delays = [(delay_after(call, m) or 0.0, m) for m in moments]
    worst, moment = max(delays)
    return whole, worst, moment


def calls(n: int) -> dict[str, Call]:
    result = flexura.solve(*SECTION, SIMPLE + [(k * 10.0 / n, 0.0, 0.0, 0.0) for k in range(n)], [])
    in_order = SIMPLE[:1] + [(k * 10.0 / n, 0.0, 0.0, 0.0) for k in range(n)] + SIMPLE[1:]
    reversed_order = SIMPLE + [(10.0 - k * 10.0 / n, 0.0, 0.0, 0.0) for k in range(n)]
    points: list[Load] = [("point", [-1.0, 5.0, 90.0])] * n
    uniform: list[Load] = [("udl", [-1.0, 2.0, 5.0, 45.0])] * n
    units = {f"k{k}": 1.0 for k in range(n)}
    return {
        "supports in order": lambda: flexura.solve(*SECTION, in_order, []),
        "supports reversed": lambda: flexura.solve(*SECTION, reversed_order, []),
        "point loads": lambda: flexura.solve(*SECTION, SIMPLE, points),
        "uniform loads at 45 degrees": lambda: flexura.solve(*SECTION, SIMPLE, uniform),
        "unit entries": lambda: flexura.solve(*SECTION, SIMPLE, [], units),
        "reactions()": result.reactions,
    }


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--items", type=float, action="append", help="input sizes (default 1e5, 1e6, 3e6)")
    sizes = [int(n) for n in parser.parse_args().items or [1e5, 1e6, 3e6]]
    signal.signal(signal.SIGALRM, interrupt)
    print(f"{'input':<30} {'items':>9} {'call':>8} {'worst delay':>12} {'asked at':>9}")
    for n in sizes:
        for name, call in calls(n).items():
            whole, worst, moment = worst_delay(call)
            print(f"{name:<30} {n:>9,} {whole:>7.3f}s {worst:>11.3f}s {moment:>8.3f}s")


if __name__ == "__main__":
    main()
