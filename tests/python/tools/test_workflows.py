"""The workflows against closed forms: moving loads, load patterns, influence
lines, combinations to the bit, and the envelope of one member."""
import dataclasses
import io
import itertools
import math
import random

import pytest

import flexura
import flexura_tools as ft
from flexura_tools import envelopes, patterns
from flexura_tools.progress import Progress

INF = math.inf
L, P = 10.0, 40.0


def simple(*loads, span=L):
    return ft.Beam(span=span, E=2e4, I=0.5, supports=[ft.Support.pin(0, "A"), ft.Support.roller(span, "B")],
                   loads=loads)


def two_spans(*loads):
    return ft.Beam(span=2 * L, E=2e4, I=0.5, loads=loads, supports=[
        ft.Support.pin(0, "A"), ft.Support.roller(L, "B"), ft.Support.roller(2 * L, "C")])


# (vehicle, step, bending moment's largest value, where, the axle standing there)
TRAVERSES = [
    # one point load: P L / 4 at midspan, with the load there, also found between mesh
    # positions (7 intervals and no axle positions: the peak at 5 lies between 4.3 and 5.7)
    (ft.Vehicle(weights=[P]), 0.5, P * L / 4, [L / 2], L / 2),
    (ft.Vehicle(weights=[P]), 0.25, P * L / 4, [L / 2], L / 2),
    (ft.Vehicle(weights=[P]), (0.25, {"axle_points": False, "n": 7}), P * L / 4, [L / 2], L / 2),
    # two equal axles s apart: the span's centre halfway between the resultant and the
    # nearer axle, which stands at L/2 -+ s/4: P (L - s/2)^2 / (2 L)
    (ft.Vehicle(weights=[P, P], spacings=[2.0]), 0.5, P * (L - 1.0) ** 2 / (2 * L), [L / 2 - 0.5, L / 2 + 0.5], None),
    (ft.Vehicle(weights=[P, P], spacings=[4.0]), 0.5, P * (L - 2.0) ** 2 / (2 * L), [L / 2 - 1.0, L / 2 + 1.0], None),
]


@pytest.mark.parametrize("vehicle, step, moment, where, front", TRAVERSES)
def test_moving_load_absolute_maximum_moment(vehicle, step, moment, where, front):
    step, options = step if isinstance(step, tuple) else (step, {})
    found = ft.moving_load(simple(), vehicle, step=step, **options)
    bm = found.extremes()["bm"]
    assert bm.max == pytest.approx(moment, rel=1e-12)
    assert min(abs(bm.x_max - x) for x in where) < 1e-9 * L
    position = found.position(bm.max_member)
    assert any(abs(a - bm.x_max) < 1e-9 for a in position.axles)  # an axle stands at the peak
    if front is not None:
        assert position.front == pytest.approx(front)
    # The reactions' envelope: the front axle on a support, the others behind it; no uplift.
    largest = sum(w * (L - c) / L for w, c in zip(vehicle.weights, vehicle.offsets()))
    assert [(r.ry.max, r.ry.min) for r in found.envelope.reactions] == [(pytest.approx(largest), 0.0)] * 2


def test_moving_load_shear_both_sides_of_an_axle_and_both_directions():
    found = ft.moving_load(simple(), ft.Vehicle(weights=[P]), step=2.5)
    env = found.envelope
    at = [e for e, x in enumerate(env.x) if x == 5.0]
    assert len(at) == 2  # an axle stands at 5: its shear jump is read on both sides
    assert (env.sf.max[at[0]], env.sf.min[at[1]]) == pytest.approx((P / 2, -P / 2))
    directions = {found.position(m).direction for m in (env.sf.max_member[at[0]], env.sf.min_member[at[1]])}
    assert len(found.envelope.names) == 2 * 5 and directions <= {"forward", "backward"}


def beam_on(*supports):
    return ft.Beam(span=supports[-1], E=1e6, I=1.0, supports=[ft.Support.pin(0, "A")] + [
        ft.Support.roller(x, label) for x, label in zip(supports, "BCDE")])


