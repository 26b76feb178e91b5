"""The workflows beside pycba, an independent beam solver (direct stiffness method),
on the same beams: two and three continuous spans (20-25 and 20-25-20 m), a
four-axle vehicle driven both ways, a patterned live load and influence lines.

Sign conventions, mapped explicitly:
- loads: pycba takes a downward load as positive; a Vehicle's weights are positive
  down too, a UniformLoad's w is negative down. pycba's unit load (+1, down) is the
  default unit load of influence_line() (angle -90).
- reactions (pycba R, flexura ry), shear (the transverse forces left of the section),
  moment (sagging) and deflection: positive upwards in both, no sign change.
pycba's output points, mapped to flexura's two-sided mesh:
- each span's stations are [0, 0, dx, ..., L, L]; the first and last are padding
  (M = V = 0) and are left out;
- a station reads a point load standing on it with heaviside(0) = 0, that is the
  value just left of it: flexura's left value. The first real station of a span is
  the value just right of the support there: flexura's right value;
- pycba's envelopes start from zero (Vmax >= 0 >= Vmin, likewise M and R), so
  flexura's are clipped at zero for the comparison.
The traverse starts 0.03 m in (pycba's pos_start), so that no axle stands exactly
on a station or a support, where pycba's single value is neither side of the jump.
Moments, shears and reactions are exact at the stations in both and agree to 1e-9
of the largest value; pycba integrates deflections numerically (trapezoidal rule
over its stations), so they agree to 1e-3.
"""
import functools
import math

import pytest

import flexura_tools as ft
from flexura_tools import patterns

cba = pytest.importorskip("pycba", reason="pycba (a test requirement) is not installed")
np = pytest.importorskip("numpy")

EI = 3.0e7 * 0.4  # concrete girder, kN and m
WEIGHTS, SPACINGS = [50.0, 110.0, 110.0, 110.0], [3.6, 1.2, 6.0]  # kN, m
STEP, START = 0.1, 0.03
G, Q = 12.0, 6.0  # kN/m: permanent on every span, variable by pattern
EXACT, INTEGRATED = 1e-9, 1e-3


def spans_of(count):
    return [20.0, 25.0, 20.0][:count]


def beam_of(count):
    lengths = spans_of(count)
    xs = [sum(lengths[:k]) for k in range(count + 1)]
    supports = [ft.Support.pin(0.0)] + [ft.Support.roller(x) for x in xs[1:]]
    return ft.Beam(span=xs[-1], E=3.0e7, I=0.4, supports=supports)


def pycba_beam(count, loads=None):
    return cba.BeamAnalysis(spans_of(count), EI, [-1, 0] * (count + 1), loads or [])


def stations(pycba_results):
    """(x, side) of each real station, in pycba's order (see the module's notes)."""
    out = []
    for member in pycba_results.vRes:
        out += [(float(x), "right" if k == 1 else "left") for k, x in enumerate(member.x[1:-1], 1)]
    return out


def real(values, pycba_results):
    """pycba's values at the real stations (padding left out)."""
    out, start = [], 0
    for member in pycba_results.vRes:
        out += [float(v) for v in values[start + 1:start + len(member.x) - 1]]
        start += len(member.x)
    return out


def read(envelope, quantity, points, clip):
    """flexura's envelope at pycba's stations, on the side pycba reads."""
    sides = {}
    for e, x in enumerate(envelope.x):
        sides.setdefault(x, [e, e])[1] = e
    band = envelope[quantity]
    top = [band.max[sides[x][0 if side == "left" else 1]] for x, side in points]
    bottom = [band.min[sides[x][0 if side == "left" else 1]] for x, side in points]
    return ([max(v, 0.0) for v in top], [min(v, 0.0) for v in bottom]) if clip else (top, bottom)


