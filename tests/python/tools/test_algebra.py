"""Envelopes combined (augment, plus) and coincident values, against brute force
over the members and against one solve of the combined loads."""
import math

import pytest

import flexura_tools as ft

SPANS = [0.0, 12.0, 27.0]  # two spans, kN and m
# Superposed values are two rounded sums added; one solve of the combined loads sums
# the same terms in another order: they agree to rounding of the largest term.
CLOSE = 1e-12


def girder(**changes):
    fields = dict(span=27.0, E=3.0e7, I=0.4, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(12.0, "B"),
                                                       ft.Support.roller(27.0, "C")],
                  unit_names={"force": "kN", "length": "m"})
    return ft.Beam(**{**fields, **changes})


PERMANENT = [ft.UniformLoad(w=-18.0), ft.PointLoad(x=20.5, force=-60.0), ft.Moment(x=7.25, moment=40.0)]


def truck(step=0.7):
    return ft.moving_load(girder(), ft.Vehicle(weights=[120.0, 80.0], spacings=[3.1]), step=step, start=0.05, n=40)


def tandem():
    return ft.moving_load(girder(), ft.Vehicle(weights=[150.0, 150.0], spacings=[1.2]), step=1.1, start=0.05, n=25)


def reads(envelope):
    """Per entry, where and on which side a member is read."""
    out = []
    for e, x in enumerate(envelope.x):
        left = (e + 1 < len(envelope.x) and envelope.x[e + 1] == x) or x == envelope.x[-1]
        out.append((x, "left" if left else "right"))
    return out


def own_reading(envelope, k, solved, q, x, side):
    """Member k's value at an entry: features closer than 1e-12 of the span are one
    position, so a member is read left of its first jump near x, right of its last."""
    near = [j for j in envelope.members.jumps(k).get(q, ()) if abs(j - x) <= 1e-12 * 27.0] + [x]
    return solved.values(q, min(near), "left") if side == "left" else solved.values(q, max(near))


def brute_band(solved, envelope, q):
    """Per entry the largest and smallest value over the solved members, each read on the entry's side."""
    at = reads(envelope)
    columns = [[own_reading(envelope, k, s, q, x, side) for x, side in at] for k, s in enumerate(solved)]
    return [max(c) for c in zip(*columns)], [min(c) for c in zip(*columns)]


def assert_near(ours, theirs, scale):
    worst = max(abs(a - b) for a, b in zip(ours, theirs))
    assert worst <= CLOSE * scale, f"worst difference {worst:.3g} of {scale:.3g}"


def test_augment_of_an_envelope_with_itself_is_the_envelope():
    env = truck().envelope
    both = env | env
    assert both.x == env.x and both.bands == env.bands
    assert both.names[:len(env.names)] == [f"1: {name}" for name in env.names]
    assert both.reactions == env.reactions


@pytest.mark.parametrize("combine", ["augment", "plus", "augment then plus"])
def test_combined_envelopes_equal_brute_force_over_the_members(combine):
    permanent = girder(loads=PERMANENT).solve()
    one, two = truck(), tandem()
    inputs = [one.envelope.x, permanent.solved.features()] if combine == "plus" else [one.envelope.x, two.envelope.x]
    if combine == "augment":
        env = ft.augment(one, two, names=["truck", "tandem"])
    elif combine == "plus":
        env = permanent + one.envelope
    else:
        env = ft.augment(one, two).plus(permanent, factor=1.35)
    solved = [env.members.solve(k) for k in range(len(env.names))]
    union = sorted(set(env.x))  # every input position is one of the combination's (merged within 1e-12 of the span)
    assert all(min(abs(u - x) for u in union) <= 1e-12 * 27.0 for xs in inputs for x in xs)
    for q in ("sf", "bm", "d"):
        band = env[q]
        top, bottom = brute_band(solved, env, q)
        scale = max(map(abs, top + bottom))
        assert_near(band.max, top, scale)
        assert_near(band.min, bottom, scale)
        at = reads(env)
        assert_near(band.max, [own_reading(env, k, solved[k], q, x, s) for k, (x, s) in zip(band.max_member, at)], scale)
    for s, ranges in enumerate(env.reactions):  # the ranges of the members' own reactions
        ry = [member.reactions()[s][1] for member in solved]
        assert (ranges.ry.max, ranges.ry.min) == pytest.approx((max(ry), min(ry)), abs=CLOSE * max(map(abs, ry)))
    extremes = env.extremes()
    assert extremes["bm"].max >= max(env.bm.max)
    assert env.names[extremes["bm"].max_member] in env.names


