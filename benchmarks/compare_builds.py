#!/usr/bin/env python3
"""Compares two builds of flexura bit for bit on random beams.

    python benchmarks/compare_builds.py REFERENCE_DIR CANDIDATE_DIR [--beams 5000] [--seed 1]

Each directory holds a built module (flexura.abi3.so); for example the build
of the main branch and that of a change meant to leave every result as it
was. The beams (every load kind at any angle, springs, unit factors, shear
deformation on and off, polynomial loads with zero coefficients, ranges given
right to left, invalid and unsolvable inputs) are made here from the seed;
each build analyses them in a process of its own and writes, as float.hex,
the reactions, all eight queries at many positions and the plotting vectors,
or the exception. Any difference is printed with its beam, and the exit
status is 1.
"""

import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile
from dataclasses import asdict, dataclass
from pathlib import Path
from typing import Any

INF = math.inf
QUERIES = ["eval_nf", "eval_sf", "eval_bm", "eval_d",
           "get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"]
UNIT_KEYS = ["length", "force", "moment", "distributed", "stiffness", "A", "G", "E", "I", "deflection"]


@dataclass
class Beam:
    """One call of solve, every float as float.hex so that NaN and infinity survive JSON."""
    section: list[str]
    supports: list[list[str]]
    loads: list[tuple[str, list[str]]]
    units: dict[str, str] | None
    at: list[str]
    mesh: int


def hexes(values: list[float]) -> list[str]:
    return [v.hex() for v in values]


def floats(values: list[str]) -> list[float]:
    return [float.fromhex(v) for v in values]


def restraint(rng: random.Random) -> float:
    return rng.choice([0.0, -0.0, INF, INF, INF, rng.uniform(1e2, 1e7), math.nan if rng.random() < 0.1 else INF])


def random_load(rng: random.Random, span: float) -> tuple[str, list[float]]:
    def pos() -> float:
        return rng.choice([rng.uniform(-0.1 * span, 1.1 * span), 0.0, span, round(rng.uniform(0, span), 1)])

    def angle() -> float:
        return rng.choice([90.0, -90.0, 0.0, 180.0, 270.0, 45.0, rng.uniform(-360, 360), 5e-7])

    def value() -> float:
        return rng.choice([rng.uniform(-50, 50), -10.0, 0.0, 3.0])

    kind = rng.choice(["point", "udl", "trap", "torque", "dist"] if rng.random() > 0.005 else ["bogus", "Point"])
    if kind == "point":
        params = [value(), pos(), angle()]
    elif kind == "udl":
        params = [value(), pos(), pos(), angle()]  # reversed ranges included
    elif kind == "trap":
        w = value()
        params = [w, rng.choice([w, value()]), pos(), pos(), angle()]
    elif kind == "torque":
        params = [value(), pos()]
    elif kind == "dist":
        start, end = pos(), pos()
        coefficients = [rng.choice([0.0, rng.uniform(-2, 2), rng.uniform(-0.05, 0.05)])
                        for _ in range(rng.randint(1, 7))]
        params = [start, end, angle()] + coefficients
    else:
        params = [value()]
    if rng.random() < 0.005:
        params = params[:rng.randint(0, len(params))]  # maybe too few
    if rng.random() < 0.05:
        params = params + [value()]  # surplus
    return kind, params


