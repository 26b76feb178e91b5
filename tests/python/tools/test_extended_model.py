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
D, KAPPA, W = 0.01, 1e-3, 10.0


def beam(supports, loads=(), **extra):
    return ft.Beam(span=extra.pop("span", L), E=E, I=I, supports=supports, loads=loads, **extra)


def close(got, want):
    """Equal to 1e-9 of the largest value wanted."""
    assert got == pytest.approx(want, abs=EXACT * max(map(abs, want)) + 1e-15)


PIN, ROLLER, FIXED = Support.pin(0, "A"), Support.roller(L, "B"), Support.fixed(0, "A")
BOTH_FIXED = [FIXED, Support.fixed(L, "B")]
SECTIONS = [Section(x1=0, x2=6), Section(x1=5, x2=L)]


@pytest.mark.parametrize("model, expected", [
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=4), Section(x1=5, x2=L)]),
     [("sections[1].x1", "5 leaves a gap after sections[0], which ends at 4")]),
    (beam([PIN, ROLLER], sections=SECTIONS), [("sections[1].x1", "5 overlaps sections[0], which ends at 6")]),
    (beam([PIN, ROLLER], sections=[Section(x1=0, x2=6, I=-1)]),
     [("sections[0].I", "must be positive and finite, got -1"),
      ("sections[0].x2", "6 leaves the beam from there to the span 10 without a section")]),
    (beam([PIN, ROLLER], hinges=[0.0, 11.0]),
     [("hinges[0]", "0 is an end of the beam, where the moment is free already"),
      ("hinges[1]", "11 is beyond the span 10")]),
    (beam([PIN, ROLLER], hinges=[4.0]), [("hinges[0]", "hinges[0] at 4 makes the stretch 0 to 4 a mechanism"),
                                         ("hinges[0]", "hinges[0] at 4 makes the stretch 4 to 10 a mechanism")]),
    (beam([FIXED, Support.roller(6)], hinges=[6.0]),  # the part right of it has one point held, the hinge's
     [("hinges[0]", "hinges[0] at 6 makes the stretch 6 to 10 a mechanism")]),
    (beam([FIXED, Support.fixed(6), ROLLER], hinges=[6.0]), [("hinges[0]", "6 is at supports[1], which restrains "
                                                                           "rotation (km)")]),
    (beam([FIXED, ROLLER], hinges=[3.0, 7.0]),
     [("hinges[0]", "hinges[0] at 3 and hinges[1] at 7 make the stretch 3 to 7 a mechanism"),
      ("hinges[1]", "hinges[1] at 7 makes the stretch 7 to 10 a mechanism")]),
    (beam([Support.pin("0"), ROLLER], hinges=[4.0]), [("supports[0].x", "is not a number")]),  # no mechanism read
    (beam([PIN, Support(x=L, ky=INF, km=-5.0)]),
     [("supports[1].km", "must be 0 (free), a spring stiffness above 0 or inf (rigid), got -5")]),
    (beam([PIN, ROLLER], loads=[Settlement(support="C", dy=-D), Settlement(support=0, rotation=D),
                                Settlement(support=2.0)]),
     [("loads[0].support", "'C' is no support"), ("loads[1].rotation", "supports[0] does not restrain rotation "
                                                                       "(km = 0)"),
      ("loads[2].support", "must be a support's label or its index, got 2")]),
    (beam([FIXED, ROLLER], hinges=[4.0], loads=[ft.Moment(x=4.0, moment=1.0)]), [("loads[0].x", "4 is at hinges[0]")]),
    (beam([PIN, ROLLER], loads=[ft.Curvature(x1=3, x2=3, k1=KAPPA),
                                ft.ThermalGradient(x1=0, x2=L, alpha=1e-5, dT=5, depth=0)]),
     [("loads[0]", "x1 = x2 = 3"), ("loads[1].depth", "must be positive and finite, got 0")]),
])
def test_the_model_names_every_problem_of_the_new_parts(model, expected):
    assert [(p.path, p.message.split(":")[0]) for p in model.problems()] == expected