@functools.lru_cache(maxsize=None)
def vehicle(count):
    """Both envelopes: pycba forward, and its reversed vehicle on the mirrored lattice."""
    beam = beam_of(count)
    forward = cba.BridgeAnalysis(pycba_beam(count), cba.Vehicle(SPACINGS, WEIGHTS))
    env = forward.run_vehicle(STEP, pos_start=START)
    back = cba.BridgeAnalysis(pycba_beam(count), cba.Vehicle(SPACINGS[::-1], WEIGHTS[::-1]))
    # Backward, flexura's front axle stands at span - START - i STEP: the reversed
    # vehicle's leading (flexura's rear) axle at span + length - START - i STEP.
    lattice = math.fmod(beam.span + sum(SPACINGS) - START, STEP)
    env_back = back.run_vehicle(STEP, pos_start=lattice)
    env.augment(env_back)
    deflections = [r.results.D for r in forward.vResults + back.vResults]
    points = stations(env.vResults[0])
    found = ft.moving_load(beam, ft.Vehicle(weights=WEIGHTS, spacings=SPACINGS), step=STEP, start=START,
                           points=sorted({x for x, _ in points}))
    return env, deflections, points, found


@functools.lru_cache(maxsize=None)
def pattern(count):
    beam = beam_of(count)
    lp = cba.LoadPattern(pycba_beam(count))
    lp.set_dead_loads([[k, 1, G] for k in range(1, count + 1)], 1.35, 1.0)
    lp.set_live_loads([[k, 1, Q] for k in range(1, count + 1)], 1.5, 0.0)
    env = lp.analyze()
    # pycba's patterns: adjacent pairs, odd spans, even spans, all spans (numbered from 0 here).
    chosen = [(k, k + 1) for k in range(count - 1)]
    chosen += [tuple(range(0, count, 2)), tuple(range(1, count, 2)), tuple(range(count))]
    names = {patterns.name(p, count) for p in chosen}
    beams = patterns.pattern_beams(beam, [ft.UniformLoad(w=-1.35 * G), ft.UniformLoad(w=-1.5 * Q)],
                                   [ft.UniformLoad(w=-G)], all_patterns=True)
    points = stations(env.vResults[0])
    found = ft.envelope({k: b.solve() for k, b in beams.items() if k in names},
                        points=sorted({x for x, _ in points}))
    return env, points, found, beam, len(names)


def assert_close(ours, theirs, tolerance):
    scale = max(map(abs, theirs))
    worst = max(abs(a - b) for a, b in zip(ours, theirs))
    assert worst <= tolerance * scale, f"worst difference {worst:.3g} of {scale:.3g}"


@pytest.mark.parametrize("count", [2, 3])
@pytest.mark.parametrize("quantity, pycba_max, pycba_min", [("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")])
def test_vehicle_envelopes_agree_at_pycbas_stations(count, quantity, pycba_max, pycba_min):
    env, _, points, found = vehicle(count)
    top, bottom = read(found.envelope, quantity, points, clip=True)
    assert_close(top, real(getattr(env, pycba_max), env.vResults[0]), EXACT)
    assert_close(bottom, real(getattr(env, pycba_min), env.vResults[0]), EXACT)


@pytest.mark.parametrize("count", [2, 3])
@pytest.mark.parametrize("quantity, which, other, coincident", [
    ("bm", "max", "sf", "Vco_Mmax"), ("bm", "min", "sf", "Vco_Mmin"),
    ("sf", "max", "bm", "Mco_Vmax"), ("sf", "min", "bm", "Mco_Vmin")])
