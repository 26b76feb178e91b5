#!/usr/bin/env python3
"""Timing benchmark of flexura against the interpreter's own call cost and other beam solvers.

Run from a checkout with the module installed (or on PYTHONPATH):

    python benchmarks/bench.py            # full run, about 70 s
    python benchmarks/bench.py --quick    # short run, fewer and shorter samples
    python benchmarks/bench.py --no-peers # flexura and the floors only
    python benchmarks/bench.py --check    # also the targets of RESULTS.md, met or missed

Every figure is the median of repeated samples, with the inter-quartile range (IQR) as the
spread (timing.py); numpy's BLAS runs on one thread.  The scenarios are those of
scenarios.py, the peers those of peers.py, the tables those of report.py.

The floors are what the interpreter itself needs for a call of the same shape:
  * call8:   operator.itemgetter(span, e, i, a, g, supports, loads, None), a C-implemented
             callable that takes *args: the argument tuple is built and one object created,
             nothing else, so it is the cost of any 8-argument call into C.
  * call1:   math.fabs(x), a builtin taking one float and returning a new float, looked up as
             an attribute like a method.
  * list200: array('d', ...).tolist(), a C loop creating 200 new floats in a new list.
  * lists5:  a dict of five such lists of the mesh length, the shape of plotting_vectors().

Peers (optional; see requirements.txt in this folder) are timed on the job
"build the model + solve + 200 deflection values along the beam".  A peer that is not
installed is named with the reason; one that cannot model a scenario is marked n/a.
"""

import os

# The peers use numpy; keep its BLAS on one thread like everything else measured here, so
# that spinning BLAS threads on a busy 2-core machine do not swing their times by 10x.
for _var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_var, "1")

import argparse  # noqa: E402
import gc  # noqa: E402
import math  # noqa: E402
import platform  # noqa: E402
import sys  # noqa: E402
import time  # noqa: E402
from array import array  # noqa: E402
from collections.abc import Callable, Sequence  # noqa: E402
from operator import itemgetter  # noqa: E402
from typing import Any, Optional  # noqa: E402

try:
    import flexura
except ImportError as exc:  # pragma: no cover - the benchmark needs the module
    sys.exit("flexura is not importable (%s); install it or put the build directory on PYTHONPATH" % exc)

import report  # noqa: E402
from peers import NotModelled, Peer, TooSlow, load_peers  # noqa: E402
from scenarios import (A, E, G, I, LOAD_COUNTS, SCENARIOS, SUPPORT_COUNTS, Load, Scenario,  # noqa: E402
                       Support, continuous, point_loads, scenario_a)
from timing import Bench, Stat, fmt_t  # noqa: E402

Stats = dict[str, Stat]
# A scenario after this many seconds of the run is left out (the full run takes about 70 s).
RUN_LIMIT_S = 600

# What is timed, by the name the tables and the targets use ("floor.call8", "a.solve").
FLOORS = {
    "call8": "ig(span, e, i, a, g, sup, loads, None)",
    "call1": "math.fabs(x)",
    "wrap1": "one.__add__(x)",
    "list200": "v200.tolist()",
    "lists5": "{'x': vals.tolist(), 'nf': vals.tolist(), 'sf': vals.tolist(), 'bm': vals.tolist(), 'd': vals.tolist()}",
    "calls200": "[math.fabs(x) for x in xs]",
}
OPERATIONS = {
    "solve": "solve(*args)",
    "eval_d": "r.eval_d(x)",
    "get_bm": "r.get_bending_moment(x)",
    "reactions": "r.reactions()",
    "pv": "r.plotting_vectors(200)",
    "evals200": "[r.eval_d(x) for x in xs]",
    "job_eval": "q = solve(*args); [q.eval_d(x) for x in xs]",
    "job_pv": "solve(*args).plotting_vectors(200)['d']",
}


