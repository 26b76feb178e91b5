#!/usr/bin/env python3
"""Reading a solved beam at many positions: nanoseconds per position.

A two-span beam (8 + 12 m) with ten loads (a uniform load, five point loads, two
trapezoidal loads, a polynomial load and a moment), read at 10,000 random
positions, and at 10,000 ascending ones (np.linspace: a plot's or a table's):

- Result.bm(array): one call of the core, the positions checked first (the core
  reads ascending positions term by term over blocks of them, others grouped first
  by the stretch between term positions each falls in);
- Result.at(array): all four quantities, the positions checked once;
- a Python loop over flexura's eval_bm, one call per position;
- pycba's at(x, ("M",)) in a loop (it takes one position per call) on the same
  spans with ten loads of its own kinds, where pycba is installed.

Also the import times of flexura_tools (without numpy: a query of one position
never needs it) and of numpy, each in a fresh interpreter.

    python benchmarks/arrays.py [--positions 10000] [--repeat 7]
"""

from __future__ import annotations

import os

# pycba and numpy: one BLAS thread, like everything else measured here.
for _var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_var, "1")

import argparse
import statistics
import subprocess
import sys
import time
from collections.abc import Callable

import numpy as np

import flexura_tools as ft

SPAN = 20.0
BEAM = ft.Beam(span=SPAN, E=2.1e8, I=8.356e-5,
               supports=[ft.Support.pin(0, "A"), ft.Support.roller(8, "B"), ft.Support.roller(SPAN, "C")],
               loads=[ft.UniformLoad(w=-10),
                      *(ft.PointLoad(x=x, force=-20 - x) for x in (1.5, 4.0, 10.5, 13.0, 17.5)),
                      ft.TrapezoidalLoad(w1=0, w2=-6, x1=2, x2=7), ft.TrapezoidalLoad(w1=-4, w2=-1, x1=9, x2=19),
                      ft.PolynomialLoad(coefficients=[-1, 0.1, -0.01], x1=11, x2=16), ft.Moment(x=6, moment=15)])


def best_ns(run: Callable[[], object], count: int, repeat: int) -> float:
    """The median time of `repeat` runs, per position, in ns."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times) / count * 1e9


def pycba_reader(xs: list[float]) -> Callable[[], object] | None:
    try:
        import pycba as cba  # type: ignore[import-not-found, unused-ignore]
    except ImportError:
        return None
    # pycba's load kinds on its member coordinates: [member, kind, values...]; kind 1 a
    # uniform load, 2 a point load, 3 a partial uniform load, 4 a moment, 5 a trapezoidal
    # load; ten loads, as flexura's (a partial uniform load for the polynomial one).
    loads = [[1, 1, 10], [2, 1, 10], [1, 2, 21.5, 1.5], [1, 2, 24, 4], [2, 2, 30.5, 2.5], [2, 2, 33, 5],
             [2, 2, 37.5, 9.5], [1, 5, 0, 6, 2, 5], [2, 3, 1, 3, 5], [1, 4, 15, 6]]
    beam = cba.BeamAnalysis([8.0, 12.0], 2.1e8 * 8.356e-5, [-1, 0, -1, 0, -1, 0], loads)
    beam.analyze()

    def read() -> object:
        return [beam.at(x, ("M",)) for x in xs]
    return read


def import_ms(module: str, repeat: int) -> float:
    """The median time to import `module` in a fresh interpreter, less the bare start."""
    def run(code: str) -> float:
        times = []
        for _ in range(repeat):
            start = time.perf_counter()
            subprocess.run([sys.executable, "-c", code], check=True)
            times.append(time.perf_counter() - start)
        return statistics.median(times)
    return (run(f"import {module}") - run("pass")) * 1e3


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--positions", type=int, default=10_000)
    parser.add_argument("--repeat", type=int, default=7)
    args = parser.parse_args()
    count, repeat = args.positions, args.repeat
    result = BEAM.solve()
    xs = np.random.default_rng(1).uniform(0, SPAN, count)
    listed = xs.tolist()
    raw = result.raw
    assert result.bm(xs).tolist() == [raw.eval_bm(x) for x in listed]  # the same bits
    ours = best_ns(lambda: result.bm(xs), count, repeat)
    ascending = np.linspace(0, SPAN, count)
    rows: list[tuple[str, float]] = [
        ("Result.bm(array)", ours),
        ("Result.bm(array), ascending", best_ns(lambda: result.bm(ascending), count, repeat)),
        ("Result.at(array), four quantities", best_ns(lambda: result.at(xs), count, repeat)),
        ("Result.bm(list)", best_ns(lambda: result.bm(listed), count, repeat)),
        ("loop over flexura eval_bm", best_ns(lambda: [raw.eval_bm(x) for x in listed], count, repeat)),
    ]
    theirs = pycba_reader(listed)
    if theirs is not None:
        rows.append(("loop over pycba at(x, ('M',))", best_ns(theirs, count, max(1, repeat // 3))))
    print(f"arrays: {count:,} positions, 10 loads (python {sys.version.split()[0]}, "
          f"{os.cpu_count()} CPUs, median of {repeat})")
    for name, ns in rows:
        print(f"  {name:<36} {ns:9.1f} ns/position  {ns / ours:7.2f}x")
    base = import_ms("flexura", repeat)
    tools = import_ms("flexura_tools", repeat)
    numpy = import_ms("numpy", repeat)
    print(f"import flexura {base:.1f} ms, flexura_tools {tools:.1f} ms (numpy not imported), numpy {numpy:.1f} ms")
    print("(ratios to Result.bm(array) at random positions)")


if __name__ == "__main__":
    main()
