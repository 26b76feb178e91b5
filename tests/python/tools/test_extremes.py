"""extremes() against closed forms: values and positions to 1e-9, also where a
peak lies between any two samples."""
import math

import pytest

import flexura_tools as ft

L, P, W, EI = 7.3, 10.0, 3.0, 1e4  # an odd span, so that no peak sits on a sample
PIN, ROLLER_END, FIXED = ft.Support.pin(0), ft.Support.roller(L), ft.Support.fixed(0)


def beam(supports, *loads):
    return ft.Beam(span=L, E=2e4, I=0.5, supports=supports, loads=loads)


def propped(x):
    """Deflection of a propped cantilever (fixed at 0, roller at L) under w downwards."""
    return -W * x * x * (3 * L * L - 5 * L * x + 2 * x * x) / (48 * EI)


B = 0.3 * L  # the point load at 0.7 L, B from the right support
X_PROPPED = L * (15 - math.sqrt(33)) / 16
CASES = [
    # simply supported, point load: PL/4-type peak at the load, deflection peak in the longer part
    (beam([PIN, ROLLER_END], ft.PointLoad(x=L - B, force=-P)), "bm", "max", P * (L - B) * B / L, L - B),
    (beam([PIN, ROLLER_END], ft.PointLoad(x=L - B, force=-P)), "d", "min",
     -P * B * (L * L - B * B) ** 1.5 / (9 * math.sqrt(3) * L * EI), math.sqrt((L * L - B * B) / 3)),
    (beam([PIN, ROLLER_END], ft.PointLoad(x=L / 2, force=-P)), "bm", "max", P * L / 4, L / 2),
    # simply supported, uniform load
    (beam([PIN, ROLLER_END], ft.UniformLoad(w=-W)), "d", "min", -5 * W * L**4 / (384 * EI), L / 2),
    (beam([PIN, ROLLER_END], ft.UniformLoad(w=-W)), "bm", "max", W * L * L / 8, L / 2),
    # propped cantilever: 9wL^2/128 at 5L/8, -wL^2/8 at the fixed end, deflection peak at (15 - sqrt 33) L/16
    (beam([FIXED, ROLLER_END], ft.UniformLoad(w=-W)), "bm", "max", 9 * W * L * L / 128, 5 * L / 8),
    (beam([FIXED, ROLLER_END], ft.UniformLoad(w=-W)), "bm", "min", -W * L * L / 8, 0.0),
    (beam([FIXED, ROLLER_END], ft.UniformLoad(w=-W)), "d", "min", propped(X_PROPPED), X_PROPPED),
    # cantilever, tip load
    (beam([FIXED], ft.PointLoad(x=L, force=-P)), "d", "min", -P * L**3 / (3 * EI), L),
    (beam([FIXED], ft.PointLoad(x=L, force=-P)), "bm", "min", -P * L, 0.0),
    # load varying from -w to +w: the shear peaks inside the span, where the load changes sign
    (beam([PIN, ROLLER_END], ft.TrapezoidalLoad(w1=-W, w2=W, x1=0, x2=L)), "sf", "min", -W * L / 12, L / 2),
    (beam([PIN, ROLLER_END], ft.TrapezoidalLoad(w1=-W, w2=W, x1=0, x2=L)), "sf", "max", W * L / 6, 0.0),
    # two equal spans L/2 under w: 9w(L/2)^2/128 at 3/8 of the first span (the leftmost of two), -w(L/2)^2/8 over B
    (beam([PIN, ft.Support.roller(L / 2), ROLLER_END], ft.UniformLoad(w=-W)), "bm", "max",
     9 * W * L * L / 512, 3 * L / 16),
    (beam([PIN, ft.Support.roller(L / 2), ROLLER_END], ft.UniformLoad(w=-W)), "bm", "min", -W * L * L / 32, L / 2),
    # an axial load: compression from the fixed end to the load
    (beam([FIXED], ft.PointLoad(x=0.6 * L, force=-P, angle=0)), "nf", "max", P, 0.0),
]


@pytest.mark.parametrize("model, quantity, side, value, x", CASES)
def test_extremes_match_closed_forms(model, quantity, side, value, x):
    extreme = model.solve().extremes()[quantity]
    found, at = (extreme.max, extreme.x_max) if side == "max" else (extreme.min, extreme.x_min)
    assert found == pytest.approx(value, rel=1e-9, abs=1e-12)
    assert at == pytest.approx(x, abs=1e-9 * L)


@pytest.mark.parametrize("model", [case[0] for case in CASES[::3]])
def test_no_sample_of_the_diagram_exceeds_the_extremes(model):
    result = model.solve()
    diagram, extremes = result.diagram(2000), result.extremes()
    inside = [k for k, x in enumerate(diagram.x) if x < L]  # at x = span: the value past the end
    for q in ("nf", "sf", "bm", "d"):
        e, values = extremes[q], [diagram[q][k] for k in inside]
        slack = 1e-11 * max(1.0, abs(e.max), abs(e.min))
        assert min(values) >= e.min - slack and max(values) <= e.max + slack