def measure_floors(bench: Bench, sa: Scenario, mesh_a: int) -> Stats:
    vals = array("d", [0.5 + k for k in range(mesh_a)])
    v200 = array("d", [0.5 + k for k in range(200)])
    span, e, i, aa, g, sup, loads = sa.args()
    ns = {"ig": itemgetter, "math": math, "x": 4.0, "one": 1.0, "v200": v200, "vals": vals,
          "xs": [sa.span * k / 199.0 for k in range(200)],
          "span": span, "e": e, "i": i, "a": aa, "g": g, "sup": sup, "loads": loads}
    return {name: bench.time(stmt, ns) for name, stmt in FLOORS.items()}


def measure_scenario(bench: Bench, sc: Scenario) -> Stats:
    r = flexura.solve(*sc.args())
    ns = {"flexura": flexura, "solve": flexura.solve, "args": sc.args(), "r": r, "x": sc.span * 0.37,
          "xs": [sc.span * k / 199.0 for k in range(200)]}
    return {name: bench.time(stmt, ns) for name, stmt in OPERATIONS.items()}


def measure_growth(bench: Bench, sizes: Sequence[int],
                   make: Callable[[int], tuple[float, list[Support], list[Load]]]) -> list[tuple[int, Stat, Stat, Stat]]:
    rows = []
    for n in sizes:
        span, sup, loads = make(n)
        ns: dict[str, Any] = {"solve": flexura.solve, "args": (span, E, I, A, G, sup, loads), "x": span * 0.37}
        ns["r"] = flexura.solve(*ns["args"])
        rows.append((n, bench.time("solve(*args)", ns), bench.time("r.eval_d(x)", ns),
                     bench.time("r.plotting_vectors(200)", ns)))
    return rows


def agreement(peer: Peer, sc: Scenario) -> report.Agreement:
    """The peer's reactions and deflections against flexura's on one scenario."""
    assert peer.check is not None
    res = flexura.solve(*sc.args())
    ref = {float(k): v for k, v in res.reactions().items()}
    reactions, deflections = peer.check(sc)
    worst = 0.0
    for pos, theirs in reactions.items():
        for mine, value in zip(ref[float(pos)], theirs):
            if value is not None:
                worst = max(worst, abs(mine - value))
    return report.Agreement(
        reaction_diff=worst,
        largest_reaction=max(abs(v) for vals in ref.values() for v in vals) or 1.0,
        deflection_diff=max((abs(res.eval_d(x) - d) for x, d in deflections), default=0.0),
        largest_deflection=max(abs(res.eval_d(sc.span * k / 200.0)) for k in range(201)) or 1.0)


def check_peers(peers: Sequence[Peer], scenarios: Sequence[Scenario]) -> None:
    report.agreement_header()
    for sc in scenarios:
        for peer in peers:
            if peer.error:
                continue
            try:
                report.agreement(sc.key, peer.label, agreement(peer, sc))
            except (NotModelled, TooSlow) as exc:
                report.peer_note(sc.key, peer.label, "n/a (%s)" % exc)
            except Exception as exc:
                report.peer_note(sc.key, peer.label, "FAILED %s: %s" % (type(exc).__name__, exc))


def first_run_ns(peer: Peer, sc: Scenario) -> float:
    """One run of the peer's job, garbage collection off as in the timed batches; it also
    checks that the peer models the scenario (NotModelled, TooSlow)."""
    assert peer.job is not None
    gc.disable()
    try:
        start = time.perf_counter_ns()
        peer.job(sc)
        return time.perf_counter_ns() - start
    finally:
        gc.enable()