def test_a_beam_without_the_new_parts_solves_to_the_bits_of_flexura():
    import flexura
    plain = beam([PIN, ROLLER], loads=[ft.UniformLoad(w=-W)])
    one_section = beam([PIN, ROLLER], loads=[ft.UniformLoad(w=-W)], sections=[Section(x1=0, x2=L, I=2 * I)])
    for model in (plain, one_section):
        raw, result = flexura.solve(*model.solve_args()), model.solve()
        assert [(result.bm(x), result.d(x)) for x in (0.3, 5.0)] == [(raw.eval_bm(x), raw.eval_d(x)) for x in (0.3, 5.0)]
    assert one_section.solve().d(5.0) == 0.5 * plain.solve().d(5.0)
    with pytest.raises(ft.ModelError, match="flexura.solve\\(\\) does not model hinges"):
        beam([FIXED, ROLLER], hinges=[4.0]).solve_args()


def spring_moment(km):
    """The propped cantilever's end moment under w with a rotational spring."""
    return beam([Support(x=0, kx=INF, ky=INF, km=km), ROLLER], [ft.UniformLoad(w=-W)]).solve().reactions[0].m


def gerber_jump(a=4.0, b=6.0):
    """The rotation jump at the hinge of a cantilever a carrying a simple span b, both under w."""
    hinge = W * b / 2  # the suspended span's end reaction, on the cantilever's tip
    tip_slope = -(W * a**3 / 6 + hinge * a**2 / 2) / EI
    tip_sag = -(W * a**4 / 8 + hinge * a**3 / 3) / EI
    return -W * b**3 / 24 / EI - tip_sag / b - tip_slope  # the simple span's end slope, tilted by the tip's sag


CURVED = [ft.Curvature(x1=0, x2=L, k1=KAPPA)]
GERBER = beam([FIXED, ROLLER], [ft.UniformLoad(w=-W)], hinges=[4.0])


@pytest.mark.parametrize("model, read, expected", [
    (beam([FIXED, ROLLER], [ft.UniformLoad(w=-W)]), lambda r: r.reactions[0].m, W * L**2 / 8),  # propped cantilever
    (beam(BOTH_FIXED, [Settlement(support="B", dy=-D)]), lambda r: r.reactions[0].m, 6 * EI * D / L**2),
    (beam(BOTH_FIXED, [Settlement(support="B", dy=-D)]), lambda r: r.sf(3.0), 12 * EI * D / L**3),
    (beam([PIN, ROLLER], CURVED), lambda r: r.bm(3.0), 0.0),  # a simple span bends freely: no moment,
    (beam([PIN, ROLLER], CURVED), lambda r: r.d(L / 2), -KAPPA * L**2 / 8),  # sagging
    (beam([PIN, ROLLER], [ft.ThermalGradient(x1=0, x2=L, alpha=1e-5, dT=-20.0, depth=0.5)]),  # warmer on top: hogs
     lambda r: r.d(L / 2), 1e-5 * 20.0 / 0.5 * L**2 / 8),
    (beam(BOTH_FIXED, CURVED), lambda r: r.bm(3.0), -EI * KAPPA),  # fixed ends hold it straight
    (beam(BOTH_FIXED, CURVED), lambda r: r.d(3.0), 0.0),
    (beam([PIN, Support.roller(L), Support.roller(2 * L)], [ft.Curvature(x1=0, x2=2 * L, k1=KAPPA)], span=2 * L),
     lambda r: r.reactions[L].ry, 3 * EI * KAPPA / L),  # two spans: the pier pushes 3EIk/L up
    (GERBER, lambda r: r.reactions[0].m, W * 4**2 / 2 + W * 6 / 2 * 4),  # the hinge carries half the suspended span
    (GERBER, lambda r: r.hinge_jumps[0].jump, gerber_jump()),
    (GERBER, lambda r: r.rotation(4.0) - r.rotation(4.0, side="left"), gerber_jump()),  # read on both sides
    (GERBER, lambda r: r.beam.jumps()["rotation"][0], 4.0),  # so envelopes and exports read both
    (None, lambda r: spring_moment(1e-6), 0.0),  # a rotational spring from pinned
    (None, lambda r: spring_moment(3 * EI / L), W * L**2 / 8 / 2),  # through half fixed, 1 / (1 + 3EI/kL)
    (None, lambda r: spring_moment(1e15), W * L**2 / 8),  # to fixed
    (beam([FIXED], [ft.PointLoad(x=L, force=-1.0)], sections=[Section(x1=0, x2=4, I=2 * I), Section(x1=4, x2=L)]),
     lambda r: r.d(L), -((L**3 - (L - 4) ** 3) / 3 / (2 * EI) + (L - 4) ** 3 / 3 / EI)),  # stepped cantilever
])
def test_closed_forms(model, read, expected):
    got = read(model.solve() if model else None)
    assert got == pytest.approx(expected, rel=1e-9, abs=1e-12 * (abs(expected) + 1) + (1e-6 if model is None else 0))


