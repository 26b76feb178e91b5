"""Monte Carlo study of a floor beam, run serially, on local processes and on Dask.

The beam: an IPE 400 of 8 m, fixed at its left end (x = 0) and carried at its
right end (x = 8 m) by a hanger that acts as a vertical spring. It carries a
permanent uniform load of 6 kN/m. Every sample draws

* a point load of 10-80 kN (downward) at a position between 0.5 and 7.5 m,
* a hanger stiffness between 2,000 and 20,000 kN/m,
* a Young's modulus between 195 and 215 GPa (G = E / 2.6),

solves the beam and records the largest absolute deflection (mm) and bending
moment (kNm) from plotting_vectors. Sample k draws from its own generator
random.Random(seed * 2**32 + k), so a sample is the same wherever and in
whichever order it runs, and the three modes return bit-identical results.

Run:
    python examples/sweep.py                      # 20,000 samples, all modes
    python examples/sweep.py --samples 100000 --workers 8
    python examples/sweep.py --scheduler tcp://host:8786   # an existing Dask cluster

Dask is optional (pip install "dask[distributed]"); without it the Dask mode
is skipped. On a real cluster every worker needs flexura installed; the
functions of this file are shipped with the tasks.
"""

import argparse
import os
import random
import sys
import time
from concurrent.futures import ProcessPoolExecutor

import flexura

INF = float("inf")
SPAN = 8.0  # m
I = 23130.0  # cm^4, IPE 400
A = 84.46  # cm^2
UDL = -6.0  # kN/m
UNITS = {
    "force": 1e3,
    "moment": 1e3,
    "distributed": 1e3,
    "stiffness": 1e3,
    "E": 1e9,
    "G": 1e9,
    "I": 1e-8,
    "A": 1e-4,
    "deflection": 1e-3,  # mm
}

# Worker processes started by "spawn" or "forkserver" import this file again by
# its module name; when it was itself imported by path, make its folder findable.
if __name__ != "__main__":
    _here = os.path.dirname(os.path.abspath(__file__))
    if _here not in sys.path:
        sys.path.append(_here)


def sample_params(seed, index):
    """Parameters of sample `index`, drawn from a generator of its own."""
    rng = random.Random(seed * 2 ** 32 + index)
    return {
        "p": -rng.uniform(10.0, 80.0),  # kN, downward
        "x": rng.uniform(0.5, SPAN - 0.5),  # m
        "k": rng.uniform(2000.0, 20000.0),  # kN/m
        "e": rng.uniform(195.0, 215.0),  # GPa
    }


def solve_sample(seed, index, n_points=200):
    """(max |deflection| in mm, max |bending moment| in kNm) of one sample."""
    s = sample_params(seed, index)
    supports = [(0.0, INF, INF, INF), (SPAN, 0.0, s["k"], 0.0)]
    loads = [("udl", [UDL, 0.0, SPAN, 90.0]), ("point", [s["p"], s["x"], 90.0])]
    result = flexura.solve(SPAN, s["e"], I, A, s["e"] / 2.6, supports, loads, UNITS)
    v = result.plotting_vectors(n_points)
    return max(abs(d) for d in v["d"]), max(abs(m) for m in v["bm"])


def run_chunk(seed, start, stop, n_points=200):
    """Samples start..stop-1 as a list of (deflection, moment) float pairs."""
    return [solve_sample(seed, k, n_points) for k in range(start, stop)]


def _chunks(count, size):
    return [(lo, min(lo + size, count)) for lo in range(0, count, size)]


def run_serial(seed, count, n_points=200):
    return run_chunk(seed, 0, count, n_points)


def run_processes(seed, count, n_points=200, workers=None, chunk=500):
    """The same chunks on a local process pool; results in sample order."""
    parts = _chunks(count, chunk)
    with ProcessPoolExecutor(max_workers=workers) as pool:
        results = pool.map(run_chunk, [seed] * len(parts), [lo for lo, _ in parts],
                           [hi for _, hi in parts], [n_points] * len(parts))
        return [pair for part in results for pair in part]


def dask_client(scheduler=None, workers=None):
    """A Client on `scheduler` (an address such as tcp://host:8786), or on a
    new LocalCluster of single-threaded worker processes. Raises ImportError
    when dask.distributed is not installed."""
    from dask.distributed import Client, LocalCluster
    import cloudpickle

    # Ship this file's functions with the tasks, so that remote workers need
    # flexura but not this example. A script run as __main__ is shipped anyway.
    if __name__ != "__main__" and __name__ in sys.modules:
        cloudpickle.register_pickle_by_value(sys.modules[__name__])
    if scheduler:
        return Client(scheduler)
    cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                           processes=True, dashboard_address=None)
    return Client(cluster)


