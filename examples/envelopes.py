"""Design envelopes of a three-span continuous bridge girder (20 + 25 + 20 m).

* load combinations of the permanent case G and the traffic case Q, each one
  solve of its factored loads;
* the traffic load patterned span by span (1.35 G + 1.5 Q where it hurts,
  1.0 G elsewhere);
* Load Model 1 of EN 1991-2 on lane 1 (two 300 kN axles 1.2 m apart and
  27 kN/m) driven across both ways at 0.1 m steps;
* the influence line of the moment at the middle of span 2.

Prints the extremes of each envelope with the member that causes them and the
range of the support reactions; writes the vehicle's envelope to envelope.png
(or the path given).

Run:
    python examples/envelopes.py [--step 0.1] [envelope.png]
"""

import argparse
import sys
import time

import flexura_tools as ft
from flexura_tools import plot

NAMES = {"length": "m", "force": "kN", "moment": "kNm", "deflection": "mm"}


def girder():
    """Prestressed concrete box girder in kN and m; deflections read in mm."""
    supports = [ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"),
                ft.Support.roller(65, "D")]
    cases = {"G": [ft.UniformLoad(w=-180.0)],                 # self weight and surfacing
             "Q": [ft.UniformLoad(w=-27.0)]}                  # 9 kN/m2 on a 3 m lane
    combinations = [ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5}),
                    ft.Combination(name="SLS", factors={"G": 1.0, "Q": 1.0})]
    return ft.Beam(title="Three-span girder 20 + 25 + 20 m", span=65, E=3.6e7, I=2.9, A=6.1,
                   supports=supports, cases=cases, combinations=combinations,
                   units={"deflection": 1e-3}, unit_names=NAMES)


def report(title, envelope, quantities=("sf", "bm", "d")):
    print(title)
    extremes = envelope.extremes()
    for q in quantities:
        e = extremes[q]
        print(f"  {q:2}  max {e.max:10.2f} at x = {e.x_max:6.2f} ({envelope.names[e.max_member]})")
        print(f"      min {e.min:10.2f} at x = {e.x_min:6.2f} ({envelope.names[e.min_member]})")
    for r in envelope.reactions:
        print(f"  ry at {r.label}: {r.ry.min:9.2f} to {r.ry.max:9.2f} kN")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("picture", nargs="?", default="envelope.png")
    parser.add_argument("--step", type=float, default=0.1, help="vehicle step in m (default 0.1)")
    args = parser.parse_args(argv)
    beam = girder()

    report("Combinations", ft.envelope(beam.solve_combinations()))
    uls = beam.factored({"G": 1.35, "Q": 1.5})
    report("Traffic patterned span by span (1.35 G + 1.5 Q loaded, 1.0 G unloaded)",
           ft.pattern_envelope(beam, uls, beam.factored({"G": 1.0})))

    start = time.perf_counter()
    moving = ft.moving_load(beam.with_loads([]), ft.lm1_lane1(), step=args.step, quantities=("sf", "bm"))
    seconds = time.perf_counter() - start
    count = len(moving.envelope.names)
    report(f"LM1 lane 1 both ways at {args.step:g} m: {count} positions in {seconds:.2f} s", moving.envelope,
           ("sf", "bm"))
    worst = moving.extremes()["bm"]
    print(f"  largest sagging moment with the axles at {moving.position(worst.max_member).axles}")

    line = ft.influence_line(beam, "bm", 32.5)
    top = max(line.value)
    print(f"Influence line of the moment at x = 32.5: largest ordinate {top:.4f} m "
          f"with the unit load at x = {line.x[line.value.index(top)]:g}")

    if not plot.available():
        print("the picture needs matplotlib: pip install matplotlib")
        return 0
    plot.save_envelope_png(moving.envelope, args.picture, ("sf", "bm"),
                           title="LM1 lane 1 on the three-span girder: envelope of every position, both ways")
    print(f"wrote {args.picture}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