FOUR_AXLES = ft.Vehicle(weights=(60, 120, 120, 60), spacings=(1.2, 6.0, 1.2))
FIVE_AXLES = ft.Vehicle(weights=(48, 120, 120, 96, 96), spacings=(3.6, 1.3, 6.2, 1.3))
# Axles whose computed position lies a rounding error from a support (45.00000000000001).
AT_SUPPORTS = [(beam_on(20, 45, 65), FOUR_AXLES, 0.1), (beam_on(12, 30, 48, 60), FIVE_AXLES, 0.1)]


@pytest.mark.parametrize("beam, vehicle, step", AT_SUPPORTS)
def test_shear_entries_at_supports_come_from_their_own_side(beam, vehicle, step):
    found = ft.moving_load(beam, vehicle, step=step, quantities=("sf",))
    env = found.envelope
    for support in beam.supports[1:-1]:
        left, right = [e for e, x in enumerate(env.x) if x == support.x]
        for e, side in ((left, -INF), (right, INF)):
            for value, member in ((env.sf.max[e], env.sf.max_member[e]), (env.sf.min[e], env.sf.min_member[e])):
                # The governing member solved afresh, read on the entry's side; an axle of
                # it on the support may also count just beside it (its weight on the other side).
                axles = [(x, w) for x, w in zip(found.position(member).axles, vehicle.weights) if 0 <= x <= beam.span]
                solved = beam.with_loads([ft.PointLoad(x=x, force=-w) for x, w in axles]).solve()
                direct = solved.raw.eval_sf(math.nextafter(support.x, side))
                beside = [direct + math.copysign(w, side) for x, w in axles if x == support.x]
                assert value in [pytest.approx(v, rel=1e-12, abs=1e-9) for v in [direct, *beside]]


# A member jumping twice a rounding error apart (one mesh position): its left entry is
# read left of both jumps, its right entry right of both.
@pytest.mark.parametrize("beam, quantity, first, last", [
    (two_spans(ft.PointLoad(x=L + 1e-12, force=-10)), "sf", L, L + 1e-12),
    (simple(ft.PointLoad(x=3 - 1e-12, force=-4), ft.PointLoad(x=3, force=-6)), "sf", 3 - 1e-12, 3.0),
    (simple(ft.Moment(x=3, moment=5), ft.Moment(x=3 + 1e-12, moment=-2)), "bm", 3.0, 3 + 1e-12),
])
def test_jumps_merged_into_one_position_are_read_beside_the_outermost(beam, quantity, first, last):
    result = beam.solve()
    env = ft.envelope([result], n=10)
    left, right = [e for e, x in enumerate(env.x) if abs(x - first) < 1e-9]
    read = result.evaluator(quantity)
    assert (env[quantity].max[left], env[quantity].max[right]) == (read(math.nextafter(first, -INF)), read(last))


# (beam, vehicle, step): the largest shear and the smallest are each other's mirror.
SYMMETRIC = [(simple(span=20.0), ft.Vehicle(weights=[100.0]), step) for step in (0.25, 0.1, 0.3, 1 / 3)] + [
    (beam_on(20, 45, 65), ft.lm1_lane1(), 0.1), (beam_on(20, 45, 65), FOUR_AXLES, 0.1)]


@pytest.mark.parametrize("beam, vehicle, step", SYMMETRIC)
def test_the_largest_shear_next_to_a_support_counts_the_axle_just_inside(beam, vehicle, step):
    sf = ft.moving_load(beam, vehicle, step=step, quantities=("sf",)).extremes()["sf"]
    assert sf.max == pytest.approx(-sf.min, rel=1e-12)
    if len(vehicle.weights) == 1:  # one axle just inside the span at a support: P
        assert sf.max == pytest.approx(100.0, rel=1e-12)


# Symmetric beams and vehicles: the reactions at mirrored supports range alike.
MIRRORED = [(simple(span=20.0), FIVE_AXLES, 0.1), (beam_on(20, 45, 65), FOUR_AXLES, 0.1),
            (beam_on(12, 30, 48, 60), FIVE_AXLES, 0.1)]