def test_plus_on_a_single_member_equals_one_solve_of_the_combined_loads():
    traffic = [ft.PointLoad(x=9.3, force=-200.0), ft.TrapezoidalLoad(x1=13.0, x2=21.0, w1=-10.0, w2=-30.0)]
    env = ft.envelope({"traffic": girder(loads=traffic).solve()}, n=50).plus(girder(loads=PERMANENT).solve())
    combined = girder(loads=traffic + PERMANENT).solve()
    for q in ("sf", "bm", "d"):
        expected = [combined.solved.values(q, x, side) for x, side in reads(env)]
        scale = max(map(abs, expected))
        assert_near(env[q].max, expected, scale)
        assert_near(env[q].min, expected, scale)
    assert 20.5 in env.x and env.x.count(7.25) == 2  # the permanent loads' features, both sides of their jumps
    for mine, theirs in zip(env.reactions, combined.reactions):
        assert mine.ry.max == pytest.approx(theirs.ry, rel=CLOSE) and mine.ry.min == mine.ry.max


@pytest.mark.parametrize("source", ["vehicle", "vehicle plus permanent", "combinations"])
def test_coincident_values_are_the_governing_members_own_readings(source):
    if source == "vehicle":
        env = truck().envelope
    elif source == "vehicle plus permanent":
        env = truck().envelope.plus(girder(loads=PERMANENT).solve(), factor=1.35)
    else:
        cases = {"a": [ft.PointLoad(x=5.0, force=-80.0)], "b": [ft.Moment(x=12.0, moment=90.0), ft.UniformLoad(w=-9.0)]}
        env = ft.envelope({name: girder(loads=loads).solve() for name, loads in cases.items()}, n=30)
    at = reads(env)
    for q, band in env.bands.items():
        for which, governing in (("max", band.max_member), ("min", band.min_member)):
            for other, column in env.coincident(q, which).items():
                solved = {k: env.members.solve(k) for k in set(governing)}
                own = [own_reading(env, k, solved[k], other, x, side) for k, (x, side) in zip(governing, at)]
                assert_near(column, own, max(map(abs, own)) or 1.0)
    jump = env.x.index(12.0)  # both sides of the middle support, where the shear jumps
    assert env.coincident("bm", "min")["sf"][jump] != env.coincident("bm", "min")["sf"][jump + 1]


def test_coincident_values_at_the_extremes_and_in_the_exports():
    env = truck().envelope
    extremes = env.extremes()
    with_extremes = env.extremes_coincident(extremes)
    bm = extremes["bm"]
    solved = env.members.solve(bm.max_member)
    shear = with_extremes["bm"]["max"]["sf"]
    assert shear in (solved.values("sf", bm.x_max, "left"), solved.values("sf", bm.x_max))
    document = env.to_dict()
    assert document["extremes"]["bm"]["max_with"]["sf"] == shear
    assert document["bands"]["bm_max_sf"] == env.coincident("bm")["sf"]


def test_combining_other_beams_or_units_is_refused_with_paths():
    env = truck().envelope
    other = ft.envelope([girder(span=28.0, supports=[ft.Support.pin(0.0), ft.Support.roller(28.0)],
                                unit_names={"force": "N", "length": "m"}, loads=PERMANENT).solve()])
    with pytest.raises(ft.ModelError) as caught:
        ft.augment(env, other, "not an envelope", names=["one", ""])
    paths = {p.path for p in caught.value.problems}
    assert {"envelopes[2]", "names", "names[1]"} <= paths
    with pytest.raises(ft.ModelError) as caught:
        ft.augment(env, other)
    assert {"envelopes[1].beam.span", "envelopes[1].beam.supports", "envelopes[1].beam.unit_names"} <= {
        p.path for p in caught.value.problems}
    with pytest.raises(ft.ModelError) as caught:
        env.plus(girder(E=2.0e8, units={"force": 1000.0}).solve(), factor=math.nan)
    assert {p.path for p in caught.value.problems} == {"result.beam.E", "result.beam.units", "factor"}
    # A result of the beam with a hinge or other stiffnesses is another structure's.
    with pytest.raises(ft.ModelError) as caught:
        env.plus(girder(hinges=[20.0], sections=[ft.Section(x1=0.0, x2=27.0, I=0.8)]).solve())
    assert {p.path for p in caught.value.problems} == {"result.beam.hinges", "result.beam.sections"}
    with pytest.raises(TypeError, match="env1 | env2"):
        env + env
    with pytest.raises(ft.ModelError, match="quantity"):
        env.coincident("rx")
    with pytest.raises(ft.ModelError, match="extremes"):
        env.extremes_coincident({"bm": 3.0})
