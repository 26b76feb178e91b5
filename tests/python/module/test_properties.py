"""Properties that every solved beam must have, checked over random beams."""
import math

from hypothesis import example, given, settings, strategies as st

import flexura
from shared import INF

SINGULAR = "beam is unstable / singular (no unique solution)"
QUANTITIES = ["eval_nf", "eval_sf", "eval_bm", "eval_d"]
# Factors of the loads and results only scale them; factors of the geometry
# and stiffness also decide how well conditioned the equations are.
load_factor = st.sampled_from([0.001, 0.25, 1.0, 1000.0]) | st.floats(0.05, 20)
geometry_factor = st.sampled_from([0.5, 1.0, 2.0]) | st.floats(0.1, 10)
UNITS = st.fixed_dictionaries({}, optional={
    **{k: load_factor for k in ["force", "moment", "distributed", "deflection"]},
    **{k: geometry_factor for k in ["length", "stiffness", "A", "G", "E", "I"]}})
magnitude = st.floats(-1e3, 1e3)
angle = st.sampled_from([90.0, -90.0, 0.0, 180.0]) | st.floats(-360, 360)
restraint = st.sampled_from([0.0, INF]) | st.floats(1e3, 1e7)


@st.composite
def load(draw, span):
    """(kind, params) on the span, its resultant and moment about x = 0 in the
    caller's units of the kind, and the sine and cosine of its angle."""
    kind, th = draw(st.sampled_from(["point", "udl", "trap", "torque", "dist"])), draw(angle)
    s, cosine = math.sin(th * 0.017453292519943295), math.cos(th * 0.017453292519943295)
    p, x = draw(magnitude), draw(st.floats(0, 1)) * span
    if kind == "point":
        return (kind, [p, x, th]), p, p * x, s, cosine
    if kind == "torque":
        return (kind, [p, x]), 0.0, p, 1.0, 0.0
    x1, x2 = sorted([x, draw(st.floats(0, 1)) * span])
    x1, x2 = (x1, x2) if x2 - x1 > span / 20 else (0.0, span)
    q = draw(magnitude)
    # Intensity as a polynomial in x, integrated here on its own.
    c, params = {"udl": ([p], [p, x1, x2, th]), "trap": ([p - (q - p) * x1 / (x2 - x1), (q - p) / (x2 - x1)],
                 [p, q, x1, x2, th])}.get(kind, (None, None))
    if c is None:
        c = draw(st.lists(st.floats(-10, 10), min_size=1, max_size=3))
        params = [x1, x2, th] + c
    integral = [sum(cj * (x2 ** (j + k) - x1 ** (j + k)) / (j + k) for j, cj in enumerate(c)) for k in (1, 2)]
    return (kind, params), integral[0], integral[1], s, cosine


@st.composite
def beam(draw, stable=True):
    """Supports at distinct positions, in random order; a stable beam has two
    rigid vertical supports."""
    span = draw(st.floats(1, 20))
    ks = draw(st.lists(st.integers(0, 16), min_size=2 * stable, max_size=6, unique=True))
    supports = [(span * k / 16, draw(restraint), INF if j < 2 * stable else draw(restraint),
                 draw(st.sampled_from([0.0, INF, 1.0]))) for j, k in enumerate(ks)]
    section = [draw(st.floats(1e3, 1e5)), draw(st.floats(0.1, 10)), draw(st.floats(0.1, 10)),
               draw(st.just(INF) | st.floats(1e3, 1e5))]
    return dict(span=span, section=section, supports=draw(st.permutations(supports)),
                loads=draw(st.lists(load(span), min_size=1, max_size=5)), units=draw(UNITS))


def run(b, loads=None, supports=None, units=None):
    return flexura.solve(b["span"], *b["section"], supports or b["supports"],
                         [entry for entry, *_ in (b["loads"] if loads is None else loads)], units or b["units"])


def samples(r, b):
    return {q: [getattr(r, q)(b["span"] * k / 13) for k in range(14)] for q in QUANTITIES}


def close(x, y, size, rel=1e-8):
    return abs(x - y) <= rel * size + 3e-10


