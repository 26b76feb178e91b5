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


# --- pycba side by side ---------------------------------------------------------------------------

def restraint(k):
    return -1 if k == INF else k


def pycba_of(model):
    """The model as pycba's members, restraints, prescribed displacements and loads."""
    cba = pytest.importorskip("pycba", reason="pycba (a test requirement) is not installed")
    span = float(model.span)
    supports = {float(s.x): s for s in model.supports}
    nodes = sorted({0.0, span, *supports, *(float(s.x1) for s in model.sections), *model.hinges})
    members = list(zip(nodes, nodes[1:]))

    def stiffness(a, b):
        for s in model.sections:
            if s.x1 <= (a + b) / 2 <= s.x2:
                return (s.E or E) * (s.I or I)
        return E * I
    types = [1] * len(members)
    for h in model.hinges:
        m = nodes.index(h) - 1  # the member left of the hinge: released at its right end
        types[m] = 4 if types[m] == 3 else 2
    R, D = [], []
    for x in nodes:
        s = supports.get(x)
        R += [restraint(s.ky), restraint(s.km)] if s else [0, 0]
        D += [None, None]
    settles = False
    for load in model.loads:
        if isinstance(load, Settlement):
            j = nodes.index(float(model.supports[load.support].x))
            D[2 * j], D[2 * j + 1] = load.dy or D[2 * j], load.rotation or D[2 * j + 1]
            settles = True
    pycba_beam = cba.BeamAnalysis([b - a for a, b in members], [stiffness(a, b) for a, b in members], R=R,
                                  eletype=types, D=D if settles else None)
    for load in model.loads:
        for m, (a, b) in enumerate(members, 1):
            if isinstance(load, ft.UniformLoad):
                pycba_beam.add_udl(m, -load.w)
            elif isinstance(load, ft.PointLoad) and a < load.x < b:
                pycba_beam.add_pl(m, -load.force, load.x - a)
            elif isinstance(load, ft.Curvature) and load.x1 <= a and b <= load.x2:
                k2 = load.k1 if load.k2 is None else load.k2
                slope = (k2 - load.k1) / (load.x2 - load.x1)
                pycba_beam.add_ic(m, [load.k1 + slope * (a - load.x1), slope])
    return pycba_beam, nodes


