"""Code load models against closed forms: HL-93 on a simple span (the greatest moment
under the middle axle where mid-span halves its distance to the axles' resultant),
HL-93's two trucks over two equal spans (the support moment's influence line in
closed form), Cooper E80 on a 10 ft span, LM71 beside moving_load with its lane,
M1600 and S1600 on a 30 m span and over two spans (their variable spacing searched);
and their parameters refused outside what the codes allow."""
import itertools
import math

import pytest

import flexura_tools as ft
from flexura_tools import codes
from flexura_tools.lanes import Lane


def simple(span):
    return ft.Beam(span=span, E=3.0e7, I=0.4, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(span, "B")])


def moment_line(span, s, xi):
    """A simple span's moment at s for a unit load at xi (sagging positive)."""
    return 0.0 if not 0 <= xi <= span else xi * (span - s) / span if xi <= s else s * (span - xi) / span


def test_hl93_on_a_simple_span_is_the_truck_rule_plus_the_lane():
    span = 30.0
    d = (145.0 * 4.3 - 35.0 * 4.3) / 325.0  # the resultant behind the middle axle
    s = span / 2 + d / 2  # the middle axle's section
    step = (s + 4.3) / 250  # puts the front axle (4.3 m ahead of it) on the step grid
    env = codes.hl93().run(simple(span), step=step, points=[s])
    e = env.x.index(s)
    truck = sum(p * moment_line(span, s, x) for p, x in ((35.0, s + 4.3), (145.0, s), (145.0, s - 4.3)))
    assert env.bands["bm"].max[e] == pytest.approx(1.33 * truck + 9.3 * s * (span - s) / 2, rel=1e-12)
    assert env.bands["bm"].max_by[e].case == "design truck and lane"
    assert env.bands["bm"].max_by[e].detail == "last spacing 4.3"
    assert env.lane_parts("bm", "max", e) == [(0.0, span)]
    # The shear at the end: the rear axle on the support, the lane on the whole span.
    env = codes.hl93().run(simple(span), step=0.1)
    assert env.bands["sf"].max[0] == pytest.approx(
        1.33 * (145.0 + 145.0 * 25.7 / 30 + 35.0 * 21.4 / 30) + 9.3 * 15.0, rel=1e-12)


def two_spans(span):
    return ft.Beam(span=2 * span, E=3.0e7, I=0.4, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(span, "B"),
                                                            ft.Support.roller(2 * span, "C")])


def support_moment_line(span, xi):
    """M at the middle support of two equal spans for a unit load: -a (L^2 - a^2) / (4 L^2)."""
    a = xi if xi <= span else 2 * span - xi
    return 0.0 if not 0 <= xi <= 2 * span else -a * (span * span - a * a) / (4 * span * span)


@pytest.mark.parametrize("weights, spacings, free_at, detail", [
    ((35.0, 145.0, 145.0), (4.3, 4.3), -1, "last spacing"),  # HL-93's truck: the rear axle alone
    ((60.0, 90.0, 120.0, 120.0), (2.0, 4.0, 1.2), 1, "spacing 2"),  # a gap between axle groups
], ids=["last", "interior"])
def test_a_free_spacing_takes_its_worst_value_exactly(weights, spacings, free_at, detail):
    span, step = 10.0, 0.25  # the line is lowest 5.77 m from either end, 8.45 m apart
    train = codes.Train(weights, spacings, free=(spacings[free_at], 9.0), neglect_relieving=True, free_at=free_at)
    env = codes.LoadModel("truck", (codes.Case("truck", train),)).run(two_spans(span), step=step)
    found = env.bands["bm"].min[env.x.index(span)]
    # Brute force on a 5 mm grid of spacings: never worse than the exact window, and close to it.
    fronts = [k * step for k in range(int((2 * span + 13.3) / step) + 1)]
    grid = [spacings[free_at] + 0.005 * j for j in range(int((9.0 - spacings[free_at]) / 0.005 + 1e-9) + 1)]

    def offsets(g):
        taken = list(spacings)
        taken[free_at] = g
        return [sum(taken[:k]) for k in range(len(weights))]
    brute = min(sum(min(p * support_moment_line(span, f - o), 0.0) for p, o in zip(weights, offsets(g)))
                for f in fronts for g in grid)
    assert brute - 1e-3 <= found <= brute + 1e-9 * abs(brute)
    by = env.bands["bm"].min_by[env.x.index(span)]
    assert by.detail.startswith(detail)
    assert env.reader.reading("bm", "bm", "min", env.x.index(span), by) == pytest.approx(found, rel=1e-12)
    assert 7.0 < float(by.detail.split()[-1]) <= 9.0  # far from the least spacing, where the code lets it go


