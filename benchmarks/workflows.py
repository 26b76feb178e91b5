#!/usr/bin/env python3
"""The engineering workflows of flexura_tools against pycba, in one process.

Four jobs on a three-span continuous beam (20 + 25 + 20 m, EI = 1.2e7 kNm2),
each run by both libraries with its result read as an envelope:

  vehicle    a four-axle vehicle (50, 110, 110, 110 kN; 3.6, 1.2, 6.0 m) driven
             across both ways at 0.1 m steps: shear, moment and reaction envelopes
             (pycba: BridgeAnalysis.run_vehicle forward and with the reversed
             vehicle, Envelopes.augment; flexura_tools: moving_load), also with
             every diagram and extremes()
  readme     the README's vehicle job: Load Model 1 (two 300 kN axles 1.2 m apart
             and 27 kN/m on the whole beam) both ways at 0.1 m over its girder
             (EI = 1.044e8 kNm2), default settings, with extremes() (pycba: the
             lane load on every span, run_vehicle in each direction)
  pattern    12 kN/m permanent and 6 kN/m variable, the variable load patterned
             span by span (pycba: LoadPattern.analyze, 1.35/1.0 and 1.5/0;
             flexura_tools: pattern_envelope on the same factored loads)
  lane       a lane-loaded load model on the README girder: LM1's tandem (two 300 kN
             axles 1.2 m apart) with its 27 kN/m lane on the whole beam but for a
             clear zone 2 m behind and 3 m ahead of the tandem, both ways at 0.1 m,
             sf and bm (pycba: BridgeAnalysis.run_load_model with w_lane and
             clearances, once per direction; flexura_tools: moving_load with
             Lane(placement="whole", clearances=...)); also flexura_tools alone with
             the lane on the adverse parts of each section's influence line (with and
             without the clear zone), and the HL-93 code model (codes.hl93().run),
             which pycba cannot express
  influence  the influence line of the moment at x = 32.5 for a unit load at 101
             positions (pycba: InfluenceLines.create_ils and get_il; flexura_tools:
             influence_line with n = 100)

pycba runs one direction per run_vehicle call; it is called once per direction, as
flexura_tools drives both. Each job runs --repeat times, the two libraries alternating so that a busy
machine slows both alike; the median time of each is printed with the ratio. Each run
is timed alone right after gc.collect(), so it starts cold; the short jobs (pattern,
influence) are also timed per run in loops of runs in a row, as timeit times them.
pycba reads 103 stations per span (its default); flexura_tools' vehicle mesh
holds every position an axle stands at (651 positions, both sides of each axle:
1,300 entries), also shown with axle_points=False and one point every 0.2 m
(about pycba's stations), and with all four diagrams.

    pip install pycba numpy   # the peer
    python benchmarks/workflows.py [--repeat 7]

Instruction counts of one flexura_tools job (no pycba, no timing): run it N and
0 times after one warm-up under callgrind and take the difference over N,

    valgrind --tool=callgrind python benchmarks/workflows.py --only pattern --repeat 10
"""

import os

# pycba uses numpy: keep its BLAS on one thread, like everything else measured here.
for _var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_var, "1")

import argparse
import gc
import platform
import statistics
import sys
import time
from collections.abc import Callable
from types import ModuleType
from typing import Any

import flexura_tools as ft

SPANS = (20.0, 25.0, 20.0)
EI = 3.0e7 * 0.4
WEIGHTS, SPACINGS = [50.0, 110.0, 110.0, 110.0], [3.6, 1.2, 6.0]
STEP = 0.1
G, Q = 12.0, 6.0


Job = Callable[[], object]


def girder() -> ft.Beam:
    xs = [0.0, 20.0, 45.0, 65.0]
    return ft.Beam(span=65.0, E=3.0e7, I=0.4, supports=[ft.Support.pin(0.0, "A")] +
                   [ft.Support.roller(x, label) for x, label in zip(xs[1:], "BCD")])


def flexura_vehicle(**options: Any) -> Callable[[], ft.MovingLoad]:
    def job() -> ft.MovingLoad:
        return ft.moving_load(girder(), ft.Vehicle(weights=WEIGHTS, spacings=SPACINGS), step=STEP, **options)
    return job


def flexura_vehicle_extremes() -> object:
    return flexura_vehicle()().extremes()


README_E, README_I, LM1_LANE = 3.6e7, 2.9, 27.0


