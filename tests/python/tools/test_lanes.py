"""Lane loads with a vehicle: on the adverse parts of each influence line (closed
forms on two spans, and the lane solved directly on the parts a dense influence line
gives), and on the whole beam less a clear zone (the same positions solved by hand)."""
import math

import pytest

import flexura_tools as ft
from flexura_tools.lanes import Lane, outside

NOTHING = ft.Vehicle(weights=[0.0])  # the lane's effect alone


def spans(*lengths):
    xs = [sum(lengths[:k]) for k in range(len(lengths) + 1)]
    return ft.Beam(span=xs[-1], E=3.0e7, I=0.4,
                   supports=[ft.Support.pin(0.0, "A")] + [ft.Support.roller(x, "BCDE"[k]) for k, x in enumerate(xs[1:])])


def test_two_equal_spans_lane_on_the_adverse_parts_matches_the_closed_forms():
    L, w = 10.0, 9.3
    env = ft.moving_load(spans(L, L), NOTHING, step=1.0, lane=Lane(w=w)).envelope
    b = env.x.index(L)
    assert env.bm.min[b] == pytest.approx(-w * L * L / 8, rel=1e-12)  # both spans loaded
    assert env.lane.parts("bm", "min", b) == [(0.0, 2 * L)]
    assert abs(env.bm.max[b]) < 1e-12 * w * L * L
    # 0.4 L in span 1: span 1 alone sags it (7wL/16 x - w x^2 / 2), span 2 alone hogs it.
    e = env.x.index(4.0)
    assert env.bm.max[e] == pytest.approx(w * (7 * L / 16 * 4 - 8), rel=1e-12)
    assert env.bm.min[e] == pytest.approx(-w * L / 16 * 4, rel=1e-12)
    assert env.lane.parts("bm", "max", e) == [(0.0, pytest.approx(L, rel=1e-14))]
    # Reactions: the middle one 5wL/4 with both spans; an end one 7wL/16 and -wL/16.
    assert env.reaction("B").ry.max == pytest.approx(5 * w * L / 4, rel=1e-12)
    assert (env.reaction("A").ry.max, env.reaction("A").ry.min) == (
        pytest.approx(7 * w * L / 16, rel=1e-12), pytest.approx(-w * L / 16, rel=1e-12))
    # The shear acting with the hogging moment at B (left of it): -5wL/8.
    assert env.coincident("bm", "min")["sf"][b] == pytest.approx(-5 * w * L / 8, rel=1e-12)


def test_coincident_values_take_the_lane_whatever_was_enveloped():
    beam, truck = spans(20.0, 25.0), ft.Vehicle(weights=[100.0, 100.0], spacings=[4.0])
    every = ft.moving_load(beam, truck, step=0.5, lane=Lane(w=9.3)).envelope
    moment = ft.moving_load(beam, truck, step=0.5, lane=Lane(w=9.3), quantities=["bm"]).envelope
    assert moment.x == every.x
    assert moment.coincident("bm", "min")["sf"] == every.coincident("bm", "min")["sf"]
    assert moment.coincident("bm", "max")["d"] == every.coincident("bm", "max")["d"]


def test_an_envelope_with_an_adverse_lane_is_not_augmented():
    beam = spans(20.0, 25.0)
    lane = ft.moving_load(beam, NOTHING, step=1.0, lane=Lane(w=9.3))
    other = ft.moving_load(beam, ft.Vehicle(weights=[100.0]), step=1.0)
    for combine in (lambda: ft.augment(other, lane), lambda: other.envelope | lane.envelope,
                    lambda: lane.envelope | other.envelope):
        with pytest.raises(ft.ModelError, match="section by section"):
            combine()


def direct(beam, quantity, x, side, sign, w, n=4000):
    """The lane solved directly on the parts where a dense influence line has the sign."""
    line = ft.influence_line(beam, quantity, x, side=side, n=n)
    loads = []  # between two samples: the part where the line, taken as linear, has the sign
    for (p, u), (q, v) in zip(zip(line.x, line.value), zip(line.x[1:], line.value[1:])):
        u, v = sign * u, sign * v
        if q > p and max(u, v) > 0:
            a, b = (p, q) if min(u, v) >= 0 else (p + (q - p) * u / (u - v), q) if v > 0 else (p, p + (q - p) * u / (u - v))
            if b > a:
                loads.append(ft.UniformLoad(w=-w, x1=a, x2=b))
    if not loads:
        return 0.0
    result = beam.with_loads(loads).solve()
    return result.solved.values(quantity, x if side == "right" else math.nextafter(x, -math.inf))


GERBER = ft.Beam(span=40.0, E=3e7, I=0.4, hinges=[18.0],
                 supports=[ft.Support.pin(0.0), ft.Support.roller(15.0), ft.Support.roller(25.0), ft.Support.roller(40.0)],
                 sections=[ft.Section(x1=0, x2=20), ft.Section(x1=20, x2=40, I=0.8)])