# --- pycba side by side ---------------------------------------------------------------------------

def pycba_of(model):
    """The model as pycba's members, restraints, prescribed displacements and loads; and its nodes."""
    cba = pytest.importorskip("pycba", reason="pycba (a test requirement) is not installed")
    supports = {float(s.x): s for s in model.supports}
    nodes = sorted({0.0, float(model.span), *supports, *(float(s.x1) for s in model.sections), *model.hinges})
    members = list(zip(nodes, nodes[1:]))
    stiffness = [next(((s.E or E) * (s.I or I) for s in model.sections if s.x1 <= (a + b) / 2 <= s.x2), EI)
                 for a, b in members]
    types = [1] * len(members)
    for h in model.hinges:
        m = nodes.index(h) - 1  # the member left of the hinge: released at its right end
        types[m] = 4 if types[m] == 3 else 2
    R = [-1 if k == INF else k for x in nodes for k in ((supports[x].ky, supports[x].km) if x in supports else (0, 0))]
    D = [None] * len(R)
    labels = [s.label for s in model.supports]
    for load in model.loads:
        if isinstance(load, Settlement):
            j = nodes.index(float(model.supports[labels.index(load.support)].x))
            D[2 * j], D[2 * j + 1] = load.dy or None, load.rotation or None
    other = cba.BeamAnalysis([b - a for a, b in members], stiffness, R=R, eletype=types,
                             D=D if any(d is not None for d in D) else None)
    for load in model.loads:
        for m, (a, b) in enumerate(members, 1):
            if isinstance(load, ft.UniformLoad):
                other.add_udl(m, -load.w)
            elif isinstance(load, ft.PointLoad) and a < load.x < b:
                other.add_pl(m, -load.force, load.x - a)
            elif isinstance(load, ft.Curvature) and load.x1 <= a and b <= load.x2:
                slope = ((load.k1 if load.k2 is None else load.k2) - load.k1) / (load.x2 - load.x1)
                other.add_ic(m, [load.k1 + slope * (a - load.x1), slope])
    return other, nodes