def test_hl93_two_trucks_govern_the_support_moment_of_two_equal_spans():
    span, step = 20.0, 0.1
    env = codes.hl93().run(two_spans(span), step=step)
    e = env.x.index(span)

    def line(xi):
        return support_moment_line(span, xi)

    def truck(front):  # one truck forward, its relieving axles left out
        return sum(min(p * line(front - o), 0.0) for p, o in ((35.0, 0.0), (145.0, 4.3), (145.0, 8.6)))
    fronts = [k * step for k in range(int((2 * span + 8.6) / step + 1e-9) + 1)]
    single = [truck(f) for f in fronts]
    gap = math.ceil((8.6 + 15.0) / step - 1e-9)
    pairs = min(single[k] + min([0.0] + single[:max(k - gap + 1, 0)]) for k in range(len(fronts)))
    lane = -9.3 * (2 * span) ** 2 / 32  # the whole beam: -w L^2 / 8 with L = 20
    expected = 0.9 * (1.33 * pairs + lane)
    assert env.bands["bm"].min[e] == pytest.approx(expected, rel=1e-9)
    assert env.bands["bm"].min_by[e].case == "90% of two trucks and lane"
    assert env.bands["bm"].min[e] < 1.33 * min(single) + 9.3 * lane / 9.3  # worse than one truck
    # Not at mid-span, where a uniform load sags the beam: one truck or the tandem there.
    assert env.bands["bm"].max_by[env.x.index(8.0)].case != "90% of two trucks and lane"


def test_cooper_e80_on_a_ten_foot_span():
    model = codes.cooper(80, units="kip-ft")
    # Two 80 kips drivers 5 ft apart, one at 3.75 ft: 160 (3.75)^2 / 10 = 225 kip-ft; the
    # alternate load's two 100 kips axles 5 ft apart there: 281.25 kip-ft, which governs.
    drivers = codes.LoadModel("E80 locomotives", model.cases[:1]).run(simple(10.0), step=0.25, points=[3.75])
    assert max(drivers.bands["bm"].max) == pytest.approx(225.0, rel=1e-12)
    env = model.run(simple(10.0), step=0.25, points=[3.75])
    assert env.extremes()["bm"].max == pytest.approx(281.25, rel=1e-12)
    assert env.extremes()["bm"].max_by.case == "alternate live load"


def test_lm71_on_a_simple_span_is_the_vehicle_with_its_lane_cleared_around_it():
    beam = simple(25.0)
    env = codes.lm71(alpha=1.33).run(beam, step=0.2, n=50)
    moving = ft.moving_load(beam, ft.Vehicle(weights=[250.0 * 1.33] * 4, spacings=[1.6] * 3), step=0.2, n=50,
                            lane=Lane(w=80.0 * 1.33, placement="whole", clearances=(0.8, 0.8)))
    common = set(env.x) & set(moving.envelope.x)
    assert len(common) > 20
    for e, x in enumerate(env.x):
        if x not in common:
            continue
        other = moving.envelope.x.index(x)
        assert env.bands["bm"].max[e] == pytest.approx(moving.envelope.bm.max[other], rel=1e-9, abs=1e-9)


def test_lm1_lanes_follow_the_carriageway_width():
    assert codes.lm1(5.0).cases[0].lane == 27.0 + 2.5 * 2.0  # one lane and 2 m of remaining area
    assert codes.lm1(5.6).name == "LM1 (2 lanes)"
    wide = codes.lm1(11.0).cases[0]
    assert (wide.train.weights[0], wide.lane) == (600.0, 27.0 + 7.5 + 7.5 + 2.5 * 2.0)
    assert codes.lm1(30.0, alpha_udl=(0.6,)).cases[0].lane == pytest.approx(0.6 * (27.0 + 9 * 7.5))
    assert codes.lm1(3e12).cases[0].lane == pytest.approx(2.5 * 3e12 + 6.5 * 3)  # counted at once