@pytest.mark.parametrize("beam, vehicle, step", MIRRORED)
def test_mirrored_supports_have_mirrored_reaction_ranges(beam, vehicle, step):
    found = ft.moving_load(beam, vehicle, step=step, quantities=("sf",))
    ranges = [(r.ry.max, r.ry.min) for r in found.envelope.reactions]
    assert sum(ranges, ()) == pytest.approx(sum(ranges[::-1], ()), rel=1e-12)
    # An axle a rounding error from a support (or the end) stands on it.
    features = {0.0, *(s.x for s in beam.supports)}
    axles = {a for k in range(len(found.envelope.names)) for a in found.position(k).axles}
    assert not [(a, f) for a in axles for f in features if 0 < abs(a - f) <= 1e-12 * beam.span]


Q = 3.0
PATTERNS = [
    # two equal spans under q span by span: 49/512 q L^2 sagging with one span loaded,
    # q L^2 / 8 hogging over B with both; 5 q L / 4 on B, q L / 16 uplift at A
    ("bm", "max", 49 / 512 * Q * L * L, 7 * L / 16),
    ("bm", "min", -Q * L * L / 8, L),
    ("ry B", "max", 5 * Q * L / 4, None),
    ("ry A", "min", -Q * L / 16, None),
]


@pytest.mark.parametrize("quantity, side, value, x", PATTERNS)
def test_pattern_envelope_of_two_spans(quantity, side, value, x):
    env = ft.pattern_envelope(two_spans(), [ft.UniformLoad(w=-Q)])
    assert env.names == ["no span loaded", "span 1", "span 2", "all spans"]
    if quantity.startswith("ry"):
        reaction = env.reaction(quantity[-1]).ry
        assert getattr(reaction, side) == pytest.approx(value, rel=1e-9)
        return
    extreme = env.extremes()[quantity]
    assert getattr(extreme, side) == pytest.approx(value, rel=1e-9)
    assert getattr(extreme, "x_" + side) == pytest.approx(x, abs=1e-9 * L)


@pytest.mark.parametrize("load", [ft.UniformLoad(w=-Q), ft.TrapezoidalLoad(w1=-1, w2=-5, x1=2, x2=17),
                                  ft.PolynomialLoad(coefficients=[-1, 0.1], x1=3, x2=19)])
def test_patterns_cut_loads_at_supports_without_changing_them(load):
    beams = ft.pattern_beams(two_spans(), [load], all_patterns=True)
    assert list(beams) == ["no span loaded", "span 1", "span 2", "all spans"]
    whole, cut = two_spans(load).solve(), beams["all spans"].solve()
    assert len(beams["all spans"].loads) == 2
    for x in (1.0, 7.5, 10.0, 13.0, 19.0):
        assert cut.raw.eval_bm(x) == pytest.approx(whole.raw.eval_bm(x), rel=1e-12, abs=1e-12)


@pytest.mark.parametrize("load, part", [
    (ft.UniformLoad(w=-2.0, angle=60.0), ft.UniformLoad(w=-2.0, x1=4.0, x2=8.0, angle=60.0)),
    (ft.TrapezoidalLoad(w1=-1.0, w2=-5.0, x1=2.0, x2=10.0, angle=60.0),
     ft.TrapezoidalLoad(w1=-2.0, w2=-4.0, x1=4.0, x2=8.0, angle=60.0)),
    (ft.PolynomialLoad(coefficients=[-1.0], x1=0.0, x2=9.0, angle=45.0),
     ft.PolynomialLoad(coefficients=[-1.0], x1=4.0, x2=8.0, angle=45.0)),
    (ft.Curvature(x1=0.0, x2=16.0, k1=0.0, k2=8.0), ft.Curvature(x1=4.0, x2=8.0, k1=2.0, k2=4.0)),
    (ft.ThermalGradient(x1=1.0, x2=20.0, alpha=1.2e-5, dT=-15.0, depth=0.8),
     ft.ThermalGradient(x1=4.0, x2=8.0, alpha=1.2e-5, dT=-15.0, depth=0.8)),
])
def test_a_load_cut_to_a_stretch_keeps_its_other_fields(load, part):
    assert load.part(4.0, 8.0, 20.0) == part and type(load.part(4.0, 8.0, 20.0)) is type(part)


