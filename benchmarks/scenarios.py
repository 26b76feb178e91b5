"""The beams that the benchmarks measure, shared by bench.py, callgrind.sh and limits.py.

Instruction counts and timings are compared across runs and commits, so each scenario's
arguments stay exactly as they are: a change here changes every figure measured on it.
"""

from dataclasses import dataclass
from typing import Literal

INF = float("inf")

# Section and material shared by every scenario: kN and m.  The shear modulus is infinite so
# that flexura leaves out shear deformation like the Euler-Bernoulli peers do.
E = 2.1e8
I = 8.0e-5
A = 5.0e-3
G = INF
EI = E * I
EA = E * A

PIN = (INF, INF, 0.0)     # restrains both displacements, rotation free
ROLLER = (0.0, INF, 0.0)  # restrains the vertical displacement only

Support = tuple[float, float, float, float]
Load = tuple[Literal["point", "udl", "trap", "torque", "dist"], list[float]]
SolveArgs = tuple[float, float, float, float, float, list[Support], list[Load]]


@dataclass(frozen=True)
class Scenario:
    key: str
    title: str
    span: float
    supports: list[Support]
    loads: list[Load]

    def args(self) -> SolveArgs:
        return (self.span, E, I, A, G, self.supports, self.loads)


def continuous(n_supports: int, span_len: float = 2.0, springs: bool = False,
               point_per_span: bool = False) -> tuple[float, list[Support], list[Load]]:
    """A continuous beam on n supports: pinned at 0, rollers elsewhere, optionally every other
    interior support a spring; a uniform load over the whole length and either one point load
    in the first span or one at the middle of every span."""
    span = span_len * (n_supports - 1)
    sup: list[Support] = []
    for k in range(n_supports):
        p = span_len * k
        if k == 0:
            sup.append((p,) + PIN)
        elif springs and 0 < k < n_supports - 1 and k % 2 == 1:
            sup.append((p, 0.0, 2.0e4, 0.0))
        else:
            sup.append((p,) + ROLLER)
    loads: list[Load] = [("udl", [-10.0, 0.0, span, 90.0])]
    if point_per_span:
        loads += [("point", [-25.0, span_len * (k + 0.5), 90.0]) for k in range(n_supports - 1)]
    else:
        loads.append(("point", [-15.0, span_len * 0.5, 90.0]))
    return span, sup, loads


def point_loads(n: int) -> tuple[float, list[Support], list[Load]]:
    """One simply supported 10 m span under n point loads of 1 to 7, evenly spread."""
    span = 10.0
    loads: list[Load] = [("point", [-(1.0 + k % 7), span * (k + 0.5) / n, 90.0]) for k in range(n)]
    return span, [(0.0,) + PIN, (span,) + ROLLER], loads


def scenario_a() -> Scenario:
    return Scenario("a", "simply supported span, one point load", 10.0,
                    [(0.0,) + PIN, (10.0,) + ROLLER],
                    [("point", [-20.0, 4.0, 90.0])])


def scenario_b() -> Scenario:
    # Three spans 0-6-13-20; the support at 13 is a vertical spring.  The polynomial load is
    # of the first degree so that every peer can represent it exactly (as a trapezoid).
    return Scenario("b", "3 spans: udl, trap, polynomial, 2 angled points, torque, 1 spring", 20.0,
                    [(0.0,) + PIN, (6.0,) + ROLLER, (13.0, 0.0, 5000.0, 0.0), (20.0,) + ROLLER],
                    [("udl", [-8.0, 0.0, 6.0, 90.0]),
                     ("trap", [-4.0, -12.0, 7.0, 12.0, 90.0]),
                     ("dist", [14.0, 19.0, 90.0, -2.0, -0.3]),
                     ("point", [15.0, 3.0, 240.0]),
                     ("point", [10.0, 16.5, 300.0]),
                     ("torque", [12.0, 9.5])])


def scenario_c() -> Scenario:
    span, sup, loads = continuous(21, 5.0, springs=True, point_per_span=True)
    return Scenario("c", "20 spans, every other interior support a spring, udl + 20 points",
                    span, sup, loads)


def scenario_d(n: int = 200) -> Scenario:
    span, sup, loads = continuous(n, 2.0)
    return Scenario("d", "%d supports (%d spans), udl + 1 point" % (n, n - 1), span, sup, loads)


def scenario_e(n: int = 1000) -> Scenario:
    span, sup, loads = point_loads(n)
    return Scenario("e", "one span, %d point loads" % n, span, sup, loads)


SCENARIOS = [scenario_a, scenario_b, scenario_c, scenario_d, scenario_e]

# Growth tables of bench.py: the number of supports and of point loads.
SUPPORT_COUNTS = (10, 50, 200, 500)
LOAD_COUNTS = (10, 50, 200, 500, 1000)


# limits.py: the cost drivers, each a beam of one size n.

def uniform_continuous(n: int) -> SolveArgs:
    """A continuous beam on n supports, 2 m spans, under a uniform load only."""
    supports: list[Support] = [(0.0, INF, INF, 0.0)] + [(2.0 * k, 0.0, INF, 0.0) for k in range(1, n)]
    span = 2.0 * (n - 1)
    return (span, E, I, A, INF, supports, [("udl", [-10.0, 0.0, span, 90.0])])


def unit_point_loads(n: int, span: float = 10.0) -> list[Load]:
    """n downward loads of 1, evenly spread over the span."""
    return [("point", [-1.0, span * (k + 0.5) / n, 90.0]) for k in range(n)]


def simple_span(loads: list[Load], span: float = 10.0) -> SolveArgs:
    """A simply supported span carrying the given loads."""
    return (span, E, I, A, INF, [(0.0, INF, INF, 0.0), (span, 0.0, INF, 0.0)], loads)


def polynomial(n: int) -> list[Load]:
    """One polynomial load of n alternating coefficients on [0, 1]."""
    return [("dist", [0.0, 1.0, 90.0] + [(-1.0) ** k / (k + 1) for k in range(n)])]


# Caps suggested in the README for a service: supports, point loads, coefficients of one
# polynomial load, mesh points.
CAPS = (200, 1000, 10, 2000)


def at_the_caps() -> tuple[SolveArgs, int]:
    """A beam at every cap at once (shear deformation on), and the mesh size."""
    supports_count, loads_count, coefficients, n = CAPS
    span = 2.0 * (supports_count - 1)
    supports: list[Support] = ([(0.0, INF, INF, 0.0)]
                               + [(2.0 * k, 0.0, INF, 0.0) for k in range(1, supports_count)])
    loads = unit_point_loads(loads_count - 1, span) + [("dist", [0.0, 1.0, 90.0] + [1.0] * coefficients)]
    return (span, E, I, A, 8e7, supports, loads), n