@pytest.mark.parametrize("make, path", [
    (lambda: codes.hl93(dynamic_allowance=0.2), "dynamic_allowance"),
    (lambda: codes.hl93(rear_spacing=(4.0, 9.0)), "rear_spacing"),
    (lambda: codes.hl93(rear_spacing=(4.3, 12.0)), "rear_spacing"),
    (lambda: codes.lm71(alpha=1.2), "alpha"),
    (lambda: codes.lm71(alpha=True), "alpha"),  # not 1.00
    (lambda: codes.lm71(dynamic_factor=2.5), "dynamic_factor"),
    (lambda: codes.lm1(0.0), "width"),
    (lambda: codes.lm1(9.0, alpha_q=(1.0, -1.0)), "alpha_q[1]"),
    (lambda: codes.cooper(-80), "rating"),
    (lambda: codes.cl625(dynamic_allowance=0.5), "dynamic_allowance"),
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1.0, 2.0), (0.0,))),)).run(simple(5.0)),
     "cases[0].train.spacings[0]"),
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1.0, 2.0), (1.0,), free=(3.0, 2.0))),)).run(
        simple(5.0)), "cases[0].train.free"),
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1.0,)), clear=(-1.0, 0.0)),)).run(simple(5.0)),
     "cases[0].clear[0]"),
    (lambda: codes.LoadModel("own", ("a",)).run(simple(5.0)), "cases[0]"),  # type: ignore[arg-type]
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1.0,)), applies="hogging"),)).run(
        two_spans(5.0)), "cases"),  # no value where the beam sags
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1.0, 2.0), (1.0,), free=(1.0, 2.0), free_at=1)),)
                             ).run(simple(5.0)), "cases[0].train.free_at"),
    (lambda: codes.m1600(variable_spacing=(5.0, 9.0)), "variable_spacing"),  # below Figure 7.2.4's least
    (lambda: codes.s1600(variable_spacing=(8.0, 7.0)), "variable_spacing"),
    (lambda: codes.hl93().run(simple(30.0), step=1e-3, n=2000), "step"),  # would fill memory
    (lambda: codes.hl93().run(simple(30.0), quantities=["bm", "rotation"]), "quantities[1]"),  # not built
    (lambda: codes.LoadModel("own", (codes.Case("a", codes.Train((1e308, 1e308), (1.0,))),)).run(simple(30.0)),
     "cases[0]"),  # overflows
])
def test_parameters_outside_the_code_are_model_errors(make, path):
    with pytest.raises(ft.ModelError) as caught:
        make()
    assert path in [p.path for p in caught.value.problems]


def test_lm71_lane_where_hogging_cleared_around_its_axles_on_two_spans():
    span, step = 15.0, 0.2
    env = codes.lm71().run(two_spans(span), step=step)
    found = env.bands["bm"].min[env.x.index(span)]

    def hogging_area(lo, hi, parts=3000):  # the line is negative everywhere: Simpson's rule
        if hi <= lo:
            return 0.0
        h = (hi - lo) / parts
        return h / 3 * sum((1 if k in (0, parts) else 4 if k % 2 else 2) * support_moment_line(span, lo + k * h)
                           for k in range(parts + 1))
    whole = hogging_area(0.0, 2 * span)
    best = 0.0
    for k in range(int((2 * span + 4.8) / step) + 1):
        front = k * step
        axles = sum(250.0 * support_moment_line(span, front - 1.6 * i) for i in range(4))
        cleared = hogging_area(max(front - 4.8 - 0.8, 0.0), min(front + 0.8, 2 * span))
        best = min(best, axles + 80.0 * (whole - cleared))
    assert found == pytest.approx(best, rel=1e-9)


def girder():
    return ft.Beam(span=65.0, E=3.6e7, I=2.9, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(20.0, "B"),
                                                         ft.Support.roller(45.0, "C"), ft.Support.roller(65.0, "D")])


@pytest.mark.parametrize("model", [codes.hl93(), codes.lm71(), codes.cooper(), codes.lm1(9.0), codes.cl625(),
                                   codes.m1600()],
                         ids=lambda m: m.name)
def test_what_governs_each_value_gives_it_again(model):
    env = model.run(girder(), step=0.25, n=60)
    for q, band in env.bands.items():
        scale = max(map(abs, band.max + band.min))
        for which, values, governing in (("max", band.max, band.max_by), ("min", band.min, band.min_by)):
            for e, (value, by) in enumerate(zip(values, governing)):
                if not math.isnan(value):
                    assert env.reader.reading(q, q, which, e, by) == pytest.approx(value, abs=1e-12 * scale)