def test_all_patterns_are_offered_up_to_twelve_spans():
    many = ft.Beam(span=13, E=1, I=1, supports=[ft.Support.pin(0)] + [ft.Support.roller(x) for x in range(1, 14)])
    assert len(ft.spans(many)) == 13 and len(ft.pattern_beams(many, [ft.UniformLoad(w=-1)])) == 26  # of 8,192
    with pytest.raises(ValueError, match="every pattern of 13 spans would be 8192 beams"):
        ft.pattern_beams(many, [ft.UniformLoad(w=-1)], all_patterns=True)


def continuous(spans, left=0.0, right=0.0, first=ft.Support.pin, spring_at=None):
    xs = [left + sum(spans[:k]) for k in range(len(spans) + 1)]
    supports = [first(xs[0])] + [ft.Support.spring(x, ky=2e3, kx=1e3) if k == spring_at else ft.Support.roller(x)
                                 for k, x in enumerate(xs[1:], 1)]
    return ft.Beam(span=xs[-1] + right, E=2e5, I=1e-3, A=1e-2, supports=supports)


# (beam, angle of the point load, unloaded loads): equal and unequal spans, overhangs, a fixed end, a spring
PATTERN_BEAMS = [
    (continuous([8.0, 8.0]), 90.0, []), (continuous([6.0, 10.0, 4.0], left=2.0), 90.0, [ft.UniformLoad(w=-4.0)]),
    (continuous([8.0] * 4, right=3.0), 60.0, []),
    (continuous([4.0, 12.0, 6.0, 10.0], first=ft.Support.fixed), 90.0, [ft.UniformLoad(w=-4.0)]),
    (continuous([8.0] * 5), 90.0, [ft.UniformLoad(w=-4.0)]),
    (continuous([10.0, 6.0, 8.0, 12.0, 4.0], left=2.0, right=3.0, spring_at=2), 90.0, [ft.UniformLoad(w=-4.0)]),
    (continuous([8.0] * 6, first=ft.Support.fixed, right=3.0), 60.0, []),
    (continuous([12.0, 8.0, 4.0, 10.0, 6.0, 8.0, 10.0]), 90.0, [ft.UniformLoad(w=-4.0)]),
]


@pytest.mark.parametrize("beam, angle, unloaded", PATTERN_BEAMS)
def test_the_governing_patterns_give_the_extremes_of_all_patterns(beam, angle, unloaded, monkeypatch):
    monkeypatch.setattr(patterns, "FEW_SPANS", 0)  # searched for however few spans carry loads
    span = float(beam.span)
    loaded = [ft.UniformLoad(w=-10), ft.PointLoad(x=0.37 * span, force=-30, angle=angle),
              ft.TrapezoidalLoad(w1=-2, w2=-8, x1=0.2 * span, x2=0.7 * span)]
    chosen, every = (ft.pattern_envelope(beam, loaded, unloaded, n=40, all_patterns=a) for a in (False, True))
    ours, theirs = chosen.extremes(), every.extremes()
    for q, e in theirs.items():
        scale = max(abs(e.max), abs(e.min))
        assert (ours[q].max, ours[q].min) == pytest.approx((e.max, e.min), rel=1e-12, abs=1e-12 * scale)
    ranges = [[v for r in (s.rx, s.ry, s.m) for v in (r.max, r.min)] for s in (*chosen.reactions, *every.reactions)]
    count = len(beam.supports)  # reactions() rounds to 10 decimals
    assert ranges[:count] == [pytest.approx(row, rel=1e-12, abs=2e-10) for row in ranges[count:]]
    assert len(ft.spans(beam)) < 5 or len(chosen.names) < len(every.names) / 2


def test_the_hogging_moment_of_five_equal_spans():
    # spans 1, 2 and 4 loaded: -25/209 q L^2 over the second support (three-moment equations)
    env = ft.pattern_envelope(continuous([L] * 5), [ft.UniformLoad(w=-Q)])
    bm = env.extremes()["bm"]
    assert bm.min == pytest.approx(-25 / 209 * Q * L * L, rel=1e-12) and env.names[bm.min_member] == "spans 1, 2, 4"


