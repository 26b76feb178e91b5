#!/usr/bin/env python3
"""What sections and a hinge cost a solve through flexura_tools: the README's
three-span girder (20 + 25 + 20 m, kN and m) under its permanent load and a
point load, prismatic, and with the middle span deeper (two steps of section,
over the piers B and C) and a hinge at x = 30 in it.

    python benchmarks/extended_model.py [--repeat 7]        # wall clock, both, ratio
    python benchmarks/extended_model.py --callgrind 200     # instructions, both, ratio

The wall clock is the median of --repeat runs of 2,000 beam.solve() calls each,
the two girders alternating so that a busy machine slows both alike. The
instruction counts run each girder under valgrind's callgrind N times and 0
times (one warm-up solve in both) and take the difference over N: the cost of
one beam.solve() with the interpreter's start-up cancelled out. Also the README's
vehicle job on each (LM1 both ways at 0.1 m on the girder without loads of its
own, with extremes()) by the clock, beside pycba's run_vehicle on the same
girders when pycba is installed (the extended one as four members: 0-20, 20-30
released at its right end, 30-45, 45-65, the middle two deeper).
"""

from __future__ import annotations

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
from collections.abc import Callable
from types import ModuleType
from typing import Any

import flexura_tools as ft

SUPPORTS = [ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"), ft.Support.roller(65, "D")]
LOADS: list[ft.Load] = [ft.UniformLoad(w=-150.0), ft.PointLoad(x=32.5, force=-600.0)]
DEEPER = [ft.Section(x1=0, x2=20), ft.Section(x1=20, x2=45, I=4.35), ft.Section(x1=45, x2=65)]
SOLVES = 2_000


def girder(extended: bool) -> ft.Beam:
    """The README's girder; extended: the middle span deeper and a hinge in it."""
    return ft.Beam(span=65, E=3.6e7, I=2.9, A=6.1, supports=SUPPORTS, loads=LOADS,
                   sections=DEEPER if extended else (), hinges=[30.0] if extended else [])


def solve_loop(beam: ft.Beam, count: int) -> float:
    """Seconds for `count` solves of a checked beam."""
    beam.solve()
    start = time.perf_counter()
    for _ in range(count):
        beam.solve()
    return time.perf_counter() - start


def seconds(job: Callable[[], object]) -> float:
    start = time.perf_counter()
    job()
    return time.perf_counter() - start


def flexura_vehicle(extended: bool) -> Callable[[], object]:
    beam = girder(extended).with_loads([])
    return lambda: ft.moving_load(beam, ft.lm1_lane1(), step=0.1).extremes()


def pycba_vehicle(cba: ModuleType, extended: bool) -> Callable[[], object]:
    """LM1 both ways (it is its own reverse) with its lane load on every member."""
    ei = 3.6e7 * 2.9
    lengths, stiffness, types = ([20.0, 10.0, 15.0, 20.0], [ei, 1.5 * ei, 1.5 * ei, ei], [1, 2, 1, 1]) if extended \
        else ([20.0, 25.0, 20.0], [ei, ei, ei], [1, 1, 1])
    restraints = [-1, 0, -1, 0, 0, 0, -1, 0, -1, 0] if extended else [-1, 0] * 4

    def one_way() -> Any:
        beam = cba.BeamAnalysis(lengths, stiffness, restraints, [[k, 1, 27.0] for k in range(1, len(lengths) + 1)],
                                eletype=types)
        return cba.BridgeAnalysis(beam, cba.Vehicle([1.2], [300.0, 300.0])).run_vehicle(0.1)

    def both() -> object:
        envelope = one_way()
        envelope.augment(one_way())
        return envelope
    return both


def instructions(extended: bool, count: int) -> int:
    """Callgrind's total instructions for a run of `count` solves."""
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "cg.out")
        command = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", sys.executable, __file__,
                   "--run", "extended" if extended else "prismatic", str(count)]
        done = subprocess.run(command, capture_output=True, text=True, check=True,
                              env={**os.environ, "PYTHONHASHSEED": "0"})
        found = re.search(r"Collected : (\d+)", done.stderr)
        if found is None:
            raise RuntimeError("callgrind printed no total:\n" + done.stderr)
        return int(found.group(1))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--callgrind", type=int, metavar="N", default=0)
    parser.add_argument("--run", nargs=2, metavar=("GIRDER", "N"), help=argparse.SUPPRESS)  # one measured run
    args = parser.parse_args()
    if args.run:
        beam = girder(args.run[0] == "extended")
        beam.solve()
        for _ in range(int(args.run[1])):
            beam.solve()
        return
    if args.callgrind:
        per_solve: dict[bool, float] = {}
        for extended in (False, True):
            per_solve[extended] = (instructions(extended, args.callgrind) - instructions(extended, 0)) / args.callgrind
        print(f"instructions per beam.solve(): prismatic {per_solve[False]:,.0f}, with two steps and a hinge "
              f"{per_solve[True]:,.0f}: {per_solve[True] / per_solve[False]:.2f}x")
        return
    try:
        import pycba as cba
    except ImportError:
        cba = None
    times: dict[bool, list[float]] = {False: [], True: []}
    vehicles: dict[bool, list[float]] = {False: [], True: []}
    peers: dict[bool, list[float]] = {False: [], True: []}
    for _ in range(args.repeat):
        for extended in (False, True):
            times[extended].append(solve_loop(girder(extended), SOLVES) / SOLVES)
            vehicles[extended].append(seconds(flexura_vehicle(extended)))
            if cba is not None:
                peers[extended].append(seconds(pycba_vehicle(cba, extended)))
    solve = {k: statistics.median(v) for k, v in times.items()}
    vehicle = {k: statistics.median(v) for k, v in vehicles.items()}
    print(f"beam.solve(): prismatic {solve[False] * 1e6:.1f} us, with two steps and a hinge "
          f"{solve[True] * 1e6:.1f} us: {solve[True] / solve[False]:.2f}x (median of {args.repeat})")
    print(f"README vehicle job (LM1 both ways at 0.1 m, extremes()): prismatic {vehicle[False]:.3f} s, with two "
          f"steps and a hinge {vehicle[True]:.3f} s: {vehicle[True] / vehicle[False]:.2f}x")
    for extended, name in ((False, "prismatic"), (True, "with two steps and a hinge")):
        if peers[extended]:
            peer = statistics.median(peers[extended])
            print(f"  pycba run_vehicle both ways, {name}: {peer:.3f} s, {peer / vehicle[extended]:.1f}x flexura_tools")


if __name__ == "__main__":
    main()