@pytest.mark.parametrize("quantity", ["sf", "bm", "d"])
@pytest.mark.parametrize("beam, sections", [(spans(20.0, 25.0, 20.0), (7.3, 31.1, 52.9)),
                                            (GERBER, (5.3, 17.0, 19.0, 22.1, 33.3))], ids=["three spans", "hinged"])
def test_adverse_lane_against_the_lane_solved_on_sampled_parts(quantity, beam, sections):
    w = 27.0
    env = ft.moving_load(beam, NOTHING, step=5.0, lane=Lane(w=w), points=sections).envelope
    band = env[quantity]
    scale = max(map(abs, band.max + band.min))
    for x in sections:
        e = env.x.index(x)
        for sign, value in ((1, band.max[e]), (-1, band.min[e])):
            # Sampling misplaces each zero by up to span/n: the area is off by its square.
            assert value == pytest.approx(direct(beam, quantity, x, "right", sign, w), abs=1e-6 * scale)


def test_whole_lane_with_a_clear_zone_is_each_position_solved_with_its_pieces():
    beam = spans(20.0, 25.0)
    truck = ft.Vehicle(weights=[50.0, 100.0], spacings=[4.0])
    lane = Lane(w=9.3, placement="whole", clearances=(2.0, 3.0))
    moving = ft.moving_load(beam, truck, step=0.5, lane=lane, directions=["forward"])
    env = moving.envelope
    for k in (10, 40, 60):
        front = moving.position(k).front
        lo, hi = front - 4.0 - 2.0, front + 3.0
        loads = [ft.PointLoad(x=x, force=-f) for x, f in ((front, 50.0), (front - 4.0, 100.0)) if 0 <= x <= 45]
        loads += [ft.UniformLoad(w=-9.3, x1=a, x2=b) for a, b in ((0.0, min(lo, 45.0)), (max(hi, 0.0), 45.0)) if b > a]
        alone = beam.with_loads(loads).solve()
        assert env.members.solve(k).values("bm", 30.0) == pytest.approx(alone.solved.values("bm", 30.0), rel=1e-12)


@pytest.mark.parametrize("lane, path", [
    (Lane(w=math.nan), "lane.w"),
    (Lane(w=1e308), "lane.w"),  # its effect overflows
    (Lane(w=1.0, placement="some"), "lane.placement"),  # type: ignore[arg-type]
    (Lane(w=1.0, placement="whole", clearances=(-1.0, 0.0)), "lane.clearances[0]"),
    (Lane(w=1e308, clearances=(1.0, 1.0)), "lane.w"),  # cleared around the vehicle, its effect overflows
    ("9.3", "lane"),
])
def test_lane_problems_are_model_errors_with_their_paths(lane, path):
    with pytest.raises(ft.ModelError) as caught:
        ft.moving_load(spans(10.0), NOTHING, step=1.0, lane=lane)
    assert path in [p.path for p in caught.value.problems]


def test_the_rotation_with_an_adverse_lane_is_refused():
    with pytest.raises(ft.ModelError, match="rotation"):
        ft.moving_load(spans(10.0), NOTHING, step=1.0, lane=Lane(w=1.0), quantities=["bm", "rotation"])


def test_a_vehicle_lane_and_a_lane_together_are_refused():
    with pytest.raises(ft.ModelError, match="vehicle.lane"):
        ft.moving_load(spans(10.0), ft.lm1_lane1(), step=1.0, lane=Lane(w=1.0))


@pytest.mark.parametrize("clearances", [None, (2.0, 3.0)])
def test_an_adverse_lane_envelope_read_anywhere_is_its_band_at_its_mesh(clearances):
    env = ft.moving_load(spans(20.0, 25.0), ft.Vehicle(weights=[100.0, 50.0], spacings=[3.0]), step=0.5,
                         lane=Lane(w=9.3, clearances=clearances)).envelope
    entries = [e for e, x in enumerate(env.x) if 0 < x < 45.0 and env.x.count(x) == 1][::7]
    read = env.at([env.x[e] for e in entries], "bm")
    assert list(read.max) == pytest.approx([env.bm.max[e] for e in entries], rel=1e-12, abs=1e-9)
    assert list(read.min) == pytest.approx([env.bm.min[e] for e in entries], rel=1e-12, abs=1e-9)
    e = entries[3]
    assert env.at(env.x[e], "sf", side="left").min == pytest.approx(env.sf.min[e], rel=1e-12)


TRUCK = ft.Vehicle(weights=[50.0, 100.0], spacings=[4.0])