def test_signs_that_change_between_two_samples_are_found():
    # the first dips below zero and back between the samples at 0.25 and 0.375; the others
    # cross between 0.5 and 0.625, the second first: all three are positive only between
    functions = [lambda x: (x - 0.3) ** 2 - 1e-4, lambda x: x - 0.61, lambda x: 0.62 - x]
    scan = patterns._Scan([lambda xs, f=f: [f(x) for x in xs] for f in functions], [0, 1], 8)
    assert {(-1, -1, 1), (1, 1, 1)} <= scan.signs()


A = 3.0
INFLUENCE = [
    # simple span, a downward unit load: shear at a jumps from -a/L to 1 - a/L as the load
    # crosses the section; moment a (L - a) / L with the load on the section
    (simple(), "sf", A, {}, [-A / L, 1 - A / L], lambda x: (L - x) / L - (x <= A)),
    (simple(), "bm", A, {}, [A * (L - A) / L] * 2, lambda x: min(x * (L - A), A * (L - x)) / L),
    (simple(), "ry", "A", {}, None, lambda x: (L - x) / L),
    # an axial unit load (angle 0) in tension beyond the section, compression positive
    (simple(), "nf", A, {"angle": 0.0}, [0.0, -1.0], lambda x: -1.0 * (x > A)),
    # two spans: the reaction at B, load at a in span 1: a (3 L^2 - a^2) / (2 L^3)
    (two_spans(), "ry", "B", {}, None, lambda x: x * (3 * L * L - x * x) / (2 * L ** 3) if x <= L else None),
]


@pytest.mark.parametrize("beam, quantity, at, options, at_section, exact", INFLUENCE)
def test_influence_lines_against_closed_forms(beam, quantity, at, options, at_section, exact):
    line = ft.influence_line(beam, quantity, at, n=40, **options)
    section = [v for x, v in zip(line.x, line.value) if x == at]
    if at_section is not None:
        assert section == pytest.approx(at_section, abs=1e-12)
    for x, v in zip(line.x, line.value):
        if x != at and exact(x) is not None:
            assert v == pytest.approx(exact(x), abs=1e-12)
    assert {0.0, L} <= set(line.x) and all(a <= b for a, b in zip(line.x, line.x[1:]))


@pytest.mark.parametrize("seed", range(5))
def test_deflection_lines_are_reciprocal_on_random_indeterminate_beams(seed):
    # Maxwell-Betti: the deflection at b under a unit load at a is that at a under one at b,
    # with shear deformation, springs and a fixed end
    rng = random.Random(seed)
    span = rng.uniform(5.0, 30.0)
    inner = sorted(rng.uniform(0.1, 0.9) * span for _ in range(rng.randint(1, 3)))
    ends = [ft.Support.fixed(0.0) if rng.random() < 0.5 else ft.Support.pin(0.0)]
    springs = [ft.Support(x=x, ky=rng.choice([INF, rng.uniform(1e2, 1e4)])) for x in [*inner, span]]
    beam = ft.Beam(span=span, E=200.0, I=3.0, A=1.0, G=rng.uniform(50.0, 100.0), supports=ends + springs)
    a, b = rng.uniform(0, span), rng.uniform(0, span)
    d_ab, d_ba = (dict(zip(line.x, line.value))[there] for line, there in
                  ((ft.influence_line(beam, "d", a, points=[b]), b), (ft.influence_line(beam, "d", b, points=[a]), a)))
    assert d_ab == pytest.approx(d_ba, rel=1e-9, abs=1e-15) and d_ab != 0.0


COMBINATIONS = [{"D": 1.35, "L": 1.5}, {"D": 1.0}, {"L": 1.5, "D": 0.9, "W": -1.5}, {"W": 0.0, "D": 1.0}]


