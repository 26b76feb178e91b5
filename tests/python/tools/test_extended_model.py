"""Sections, hinges, rotational springs, settlements and imposed curvature through
the layer: what the model refuses, closed forms, pycba 1.0.2 and sympy side by side.

pycba models a beam by members between nodes: here a node at each end, support,
change of section and hinge. A hinge is a moment release at the right end of the
member left of it (element type FP, or PP when its left end is released too). A
stepped beam is separate members (pycba's multi-piece SectionEI is about 4e-4 off).
pycba's loads are positive down; its moments (sagging), shears, curvature
(sagging), settlements and nodal displacements (up) have flexura's signs. Its
stations read a member's first station just right of the node and the others just
left (see test_pycba.py); moments and shears at its stations, its reactions and its
nodal deflections are exact, and agree to 1e-9 of the largest value.
"""
import math

import pytest

import flexura_tools as ft
from flexura_tools import Section, Settlement, Support

INF = math.inf
E, I, L = 2.0e8, 1.0e-4, 10.0
EI = E * I
EXACT = 1e-9


def beam(supports, loads=(), **extra):
    return ft.Beam(span=extra.pop("span", L), E=E, I=I, supports=supports, loads=loads, **extra)


def problems(model):
    return [(p.path, p.message.split(":")[0]) for p in model.problems()]


PIN, ROLLER, FIXED = Support.pin(0, "A"), Support.roller(L, "B"), Support.fixed(0, "A")


@pytest.mark.parametrize("model, expected", [
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=4), Section(x1=5, x2=L)]),
     [("sections[1].x1", "5 leaves a gap after sections[0], which ends at 4")]),
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=6), Section(x1=5, x2=9, I=-1)]),
     [("sections[1].I", "must be positive and finite, got -1")]),
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=6), Section(x1=5, x2=L)]),
     [("sections[1].x1", "5 overlaps sections[0], which ends at 6")]),
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=6)]),
     [("sections[0].x2", "6 leaves the beam from there to the span 10 without a section")]),
    (beam([PIN, ROLLER], hinges=[0.0, 11.0]),
     [("hinges[0]", "0 is an end of the beam, where the moment is free already"),
      ("hinges[1]", "11 is beyond the span 10")]),
    (beam([PIN, ROLLER], hinges=[4.0]),
     [("hinges[0]", "hinges[0] at 4 makes the part 0 to 4 a mechanism"),
      ("hinges[0]", "hinges[0] at 4 makes the part 4 to 10 a mechanism")]),
    (beam([FIXED, Support.roller(6)], hinges=[6.0]),  # the part right of it has one point held, the hinge's
     [("hinges[0]", "hinges[0] at 6 makes the part 6 to 10 a mechanism")]),
    (beam([FIXED, Support.fixed(6), ROLLER], hinges=[6.0]),
     [("hinges[0]", "6 is at supports[1], which restrains rotation (km)")]),
    (beam([FIXED, ROLLER], hinges=[3.0, 7.0]),
     [("hinges[0]", "hinges[0] at 3 and hinges[1] at 7 make the part 3 to 7 a mechanism"),
      ("hinges[1]", "hinges[1] at 7 makes the part 7 to 10 a mechanism")]),
    (beam([PIN, Support(x=L, ky=INF, km=-5.0)]),
     [("supports[1].km", "must be 0 (free), a spring stiffness above 0 or inf (rigid), got -5")]),
    (beam([PIN, ROLLER], loads=[Settlement(support="C", dy=-0.01), Settlement(support=0, rotation=0.01),
                                Settlement(support=2.0)]),
     [("loads[0].support", "'C' is no support"),
      ("loads[1].rotation", "supports[0] does not restrain rotation (km = 0)"),
      ("loads[2].support", "must be a support's label or its index, got 2")]),
    (beam([FIXED, ROLLER], hinges=[4.0], loads=[ft.Moment(x=4.0, moment=1.0)]),
     [("loads[0].x", "4 is at hinges[0]")]),
    (beam([PIN, ROLLER], loads=[ft.Curvature(x1=3, x2=3, k1=1e-3), ft.ThermalGradient(x1=0, x2=L, alpha=1e-5,
                                                                                        dT=5, depth=0)]),
     [("loads[0]", "x1 = x2 = 3"), ("loads[1].depth", "must be positive and finite, got 0")]),
])
def test_the_model_names_every_problem_of_the_new_parts(model, expected):
    assert problems(model) == expected


def test_a_beam_without_the_new_parts_solves_to_the_bits_of_flexura():
    import flexura
    plain = beam([PIN, ROLLER], loads=[ft.UniformLoad(w=-10.0)])
    one_section = beam([PIN, ROLLER], loads=[ft.UniformLoad(w=-10.0)], sections=[Section(x1=0, x2=L, I=2 * I)])
    for model in (plain, one_section):
        raw = flexura.solve(*model.solve_args())
        result = model.solve()
        assert [result.bm(x) for x in (0.3, 5.0)] == [raw.eval_bm(0.3), raw.eval_bm(5.0)]
        assert [result.d(x) for x in (0.3, 5.0)] == [raw.eval_d(0.3), raw.eval_d(5.0)]
    assert one_section.solve().d(5.0) == 0.5 * plain.solve().d(5.0)
    with pytest.raises(ft.ModelError, match="flexura.solve\\(\\) does not model hinges"):
        beam([FIXED, ROLLER], hinges=[4.0]).solve_args()