def test_hl93_shear_with_the_hogging_moment_is_the_governing_arrangement_solved():
    beam = girder()
    env = codes.hl93().run(beam, step=0.25, n=60)
    b = env.x.index(20.0)  # left of B
    by = env.bands["bm"].min_by[b]
    left = math.nextafter(20.0, 0.0)
    moment = shear = 0.0
    for x, weight, _ in by.axles:  # each axle solved alone: those that relieve the hogging left out
        if 0 <= x <= 65.0:
            alone = beam.with_loads([ft.PointLoad(x=x, force=-weight)]).solve().solved
            if alone.values("bm", left) < 0:
                moment += alone.values("bm", left)
                shear += alone.values("sf", left)
    lane = beam.with_loads([ft.UniformLoad(w=-0.9 * 9.3, x1=a, x2=c) for a, c in env.lane_parts("bm", "min", b)])
    lane_solved = lane.solve().solved
    assert moment + lane_solved.values("bm", left) == pytest.approx(env.bands["bm"].min[b], rel=1e-9)
    assert env.coincident("bm", "min")["sf"][b] == pytest.approx(shear + lane_solved.values("sf", left), rel=1e-9)


def test_an_axle_on_a_support_counts_on_either_side_of_it():
    one = codes.LoadModel("one axle", (codes.Case("P", codes.Train((100.0,))),))
    env = one.run(two_spans(20.0), step=0.5, n=8)
    b = env.x.index(20.0)  # left of B, then right: the axle a hair either side of the support
    assert (env.bands["sf"].min[b], env.bands["sf"].max[b + 1]) == (pytest.approx(-100.0), pytest.approx(100.0))


def test_hl93_two_trucks_not_on_an_overhang():
    beam = ft.Beam(span=70.0, E=3.0e7, I=0.4, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(30.0, "B"),
                                                         ft.Support.roller(60.0, "C")])
    env = codes.hl93().run(beam, step=0.5, n=70)
    governing = env.bands["bm"].min_by
    assert governing[env.x.index(30.0)].case == "90% of two trucks and lane"  # between contraflexures
    assert "90% of two trucks and lane" not in {governing[e].case for e, x in enumerate(env.x) if x > 60.0}


def test_a_permanent_result_plus_a_code_envelope_shifts_its_values_and_keeps_who_governs():
    beam = girder()
    permanent = beam.with_loads([ft.UniformLoad(w=-40.0), ft.PointLoad(x=32.0, force=-200.0)]).solve()
    traffic = codes.hl93().run(beam, step=0.5, n=60)
    total = traffic.plus(permanent, 1.25)
    assert (permanent + traffic).bands["bm"].max == traffic.plus(permanent).bands["bm"].max
    b, left = traffic.x.index(20.0), math.nextafter(20.0, 0.0)
    g = permanent.solved
    assert total.bands["bm"].min[b] == pytest.approx(traffic.bands["bm"].min[b] + 1.25 * g.values("bm", left), rel=1e-12)
    assert total.bands["bm"].min_by[b] == traffic.bands["bm"].min_by[b]
    assert total.coincident("bm", "min")["sf"][b] == pytest.approx(
        traffic.coincident("bm", "min")["sf"][b] + 1.25 * g.values("sf", left), rel=1e-12)
    assert total.reactions["B"].max[0] == pytest.approx(
        traffic.reactions["B"].max[0] + 1.25 * permanent.reactions["B"].ry, rel=1e-12)
    other_units = ft.Beam(span=65.0, E=3.6e7, I=2.9, supports=beam.supports, unit_names={"force": "N"})
    with pytest.raises(ft.ModelError, match="same units"):
        traffic.plus(other_units.with_loads([ft.UniformLoad(w=-1.0)]).solve())