def warm_up(client, seed, n_points=200):
    """Import flexura on every worker before timing by running one sample each."""
    n = max(1, len(client.scheduler_info()["workers"]))
    client.gather(client.map(run_chunk, [seed] * n, range(n), range(1, n + 1), [n_points] * n, pure=False))


def run_dask(client, seed, count, n_points=200, chunk=500):
    """The same chunks as Dask tasks; results gathered in sample order."""
    parts = _chunks(count, chunk)
    futures = client.map(run_chunk, [seed] * len(parts), [lo for lo, _ in parts],
                         [hi for _, hi in parts], [n_points] * len(parts), pure=False)
    return [pair for part in client.gather(futures) for pair in part]


def close_client(client):
    cluster = client.cluster
    client.close()
    if cluster is not None:
        cluster.close()


def bits(results):
    """The results as exact hexadecimal float texts, for a bit-for-bit comparison."""
    return [(d.hex(), m.hex()) for d, m in results]


def percentile(sorted_values, q):
    """Linear interpolation between the closest ranks, q in [0, 100]."""
    pos = (len(sorted_values) - 1) * q / 100.0
    lo = int(pos)
    hi = min(lo + 1, len(sorted_values) - 1)
    return sorted_values[lo] + (sorted_values[hi] - sorted_values[lo]) * (pos - lo)


def print_distribution(results):
    qs = (5, 50, 95, 99, 100)
    print("  %-28s" % "percentile" + "".join("%10s" % ("p%d" % q if q < 100 else "max") for q in qs))
    for label, col in (("max |deflection| [mm]", 0), ("max |bending moment| [kNm]", 1)):
        values = sorted(r[col] for r in results)
        print("  %-28s" % label + "".join("%10.2f" % percentile(values, q) for q in qs))


def main(argv=None):
    parser = argparse.ArgumentParser(description="Monte Carlo sweep of a floor beam.")
    parser.add_argument("--samples", type=int, default=20000)
    parser.add_argument("--seed", type=int, default=2024)
    parser.add_argument("--points", type=int, default=200, help="plotting_vectors sample count per beam")
    parser.add_argument("--workers", type=int, default=None, help="processes (default: all cores)")
    parser.add_argument("--chunk", type=int, default=500, help="samples per task")
    parser.add_argument("--scheduler", default=None,
                        help="address of a running Dask scheduler, e.g. tcp://host:8786 "
                             "(default: start a LocalCluster)")
    args = parser.parse_args(argv)

    print("Monte Carlo sweep: %d samples of an 8 m IPE 400 floor beam (seed %d)\n"
          % (args.samples, args.seed))
    timings = []

    t = time.perf_counter()
    serial = run_serial(args.seed, args.samples, args.points)
    timings.append(("serial", time.perf_counter() - t))

    t = time.perf_counter()
    pooled = run_processes(args.seed, args.samples, args.points, args.workers, args.chunk)
    timings.append(("process pool (start-up included)", time.perf_counter() - t))
    print("process pool results bit-identical to serial: %s" % (bits(pooled) == bits(serial)))

    try:
        t = time.perf_counter()
        client = dask_client(args.scheduler, args.workers)
    except ImportError:
        print("dask mode skipped: dask.distributed is not installed "
              "(pip install \"dask[distributed]\").")
    else:
        try:
            warm_up(client, args.seed, args.points)
            print("dask cluster ready in %.2f s (%s)" % (time.perf_counter() - t, client.scheduler.address))
            t = time.perf_counter()
            distributed = run_dask(client, args.seed, args.samples, args.points, args.chunk)
            timings.append(("dask (warm cluster)", time.perf_counter() - t))
        finally:
            close_client(client)
        print("dask results bit-identical to serial: %s" % (bits(distributed) == bits(serial)))
        if not args.scheduler:
            print("To run on a real cluster: python examples/sweep.py --scheduler tcp://host:8786")

    print("\n  %-34s %10s %14s" % ("mode", "time [s]", "samples/s"))
    for mode, seconds in timings:
        print("  %-34s %10.3f %14.0f" % (mode, seconds, args.samples / seconds))
    print("\nDistribution over %d samples" % len(serial))
    print_distribution(serial)
    return 0


if __name__ == "__main__":
    sys.exit(main())
