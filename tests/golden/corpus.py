"""The golden corpus: beams whose every result is pinned to the bit.

    python tests/golden/corpus.py      # rewrites tests/golden/corpus.json

Regenerate only on purpose, when a change is meant to alter results (a
mended fault, a changed formula), and list the cases whose values moved.
A changed compiler flag, summation order or compiler must never be a
reason: that is what the corpus is there to catch.
"""
import json
import math
import sys
from pathlib import Path

INF, NAN = math.inf, math.nan
CORPUS = Path(__file__).with_name("corpus.json")
EVAL = ["eval_nf", "eval_sf", "eval_bm", "eval_d"]
GET = ["get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"]

PIN, ROLLER, FIXED = (INF, INF, 0), (0, INF, 0), (INF, INF, INF)
STEEL = (2.1e8, 8e-5, 5e-3, 8.1e7)  # kN/m^2, m^4, m^2, kN/m^2
NO_SHEAR = (1e4, 1, 1, INF)


def case(name, span, section, supports, loads, units=None):
    return {"name": name, "args": [span, *section, [list(s) for s in supports], [list(l) for l in loads], units]}


CASES = [
    case("simple_point", 10, NO_SHEAR, [(0, *PIN), (10, *ROLLER)], [("point", [-10, 5, 90])]),
    case("cantilever_point_torque", 4, STEEL, [(0, *FIXED)],
         [("point", [-12, 4, 90]), ("torque", [7.5, 2.5]), ("torque", [-3, 4, 45])]),
    case("udl_partial_angles", 10, STEEL, [(0, *PIN), (10, *ROLLER)],
         [("udl", [-3, 2, 7, 60]), ("udl", [2, 0, 10, -30]), ("udl", [-1.5, 3.3, 3.3, 90])]),
    case("trap_rising_falling", 9, STEEL, [(0, *PIN), (9, *ROLLER)],
         [("trap", [-1, -4, 1, 6, 90]), ("trap", [3, 0, 4, 9, 120]), ("trap", [-2, -2, 0, 9, 270])]),
    case("dist_cubic", 10, NO_SHEAR, [(0, *PIN), (10, *ROLLER)],
         [("dist", [1, 8, 90, -1, 0.5, -0.2, 0.03])]),
    case("dist_quintic_angled", 12, STEEL, [(0, *FIXED), (12, *ROLLER)],
         [("dist", [2.5, 9.5, 75, -4, 1, -0.3, 0.04, -0.002, 3e-5]), ("dist", [0, 12, 90, -2])]),
    case("continuous_three_spans", 18, STEEL, [(0, *PIN), (6, *ROLLER), (12, *ROLLER), (18, *ROLLER)],
         [("udl", [-10, 0, 18, 90]), ("point", [-25, 9, 90])]),
    case("vertical_springs", 10, STEEL, [(0, INF, 5e3, 0), (5, 0, INF, 0), (10, 0, 2e4, 0)],
         [("point", [-40, 2.5, 90]), ("udl", [-4, 5, 10, 90])]),
    case("horizontal_springs_four", 16, STEEL,
         [(0, INF, INF, 0), (4, 1e5, 0, 0), (9, 2e4, INF, 0), (16, 3e5, INF, 0)],
         [("point", [50, 2, 0]), ("point", [30, 6, 180]), ("udl", [-6, 3, 14, 30]), ("trap", [1, 4, 8, 15, 200])]),
    case("fixed_fixed_shear", 6, (2.1e8, 8e-5, 5e-3, 8.1e4), [(0, *FIXED), (6, *FIXED)],
         [("point", [-100, 2, 90]), ("udl", [-20, 0, 6, 90])]),
    case("rotational_spring_is_fixed", 5, STEEL, [(0, INF, INF, 12.5), (5, 0, INF, 0)],
         [("point", [-10, 3, 90])]),
    case("units_length_force_moment", 8000, (210, 8e7, 5e3, INF), [(0, *PIN), (8000, *ROLLER)],
         [("point", [-20, 3000, 90]), ("torque", [15, 6000])],
         {"length": 0.001, "force": 1000.0, "moment": 1000.0, "E": 1e6, "I": 1e-12, "A": 1e-6}),
    case("units_distributed_stiffness", 10, STEEL, [(0, *PIN), (4, 0, 2.5, 0), (10, 0, INF, 0)],
         [("udl", [-5, 0, 10, 90]), ("trap", [0, -3, 2, 8, 90])],
         {"distributed": 1000.0, "stiffness": 1e6, "force": 1000.0, "moment": 1000.0}),
    case("units_section_deflection", 7, (210, 8000, 50, 81), [(0, *FIXED)],
         [("point", [-5, 7, 90]), ("point", [3, 7, 0])],
         {"E": 1e6, "I": 1e-8, "A": 1e-4, "G": 1e6, "deflection": 0.001, "unknown_key": 5.0}),
    case("no_loads", 10, NO_SHEAR, [(0, *PIN), (10, *ROLLER)], []),
    case("singular_no_vertical_restraint", 10, NO_SHEAR, [(0, INF, 0, 0), (10, 0, 0, 0)],
         [("point", [-10, 5, 90])]),
    case("nan_support_position", 10, NO_SHEAR, [(0, *PIN), (NAN, *ROLLER)], [("point", [-10, 5, 90])]),
    case("supports_unordered_with_ties", 12, STEEL,
         [(12, *ROLLER), (4, 0, 0, 0), (0, *PIN), (4, 0, INF, 0), (8, 1e4, 0, 0)],
         [("udl", [-2, 0, 12, 90]), ("point", [5, 10, 10])]),
    case("loads_outside_span", 10, NO_SHEAR, [(0, *PIN), (10, *ROLLER)],
         [("point", [-4, 12, 90]), ("udl", [-1, -2, 3, 90]), ("udl", [-1, 8, 2, 90])]),
    case("two_supports_one_position", 10, NO_SHEAR, [(0, INF, INF, 0), (0, 0, 0, INF)],
         [("point", [-10, 5, 90])]),
    case("near_axial_loads", 10, (2e11, 1e-4, 1e-2, INF), [(0, *PIN), (10, *ROLLER)],
         [("point", [-1e9, 2, 5e-7]), ("point", [1e6, 3, 180]), ("udl", [-5, 2, 8, 90])]),
    case("zero_length_trap", 10, NO_SHEAR, [(0, *PIN), (10, *ROLLER)],
         [("trap", [-1, -2, 5, 5, 90]), ("point", [-10, 5, 90])]),
    case("dist_zero_coefficients", 10, (1e4, 1, 1, INF), [(0, *PIN), (10, 0, INF, 0)],
         [("dist", [0, 10, 90, -1] + [0] * 307)]),
    case("many_spans", 24, STEEL, [(2 * k, *(PIN if k == 0 else ROLLER)) for k in range(13)],
         [("udl", [-7, 0, 24, 90]), ("point", [-30, 5, 90]), ("point", [-30, 17.3, 90])]),
    case("propped_cantilever_all_kinds", 11, STEEL, [(0, *FIXED), (11, *ROLLER)],
         [("point", [-15, 3, 100]), ("udl", [-4, 1, 6, 85]), ("trap", [-2, -5, 5, 10, 95]),
          ("torque", [-9, 7.5]), ("dist", [6, 11, 80, 3, -1.2, 0.1, 0.004])]),
]