def test_the_deflection_of_a_code_model_is_the_vehicle_and_lane_driven_across():
    beam = ft.Beam(span=65.0, E=3.6e7, I=2.9, hinges=[24.0],
                   supports=[ft.Support.pin(0.0), ft.Support.roller(20.0), ft.Support.roller(45.0),
                             ft.Support.roller(65.0)])
    train = codes.Train((145.0, 145.0, 35.0), (4.3, 6.0))
    model = codes.LoadModel("own", (codes.Case("truck and lane", train, 1.2, 9.3),))
    points = [1.3 + 2.5 * k for k in range(26)]
    env = model.run(beam, step=0.25, n=40, points=points, quantities=["bm", "d"])
    moving = ft.moving_load(beam, ft.Vehicle(weights=[1.2 * w for w in train.weights], spacings=[4.3, 6.0]),
                            step=0.25, n=40, points=points, lane=Lane(w=9.3)).envelope
    band, scale = env.bands["d"], max(map(abs, moving.d.max + moving.d.min))
    common = [x for x in set(env.x) & set(moving.x) if env.x.count(x) == 1]
    assert len(common) > 20
    for x in common:
        e, m = env.x.index(x), moving.x.index(x)
        assert (band.max[e], band.min[e]) == (pytest.approx(moving.d.max[m], abs=1e-9 * scale),
                                              pytest.approx(moving.d.min[m], abs=1e-9 * scale))
    # On a simple span: an axle and the lane at mid-span, PL^3/48EI + 5wL^4/384EI.
    L, EI = 30.0, 3.0e7 * 0.4
    one = codes.LoadModel("P", (codes.Case("P", codes.Train((100.0,)), lane=9.3),))
    mid = one.run(simple(L), step=0.5, n=7, points=[L / 2], quantities=["d"])
    assert mid.bands["d"].min[mid.x.index(L / 2)] == pytest.approx(
        -(100.0 * L ** 3 / (48 * EI) + 5 * 9.3 * L ** 4 / (384 * EI)), rel=1e-12)
    assert set(mid.coincident("d", "min")) == {"sf", "bm"}


@pytest.mark.parametrize("train, permanent, at, moment", [
    (codes.Train((100.0,)), 0.0, 5.0, 250.0),  # PL/4 at mid-span
    (codes.Train((100.0, 100.0), (1.2,)), 0.0, 4.7, 100.0 * 4.7 * 9.4 / 10),  # under an axle, (2L - d)/4 from the end
    (codes.Train((100.0,)), 200.0, 5.0, 250.0 + 2500.0),  # plus a permanent wL^2/8 that outweighs it
], ids=["axle", "tandem", "axle plus a permanent load"])
def test_extremes_find_a_peak_the_mesh_misses(train, permanent, at, moment):
    env = codes.LoadModel("v", (codes.Case("v", train),)).run(simple(10.0), step=0.1, n=7)
    if permanent:
        env = env.plus(simple(10.0).with_loads([ft.UniformLoad(w=-permanent, x1=0.0, x2=10.0)]).solve())
    bm = env.extremes()["bm"]
    assert max(env.bands["bm"].max) < moment - 1.0  # the mesh (every 10/7) misses it
    assert bm.max == pytest.approx(moment, rel=1e-12)
    assert bm.x_max == pytest.approx(at, abs=1e-9 * 10)
    assert min(abs(x - bm.x_max) for x, _, _ in bm.max_by.axles) < 1e-9


@pytest.mark.parametrize("model, beam", [
    (codes.hl93(), two_spans(20.0)),  # free spacing, relieving axles, two trucks where hogging
    (codes.lm71(), two_spans(20.0)),  # a cleared lane
    (codes.cooper(), simple(12.0)),  # a trailing load
], ids=["hl93", "lm71", "cooper"])
def test_each_refined_extreme_is_the_envelope_at_its_place_and_beats_a_dense_mesh(model, beam):
    env = model.run(beam, step=0.25, n=12)
    dense = model.run(beam, step=0.25, n=240)
    for q, found in env.extremes().items():
        scale = max(map(abs, dense.bands[q].max + dense.bands[q].min))
        for value, x, by, which in ((found.max, found.x_max, found.max_by, "max"),
                                    (found.min, found.x_min, found.min_by, "min")):
            sign = 1.0 if which == "max" else -1.0
            assert sign * value >= sign * getattr(dense.extremes()[q], which) - 1e-9 * scale
            at = model.run(beam, step=0.25, n=12, points=[x])
            band = at.bands[q]
            values, governing = (band.max, band.max_by) if which == "max" else (band.min, band.min_by)
            # Either side of a support: the one that holds it.
            e = min((k for k, p in enumerate(at.x) if p == x), key=lambda k: abs(values[k] - value))
            assert values[e] == pytest.approx(value, abs=1e-9 * scale)
            assert governing[e].case == by.case