def random_beam(rng: random.Random) -> Beam:
    span = rng.choice([10.0, 6.0, rng.uniform(0.5, 40), 8000.0])
    shear = rng.random() < 0.5
    section = [rng.uniform(1e4, 2.1e8), rng.uniform(1e-6, 1.0), rng.uniform(1e-4, 1.0),
               rng.uniform(1e4, 8e7) if shear else INF]
    count = rng.choice([1, 2, 2, 2, 3, 4, 5, 8, 12])
    supports = []
    for k in range(count):
        x = span * k / max(count - 1, 1)
        if rng.random() < 0.1:
            x = rng.choice([0.0, span, rng.uniform(0, span)])  # maybe a second support at one position
        supports.append([x, restraint(rng), restraint(rng), rng.choice([0.0, 0.0, 0.0, INF, 5.0])])
    supports[0][1:3] = [INF, INF]  # mostly stable: a pin, fixed when alone
    if count == 1:
        supports[0][3] = INF
    if rng.random() < 0.3:
        rng.shuffle(supports)
    loads = [random_load(rng, span) for _ in range(rng.choice([0, 1, 1, 2, 3, 6, 15]))]
    units = None
    if rng.random() < 0.4:
        units = {key: rng.choice([1.0, 1000.0, 0.001, rng.uniform(0.1, 10)])
                 for key in rng.sample(UNIT_KEYS, rng.randint(0, len(UNIT_KEYS)))}
    at = [span * k / 7 for k in range(8)] + [s[0] for s in supports] + [-1.0, span + 1, rng.uniform(0, span)]
    for _, params in loads:
        at += params[:2]
    return Beam(hexes([span] + section), [hexes(s) for s in supports],
                [(kind, hexes(p)) for kind, p in loads], None if units is None else
                {k: v.hex() for k, v in units.items()}, hexes(at), rng.choice([0, 2, 7, 50, 200]))


def analyse(beam: Beam) -> dict[str, Any]:
    """Every result of one beam, as hex."""
    import flexura  # the build on PYTHONPATH

    # Any: unknown kind texts and malformed supports are passed on purpose.
    args: tuple[Any, ...] = (*floats(beam.section), [tuple(floats(s)) for s in beam.supports],
            [(kind, floats(p)) for kind, p in beam.loads],
            None if beam.units is None else {k: float.fromhex(v) for k, v in beam.units.items()})
    try:
        r = flexura.solve(*args)
    except Exception as e:
        return {"error": f"{type(e).__name__}: {e}"}
    out: dict[str, Any] = {"reactions": {k: hexes(v) for k, v in r.reactions().items()}}
    for q in QUERIES:
        out[q] = hexes([getattr(r, q)(x) for x in floats(beam.at)])
    out["plot"] = {k: hexes(v) for k, v in r.plotting_vectors(beam.mesh).items()}
    return out


def worker(cases: Path, results: Path) -> None:
    beams = [Beam(**c) for c in json.loads(cases.read_text())]
    results.write_text(json.dumps([analyse(b) for b in beams]))


def run_build(build: str, cases: Path, results: Path) -> list[dict[str, Any]]:
    env = dict(os.environ, PYTHONPATH=str(Path(build).resolve()))
    subprocess.run([sys.executable, __file__, "--worker", str(cases), str(results)], env=env, check=True)
    loaded: list[dict[str, Any]] = json.loads(results.read_text())
    return loaded


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("reference", nargs="?")
    parser.add_argument("candidate", nargs="?")
    parser.add_argument("--beams", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--worker", nargs=2, metavar=("CASES", "RESULTS"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.worker:
        worker(Path(args.worker[0]), Path(args.worker[1]))
        return 0
    if not args.reference or not args.candidate:
        parser.error("REFERENCE_DIR and CANDIDATE_DIR are needed")
    rng = random.Random(args.seed)
    beams = [random_beam(rng) for _ in range(args.beams)]
    with tempfile.TemporaryDirectory() as work:
        cases = Path(work, "cases.json")
        cases.write_text(json.dumps([asdict(b) for b in beams]))
        want = run_build(args.reference, cases, Path(work, "reference.json"))
        got = run_build(args.candidate, cases, Path(work, "candidate.json"))
    differing = [k for k in range(len(beams)) if want[k] != got[k]]
    for k in differing[:10]:
        keys = sorted(key for key in want[k].keys() | got[k].keys() if want[k].get(key) != got[k].get(key))
        print(f"beam {k} differs in {', '.join(keys)}: {asdict(beams[k])}")
    errors = sum("error" in w for w in want)
    values = sum(len(v) for w in want for key, v in w.items() if key in QUERIES)
    print(f"{len(beams)} beams ({errors} failing alike), {values} query values: {len(differing)} differ")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
