#!/usr/bin/env python3
"""Wall time and peak memory of large solves, for one build or two side by side.

    python benchmarks/solve_cost.py BUILD_DIR [BUILD_DIR ...] [--repeat 5]

Each scenario (200 and 1,000 supports on a continuous beam, 10,000 point
loads on one span) runs in a fresh interpreter with the build's directory
first on the module path: the arguments are made, then solve() is called
`repeat` times. Printed are the best wall time of one call, and how far one
call raised the process's peak resident memory above what the arguments
had already taken (the result is held until the measurement, as a caller
would hold it).
"""

import argparse
import json
import os
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

SCENARIOS = ["200 supports", "1,000 supports", "10,000 loads"]

WORKER = r"""
import json, resource, sys, time
import flexura

INF = float("inf")
SECTION = (2.1e8, 8.0e-5, 5.0e-3, INF)


def continuous(n):
    span = 2.0 * (n - 1)
    supports = [(0.0, INF, INF, 0.0)] + [(2.0 * k, 0.0, INF, 0.0) for k in range(1, n)]
    return (span, *SECTION, supports, [("udl", [-10.0, 0.0, span, 90.0]), ("point", [-15.0, 1.0, 90.0])])


def point_loads(n):
    loads = [("point", [-(1.0 + k % 7), 10.0 * (k + 0.5) / n, 90.0]) for k in range(n)]
    return (10.0, *SECTION, [(0.0, INF, INF, 0.0), (10.0, 0.0, INF, 0.0)], loads)


scenario, repeat = sys.argv[1], int(sys.argv[2])
args = {"200 supports": continuous(200), "1,000 supports": continuous(1000), "10,000 loads": point_loads(10000)}[scenario]
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
result = flexura.solve(*args)
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
del result
best = float("inf")
for _ in range(repeat):
    start = time.perf_counter()
    flexura.solve(*args)
    best = min(best, time.perf_counter() - start)
print(json.dumps({"seconds": best, "peak_kib": peak}))
"""


@dataclass
class Cost:
    seconds: float
    peak_kib: int


def measure(build: str, scenario: str, repeat: int) -> Cost:
    env = dict(os.environ, PYTHONPATH=str(Path(build).resolve()))
    out = subprocess.run([sys.executable, "-c", WORKER, scenario, str(repeat)], env=env, capture_output=True,
                         text=True, check=True)
    values = json.loads(out.stdout)
    return Cost(float(values["seconds"]), int(values["peak_kib"]))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("builds", nargs="+", help="directories holding a built flexura module")
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    print(f"{'scenario':<16}" + "".join(f"{Path(b).name:>28}" for b in args.builds))
    for scenario in SCENARIOS:
        costs = [measure(b, scenario, args.repeat) for b in args.builds]
        print(f"{scenario:<16}" + "".join(f"{c.seconds * 1e3:>12.2f} ms {c.peak_kib:>9,} KiB" for c in costs))


if __name__ == "__main__":
    main()