def test_coincident_values_agree_at_pycbas_stations(count, quantity, which, other, coincident):
    # pycba's envelopes start from zero: its coincident value is that of the first position
    # raising the extreme above zero (below, for a min). Compared where the extreme is
    # clear of zero; pycba takes a later position only when strictly worse, as flexura does.
    env, _, points, found = vehicle(count)
    envelope = found.envelope
    sides = {}
    for e, x in enumerate(envelope.x):
        sides.setdefault(x, [e, e])[1] = e
    entries = [sides[x][0 if side == "left" else 1] for x, side in points]
    extreme, column = getattr(envelope[quantity], which), envelope.coincident(quantity, which)[other]
    sign = 1.0 if which == "max" else -1.0
    clear = 1e-6 * max(abs(v) for v in extreme)
    theirs = real(getattr(env, coincident), env.vResults[0])
    kept = [k for k, e in enumerate(entries) if sign * extreme[e] > clear]
    assert len(kept) > len(entries) // 4
    scale = max(abs(v) for v in theirs)
    for k in kept:  # a tie to rounding (mirrored positions at mid-span) may go either way
        if abs(column[entries[k]] - theirs[k]) > EXACT * scale:
            assert theirs[k] in tied(envelope, quantity, other, points[k], extreme[entries[k]], scale)


def tied(envelope, quantity, other, point, extreme, scale):
    """The other quantity of every member within rounding of the extreme at a station."""
    x, side = point
    solved = [envelope.members.solve(k) for k in range(len(envelope.names))]
    return [pytest.approx(s.values(other, x, side), abs=EXACT * scale) for s in solved
            if abs(s.values(quantity, x, side) - extreme) <= EXACT * scale]


@pytest.mark.parametrize("count", [2, 3])
def test_vehicle_deflection_envelope_agrees_to_pycbas_integration(count):
    env, deflections, points, found = vehicle(count)
    top, bottom = read(found.envelope, "d", points, clip=False)
    assert_close(top, real(np.max(deflections, axis=0), env.vResults[0]), INTEGRATED)
    assert_close(bottom, real(np.min(deflections, axis=0), env.vResults[0]), INTEGRATED)


@pytest.mark.parametrize("workflow", ["vehicle", "pattern"])
@pytest.mark.parametrize("count", [2, 3])
def test_reaction_envelopes_agree(workflow, count):
    env, found = (vehicle(count)[0], vehicle(count)[3].envelope) if workflow == "vehicle" \
        else (pattern(count)[0], pattern(count)[2])
    top = [max(r.ry.max, 0.0) for r in found.reactions]
    bottom = [min(r.ry.min, 0.0) for r in found.reactions]
    assert_close(top, list(env.Rmaxval), EXACT)
    assert_close(bottom + top, list(env.Rminval) + list(env.Rmaxval), EXACT)


@pytest.mark.parametrize("count", [2, 3])
@pytest.mark.parametrize("quantity, pycba_max, pycba_min", [("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")])
def test_pattern_envelopes_agree_at_pycbas_stations(count, quantity, pycba_max, pycba_min):
    env, points, found, _, members = pattern(count)
    assert len(found.names) == members  # pycba solves a pattern it lists twice (all spans) twice
    top, bottom = read(found, quantity, points, clip=True)
    assert_close(top, real(getattr(env, pycba_max), env.vResults[0]), EXACT)
    assert_close(bottom, real(getattr(env, pycba_min), env.vResults[0]), EXACT)