def brute_cleared(moving, beam, read, parts, which, w=9.3):
    """Every position solved with its axles and the lane on `parts` less its clear zone, read by `read`."""
    values = []
    for k in range(len(moving.members)):
        lo, hi = moving.members.clear_zone(k)
        loads = [ft.PointLoad(x=x, force=-f) for x, f in zip(moving.position(k).axles, TRUCK.weights)
                 if 0 <= x <= beam.span]
        loads += [ft.UniformLoad(w=-w, x1=a, x2=b) for a, b in outside(parts, lo, hi)]
        values.append(read(beam.with_loads(loads).solve().solved))
    return max(values) if which == "max" else min(values)


@pytest.mark.parametrize("beam, quantity, x", [
    (spans(20.0, 25.0, 15.0), "bm", 7.3), (spans(20.0, 25.0, 15.0), "bm", 20.0), (spans(20.0, 25.0, 15.0), "bm", 31.1),
    (spans(20.0, 25.0, 15.0), "sf", 7.3), (spans(20.0, 25.0, 15.0), "sf", 52.9), (spans(20.0, 25.0, 15.0), "d", 31.1),
    (GERBER, "bm", 17.0), (GERBER, "d", 19.0)])
def test_adverse_lane_cleared_around_the_vehicle_is_each_position_solved_with_its_pieces(beam, quantity, x):
    clear = (2.0, 3.0)
    cleared = ft.moving_load(beam, TRUCK, step=1.0, lane=Lane(w=9.3, clearances=clear), points=[x])
    adverse = ft.moving_load(beam, TRUCK, step=1.0, lane=Lane(w=9.3), points=[x]).envelope
    env, e = cleared.envelope, cleared.envelope.x.index(x)
    read = math.nextafter(x, 0.0) if env.x.count(x) == 2 else x  # left of a support
    band = env[quantity]
    scale = max(map(abs, band.max + band.min))
    for which, value in (("max", band.max[e]), ("min", band.min[e])):
        parts = adverse.lane.parts(quantity, which, adverse.x.index(x))
        brute = brute_cleared(cleared, beam, lambda solved: solved.values(quantity, read), parts, which)
        assert value == pytest.approx(brute, abs=1e-12 * scale)
        assert abs(value) <= abs((adverse[quantity].max if which == "max" else adverse[quantity].min)[e]) + 1e-12 * scale
        by = (band.max_member if which == "max" else band.min_member)[e]
        assert env.lane.parts(quantity, which, e) == outside(parts, *cleared.members.clear_zone(by))


def test_cleared_lane_reactions_and_coincident_shear_are_the_governing_position_solved():
    beam = spans(20.0, 25.0)
    moving = ft.moving_load(beam, TRUCK, step=0.5, lane=Lane(w=9.3, clearances=(2.0, 3.0)))
    env = moving.envelope
    b = env.x.index(20.0)
    by = env.bm.min_member[b]
    loads = [ft.PointLoad(x=x, force=-f) for x, f in zip(moving.position(by).axles, TRUCK.weights) if 0 <= x <= 45]
    loads += [ft.UniformLoad(w=-9.3, x1=p, x2=q) for p, q in env.lane.parts("bm", "min", b)]
    solved = beam.with_loads(loads).solve().solved
    left = math.nextafter(20.0, 0.0)
    assert env.bm.min[b] == pytest.approx(solved.values("bm", left), rel=1e-12)
    assert env.coincident("bm", "min")["sf"][b] == pytest.approx(solved.values("sf", left), rel=1e-12)
    # The middle support's reaction: the lane on both spans but the zone, over the positions.
    ry = env.reaction("B").ry
    assert ry.max == pytest.approx(brute_cleared(moving, beam, lambda solved: solved.reactions()[1][1], [(0.0, 45.0)],
                                                 "max"), rel=1e-9)


def test_adverse_lane_extremes_between_mesh_positions_match_the_closed_forms():
    L, w = 10.0, 9.3
    env = ft.moving_load(spans(L, L), NOTHING, step=1.0, lane=Lane(w=w), n=7, axle_points=False).envelope
    assert 7 * L / 16 not in env.x
    found = env.extremes()
    # Span 1 alone loaded: w (7L/16 x - x^2/2), greatest at x = 7L/16.
    assert found["bm"].max == pytest.approx(49 * w * L * L / 512, rel=1e-12)
    assert found["bm"].x_max == pytest.approx(7 * L / 16, abs=1e-9 * 2 * L)
    assert found["bm"].max > max(env.bm.max)
    single = ft.moving_load(spans(L), NOTHING, step=1.0, lane=Lane(w=w), n=7, axle_points=False).envelope
    d = single.extremes()["d"]
    assert (d.min, d.x_min) == (pytest.approx(-5 * w * L ** 4 / (384 * 3.0e7 * 0.4), rel=1e-12),
                                pytest.approx(L / 2, abs=1e-9 * L))