@pytest.mark.parametrize("factors", COMBINATIONS)
def test_a_combination_is_the_solve_of_its_factored_loads_to_the_bit(factors):
    cases = {"D": [ft.UniformLoad(w=-12), ft.TrapezoidalLoad(w1=0, w2=-8, x1=12, x2=20)],
             "L": [ft.PointLoad(x=9, force=-45), ft.Moment(x=15, moment=20)],
             "W": [ft.PolynomialLoad(coefficients=[1.0, -0.05], x1=0, x2=20)]}
    beam = dataclasses.replace(two_spans(), cases=cases, combinations=[ft.Combination(name="c", factors=factors)])
    raw = {"D": lambda f: [("udl", [f * -12, 0, 20.0, 90.0]), ("trap", [f * 0, f * -8, 12, 20, 90.0])],
           "L": lambda f: [("point", [f * -45, 9, 90.0]), ("torque", [f * 20, 15])],
           "W": lambda f: [("dist", [0, 20, 90.0, f * 1.0, f * -0.05])]}
    loads = [load for name, f in factors.items() for load in raw[name](f)]
    args = beam.with_loads([]).solve_args()
    expected = flexura.solve(args.span, args.e, args.i, args.a, args.g, args.supports, loads)
    got = beam.solve_combinations()["c"].raw
    xs = [20 * k / 13 for k in range(14)]
    for q in ("eval_nf", "eval_sf", "eval_bm", "eval_d"):
        assert [getattr(got, q)(x).hex() for x in xs] == [getattr(expected, q)(x).hex() for x in xs]
    assert got.reactions() == expected.reactions()


@pytest.mark.parametrize("beam", [simple(ft.PointLoad(x=3, force=-10), ft.Moment(x=7, moment=5)),
                                  two_spans(ft.UniformLoad(w=-2), ft.TrapezoidalLoad(w1=-1, w2=3, x1=4, x2=16)),
                                  two_spans(ft.PointLoad(x=5, force=-8, angle=60), ft.PointLoad(x=L, force=-3))])
def test_the_envelope_of_one_member_is_that_member(beam):
    result = beam.solve()
    env = ft.envelope([result], n=37)
    for q in ("nf", "sf", "bm", "d"):
        band = env[q]
        read, jumps = result.evaluator(q), beam.jumps()[q]
        for e, x in enumerate(env.x):
            # where q jumps, the position is held twice: the value just left, then just
            # right; at the end of the beam the value just left
            left = x == beam.span or (x in jumps and env.x[e + 1] == x)
            value = read(math.nextafter(x, -INF)) if left else read(x)
            assert band.max[e] == band.min[e] == value and band.max_member[e] == band.min_member[e] == 0
        ours, theirs = env.extremes()[q], result.extremes()[q]
        scale = max(abs(theirs.max), abs(theirs.min), 1e-300)
        assert (ours.max, ours.min) == pytest.approx((theirs.max, theirs.min), rel=1e-12, abs=1e-12 * scale)
        assert (ours.x_max, ours.x_min) == pytest.approx((theirs.x_max, theirs.x_min), abs=1e-9 * beam.span)


def bits(value):
    """An envelope (or any part of it) with every float as its bits, the sign of zero included."""
    if isinstance(value, float):
        return value.hex()
    if isinstance(value, (list, tuple)):
        return [bits(v) for v in value]
    if isinstance(value, dict):
        return {k: bits(v) for k, v in value.items()}
    if dataclasses.is_dataclass(value):
        return bits({f.name: getattr(value, f.name) for f in dataclasses.fields(value)
                     if f.name not in ("members", "screens")})
    return value


def overhang(*loads):
    """Fixed at 0, a spring with a horizontal part at 5, a roller at 10, 2 m of overhang:
    every diagram jumps somewhere."""
    return ft.Beam(span=12.0, E=2e4, I=0.5, A=0.01, loads=loads, supports=[
        ft.Support.fixed(0, "A"), ft.Support.spring(5.0, ky=800.0, kx=50.0, label="B"), ft.Support.roller(10.0, "C")])