def rounding_sizes(r, b):
    """For each quantity, in the caller's unit of it, the size of what the
    solve sums to get it: where the quantity cancels to zero, rounding of that
    size is left. The quantity's peak on the beam (the mesh holds points
    either side of every support and load, which samples may miss), and for
    the forces and the moment every reaction, force and moment alike, taken
    as a moment over the span."""
    u = lambda key: b["units"].get(key, 1.0)  # noqa: E731
    lever = b["span"] * u("length")
    moment = max((max(abs(rx), abs(ry)) * u("force") * lever + abs(m) * u("moment")
                  for rx, ry, m in r.reactions().values()), default=0.0)
    reach = {"eval_nf": moment / (u("force") * lever), "eval_sf": moment / (u("force") * lever),
             "eval_bm": moment / u("moment"), "eval_d": 0.0}
    mesh = r.plotting_vectors(20)
    return {q: max(map(abs, mesh[q.removeprefix("eval_")])) + reach[q] for q in QUANTITIES}


PROPS = settings(max_examples=100, deadline=None)


@PROPS
@given(beam())
def test_statics(b):
    """Reactions balance the loads vertically, horizontally and in moment,
    shear force and moment vanish beyond the beam, and rigid vertical
    supports do not deflect."""
    u = lambda key: b["units"].get(key, 1.0)  # noqa: E731
    ul, uf, um, ud = u("length"), u("force"), u("moment"), u("distributed") * u("length")
    to_base = {"point": (uf, uf * ul), "torque": (0.0, um)}
    # The transverse part of a load vanishes below a sine of 1e-8; its moment
    # is taken with the full sine.
    loads = [(f * s * (abs(s) >= 1e-8) * fb, m * s * mb, (abs(f) + abs(m)) * max(fb, mb), f * c * (abs(c) >= 1e-8) * fb)
             for (k, _), f, m, s, c in b["loads"] for fb, mb in [to_base.get(k, (ud, ud * ul))]]
    r = run(b)
    reactions = [(float(x), ry * uf, m * um) for x, (_, ry, m) in r.reactions().items()]
    horizontal = [rx * uf for rx, _, _ in r.reactions().values()]
    arm = 1 + b["span"] * ul
    size = (sum(w for _, _, w, _ in loads) + sum(abs(f) + abs(m) for _, f, m in reactions) + sum(map(abs, horizontal))) * arm
    tol = 1e-8 * size + 1e-9 * (uf + um) * len(reactions) * arm
    assert abs(sum(f for f, _, _, _ in loads) + sum(f for _, f, _ in reactions)) <= tol
    assert abs(sum(m for _, m, _, _ in loads) + sum(f * x * ul + m for x, f, m in reactions)) <= tol
    if any(kx != 0 for _, kx, _, _ in b["supports"]):
        assert abs(sum(h for *_, h in loads) + sum(horizontal)) <= tol
    assert abs(r.eval_sf(b["span"] + 1) * uf) <= tol and abs(r.eval_bm(b["span"] + 1) * um) <= tol
    e, i, a, g = b["section"]
    flexibility = arm ** 2 / (e * u("E") * u("I") * i) + 1 / (g * u("G") * u("A") * a)
    for pos, _, ky, _ in b["supports"]:
        assert ky != INF or abs(r.eval_d(pos)) * u("deflection") <= 1e-8 * size * flexibility + 1e-300


@PROPS
@given(beam(), st.integers(0, 5))
# A torque of 65 beside a load of 1e-3 on two fixed supports 0.0625 apart:
# the shear between them keeps a residue of the torque's size.
@example(dict(span=1.0, section=[1000.0, 1.0, 1.0, INF], supports=[(0.6875, 0.0, INF, INF), (0.75, 0.0, INF, INF)],
              loads=[(("udl", [1.0, 0.0, 1.0, 90.0]), 1.0, 0.5, 1.0, 6.123233995736766e-17),
                     (("torque", [65.0, 0.0]), 0.0, 65.0, 1.0, 0.0)],
              units={"distributed": 0.001}), 1)
def test_superposition(b, split):
    results = [run(b), run(b, b["loads"][:split]), run(b, b["loads"][split:])]
    largest = [rounding_sizes(r, b) for r in results]
    for (q, both), first, second in zip(*[samples(r, b).items() for r in results]):
        size = max(map(abs, both + first[1] + second[1])) + max(p[q] for p in largest)
        assert all(close(v, p + q, size) for v, p, q in zip(both, first[1], second[1])), q
    both, first, second = [sum(r.reactions().values(), []) for r in results]
    assert all(close(v, p + q, max(map(abs, first + second))) for v, p, q in zip(both, first, second))