def test_hl93_second_truck_at_its_exact_worst_headway():
    span, step = 20.0, 0.35  # the second truck's best place is off this grid
    env = codes.hl93().run(two_spans(span), step=step)
    found = env.bands["bm"].min[env.x.index(span)]

    def truck(front):  # one truck forward, its relieving axles left out
        return sum(min(p * support_moment_line(span, front - o), 0.0) for p, o in ((35.0, 0.0), (145.0, 4.3),
                                                                                   (145.0, 8.6)))
    # Brute force: the first truck on the step grid, the second anywhere behind on a 1 mm grid.
    fine = [truck(0.001 * k) for k in range(48_601)]
    worst = list(itertools.accumulate([0.0] + fine, min))  # worst[k]: the second truck's front below 0.001 k
    fronts = [k * step for k in range(int((2 * span + 8.6) / step + 1e-9) + 1)]
    pairs = min(truck(f) + worst[max(min(math.floor((f - 23.6) / 0.001 + 1e-9) + 1, len(worst) - 1), 0)]
                for f in fronts)
    on_grid = min(truck(f) + min([0.0] + [truck(g) for g in fronts if g <= f - 23.6]) for f in fronts)
    expected = 0.9 * (1.33 * pairs - 9.3 * (2 * span) ** 2 / 32)
    assert found <= expected + 1e-9 * abs(expected)  # never less severe than any headway tried
    assert found == pytest.approx(expected, abs=1e-3)
    assert found < 0.9 * (1.33 * on_grid - 9.3 * (2 * span) ** 2 / 32) - 1.0  # worse than the step grid's headways


# AS 5100.2's vehicles at mid-span of 30 m, the variable spacing at its least: 5,250 kNm from
# the M1600 vehicle's axles (a stated value of the configuration), 675 kNm from 6 kN/m, both
# with the allowance of 0.3; S1600's axles two thirds of M1600's, 24 kN/m, no allowance.
@pytest.mark.parametrize("make, moment, shear", [
    (codes.m1600, 1.3 * (5250.0 + 675.0), 1.3 * (120.0 * 7.125 + 6.0 * 15.0)),
    (codes.s1600, 3500.0 + 24.0 * 30.0 ** 2 / 8, 80.0 * 7.125 + 24.0 * 15.0),
])
def test_as5100_vehicles_on_a_simple_span(make, moment, shear):
    env = make().run(simple(30.0), step=0.25, points=[15.0])
    e = env.x.index(15.0)
    assert env.bands["bm"].max[e] == pytest.approx(moment, rel=1e-12)
    assert env.bands["bm"].max_by[e].detail == "spacing 6 6.25"
    # The end shear: every axle on the span from the support on (their share 7.125), the lane on all of it.
    assert env.bands["sf"].max[0] == pytest.approx(shear, rel=1e-12)


def test_m1600_variable_spacing_is_searched_up_to_the_beams_length():
    span, step = 30.0, 0.25
    env = codes.m1600().run(two_spans(span), step=step)
    found = env.bands["bm"].min[env.x.index(span)]
    spacings = list(codes._AS5100_SPACINGS)

    def offsets(g):
        taken = spacings[:5] + [g] + spacings[6:]
        return [sum(taken[:k]) for k in range(12)]
    # Brute force: the groups either side of the support on a 0.25 m grid of spacings.
    lane = 6.0 * 2 * span * span / 16  # the support moment's line holds -L^2 / 16 over each span
    brute = min(1.3 * sum(120.0 * support_moment_line(span, f - o) for o in offsets(g))
                for g in [6.25 + 0.25 * j for j in range(200)] for f in [k * step for k in range(int(110 / step))])
    assert brute - 1.3 * lane - 1.0 <= found <= brute - 1.3 * lane + 1e-9 * abs(brute)
    assert float(env.bands["bm"].min_by[env.x.index(span)].detail.split()[-1]) > 15.0


def test_the_worse_of_two_models_is_each_models_envelope_taken_together():
    beam = two_spans(20.0)
    both = (codes.m1600() | codes.s1600()).run(beam, step=0.25, n=40)
    alone = [make().run(beam, step=0.25, n=40) for make in (codes.m1600, codes.s1600)]
    for q in ("sf", "bm"):
        assert both.bands[q].max == [max(a, b) for a, b in zip(alone[0].bands[q].max, alone[1].bands[q].max)]
        assert both.bands[q].min == [min(a, b) for a, b in zip(alone[0].bands[q].min, alone[1].bands[q].min)]
    assert {by.case for by in both.bands["bm"].max_by} <= {"M1600: vehicle and uniform load",
                                                           "S1600: vehicle and uniform load"}