CASES = {"D": [ft.UniformLoad(w=-2.0), ft.Moment(x=7.5, moment=4.0)],
         "L": [ft.PointLoad(x=2.0, force=-3.0, angle=30.0), ft.PointLoad(x=12.0, force=-5.0)],
         "W": [ft.PointLoad(x=0.0, force=1.0, angle=0.0), ft.TrapezoidalLoad(w1=0.0, w2=-1.5, x1=6.0, x2=12.0)]}
FACTORS = [{"D": 1.35, "L": 1.5}, {"D": 1.0}, {"D": 1.35, "L": 1.5},  # the same twice: the first governs
           {"D": 0.0, "W": 0.0}, {"W": 1.0, "L": -0.5}]  # all loads times zero: a member of zeros
MEMBER_SETS = {
    "vehicle": lambda: ft.moving_load(overhang(*CASES["D"]), ft.Vehicle(weights=[6.0, 0.0, 9.0], spacings=[1.5, 1.0]),
                                      step=0.75).envelope,
    "combinations": lambda: ft.envelope(dataclasses.replace(overhang(), cases=CASES, combinations=[
        ft.Combination(name=f"c{k}", factors=f) for k, f in enumerate(FACTORS)]).solve_combinations(), n=40),
    "patterns": lambda: ft.pattern_envelope(overhang(), CASES["L"] + CASES["W"], [ft.UniformLoad(w=-1.0)],
                                            all_patterns=True, n=30),
}


@pytest.mark.parametrize("members", MEMBER_SETS)
def test_envelopes_are_the_same_read_member_by_member_or_position_by_position(members, monkeypatch):
    # Few members are read along the mesh one at a time, many across members one mesh
    # position at a time, a chunk of members after another: the bits must not tell.
    found = []
    for few, chunk in ((1000, 256), (0, 256), (0, 3)):
        monkeypatch.setattr(envelopes, "FEW", few)
        monkeypatch.setattr(envelopes, "CHUNK", chunk)
        env = MEMBER_SETS[members]()
        found.append((bits(env), bits(env.extremes())))
    assert found[1] == found[0] and found[2] == found[0]


@pytest.mark.parametrize("beam, loaded, unloaded, every", [
    (two_spans(), [ft.UniformLoad(w=-Q)], [], False),
    # a point load on a support goes with the span to its right; a moment, an axial
    # load and a partial trapezoid cut at a support; the overhang is a span
    (overhang(), CASES["L"] + CASES["W"] + [ft.PointLoad(x=5.0, force=-2.0), ft.Moment(x=3.0, moment=-1.0)],
     [ft.UniformLoad(w=-1.0)], False),
    (overhang(), CASES["L"] + CASES["W"], [ft.UniformLoad(w=-1.0)], True),
])
def test_the_pattern_envelope_is_the_envelope_of_the_pattern_beams(beam, loaded, unloaded, every):
    direct = ft.pattern_envelope(beam, loaded, unloaded, all_patterns=every, n=50)
    beams = ft.pattern_beams(beam, loaded, unloaded, all_patterns=every)
    solved = ft.envelope({name: member.solve() for name, member in beams.items()}, n=50)
    assert bits(direct) == bits(solved) and bits(direct.extremes()) == bits(solved.extremes())


@pytest.mark.parametrize("beam, loaded, every", [  # supports next to an end and to each other
    (continuous([0.3, 9.0, 0.05, 7.0], right=2.0, first=ft.Support.fixed), [ft.UniformLoad(w=-1.0)], True),
    (continuous([4.0] * 5, left=1.5, right=1.5), [ft.UniformLoad(w=-3.0), ft.Moment(x=9.0, moment=2.0)], False),
    (ft.Beam(span=5.0, E=2e5, I=1e-3, supports=[ft.Support.fixed(0.0)]), [ft.PointLoad(x=3.0, force=-4.0)], False),
])
def test_each_mesh_entry_holds_the_members_read_on_its_side(beam, loaded, every):
    env = ft.pattern_envelope(beam, loaded, [ft.UniformLoad(w=-0.5)], all_patterns=every, n=40)
    x = env.x
    for q, e in itertools.product(("sf", "bm"), range(len(x))):  # a doubled position: left, then right
        at = env.at(x[e], q, "left" if e == len(x) - 1 or x[e + 1] == x[e] else "right")
        assert (at.max, at.max_member, at.min, at.min_member) == (
            env[q].max[e], env[q].max_member[e], env[q].min[e], env[q].min_member[e]), (q, e)


