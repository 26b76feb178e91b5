#!/usr/bin/env python3
"""How the cost of one call grows with its input, and the sizes that keep a call under a budget.

For services that take beams from untrusted callers. Run with the module installed:

    python benchmarks/limits.py               # budget 0.1 s, about 30 s
    python benchmarks/limits.py --budget 0.5

For each cost driver the size is raised in steps of about 1.25x until one call takes
longer than the budget (best of three calls); the table shows the largest size that
stayed under it and the time it took. Then the memory of plotting_vectors(n): the
Python objects it returns, per mesh point (tracemalloc), and the growth of the
process's peak resident size for one large call (measured in a fresh process). Last,
one beam at the caps the README suggests for a service, all at once.
"""

import argparse
import subprocess
import sys
import time
import tracemalloc
from collections.abc import Callable, Sequence
from typing import Optional

import flexura
from scenarios import CAPS, INF, at_the_caps, polynomial, simple_span, uniform_continuous, unit_point_loads

Call = Callable[[], object]


def best_time(call: Call, repeats: int = 3) -> float:
    best = INF
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


def supports_solve(n: int) -> Call:
    """solve of a continuous beam on n supports, 2 m spans, udl."""
    args = uniform_continuous(n)
    return lambda: flexura.solve(*args)


def loads_solve(n: int) -> Call:
    """solve of one span carrying n point loads."""
    args = simple_span(unit_point_loads(n))
    return lambda: flexura.solve(*args)


def loads_plot(n: int) -> Call:
    """solve + plotting_vectors(200) of one span carrying n point loads."""
    args = simple_span(unit_point_loads(n))
    return lambda: flexura.solve(*args).plotting_vectors(200)


def mesh_plot(n: int) -> Call:
    """plotting_vectors(n) of one span with one point load."""
    result = flexura.solve(*simple_span(unit_point_loads(1)))
    return lambda: result.plotting_vectors(n)


def polynomial_solve(n: int) -> Call:
    """solve of one span carrying one polynomial load of n coefficients on [0, 1]."""
    args = simple_span(polynomial(n), span=1.0)

    def call() -> None:
        try:
            flexura.solve(*args)
        except ValueError:  # a long polynomial may make the beam singular; the time still counts
            pass
    return call


DRIVERS = [
    ("supports, solve", supports_solve, 100),
    ("point loads, solve", loads_solve, 1000),
    ("point loads, solve + plotting_vectors(200)", loads_plot, 100),
    ("mesh points n, plotting_vectors(n)", mesh_plot, 10000),
    ("polynomial coefficients, solve", polynomial_solve, 50),
]


def largest_under(make: Callable[[int], Call], start: int, budget: float) -> tuple[Optional[int], float]:
    size, seconds = start, best_time(make(start))
    if seconds > budget:
        return None, seconds
    while True:
        bigger = int(size * 1.25) + 1
        t = best_time(make(bigger))
        if t > budget:
            return size, seconds
        size, seconds = bigger, t


def caps_call() -> Call:
    args, n = at_the_caps()
    return lambda: flexura.solve(*args).plotting_vectors(n)


RSS_CHILD = """
import resource, flexura
inf = float("inf")
r = flexura.solve(10.0, 1.0, 1.0, 1.0, inf, [(0.0, inf, inf, 0.0), (10.0, 0.0, inf, 0.0)],
                  [("point", [-1.0, 5.0, 90.0])])
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
v = r.plotting_vectors(%d)
print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) * 1024)
"""


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=(__doc__ or "").splitlines()[0])
    parser.add_argument("--budget", type=float, default=0.1, help="seconds per call (default 0.1)")
    args = parser.parse_args(argv)

    print("Largest size that keeps one call under %g s (best of 3)\n" % args.budget)
    print("| cost driver | largest size | time |")
    print("|---|---|---|")
    for name, make, start in DRIVERS:
        size, seconds = largest_under(make, start, args.budget)
        print("| %s | %s | %.3f s |" % (name, "below %d" % start if size is None else "{:,}".format(size), seconds))

    n = 100000
    result = flexura.solve(*simple_span(unit_point_loads(1)))
    tracemalloc.start()
    vectors = result.plotting_vectors(n)
    held, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    points = len(vectors["x"])
    del vectors
    big = 2000000
    rss = int(subprocess.run([sys.executable, "-c", RSS_CHILD % big], capture_output=True,
                             text=True, check=True).stdout)
    print("\nplotting_vectors(n) memory: %.0f bytes per point held by the result (tracemalloc, n = %d),"
          " peak resident size grows by %.0f bytes per point (n = %d)" % (held / points, n, rss / big, big))
    print("\nAt the caps (%d supports, %d loads, %d coefficients, plotting_vectors(%d)):"
          " solve + plotting_vectors %.3f s" % (CAPS + (best_time(caps_call()),)))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