def bits(r, b):
    lists = [*samples(r, b).values(), *r.reactions().values(), *r.plotting_vectors(25).values()]
    return list(r.reactions()), [[v.hex() for v in values] for values in lists]


@PROPS
@given(beam(), st.randoms(use_true_random=False))
def test_support_order_is_irrelevant(b, rnd):
    shuffled = rnd.sample(b["supports"], len(b["supports"]))
    assert bits(run(b), b) == bits(run(b, supports=shuffled), b)


@PROPS
@given(beam())
# A hogging moment of 1.3e5 over a short overhang that no sample falls on:
# past the supports both moments cancel to zero but for rounding.
@example(dict(span=16.5, section=[1000.0, 1.0, 1.0, INF], supports=[(7.21875, 0.0, INF, INF), (8.25, 0.0, INF, 0.0)],
              loads=[(("point", [246.0, 6.703125, 90.0]), 246.0, 1648.96875, 1.0, 6.123233995736766e-17)],
              units={"force": 1000.0}))
# A load on a support: every moment is rounding, of the size that the load
# would give over the span in the caller's moment unit (0.001).
@example(dict(span=1.0, section=[1000.0, 0.109375, 1.0, INF],
              supports=[(0.0, 0.0, INF, 0.0), (0.3125, 0.0, INF, 0.0), (0.5, 0.0, 0.0, INF), (0.625, 0.0, INF, 0.0)],
              loads=[(("point", [0.99999, 0.0, 90.0]), 0.99999, 0.0, 1.0, 6.123233995736766e-17)],
              units={"force": 1000.0, "moment": 0.001}))
def test_force_unit_scales_forces_only(b):
    """A force unit 1000 times larger (point loads written in it) divides the
    forces by 1000 and leaves moments, deflections and positions unchanged."""
    kilo = [((k, [p[0] / 1000] + p[1:]) if k == "point" else (k, p), *rest) for (k, p), *rest in b["loads"]]
    base, scaled = run(b), run(b, kilo, units={**b["units"], "force": b["units"].get("force", 1.0) * 1000})
    assert base.plotting_vectors(20)["x"] == scaled.plotting_vectors(20)["x"]
    assert list(base.reactions()) == list(scaled.reactions())
    ours, theirs = sum(base.reactions().values(), []), sum(scaled.reactions().values(), [])
    largest = rounding_sizes(base, b)
    k = [1000, 1000, 1] * len(b["supports"])  # rx, ry, m of each support
    sizes = [largest["eval_sf"], largest["eval_sf"], largest["eval_bm"]] * len(b["supports"])
    assert all(close(p / f, q, size / f, 1e-9) for p, q, f, size in zip(ours, theirs, k, sizes))
    for (q, ours), theirs in zip(samples(base, b).items(), samples(scaled, b).values()):
        scale = 1000 if q in ("eval_nf", "eval_sf") else 1
        ours = [v / scale for v in ours]
        size = max(map(abs, ours + theirs)) + largest[q] / scale
        assert all(close(p, t, size) for p, t in zip(ours, theirs)), q


@st.composite
def singular_beam(draw):
    """No vertical restraint; all vertical restraints at one point and no
    rotational one; or two rigid horizontal restraints at one point."""
    b, case = draw(beam(stable=False)), draw(st.integers(0, 2))
    span, sup = b["span"], b["supports"]
    at = span * draw(st.integers(0, 16)) / 16
    if case == 0:
        sup = [(p, kx, 0.0, km) for p, kx, _, km in sup]
    elif case == 1:
        sup = [(p, kx, 0.0, 0.0) for p, kx, _, _ in sup if p != at]
        sup += [(at, draw(restraint), draw(restraint), 0.0) for _ in range(draw(st.integers(1, 3)))]
    else:
        sup += [(0.0, 0.0, INF, 0.0), (span, 0.0, INF, 0.0), (at, INF, 0.0, 0.0), (at, INF, 0.0, 0.0)]
    b["supports"] = draw(st.permutations(sup))
    return b


@PROPS
@given(singular_beam())
def test_singular_beam_raises_the_one_error(b):
    try:
        r = run(b)
    except ValueError as e:
        assert type(e) is ValueError and str(e) == SINGULAR
    else:
        raise AssertionError(f"solved a singular beam: {r.reactions()}")