def hexes(values):
    return [float(v).hex() for v in values]


def positions(span, supports, loads):
    """Query positions: the ends, eighths of the span, every support and
    load parameter that lies on the beam, and a point outside each end."""
    xs = {-0.5, 0.0, span, span + 0.5, *(span * k / 8 for k in range(1, 8))}
    xs |= {s[0] for s in supports} | {p for _, params in loads for p in params[:5]}
    return sorted(x for x in xs if not math.isnan(x) and -0.5 <= x <= span + 0.5)


def record(flexura, c):
    """Every result of one case as float.hex text, or the error it raises."""
    span, e, i, a, g, supports, loads, units = c["args"]
    try:
        r = flexura.solve(span, e, i, a, g, [tuple(s) for s in supports], [tuple(l) for l in loads], units)
    except ValueError as exc:
        return {"error": str(exc)}
    xs = positions(span, supports, loads)
    out = {"reactions": {k: hexes(v) for k, v in r.reactions().items()}, "x": hexes(xs)}
    out.update({q: hexes(getattr(r, q)(x) for x in xs) for q in EVAL + GET})
    out.update({f"plot_{k}": hexes(v) for k, v in r.plotting_vectors(7).items()})
    return out


def main():
    import flexura

    about = ["Written by tests/golden/corpus.py; do not edit by hand."] + __doc__.strip().splitlines()[4:]
    # One line per case, so a diff names the cases that moved.
    dump = lambda v: json.dumps(v, separators=(",", ":"))  # noqa: E731
    cases = ",\n".join(dump({**c, "expected": record(flexura, c)}) for c in CASES)
    CORPUS.write_text('{"about": %s,\n"cases": [\n%s\n]}\n' % (dump(about), cases))
    print(f"wrote {len(CASES)} cases to {CORPUS}")


if __name__ == "__main__":
    sys.exit(main())