# pycba picks the station nearest the point of interest in the span that holds it,
# so each point is a station: the middle of span 1, support B (its V read just right
# of B), the middle of span 2 (where the unit load stands at step 50 of 100), support C.
@pytest.mark.parametrize("effect, poi, quantity, side", [
    ("V", 10.0, "sf", "left"), ("M", 10.0, "bm", "left"), ("V", 20.0, "sf", "right"), ("M", 20.0, "bm", "right"),
    ("V", 32.5, "sf", "left"), ("M", 32.5, "bm", "left"), ("R", 20.0, "ry", "B"), ("R", 45.0, "ry", "C"),
    ("D", 32.5, "d", "left"),
])
def test_influence_lines_agree(effect, poi, quantity, side):
    beam = beam_of(3)
    labelled = ft.Beam(span=beam.span, E=beam.E, I=beam.I, supports=[
        ft.Support.pin(0.0, "A"), ft.Support.roller(20.0, "B"), ft.Support.roller(45.0, "C"), ft.Support.roller(65.0, "D")])
    il = cba.InfluenceLines(spans_of(3), EI, [-1, 0] * 4)
    il.create_ils()
    if effect == "D":  # get_il has no deflection: read it as get_il reads a moment
        ispan, _ = il.ba.beam.get_local_span_coords(poi)
        member = il.vResults[0].vRes[ispan]
        k = int(np.abs(member.x[1:-1] - poi).argmin()) + 1
        positions, eta = np.array(il.pos), np.array([r.vRes[ispan].D[k] for r in il.vResults])
    else:
        positions, eta = il.get_il(poi, effect)
    inside = [(float(x), float(v)) for x, v in zip(positions, eta) if x <= beam.span]
    at = side if effect == "R" else poi
    ours = ft.influence_line(labelled, quantity, at, side="right" if effect == "R" else side,
                             points=[x for x, _ in inside])
    # At the section itself pycba's station does not count the load standing on it:
    # the ordinate for the load just right of the section, the second of flexura's two.
    by_x = {}
    for x, v in zip(ours.x, ours.value):
        by_x[x] = v
    values = [by_x[x] for x, _ in inside]
    assert_close(values, [v for _, v in inside], INTEGRATED if effect == "D" else EXACT)


def largest(values):
    return max(values), min(values)


@pytest.mark.parametrize("workflow", ["vehicle", "pattern"])
@pytest.mark.parametrize("count", [2, 3])
@pytest.mark.parametrize("quantity, pycba_max, pycba_min", [("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")])
def test_extremes_are_never_smaller_than_pycbas(workflow, count, quantity, pycba_max, pycba_min):
    env, found = (vehicle(count)[0], vehicle(count)[3].envelope) if workflow == "vehicle" \
        else (pattern(count)[0], pattern(count)[2])
    ours = found.extremes()[quantity]
    theirs_max, theirs_min = float(np.max(getattr(env, pycba_max))), float(np.min(getattr(env, pycba_min)))
    slack = EXACT * max(abs(theirs_max), abs(theirs_min))
    assert max(ours.max, 0.0) >= theirs_max - slack
    assert min(ours.min, 0.0) <= theirs_min + slack


@pytest.mark.parametrize("count, weights, spacings, step", [(1, [100.0], [], 0.25), (2, WEIGHTS, SPACINGS, 0.5)])
def test_extremes_with_axles_on_the_supports_are_never_smaller_than_pycbas(count, weights, spacings, step):
    # From x = 0 axles stand on the supports, where pycba's stations read an axle as
    # standing just inside the span: one of the two limits flexura counts there.
    beam = beam_of(count)
    env = cba.BridgeAnalysis(pycba_beam(count), cba.Vehicle(spacings, weights)).run_vehicle(step)
    back = cba.BridgeAnalysis(pycba_beam(count), cba.Vehicle(spacings[::-1], weights[::-1]))
    env.augment(back.run_vehicle(step, pos_start=math.fmod(beam.span + sum(spacings), step)))
    ours = ft.moving_load(beam, ft.Vehicle(weights=weights, spacings=spacings), step=step).extremes()
    for quantity, pycba_max, pycba_min in (("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")):
        theirs_max, theirs_min = float(np.max(getattr(env, pycba_max))), float(np.min(getattr(env, pycba_min)))
        slack = EXACT * max(abs(theirs_max), abs(theirs_min))
        assert ours[quantity].max >= theirs_max - slack and ours[quantity].min <= theirs_min + slack