def readme_moving() -> ft.MovingLoad:
    beam = ft.Beam(span=65, E=README_E, I=README_I, A=6.1, supports=[
        ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"), ft.Support.roller(65, "D")])
    return ft.moving_load(beam, ft.lm1_lane1(), step=STEP)


def flexura_readme() -> object:
    """The README's vehicle job: its girder (no loads of its own), LM1 both ways, extremes()."""
    return readme_moving().extremes()


def flexura_readme_coincident() -> object:
    """The README's vehicle job with every coincident value: of each band and of each extreme."""
    envelope = readme_moving().envelope
    return envelope.extremes_coincident(envelope.extremes())


LANE_CLEAR = (2.0, 3.0)


def readme_girder() -> ft.Beam:
    return ft.Beam(span=65, E=README_E, I=README_I, A=6.1, supports=[
        ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"), ft.Support.roller(65, "D")])


def flexura_lane(placement: str = "whole", cleared: bool = True) -> Callable[[], ft.MovingLoad]:
    def job() -> ft.MovingLoad:
        lane = ft.Lane(w=LM1_LANE, placement="whole" if placement == "whole" else "adverse",
                       clearances=LANE_CLEAR if cleared else None)
        return ft.moving_load(readme_girder(), ft.Vehicle(weights=[300.0, 300.0], spacings=[1.2]), step=STEP,
                              lane=lane, quantities=("sf", "bm"))
    return job


def flexura_hl93() -> object:
    return ft.codes.hl93().run(readme_girder(), step=STEP)


def flexura_pattern() -> ft.Envelope:
    beam = girder()
    return ft.pattern_envelope(beam, [ft.UniformLoad(w=-1.35 * G), ft.UniformLoad(w=-1.5 * Q)],
                               [ft.UniformLoad(w=-G)], quantities=("sf", "bm"))


def flexura_influence() -> ft.InfluenceLine:
    return ft.influence_line(girder(), "bm", 32.5, n=100)


ONLY: dict[str, Job] = {"vehicle": flexura_vehicle(quantities=("sf", "bm")),
        "vehicle-n325": flexura_vehicle(quantities=("sf", "bm"), axle_points=False, n=325),
        "vehicle-all": flexura_vehicle(), "vehicle-extremes": flexura_vehicle_extremes, "readme": flexura_readme,
        "readme-coincident": flexura_readme_coincident, "lane": flexura_lane(),
        "pattern": flexura_pattern, "influence": flexura_influence}


def pycba_jobs(cba: ModuleType) -> dict[str, Job]:
    restraints = [-1, 0] * 4

    def vehicle() -> object:
        forward = cba.BridgeAnalysis(cba.BeamAnalysis(list(SPANS), EI, restraints), cba.Vehicle(SPACINGS, WEIGHTS))
        env = forward.run_vehicle(STEP)
        back = cba.BridgeAnalysis(cba.BeamAnalysis(list(SPANS), EI, restraints),
                                  cba.Vehicle(SPACINGS[::-1], WEIGHTS[::-1]))
        env.augment(back.run_vehicle(STEP))
        return env

    def readme() -> object:
        def one_way() -> Any:
            beam = cba.BeamAnalysis(list(SPANS), README_E * README_I, restraints,
                                    [[k, 1, LM1_LANE] for k in (1, 2, 3)])
            return cba.BridgeAnalysis(beam, cba.Vehicle([1.2], [300.0, 300.0])).run_vehicle(STEP)
        env = one_way()
        env.augment(one_way())  # backward: LM1 is its own reverse
        return env

    def lane() -> object:
        def one_way(vehicle: Any) -> Any:
            beam = cba.BeamAnalysis(list(SPANS), README_E * README_I, restraints)
            return cba.BridgeAnalysis(beam, vehicle).run_load_model(STEP, LM1_LANE, clearances=LANE_CLEAR)
        env = one_way(cba.Vehicle([1.2], [300.0, 300.0]))
        env.augment(one_way(cba.Vehicle([1.2], [300.0, 300.0])))  # backward: the tandem is its own reverse
        return env

    def pattern() -> object:
        lp = cba.LoadPattern(cba.BeamAnalysis(list(SPANS), EI, restraints))
        lp.set_dead_loads([[k, 1, G] for k in (1, 2, 3)], 1.35, 1.0)
        lp.set_live_loads([[k, 1, Q] for k in (1, 2, 3)], 1.5, 0.0)
        return lp.analyze()

    def influence() -> object:
        il = cba.InfluenceLines(list(SPANS), EI, restraints)
        il.create_ils(step=65.0 / 100)
        return il.get_il(32.5, "M")

    return {"vehicle": vehicle, "readme": readme, "lane": lane, "pattern": pattern, "influence": influence}


def timed(job: Job, runs: int = 1) -> float:
    """Seconds per run of `runs` runs in a row, after a full collection."""
    gc.collect()
    start = time.perf_counter()
    for _ in range(runs):
        job()
    return (time.perf_counter() - start) / runs


# A job whose pycba run is shorter than this is also timed in loops of runs in a row
# (both libraries the same count), as timeit does: a single run right after
# gc.collect() (which walks every object of the process) starts with cold caches, and
# doubles a 0.57 ms pattern job measured alone.
LOOP_BELOW = 0.1
LOOP_SECONDS = 0.05


def in_loops(their_job: Job, ours: list[tuple[str, Job]], runs: int, repeat: int) -> None:
    """Both libraries timed per run in loops of `runs` runs in a row, alternating."""
    pycba_times: list[float] = []
    times: dict[str, list[float]] = {label: [] for label, _ in ours}
    for _ in range(repeat):
        pycba_times.append(timed(their_job, runs))
        for label, job in ours:
            times[label].append(timed(job, runs))
    reference = statistics.median(pycba_times)
    print(f"  in loops of {runs} runs in a row: pycba {reference * 1e3:9.2f} ms a run")
    for label, samples in times.items():
        median = statistics.median(samples)
        print(f"  flexura_tools {median * 1e3:9.2f} ms  {reference / median:6.1f}x faster  ({label}, in loops)")


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=7, help="runs of each job (default 7)")
    parser.add_argument("--only", choices=sorted(ONLY), help="run this flexura_tools job --repeat times after "
                        "one warm-up, without pycba and without timing (for instruction counts)")
    args = parser.parse_args(argv)
    if args.only:
        job = ONLY[args.only]
        for _ in range(args.repeat + 1):
            job()
        return 0
    try:
        import pycba as cba
    except ImportError as error:
        sys.exit(f"pycba is needed for the comparison ({error}): pip install pycba")
    theirs = pycba_jobs(cba)
    ours: dict[str, list[tuple[str, Job]]] = {
        "vehicle": [("sf, bm", flexura_vehicle(quantities=("sf", "bm"))),
                    ("sf, bm; no axle points, n = 325", flexura_vehicle(quantities=("sf", "bm"), axle_points=False,
                                                                        n=325)),
                    ("nf, sf, bm, d", flexura_vehicle()),
                    ("nf, sf, bm, d and extremes()", flexura_vehicle_extremes)],
        "readme": [("LM1, default settings, and extremes()", flexura_readme),
                   ("the same and every coincident value", flexura_readme_coincident)],
        "lane": [("the same: whole lane with its clear zone, sf and bm", flexura_lane()),
                 ("lane on the adverse parts instead (not in pycba)", flexura_lane("adverse", cleared=False)),
                 ("the adverse parts less the clear zone (not in pycba)", flexura_lane("adverse")),
                 ("HL-93 code model, codes.hl93().run (not in pycba)", flexura_hl93)],
        "pattern": [("sf, bm", flexura_pattern)],
        "influence": [("bm at 32.5", flexura_influence)],
    }
    version = getattr(cba, "__version__", "")
    print(f"workflows: flexura_tools against pycba {version} (python {platform.python_version()}, "
          f"{platform.machine()}, {os.cpu_count()} CPUs, median of {args.repeat})")
    for name, their_job in theirs.items():
        times: dict[str, list[float]] = {label: [] for label, _ in ours[name]}
        pycba_times: list[float] = []
        their_job()  # warm up both, then alternate
        for _, job in ours[name]:
            job()
        for _ in range(args.repeat):
            pycba_times.append(timed(their_job))
            for label, job in ours[name]:
                times[label].append(timed(job))
        reference = statistics.median(pycba_times)
        print(f"\n{name}: pycba {reference * 1e3:9.2f} ms")
        for label, samples in times.items():
            median = statistics.median(samples)
            print(f"  flexura_tools {median * 1e3:9.2f} ms  {reference / median:6.1f}x faster  ({label})")
        if reference < LOOP_BELOW:
            in_loops(their_job, ours[name], max(2, round(LOOP_SECONDS / reference)), args.repeat)
    moving = flexura_vehicle(quantities=("sf", "bm"))()
    print(f"\nvehicle: {len(moving.envelope.names)} positions, flexura_tools' mesh {len(moving.envelope.x)} entries; "
          f"pycba 103 stations per span")
    return 0


if __name__ == "__main__":
    sys.exit(main())