def adverse_parts(beam, q, x, side, sign):
    """Where q's influence line at x (read on `side`) has `sign`: unit loads every 0.2 m,
    each change of sign bisected down to 1e-12 m."""
    def line(p):
        if not 0 <= p <= beam.span:
            return 0.0
        return beam.with_loads([ft.PointLoad(x=p, force=-1.0)]).solve().solved.values(q, x, side)
    span = float(beam.span)
    grid = [span * k / (5 * round(span)) for k in range(5 * round(span) + 1)]
    cuts = [0.0]
    for a, b in zip(grid, grid[1:]):
        if (line(a) > 0) != (line(b) > 0):
            while b - a > 1e-12:
                a, b = (a, (a + b) / 2) if (line(a) > 0) != (line((a + b) / 2) > 0) else ((a + b) / 2, b)
            cuts.append(b)
    cuts.append(span)
    return [(a, b) for a, b in zip(cuts, cuts[1:]) if sign * line(a + 0.4142 * (b - a)) > 0], line  # off a support


ALTERNATE = codes.LoadModel("E80 alternate", (codes.cooper().cases[1],))  # its axles kept where they relieve


@pytest.mark.parametrize("model, beam, permanent", [
    (codes.hl93(), simple(30.0), None),
    (codes.hl93(), two_spans(20.0), None),  # the support moment from 90% of two trucks
    (codes.hl93(), two_spans(20.0), [ft.UniformLoad(w=-40.0), ft.PointLoad(x=27.3, force=-200.0)]),
    (ALTERNATE, simple(12.0), None),  # an axle on the section at the end of the beam
], ids=["one span", "two spans", "two spans plus a permanent result", "E80 alternate"])
def test_extremes_coincident_are_the_governing_arrangement_solved(model, beam, permanent):
    env = model.run(beam, step=0.25, n=12)
    if permanent:
        env = env.plus(beam.with_loads(permanent).solve(), 1.25)
    found = env.extremes()
    together = env.extremes_coincident(found)
    with pytest.raises(ft.ModelError, match="extremes"):
        env.extremes_coincident({"bm": found["sf"].max})
    for q, extreme in found.items():
        scale = max(map(abs, env.bands[q].max + env.bands[q].min))
        for which, sign, value, x, by in (("max", 1.0, extreme.max, extreme.x_max, extreme.max_by),
                                          ("min", -1.0, extreme.min, extreme.x_min, extreme.min_by)):
            lane = next(c.lane for c in model.cases if c.name == by.case)
            matched = []
            for side in ("left", "right"):  # the arrangement solved directly, read either side of x
                parts, line = adverse_parts(beam, q, x, side, sign)
                # An axle on x a hair to the side it counts on (either: the worse; inside the beam at
                # its ends); relieving axles left out where the model says so.
                axles = [(max([min(max(p + 1e-9 * h, 1e-9), beam.span - 1e-9) for h in ((hair,) if hair else (-1.0, 1.0))],
                              key=lambda at: sign * w * line(at)) if p == x else p, w) for p, w, hair in by.axles]
                relieving = model.cases[by.case_index].train.neglect_relieving
                loads = [ft.PointLoad(x=p, force=-w) for p, w in axles
                         if 0 <= p <= beam.span and (not relieving or sign * w * line(p) > 0)]
                loads += [ft.UniformLoad(w=-lane, x1=a, x2=b) for a, b in parts]
                loads += [ft.UniformLoad(w=1.25 * u.w) if isinstance(u, ft.UniformLoad) else
                          ft.PointLoad(x=u.x, force=1.25 * u.force) for u in permanent or ()]
                solved = beam.with_loads(loads).solve().solved
                if abs(solved.values(q, x, side) - value) <= 1e-9 * scale:  # the extreme itself, reproduced
                    matched.append({o: solved.values(o, x, side) for o in together[q][which]})
            assert any(all(abs(v - m[o]) <= 1e-9 * scale for o, v in together[q][which].items()) for m in matched)