def comparison():
    """The agreement and the extremes side by side, as printed by running this file."""
    rows = []
    for count in (2, 3):
        env, deflections, points, found = vehicle(count)
        penv, ppoints, pfound, _, _ = pattern(count)
        for workflow, e, pts, ours in (("vehicle", env, points, found.envelope), ("pattern", penv, ppoints, pfound)):
            for q, hi, lo in (("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")):
                top, bottom = read(ours, q, pts, clip=True)
                theirs = real(getattr(e, hi), e.vResults[0]) + real(getattr(e, lo), e.vResults[0])
                scale = max(map(abs, theirs))
                worst = max(abs(a - b) for a, b in zip(top + bottom, theirs)) / scale
                x = ours.extremes()[q]
                t_hi, t_lo = float(np.max(getattr(e, hi))), float(np.min(getattr(e, lo)))
                i_hi, i_lo = int(np.argmax(getattr(e, hi))), int(np.argmin(getattr(e, lo)))
                rows.append(f"{count} spans {workflow:8} {q}: agree to {worst:.1e}; max {x.max:.6f} at {x.x_max:.4f} "
                            f"vs {t_hi:.6f} at {float(e.x[i_hi]):.4f} (+{x.max - t_hi:.3g}); min {x.min:.6f} at "
                            f"{x.x_min:.4f} vs {t_lo:.6f} at {float(e.x[i_lo]):.4f} ({x.min - t_lo:.3g})")
        top, bottom = read(found.envelope, "d", points, clip=False)
        theirs = real(np.max(deflections, axis=0), env.vResults[0]) + real(np.min(deflections, axis=0), env.vResults[0])
        worst = max(abs(a - b) for a, b in zip(top + bottom, theirs)) / max(map(abs, theirs))
        rows.append(f"{count} spans vehicle  d: agree to {worst:.1e}")
    return rows


if __name__ == "__main__":
    print("\n".join(comparison()))


@pytest.mark.parametrize("count", [2, 3])
@pytest.mark.parametrize("quantity, pycba_max, pycba_min", [("sf", "Vmax", "Vmin"), ("bm", "Mmax", "Mmin")])
def test_lane_with_a_clear_zone_agrees_with_run_load_model(count, quantity, pycba_max, pycba_min):
    # pycba's lane runs under the whole deck but for (back, front) around the vehicle,
    # as Lane(placement="whole", clearances=(behind, ahead)) does; forward only.
    w, clear = 9.3, (2.0, 3.0)
    env = cba.BridgeAnalysis(pycba_beam(count), cba.Vehicle(SPACINGS, WEIGHTS)).run_load_model(
        STEP, w, clearances=clear, pos_start=START)
    points = stations(env.vResults[0])
    found = ft.moving_load(beam_of(count), ft.Vehicle(weights=WEIGHTS, spacings=SPACINGS), step=STEP, start=START,
                           directions=["forward"], points=sorted({x for x, _ in points}),
                           lane=ft.Lane(w=w, placement="whole", clearances=clear))
    top, bottom = read(found.envelope, quantity, points, clip=True)
    assert_close(top, real(getattr(env, pycba_max), env.vResults[0]), EXACT)
    assert_close(bottom, real(getattr(env, pycba_min), env.vResults[0]), EXACT)


def test_adverse_lane_cleared_on_one_span_agrees_with_run_load_model():
    # On one span the moment's influence line is positive everywhere: the lane where
    # adverse, less its clear zone, is pycba's lane under the deck but for the zone.
    w, clear = 9.3, (2.0, 3.0)
    env = cba.BridgeAnalysis(pycba_beam(1), cba.Vehicle(SPACINGS, WEIGHTS)).run_load_model(
        STEP, w, clearances=clear, pos_start=START)
    points = stations(env.vResults[0])
    found = ft.moving_load(beam_of(1), ft.Vehicle(weights=WEIGHTS, spacings=SPACINGS), step=STEP, start=START,
                           directions=["forward"], points=sorted({x for x, _ in points}),
                           lane=ft.Lane(w=w, clearances=clear))
    top, _ = read(found.envelope, "bm", points, clip=True)
    assert_close(top, real(env.Mmax, env.vResults[0]), EXACT)