def time_peers(bench: Bench, peers: Sequence[Peer], scenarios: Sequence[Scenario], flexura_stats: dict[str, Stats],
               slow_peers: bool) -> dict[str, Stat]:
    """The job of each peer on each scenario, as {"<peer>.<scenario key>": Stat}.  A peer whose
    job took over 0.5 s is left out on later scenarios unless `slow_peers`."""
    report.peer_jobs_header()
    timed: dict[str, Stat] = {}
    slowest: dict[str, float] = {}
    for sc in scenarios:
        for peer in peers:
            if peer.error or sc.key not in flexura_stats:
                continue
            if slowest.get(peer.label, 0) > 0.5e9 and not slow_peers:
                report.peer_note(sc.key, peer.label, "not run: a smaller scenario took %s (--slow-peers runs it)"
                                 % fmt_t(slowest[peer.label]))
                continue
            try:
                first = first_run_ns(peer, sc)
            except NotModelled as exc:
                report.peer_note(sc.key, peer.label, "n/a (%s)" % exc)
                continue
            except TooSlow as exc:
                report.peer_note(sc.key, peer.label, "not run (%s)" % exc)
                continue
            except Exception as exc:
                report.peer_note(sc.key, peer.label, "failed: %s: %s" % (type(exc).__name__, exc))
                continue
            st = bench.time("job(sc)", {"job": peer.job, "sc": sc}, slow=True, first_ns=first)
            slowest[peer.label] = max(slowest.get(peer.label, 0), st.median)
            timed["%s.%s" % (peer.label.lower(), sc.key)] = st
            report.peer_job(sc.key, peer.label, st, flexura_stats[sc.key])
    report.out()
    return timed


def medians(floors: Stats, flexura_stats: dict[str, Stats], peer_stats: dict[str, Stat]) -> dict[str, float]:
    """Every median of the run by the names the targets use: floor.call8, a.solve, pycba.a."""
    named = {"floor." + k: st.median for k, st in floors.items()}
    for key, stats in flexura_stats.items():
        named.update({"%s.%s" % (key, k): st.median for k, st in stats.items()})
    named.update({k: st.median for k, st in peer_stats.items()})
    return named


def parse_args(argv: Optional[Sequence[str]]) -> argparse.Namespace:
    ap = argparse.ArgumentParser(description=(__doc__ or "").split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="short run: fewer, shorter samples")
    ap.add_argument("--no-peers", action="store_true", help="time flexura and the floors only")
    ap.add_argument("--peers", default="", help="comma-separated subset of peers to run")
    ap.add_argument("--slow-peers", action="store_true",
                    help="also time a peer on the larger scenarios after one of its runs took "
                         "over 0.5 s (anastruct and PyNiteFEA then take about a minute on (e))")
    ap.add_argument("--check", action="store_true",
                    help="also print the targets of RESULTS.md against this run; exit 1 if one is missed")
    return ap.parse_args(argv)


def main(argv: Optional[Sequence[str]] = None) -> int:
    a = parse_args(argv)
    targets = report.read_targets(report.RESULTS.read_text(encoding="utf-8")) if a.check else []
    bench = Bench(a.quick)
    t_start = time.perf_counter()
    report.header(platform.python_version(), platform.machine(), os.cpu_count() or 0, a.quick, bench.loop_ns)

    sa = scenario_a()
    mesh_a = len(flexura.solve(*sa.args()).plotting_vectors(200)["x"])
    floors = measure_floors(bench, sa, mesh_a)
    report.floors(floors, mesh_a)

    scenarios = [make() for make in SCENARIOS]
    results: dict[str, Stats] = {}
    for sc in scenarios:
        results[sc.key] = measure_scenario(bench, sc)
        report.scenario(sc, results[sc.key], floors, len(flexura.solve(*sc.args()).plotting_vectors(200)["x"]))
        if time.perf_counter() - t_start > RUN_LIMIT_S:
            break

    report.growth("Growth with the number of supports (continuous beam, 2 m spans, udl + 1 point load)",
                  "supports", measure_growth(bench, SUPPORT_COUNTS, continuous))
    report.growth("Growth with the number of point loads (simply supported 10 m span)", "loads",
                  measure_growth(bench, LOAD_COUNTS, point_loads))

    peer_stats: dict[str, Stat] = {}
    if not a.no_peers:
        peers = load_peers({p.strip().lower() for p in a.peers.split(",") if p.strip()})
        report.peers(peers)
        check_peers(peers, scenarios[:2])
        peer_stats = time_peers(bench, peers, scenarios, results, a.slow_peers)

    missed = report.check_targets(targets, medians(floors, results, peer_stats)) if a.check else 0
    report.out("total run time %.0f s" % (time.perf_counter() - t_start))
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