@pytest.mark.parametrize("call, message", [
    (lambda: ft.moving_load(simple(), ft.Vehicle(weights=[1, 2], spacings=[]), step=0),
     "vehicle.spacings: 2 axles need 1 spacings, got 0\n  step: must be positive and finite, got 0"),
    (lambda: ft.influence_line(simple(), "sf", L), "side: just right of x = 10 is off the beam; use the other side"),
    (lambda: ft.influence_line(simple(), "ry", "C"), "at: 'C' is not a support of the beam (supports: A, B)"),
    # an axial unit load where nothing restrains the beam axially would be left unbalanced
    (lambda: ft.influence_line(dataclasses.replace(simple(), supports=[ft.Support.roller(0), ft.Support.roller(L)]),
                               "nf", 3.0, angle=0.0), "angle: the unit load has a horizontal component"),
    (lambda: ft.envelope([simple().solve(), two_spans().solve()]), r"members\[1\]: \(1\) its span or supports differ"),
    (lambda: simple().combination("ULS"), "'ULS' is not a combination"),
    # a combination is not checked again unless a factored load overflows; then it is
    (lambda: dataclasses.replace(simple(), cases={"D": [ft.PointLoad(x=5, force=-1e300), ft.UniformLoad(w=-2)]},
                                 combinations=[ft.Combination(name="c", factors={"D": 1e10})]).solve_combinations(),
     r"1 problem in the model\n  combinations\[0\]: c: loads\[0\]\.force: must be finite, got -inf"),
])
def test_workflow_inputs_are_checked(call, message):
    with pytest.raises(ft.ModelError, match=message.replace("(", r"\(").replace(")", r"\)")
                       if "members" not in message else message):
        call()


@pytest.mark.parametrize("call, paths", [
    (lambda: ft.influence_line(simple(), "bm", 3.0, n=0, points=[11, "x"], side="up"),
     ["n", "points[0]", "points[1]", "side"]),
    (lambda: ft.envelope([simple().solve(), 3], n=-1, quantities=["bm", "M"]), ["members[1]", "n", "quantities[1]"]),
    (lambda: ft.envelope([simple().solve(), 3]), ["members[1]"]),
    (lambda: ft.pattern_envelope(two_spans(), [ft.PointLoad(x=99, force=-1)], quantities=[]),
     ["quantities", "loaded[0].x"]),
    (lambda: ft.moving_load(simple(), ft.Vehicle(weights=[1]), step=1, directions="forward", points=(-1,)),
     ["directions", "points[0]"]),
    (lambda: simple().factored({"Q": 1.5, "G": math.nan}), ["factors.Q", "factors.G", "factors.G"]),
])
def test_every_argument_problem_is_listed_at_once(call, paths):
    with pytest.raises(ft.ModelError) as info:
        call()
    assert [p.path for p in info.value.problems] == paths


def test_positions_may_come_as_an_array():
    np = pytest.importorskip("numpy")
    points = np.array([2.5, 7.5])
    assert ft.envelope([simple().solve()], points=points, n=4).x == ft.envelope([simple().solve()], points=[2.5, 7.5], n=4).x
    assert ft.influence_line(simple(), "bm", 5.0, points=points, n=4).x == [0.0, 2.5, 5.0, 5.0, 7.5, 10.0]


class Terminal(io.StringIO):
    def isatty(self):
        return True


@pytest.mark.parametrize("asked, stream, shown", [(True, Terminal(), True), (False, Terminal(), False),
                                                  (True, io.StringIO(), False)])
def test_progress_bar_only_when_asked_and_on_a_terminal(asked, stream, shown):
    bar = Progress(40, "vehicle", asked, stream=stream, delay=0.0)
    bar.update(10)
    bar.close()
    assert bool(stream.getvalue()) == shown
    if shown:
        assert stream.getvalue().endswith("100% 40/40\n") and " 25% 10/40" in stream.getvalue()