def spring_moment(km):
    """The propped cantilever's end moment under w = 10 with a rotational spring."""
    model = beam([Support(x=0, kx=INF, ky=INF, km=km), ROLLER], loads=[ft.UniformLoad(w=-10.0)])
    return model.solve().reactions[0].m


D, KAPPA = 0.01, 1e-3
STEP = [Section(x1=0, x2=4, I=2 * I), Section(x1=4, x2=L)]


@pytest.mark.parametrize("name, value, expected", [
    ("propped cantilever: end moment wL^2/8",
     lambda: beam([FIXED, ROLLER], loads=[ft.UniformLoad(w=-10.0)]).solve().reactions[0].m, 10 * L**2 / 8),
    ("fixed-fixed, one end settled: end moment 6EId/L^2",
     lambda: beam([FIXED, Support.fixed(L, "B")], loads=[Settlement(support="B", dy=-D)]).solve().reactions[0].m,
     6 * EI * D / L**2),
    ("fixed-fixed, one end settled: shear 12EId/L^3",
     lambda: beam([FIXED, Support.fixed(L, "B")], loads=[Settlement(support="B", dy=-D)]).solve().sf(3.0),
     12 * EI * D / L**3),
    ("simply supported under k: no moment",
     lambda: beam([PIN, ROLLER], loads=[ft.Curvature(x1=0, x2=L, k1=KAPPA)]).solve().bm(3.0), 0.0),
    ("simply supported under k: sags kL^2/8",
     lambda: beam([PIN, ROLLER], loads=[ft.Curvature(x1=0, x2=L, k1=KAPPA)]).solve().d(L / 2), -KAPPA * L**2 / 8),
    ("a thermal gradient is the curvature alpha dT / depth",
     lambda: beam([PIN, ROLLER], loads=[ft.ThermalGradient(x1=0, x2=L, alpha=1e-5, dT=-20.0, depth=0.5)]
                  ).solve().d(L / 2), 1e-5 * 20.0 / 0.5 * L**2 / 8),
    ("fixed-fixed under k: M = -EIk",
     lambda: beam([FIXED, Support.fixed(L)], loads=[ft.Curvature(x1=0, x2=L, k1=KAPPA)]).solve().bm(3.0),
     -EI * KAPPA),
    ("fixed-fixed under k: no deflection",
     lambda: beam([FIXED, Support.fixed(L)], loads=[ft.Curvature(x1=0, x2=L, k1=KAPPA)]).solve().d(3.0), 0.0),
    ("two equal spans under k: the middle support pushes 3EIk/L up",
     lambda: beam([PIN, Support.roller(L), Support.roller(2 * L)], span=2 * L,
                  loads=[ft.Curvature(x1=0, x2=2 * L, k1=KAPPA)]).solve().reactions[L].ry, 3 * EI * KAPPA / L),
    ("Gerber beam: the hinge carries wb/2 of the suspended part",
     lambda: beam([FIXED, ROLLER], hinges=[4.0], loads=[ft.UniformLoad(w=-10.0)]).solve().reactions[0].m,
     10 * 4**2 / 2 + 10 * 6 / 2 * 4),
    ("Gerber beam: rotation jump at the hinge",
     lambda: beam([FIXED, ROLLER], hinges=[4.0], loads=[ft.UniformLoad(w=-10.0)]).solve().hinge_jumps[0].jump,
     # right part: simple span under w, its end slope w b^3 / 24 EI plus the hinge's sag over b; the left part's
     # tip slope, a cantilever under w a and the hinge's force
     None),
    ("rotational spring k -> 0: pinned end", lambda: spring_moment(1e-6), 0.0),
    ("rotational spring k = 3EI/L: half fixed", lambda: spring_moment(3 * EI / L), 10 * L**2 / 8 / 2),
    ("rotational spring k -> inf: fixed end", lambda: spring_moment(1e15), 10 * L**2 / 8),
    ("stepped cantilever: tip deflection under P",
     lambda: beam([FIXED], sections=STEP, loads=[ft.PointLoad(x=L, force=-1.0)]).solve().d(L),
     -((L**3 - (L - 4) ** 3) / 3 / (2 * EI) + (L - 4) ** 3 / 3 / EI)),
])
def test_closed_forms(name, value, expected):
    if expected is None:  # the Gerber jump: the parts' own slopes at the hinge
        a, b, w = 4.0, 6.0, 10.0
        hinge_force = w * b / 2
        left = -(w * a**3 / 6 + hinge_force * a**2 / 2) / EI  # the cantilever tip's slope, down to the right
        sag = -(w * a**4 / 8 + hinge_force * a**3 / 3) / EI
        right = w * b**3 / 24 / EI * -1 - sag / b  # the simple span's end slope plus its support's drop over b
        expected = right - left
    got = value()
    assert got == pytest.approx(expected, rel=1e-9, abs=1e-12 * (abs(expected) + 1) + (1e-6 if "k -> " in name else 0))