@pytest.mark.parametrize("clearances", [None, (2.0, 3.0)])
def test_adverse_lane_extremes_are_the_envelope_at_their_place_and_beat_a_dense_reading(clearances):
    env = ft.moving_load(spans(20.0, 25.0), TRUCK, step=0.5, lane=Lane(w=9.3, clearances=clearances), n=20,
                         axle_points=False).envelope
    found = env.extremes()
    dense = [45.0 * k / 900 for k in range(1, 900)]
    for q in ("bm", "d"):
        scale = max(map(abs, env[q].max + env[q].min))
        read = env.at(dense, q)
        extreme = found[q]
        assert extreme.max >= max(max(read.max), max(env[q].max)) - 1e-12 * scale
        assert extreme.min <= min(min(read.min), min(env[q].min)) + 1e-12 * scale
        assert env.at(extreme.x_max, q).max == pytest.approx(extreme.max, abs=1e-12 * scale)
        assert env.at(extreme.x_min, q).min == pytest.approx(extreme.min, abs=1e-12 * scale)


def test_the_shear_with_a_peak_between_mesh_positions_is_its_arrangement_solved():
    L, w = 10.0, 9.3
    env = ft.moving_load(spans(L, L), NOTHING, step=1.0, lane=Lane(w=w), n=7, axle_points=False).envelope
    with_it = env.extremes_coincident()["bm"]["max"]
    assert with_it["sf"] == pytest.approx(0.0, abs=1e-9 * w * L)  # the moment's slope at its peak
    assert with_it["d"] < 0
    assert env.extremes_coincident({"bm": env.extremes()["bm"]}) == {"bm": env.extremes_coincident()["bm"]}
    with pytest.raises(ft.ModelError, match="extremes"):
        env.extremes_coincident({"bm": 3.0})


@pytest.mark.parametrize("clearances", [None, (2.0, 3.0)])
def test_a_permanent_result_plus_an_adverse_lane_envelope_shifts_every_entry(clearances):
    beam = spans(20.0, 25.0)
    permanent = beam.with_loads([ft.UniformLoad(w=-12.0), ft.PointLoad(x=7.7, force=-40.0)]).solve()
    traffic = ft.moving_load(beam, TRUCK, step=0.5, lane=Lane(w=9.3, clearances=clearances)).envelope
    total = traffic.plus(permanent, 1.35)
    assert 7.7 in total.x
    for e, x in enumerate(traffic.x):
        t = total.x.index(x) + (1 if e > 0 and traffic.x[e - 1] == x else 0)
        left = x == 45.0 or total.x[t + 1:t + 2] == [x]
        read = math.nextafter(x, 0.0) if left else x
        for q in ("sf", "bm", "d"):
            g = 1.35 * permanent.solved.values(q, read)
            scale = max(map(abs, traffic[q].max + traffic[q].min))
            assert total[q].max[t] == pytest.approx(traffic[q].max[e] + g, abs=1e-12 * scale)
            assert total[q].min[t] == pytest.approx(traffic[q].min[e] + g, abs=1e-12 * scale)
    b = total.x.index(20.0)
    assert total.lane.parts("bm", "min", b) == traffic.lane.parts("bm", "min", traffic.x.index(20.0))
    ry = permanent.reactions["B"].ry
    assert total.reaction("B").ry.max == pytest.approx(traffic.reaction("B").ry.max + 1.35 * ry, rel=1e-12)


@pytest.mark.parametrize("w, clear", [(9.3, (2.0, 3.0)), (-4.0, (0.0, 1.5))], ids=["down", "upward lane"])
def test_a_cleared_lane_folds_every_position_to_the_bit_though_it_works_out_few(w, clear):
    """Each position read at every entry with its zone's share (_lane_terms), folded: the
    envelope's bands and who governs, bit for bit (the bound leaves nothing out)."""
    import numpy as np

    from flexura_tools import lanes
    env = ft.moving_load(GERBER, TRUCK, step=0.5, lane=Lane(w=w, clearances=clear), quantities=("sf", "bm", "d")).envelope
    share, members = env.lane, env.members
    entries = lanes._Entries(env.x, float(GERBER.span))
    for q in ("sf", "bm", "d"):
        read = [entries.rows(members.solve(k), q, members.jumps(k).get(q, ()), members.standing(k))
                for k in range(len(members))]
        up, down = lanes._lane_terms(share, share.areas(q), share.zones)
        high, low = np.array([h for h, _ in read]) + up, np.array([lo for _, lo in read]) + down
        first_high, first_low = high.argmax(axis=0), low.argmin(axis=0)  # of equal values the first position
        cols = np.arange(len(env.x))
        assert (env[q].max, env[q].min) == (high[first_high, cols].tolist(), low[first_low, cols].tolist())
        assert (env[q].max_member, env[q].min_member) == (first_high.tolist(), first_low.tolist())