SPANS = [Support.pin(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")]
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
    ([Support.fixed(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")], DECK, [14.0], [UDL, AXLE]),  # Gerber
    ([Support.fixed(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")], (), [14.0], [HEAT]),
    ([Support.fixed(0, "A"), Support.roller(8, "B"), Support.fixed(20, "C")], DECK, [4.0],
     [Settlement(support="B", dy=-0.01), AXLE]),  # a hinge on an indeterminate beam
    ([Support.fixed(0, "A"), Support.fixed(20, "C")], DECK, [], [HEAT, Settlement(support="C", dy=0.005)]),
    ([Support(x=0, kx=INF, ky=INF, km=5e4, label="A"), Support.roller(8, "B"), SPRING], DECK, [],
     [UDL, HEAT, AXLE]),
])
def test_pycba_gives_the_same_moments_shears_reactions_and_nodal_deflections(supports, sections, hinges, loads):
    # settlements named by index, as pycba_of() reads them (the model takes labels too)
    model = ft.Beam(span=20.0, E=E, I=I, supports=supports, sections=sections, hinges=hinges,
                    loads=[load if not isinstance(load, Settlement) else
                           Settlement(support=[s.label for s in supports].index(load.support), dy=load.dy,
                                      rotation=load.rotation) for load in loads])
    result = model.solve()
    other, nodes = pycba_of(model)
    assert other.analyze() == 0
    out = other.beam_results
    got, want = [], []
    for member in out.vRes:
        for k in range(1, len(member.x) - 1):
            side = "right" if k == 1 else "left"
            got += [(result.bm(float(member.x[k]), side), result.sf(float(member.x[k]), side))]
            want += [(float(member.M[k]), float(member.V[k]))]
    peak = max(abs(v) for pair in want for v in pair)
    assert max(abs(g - w) for gs, ws in zip(got, want) for g, w in zip(gs, ws)) <= EXACT * peak
    reactions = []
    for reaction in result.reactions:
        s = reaction.support
        reactions += [reaction.ry] if s.ky == INF else []
        reactions += [reaction.m] if s.km == INF else []
    springs = [reaction.m for reaction in result.reactions if 0 < reaction.support.km < INF]
    assert reactions + springs == pytest.approx(list(out.R) + list(out.Rs), abs=EXACT * peak + 1e-9)
    deflections = [float(v) for v in out.D[0::2]]
    assert [result.d(x) for x in nodes] == pytest.approx(deflections, abs=EXACT * max(map(abs, deflections)) + 1e-15)


# --- the workflows on a girder with a step and a hinge, against separate solves ---------------------

GIRDER = dict(span=20.0, E=E, I=I, sections=DECK, hinges=[14.0],
              supports=[Support.fixed(0, "A"), Support.roller(8, "B"), Support.roller(20, "C")])


def girder(loads=()):
    return ft.Beam(**GIRDER, loads=loads)


def sided(x):
    """Each entry of a mesh as (index, x, side): the first of a doubled x is the left side."""
    return [(k, v, "left" if k + 1 < len(x) and x[k + 1] == v else "right") for k, v in enumerate(x)]


def test_combinations_and_their_envelope_are_the_sums_of_their_cases():
    cases = {"D": [UDL], "S": [Settlement(support="B", dy=-0.02)], "T": [HEAT]}
    factors = {"ULS": {"D": 1.35, "S": 1.0}, "SLS": {"D": 1.0, "T": 0.6, "S": 1.0}}
    model = ft.Beam(**GIRDER, cases=cases, combinations=[ft.Combination(name=k, factors=f) for k, f in factors.items()])
    alone = {name: girder(loads).solve() for name, loads in cases.items()}
    combined = model.solve_combinations()
    envelope = ft.envelope(combined)
    mesh = sided(envelope.x)
    for name, result in combined.items():
        summed = [sum(f * alone[case].bm(x, side) for case, f in factors[name].items()) for _, x, side in mesh]
        peak = max(map(abs, summed))
        assert [result.bm(x, side) for _, x, side in mesh] == pytest.approx(summed, abs=EXACT * peak)
        assert result.reactions["B"].ry == pytest.approx(
            sum(f * alone[case].reactions["B"].ry for case, f in factors[name].items()), abs=EXACT * peak)
    brute = [max(r.bm(x, side) for r in combined.values()) for _, x, side in mesh]
    assert envelope.bm.max == pytest.approx(brute, abs=EXACT * max(map(abs, brute)))


def test_an_influence_line_is_the_unit_load_solved_at_each_position_with_a_kink_at_the_hinge():
    line = ft.influence_line(girder(), "bm", 10.0, n=40)
    brute = [girder([ft.PointLoad(x=x, force=-1.0)]).solve().bm(10.0) for x in line.x]
    assert line.value == pytest.approx(brute, abs=EXACT * max(map(abs, brute)))
    # Mueller-Breslau: straight on the suspended part (14 to 20), to zero at its roller
    suspended = [(x, v) for x, v in zip(line.x, line.value) if x >= 14.0]
    (x0, v0), (x1, v1) = suspended[0], suspended[-1]
    assert v1 == pytest.approx(0.0, abs=1e-12)
    assert all(v == pytest.approx(v0 + (v1 - v0) * (x - x0) / (x1 - x0), abs=1e-9) for x, v in suspended)


def test_a_moving_vehicle_is_the_envelope_of_its_positions_solved_alone():
    vehicle = ft.Vehicle(weights=[50.0, 100.0], spacings=[3.0])
    moving = ft.moving_load(girder([UDL]), vehicle, step=0.5, n=40)
    band, mesh = moving.envelope.bm, sided(moving.envelope.x)
    positions = [moving.position(k) for k in range(len(moving.envelope.names))]
    solved = [girder([UDL, *(ft.PointLoad(x=x, force=-w) for x, w in zip(p.axles, vehicle.weights)
                             if 0.0 <= x <= 20.0)]).solve() for p in positions]
    brute = [max(r.bm(x, side) for r in solved) for _, x, side in mesh]
    assert band.max == pytest.approx(brute, abs=EXACT * max(map(abs, brute)))


def test_patterns_load_the_spans_between_vertical_restraints_as_every_pattern_solved_alone():
    live = ft.UniformLoad(w=-6.0)
    # the heat on every span, loaded or not: the pattern cuts it at the supports
    envelope = ft.pattern_envelope(girder(), loaded=[live, HEAT], unloaded=[HEAT], n=40)
    mesh = sided(envelope.x)
    spans = girder().spans()
    patterns = [[ft.UniformLoad(w=-6.0, x1=a, x2=b) for k, (a, b) in enumerate(spans) if mask >> k & 1]
                for mask in range(2 ** len(spans))]
    solved = [girder([HEAT, *loads]).solve() for loads in patterns]
    brute = [min(r.bm(x, side) for r in solved) for _, x, side in mesh]
    assert envelope.bm.min == pytest.approx(brute, abs=EXACT * max(map(abs, brute)))
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
    exact = other.reaction_loads
    model = ft.Beam(span=20.0, E=E, I=I, supports=[Support.fixed(0), Support.roller(8), Support.fixed(20)], hinges=[4.0],
                    loads=[ft.PointLoad(x=13.0, force=-80.0), ft.UniformLoad(w=-12.0)])
    result = model.solve()
    ours = [v for r in result.reactions for v in (r.ry, r.m)]
    assert ours == pytest.approx([float(exact[r0]), -float(exact[m0]), float(exact[r8]), 0.0,
                                  float(exact[r20]), -float(exact[m20])], abs=1e-9)
    x = sympy.Symbol("x")
    for at in (2.5, 6.0, 10.0, 17.0):
        want = [-other.bending_moment().subs(x, at), -other.shear_force().subs(x, at), other.deflection().subs(x, at)]
        got = [result.bm(at), result.sf(at), result.d(at)]
        assert got == pytest.approx([float(v) for v in want], rel=1e-12, abs=1e-12)


def test_the_model_file_is_written_as_the_lowest_version_that_holds_the_model():
    extended = ft.Beam(**GIRDER, loads=[UDL, Settlement(support=1, dy=-0.02), HEAT,
                                        ft.ThermalGradient(x1=0, x2=20, alpha=1.2e-5, dT=-10.0, depth=0.8)])
    spring = ft.Beam(span=20.0, E=E, I=I, supports=[PIN, SPRING])
    for model, version in ((extended, 3), (spring, 3), (beam([PIN, ROLLER], loads=[UDL]), 1)):
        assert ft.to_dict(model)["flexura_model"] == version
        assert ft.from_json(ft.to_json(model)) == model
    older = {**ft.to_dict(extended), "flexura_model": 2}
    with pytest.raises(ft.ModelError) as info:
        ft.from_dict(older)
    assert [p.path for p in info.value.problems] == ["sections", "hinges", "loads[1].type", "loads[2].type",
                                                     "loads[3].type"]
    assert all('write "flexura_model": 3' in p.message for p in info.value.problems)


def test_the_model_knows_its_features_before_any_solve_as_the_core_finds_them():
    model = girder([UDL, AXLE, ft.Curvature(x1=3.0, x2=17.0, k1=1e-4), Settlement(support="B", dy=-0.01)])
    assert model.features() == model.solve().solved.features()