SPANS = [Support.pin(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")]
GERBERS = [Support.fixed(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")]
SPRING = Support(x=20, kx=0, ky=INF, km=3e4, label="C")
DECK = [Section(x1=0, x2=6), Section(x1=6, x2=10, I=2.5 * I), Section(x1=10, x2=20)]
UDL, AXLE = ft.UniformLoad(w=-12.0), ft.PointLoad(x=13.3, force=-80.0)
HEAT = ft.Curvature(x1=0, x2=20, k1=-4e-4)


@pytest.mark.parametrize("supports, sections, hinges, loads", [
    (SPANS, DECK, [], [UDL, AXLE]),  # deeper over the pier
    (SPANS, DECK, [], [Settlement(support="B", dy=-0.02)]),
    (SPANS, DECK, [], [HEAT]),
    (SPANS, (), [], [ft.Curvature(x1=0, x2=20, k1=-4e-4, k2=2e-4)]),  # linear curvature
    (SPANS[:2] + [SPRING], DECK, [], [UDL, AXLE]),  # a rotational spring at the far end
    (SPANS[:2] + [SPRING], (), [], [HEAT, Settlement(support="B", dy=-0.01)]),
    (GERBERS, DECK, [14.0], [UDL, AXLE]),
    (GERBERS, (), [14.0], [HEAT]),
    (GERBERS[:2] + [Support.fixed(20, "C")], DECK, [4.0], [Settlement(support="B", dy=-0.01), AXLE]),  # indeterminate
    ([Support.fixed(0, "A"), Support.fixed(20, "C")], DECK, [], [HEAT, Settlement(support="C", dy=0.005)]),
    ([Support(x=0, kx=INF, ky=INF, km=5e4, label="A"), Support.roller(8, "B"), SPRING], DECK, [], [UDL, HEAT, AXLE]),
])
def test_pycba_gives_the_same_moments_shears_reactions_and_nodal_deflections(supports, sections, hinges, loads):
    result = ft.Beam(span=20.0, E=E, I=I, supports=supports, sections=sections, hinges=hinges, loads=loads).solve()
    other, nodes = pycba_of(result.beam)
    assert other.analyze() == 0
    out = other.beam_results
    stations = [(float(member.x[k]), "right" if k == 1 else "left", float(member.M[k]), float(member.V[k]))
                for member in out.vRes for k in range(1, len(member.x) - 1)]
    close([v for x, side, _, _ in stations for v in (result.bm(x, side), result.sf(x, side))],
          [v for _, _, m, v in stations for v in (m, v)])
    rigid = [v for r in result.reactions for v, k in ((r.ry, r.support.ky), (r.m, r.support.km)) if k == INF]
    springs = [r.m for r in result.reactions if 0 < r.support.km < INF]
    close(rigid + springs, list(out.R) + list(out.Rs))
    close([result.d(x) for x in nodes], [float(v) for v in out.D[0::2]])


# --- the workflows on a girder with a step and a hinge, against separate solves ---------------------

GIRDER = dict(span=20.0, E=E, I=I, sections=DECK, hinges=[14.0], supports=GERBERS)


def girder(loads=()):
    return ft.Beam(**GIRDER, loads=loads)


def sided(x):
    """Each entry of a mesh as (x, side): the first of a doubled x is the left side."""
    return [(v, "left" if k + 1 < len(x) and x[k + 1] == v else "right") for k, v in enumerate(x)]


def test_combinations_and_their_envelope_are_the_sums_of_their_cases():
    cases = {"D": [UDL], "S": [Settlement(support="B", dy=-0.02)], "T": [HEAT]}
    factors = {"ULS": {"D": 1.35, "S": 1.0}, "SLS": {"D": 1.0, "T": 0.6, "S": 1.0}}
    model = ft.Beam(**GIRDER, cases=cases, combinations=[ft.Combination(name=k, factors=f) for k, f in factors.items()])
    alone = {name: girder(loads).solve() for name, loads in cases.items()}
    combined = model.solve_combinations()
    envelope = ft.envelope(combined)
    mesh = sided(envelope.x)
    for name, result in combined.items():
        close([result.bm(x, side) for x, side in mesh] + [result.reactions["B"].ry],
              [sum(f * alone[case].bm(x, side) for case, f in factors[name].items()) for x, side in mesh]
              + [sum(f * alone[case].reactions["B"].ry for case, f in factors[name].items())])
    close(envelope.bm.max, [max(r.bm(x, side) for r in combined.values()) for x, side in mesh])


def test_an_influence_line_is_the_unit_load_solved_at_each_position_with_a_kink_at_the_hinge():
    line = ft.influence_line(girder(), "bm", 10.0, n=40)
    close(line.value, [girder([ft.PointLoad(x=x, force=-1.0)]).solve().bm(10.0) for x in line.x])
    # Mueller-Breslau: straight on the suspended part (14 to 20), to zero at its roller
    (x0, v0), *_, (x1, v1) = suspended = [(x, v) for x, v in zip(line.x, line.value) if x >= 14.0]
    assert v1 == pytest.approx(0.0, abs=1e-12)
    close([v for _, v in suspended], [v0 + (v1 - v0) * (x - x0) / (x1 - x0) for x, _ in suspended])


def test_a_moving_vehicle_is_the_envelope_of_its_positions_solved_alone():
    vehicle = ft.Vehicle(weights=[50.0, 100.0], spacings=[3.0])
    moving = ft.moving_load(girder([UDL]), vehicle, step=0.5, n=40)
    solved = [girder([UDL, *(ft.PointLoad(x=x, force=-w) for x, w in zip(moving.position(k).axles, vehicle.weights)
                             if 0.0 <= x <= 20.0)]).solve() for k in range(len(moving.envelope.names))]
    close(moving.envelope.bm.max, [max(r.bm(x, side) for r in solved) for x, side in sided(moving.envelope.x)])


def test_patterns_load_the_spans_between_vertical_restraints_as_every_pattern_solved_alone():
    # the heat on every span, loaded or not: the pattern cuts it at the supports
    envelope = ft.pattern_envelope(girder(), loaded=[ft.UniformLoad(w=-6.0), HEAT], unloaded=[HEAT], n=40)
    spans = girder().spans()
    solved = [girder([HEAT, *(ft.UniformLoad(w=-6.0, x1=a, x2=b) for k, (a, b) in enumerate(spans) if mask >> k & 1)])
              .solve() for mask in range(2 ** len(spans))]
    close(envelope.bm.min, [min(r.bm(x, side) for r in solved) for x, side in sided(envelope.x)])
    with pytest.raises(ft.ModelError, match="belongs to a support, not to a span"):
        ft.pattern_envelope(girder(), loaded=[Settlement(support="B", dy=-0.01)])


def test_sympy_solves_the_same_hinged_indeterminate_beam_in_rationals():
    """Fixed at 0 and 20, a roller at 8, a hinge at 4. sympy's moments, shears and
    moment reactions are of the other sign (its own convention); its deflection is up."""
    sympy = pytest.importorskip("sympy", reason="sympy (a test requirement) is not installed")
    from sympy.physics.continuum_mechanics.beam import Beam as SympyBeam
    other = SympyBeam(20, 2 * 10**8, sympy.Rational(1, 10**4))
    r0, m0 = other.apply_support(0, "fixed")
    r8 = other.apply_support(8, "roller")
    r20, m20 = other.apply_support(20, "fixed")
    other.apply_rotation_hinge(4)
    other.apply_load(-80, 13, -1)
    other.apply_load(-12, 0, 0)
    other.solve_for_reaction_loads(r0, m0, r8, r20, m20)
    exact = {k: float(v) for k, v in other.reaction_loads.items()}
    result = ft.Beam(span=20.0, E=E, I=I, supports=[Support.fixed(0), Support.roller(8), Support.fixed(20)],
                     hinges=[4.0], loads=[ft.PointLoad(x=13.0, force=-80.0), ft.UniformLoad(w=-12.0)]).solve()
    close([v for r in result.reactions for v in (r.ry, r.m)],
          [exact[r0], -exact[m0], exact[r8], 0.0, exact[r20], -exact[m20]])
    x = sympy.Symbol("x")
    for at in (2.5, 6.0, 10.0, 17.0):
        want = [-other.bending_moment().subs(x, at), -other.shear_force().subs(x, at), other.deflection().subs(x, at)]
        assert [result.bm(at), result.sf(at), result.d(at)] == pytest.approx([float(v) for v in want], rel=1e-12)


def test_the_model_file_is_written_as_the_lowest_version_that_holds_the_model():
    extended = girder([UDL, Settlement(support=1, dy=-0.02), HEAT,
                       ft.ThermalGradient(x1=0, x2=20, alpha=1.2e-5, dT=-10.0, depth=0.8)])
    for model, version in ((extended, 3), (beam([PIN, SPRING], span=20.0), 3), (beam([PIN, ROLLER], [UDL]), 1)):
        assert ft.to_dict(model)["flexura_model"] == version
        assert ft.from_json(ft.to_json(model)) == model
    with pytest.raises(ft.ModelError) as info:
        ft.from_dict({**ft.to_dict(extended), "flexura_model": 2})
    assert [p.path for p in info.value.problems] == ["sections", "hinges", *(f"loads[{k}].type" for k in (1, 2, 3))]
    assert all('write "flexura_model": 3' in p.message for p in info.value.problems)


def test_the_model_knows_its_features_before_any_solve_as_the_core_finds_them():
    model = girder([UDL, AXLE, ft.Curvature(x1=3.0, x2=17.0, k1=1e-4), Settlement(support="B", dy=-0.01)])
    assert model.features() == model.solve().solved.features()
