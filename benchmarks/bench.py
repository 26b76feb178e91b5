#!/usr/bin/env python3
"""Timing benchmark of flexura against the interpreter's own call cost and other beam solvers.

Run from a checkout with the module installed (or on PYTHONPATH):

    python benchmarks/bench.py            # full run, about 2-3 minutes
    python benchmarks/bench.py --quick    # short run, fewer and shorter samples
    python benchmarks/bench.py --no-peers # flexura and the floors only

Every figure is the median of repeated samples, with the inter-quartile range (IQR) as the
spread.  A sample times a batch of calls sized to take about 2 ms (fewer for slow peers) with
time.perf_counter_ns and divides by the batch size; the cost of the empty timing loop is
measured once and subtracted.  Garbage collection is off while a batch runs (as in timeit),
and numpy's BLAS runs on one thread.

The floors are what the interpreter itself needs for a call of the same shape:
  * call8:   operator.itemgetter(span, e, i, a, g, supports, loads, None), a C-implemented
             callable that takes *args: the argument tuple is built and one object created,
             nothing else, so it is the cost of any 8-argument call into C.
  * call1:   math.fabs(x), a builtin taking one float and returning a new float, looked up as
             an attribute like a method.
  * list200: array('d', ...).tolist(), a C loop creating 200 new floats in a new list.
  * lists5:  a dict of five such lists of the mesh length, the shape of plotting_vectors().

Peers (optional; see requirements.txt in this folder) are timed on the job
"build the model + solve + 200 deflection values along the beam".  A peer that is not
installed is named with the reason; one that cannot model a scenario is marked n/a.
"""

import os

# The peers use numpy; keep its BLAS on one thread like everything else measured here, so
# that spinning BLAS threads on a busy 2-core machine do not swing their times by 10x.
for _var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ.setdefault(_var, "1")

import argparse
import gc
import math
import platform
import statistics
import sys
import time
import timeit
from array import array
from operator import itemgetter

try:
    import flexura
except ImportError as exc:  # pragma: no cover - the benchmark needs the module
    sys.exit("flexura is not importable (%s); install it or put the build directory on PYTHONPATH" % exc)

INF = float("inf")

# Section and material shared by every scenario: kN and m.  The shear modulus is infinite so
# that flexura leaves out shear deformation like the Euler-Bernoulli peers do.
E = 2.1e8
I = 8.0e-5
A = 5.0e-3
G = INF
EI = E * I
EA = E * A

PIN = (INF, INF, 0.0)     # restrains both displacements, rotation free
ROLLER = (0.0, INF, 0.0)  # restrains the vertical displacement only


# --------------------------------------------------------------------------------------------
# Scenarios
# --------------------------------------------------------------------------------------------

class Scenario:
    def __init__(self, key, title, span, supports, loads):
        self.key = key
        self.title = title
        self.span = float(span)
        self.supports = supports
        self.loads = loads

    def args(self):
        return (self.span, E, I, A, G, self.supports, self.loads)


def scenario_a():
    return Scenario("a", "simply supported span, one point load", 10.0,
                    [(0.0,) + PIN, (10.0,) + ROLLER],
                    [("point", [-20.0, 4.0, 90.0])])


def scenario_b():
    # Three spans 0-6-13-20; the support at 13 is a vertical spring.  The polynomial load is
    # of the first degree so that every peer can represent it exactly (as a trapezoid).
    return Scenario("b", "3 spans: udl, trap, polynomial, 2 angled points, torque, 1 spring", 20.0,
                    [(0.0,) + PIN, (6.0,) + ROLLER, (13.0, 0.0, 5000.0, 0.0), (20.0,) + ROLLER],
                    [("udl", [-8.0, 0.0, 6.0, 90.0]),
                     ("trap", [-4.0, -12.0, 7.0, 12.0, 90.0]),
                     ("dist", [14.0, 19.0, 90.0, -2.0, -0.3]),
                     ("point", [15.0, 3.0, 240.0]),
                     ("point", [10.0, 16.5, 300.0]),
                     ("torque", [12.0, 9.5])])


def continuous(n_supports, span_len=2.0, springs=False, point_per_span=False):
    """A continuous beam on n supports: pinned at 0, rollers elsewhere, optionally every other
    interior support a spring; a uniform load over the whole length and either one point load
    in the first span or one at the middle of every span."""
    span = span_len * (n_supports - 1)
    sup = []
    for k in range(n_supports):
        p = span_len * k
        if k == 0:
            sup.append((p,) + PIN)
        elif springs and 0 < k < n_supports - 1 and k % 2 == 1:
            sup.append((p, 0.0, 2.0e4, 0.0))
        else:
            sup.append((p,) + ROLLER)
    loads = [("udl", [-10.0, 0.0, span, 90.0])]
    if point_per_span:
        loads += [("point", [-25.0, span_len * (k + 0.5), 90.0]) for k in range(n_supports - 1)]
    else:
        loads.append(("point", [-15.0, span_len * 0.5, 90.0]))
    return span, sup, loads


def scenario_c():
    span, sup, loads = continuous(21, 5.0, springs=True, point_per_span=True)
    return Scenario("c", "20 spans, every other interior support a spring, udl + 20 points",
                    span, sup, loads)


def scenario_d(n=200):
    span, sup, loads = continuous(n, 2.0)
    return Scenario("d", "%d supports (%d spans), udl + 1 point" % (n, n - 1), span, sup, loads)


def point_loads(n):
    span = 10.0
    loads = [("point", [-(1.0 + k % 7), span * (k + 0.5) / n, 90.0]) for k in range(n)]
    return span, [(0.0,) + PIN, (span,) + ROLLER], loads


def scenario_e(n=1000):
    span, sup, loads = point_loads(n)
    return Scenario("e", "one span, %d point loads" % n, span, sup, loads)


# --------------------------------------------------------------------------------------------
# Timing
# --------------------------------------------------------------------------------------------

class Stat:
    def __init__(self, samples, batch):
        s = sorted(samples)
        self.samples = s
        self.batch = batch
        self.median = statistics.median(s)
        if len(s) >= 4:
            q = statistics.quantiles(s, n=4, method="inclusive")
            self.q1, self.q3 = q[0], q[2]
        else:
            self.q1, self.q3 = s[0], s[-1]

    def spread(self):
        if len(self.samples) == 1:
            return "(single run)"
        return "%s..%s" % (fmt_t(self.q1, unit=False, ref=self.median), fmt_t(self.q3, ref=self.median))


def fmt_t(ns, unit=True, ref=None):
    r = abs(ref if ref is not None else ns)
    if r < 1e3:
        v, u = ns, "ns"
    elif r < 1e6:
        v, u = ns / 1e3, "us"
    elif r < 1e9:
        v, u = ns / 1e6, "ms"
    else:
        v, u = ns / 1e9, "s"
    s = "%.3g" % v if abs(v) < 100 else "%.0f" % v
    return s + (" " + u if unit else "")


class Bench:
    def __init__(self, quick):
        self.quick = quick
        self.sample_ns = 1.0e6 if quick else 2.0e6
        self.budget_ns = 0.05e9 if quick else 0.25e9   # per measured cell
        self.slow_budget_ns = 0.5e9 if quick else 2.0e9  # per peer cell
        self.single_run_ns = 0.5e9 if quick else 1.0e9   # slower jobs are timed once
        self.loop_ns = 0.0
        self.loop_ns = self.time("pass", {}).median

    def time(self, stmt, ns, setup="pass", slow=False, first_ns=None):
        """Median per-call time of `stmt` (a statement executed in the namespace `ns`).
        With `slow`, `first_ns` is the time of a call already made; a job slower than
        single_run_ns is not repeated and that one run is the measurement."""
        t = timeit.Timer(stmt, setup, timer=time.perf_counter_ns, globals=ns)
        if slow and first_ns is not None and first_ns > self.single_run_ns:
            return Stat([first_ns], 1)
        n = 1
        dt = t.timeit(1)  # warm-up and first estimate
        while dt < self.sample_ns / 8 and n < (1 << 26):
            n *= 8
            dt = t.timeit(n)
        per = dt / n
        batch = max(1, int(self.sample_ns / max(per, 1.0)))
        budget = self.slow_budget_ns if slow else self.budget_ns
        k = int(budget / max(per * batch, 1.0))
        k = max(3 if per > 0.2e9 else 7, min(k, 41))
        samples = [t.timeit(batch) / batch - self.loop_ns for _ in range(k)]
        return Stat(samples, batch)


# --------------------------------------------------------------------------------------------
# Neutral description of the loads, shared by the peers
# --------------------------------------------------------------------------------------------

class NotModelled(Exception):
    pass


class TooSlow(Exception):
    pass


DEG = 0.017453292519943295


def components(sc):
    """Point forces (x, Fx, Fy), linear distributed pieces (x1, x2, wy1, wy2) and counter-
    clockwise torques (x, T), with y upwards.  Raises NotModelled for what a linear-piece
    model cannot represent exactly (curved intensities, axial distributed loads)."""
    pts, dist, tq = [], [], []
    for kind, p in sc.loads:
        if kind == "point":
            P, x, th = p[0], p[1], p[2] * DEG
            fx = P * math.cos(th)
            fy = P * math.sin(th)
            pts.append((x, fx if abs(fx) > 1e-9 * abs(P) else 0.0, fy if abs(fy) > 1e-9 * abs(P) else 0.0))
        elif kind in ("udl", "trap", "dist"):
            if kind == "udl":
                w1 = w2 = p[0]
                x1, x2, th = p[1], p[2], p[3]
            elif kind == "trap":
                w1, w2, x1, x2, th = p[:5]
            else:
                x1, x2, th, c = p[0], p[1], p[2], p[3:]
                if any(ci != 0.0 for ci in c[2:]):
                    raise NotModelled("polynomial load of degree > 1")
                c0, c1 = c[0], (c[1] if len(c) > 1 else 0.0)
                w1, w2 = c0 + c1 * x1, c0 + c1 * x2
            if abs(math.cos(th * DEG)) > 1e-8:
                raise NotModelled("axial distributed load")
            s = math.sin(th * DEG)
            dist.append((x1, x2, w1 * s, w2 * s))
        elif kind == "torque":
            tq.append((p[1], p[0]))
        else:
            raise NotModelled(kind)
    return pts, dist, tq


def split_dist(dist, a, b):
    """The linear pieces of `dist` restricted to [a, b]: (x1, x2, w1, w2) in absolute x."""
    out = []
    for x1, x2, w1, w2 in dist:
        lo, hi = max(x1, a), min(x2, b)
        if hi - lo <= 1e-12:
            continue
        k = (w2 - w1) / (x2 - x1)
        out.append((lo, hi, w1 + k * (lo - x1), w1 + k * (hi - x1)))
    return out


def flexura_reactions(sc):
    r = flexura.solve(*sc.args())
    return {float(k): v for k, v in r.reactions().items()}


# --------------------------------------------------------------------------------------------
# Peers: each returns (job, check).  job(sc) runs the timed work; check(sc) returns reactions
# {pos: (rx or None, ry, m)} with y upwards and moments counter-clockwise, and deflections
# [(x, d)] for the agreement check.
# --------------------------------------------------------------------------------------------

def peer_pycba():
    import numpy as np
    import pycba

    def model(sc):
        pts, dist, tq = components(sc)
        nodes = sorted(set([0.0, sc.span] + [s[0] for s in sc.supports]))
        if nodes[0] < 0 or nodes[-1] > sc.span:
            raise NotModelled("support outside the span")
        sup = {s[0]: s for s in sc.supports}
        R = []
        for n in nodes:
            s = sup.get(n)
            if s is None:
                R += [0, 0]
            else:
                ky, km = s[2], s[3]
                R += [-1 if ky == INF else (0 if ky == 0 else ky), -1 if km != 0 else 0]
        L = [b - a for a, b in zip(nodes, nodes[1:])]

        def span_of(x):
            for k in range(len(L)):
                if x <= nodes[k + 1] or k == len(L) - 1:
                    return k
        LM = []
        for x, fx, fy in pts:
            if fy != 0.0:
                k = span_of(x)
                LM.append([k + 1, 2, -fy, x - nodes[k]])
        for k in range(len(L)):
            for x1, x2, w1, w2 in split_dist(dist, nodes[k], nodes[k + 1]):
                LM.append([k + 1, 5, -w1, -w2, x1 - nodes[k], x2 - x1])
        for x, t in tq:
            k = span_of(x)
            LM.append([k + 1, 4, t, x - nodes[k]])
        ba = pycba.BeamAnalysis(L, EI, R, LM)
        npts = max(4, -(-200 // len(L)))
        return ba, npts, nodes, R

    def job(sc):
        ba, npts, _, _ = model(sc)
        ba.analyze(npts)
        return ba.beam_results.results.D

    def check(sc):
        ba, npts, nodes, R = model(sc)
        ba.analyze(npts)
        res = ba.beam_results
        fixed = iter(res.R)
        springs = iter(res.Rs) if getattr(res, "Rs", None) is not None else iter(())
        out = {}
        for j, n in enumerate(nodes):
            vals = []
            for r in (R[2 * j], R[2 * j + 1]):
                if r == -1:
                    vals.append(float(next(fixed)))
                elif r > 0:
                    vals.append(float(next(springs)))
                else:
                    vals.append(0.0)
            out[n] = (None, vals[0], vals[1])
        xs = np.asarray(res.results.x)
        return out, list(zip(xs.tolist(), np.asarray(res.results.D).tolist()))

    return job, check


def peer_anastruct():
    from anastruct import SystemElements

    def model(sc):
        pts, dist, tq = components(sc)
        nodes = sorted(set([0.0, sc.span] + [s[0] for s in sc.supports] + [p[0] for p in pts]
                           + [d[0] for d in dist] + [d[1] for d in dist] + [t[0] for t in tq]))
        ne = len(nodes) - 1
        mesh = max(4, -(-200 // ne))
        ss = SystemElements(EA=EA, EI=EI, invert_y_loads=False, mesh=mesh)
        for a, b in zip(nodes, nodes[1:]):
            ss.add_element([[a, 0.0], [b, 0.0]])
        nid = {x: k + 1 for k, x in enumerate(nodes)}
        for pos, kx, ky, km in sc.supports:
            n = nid[pos]
            rx, ry = kx == INF, ky == INF
            if rx and ry and km:
                ss.add_support_fixed(n)
            elif rx and ry:
                ss.add_support_hinged(n)
            elif ry and not kx:
                ss.add_support_roll(n, direction="x")
                if km:
                    ss.add_support_rotational(n)
            elif not kx and not km and ky:
                ss.add_support_spring(n, 2, ky, roll=True)
            else:
                raise NotModelled("support combination")
        for x, fx, fy in pts:
            ss.point_load(nid[x], Fx=fx, Fy=fy)
        for x, t in tq:
            ss.moment_load(nid[x], Ty=-t)  # anastruct: positive Ty is clockwise
        for k, (a, b) in enumerate(zip(nodes, nodes[1:])):
            pieces = split_dist(dist, a, b)
            if pieces:
                qa = sum(p[2] for p in pieces)
                qb = sum(p[3] for p in pieces)
                ss.q_load(q=[qa, qb], element_id=k + 1, direction="y")
        return ss, nodes, nid

    def job(sc):
        ss, _, _ = model(sc)
        ss.solve()
        return [el.total_deflection for el in ss.element_map.values()]

    def check(sc):
        ss, nodes, nid = model(sc)
        ss.solve()
        out = {}
        for pos, kx, ky, km in sc.supports:
            r = ss.get_node_results_system(nid[pos])
            # anastruct reports the horizontal reaction with the opposite sign
            out[pos] = (-float(r["Fx"]), float(r["Fy"]), float(r["Tz"]))
        defl = []
        for (a, b), el in zip(zip(nodes, nodes[1:]), ss.element_map.values()):
            m = len(el.total_deflection)
            defl += [(a + (b - a) * j / (m - 1), float(v)) for j, v in enumerate(el.total_deflection)]
        return out, defl

    return job, check


def peer_pynite():
    from Pynite import FEModel3D

    def model(sc):
        pts, dist, tq = components(sc)
        m = FEModel3D()
        nodes = sorted(set([0.0, sc.span] + [s[0] for s in sc.supports]))
        names = {}
        for k, x in enumerate(nodes):
            names[x] = "N%d" % k
            m.add_node(names[x], x, 0.0, 0.0)
        m.add_material("mat", E, E / 2.6, 0.3, 0.0)
        m.add_section("sec", A, I, I, I)
        m.add_member("M", names[nodes[0]], names[nodes[-1]], "mat", "sec")
        for pos, kx, ky, km in sc.supports:
            n = names[pos]
            m.def_support(n, kx == INF, ky == INF, True, True, km != 0, km != 0)
            if kx not in (0.0, INF):
                m.def_support_spring(n, "DX", kx)
            if ky not in (0.0, INF):
                m.def_support_spring(n, "DY", ky)
        for x, fx, fy in pts:
            if fy:
                m.add_member_pt_load("M", "FY", fy, x)
            if fx:
                m.add_member_pt_load("M", "FX", fx, x)
        for x1, x2, w1, w2 in dist:
            m.add_member_dist_load("M", "FY", w1, w2, x1, x2)
        for x, t in tq:
            m.add_member_pt_load("M", "MZ", t, x)
        return m, names

    def job(sc):
        m, _ = model(sc)
        m.analyze_linear(check_stability=False)
        return m.members["M"].deflection_array("dy", 200)

    def check(sc):
        m, names = model(sc)
        m.analyze_linear()
        out = {}
        for pos, kx, ky, km in sc.supports:
            nd = m.nodes[names[pos]]
            out[pos] = (float(nd.RxnFX["Combo 1"]), float(nd.RxnFY["Combo 1"]), float(nd.RxnMZ["Combo 1"]))
        d = m.members["M"].deflection_array("dy", 200)
        return out, [(float(x), float(v)) for x, v in zip(d[0], d[1])]

    return job, check


def peer_sympy():
    import numpy as np
    import sympy
    from sympy.physics.continuum_mechanics.beam import Beam

    def q(v):
        # Exact rationals: with floats, deflection() meets an overdetermined set of
        # boundary conditions that round-off makes inconsistent.
        return sympy.Rational(repr(float(v)))

    def solved(sc):
        if len(sc.supports) > 30 or len(sc.loads) > 30:
            raise TooSlow("symbolic solve of this size takes minutes")
        b = Beam(q(sc.span), q(E), q(I))
        ei = q(E) * q(I)
        unknowns = []
        bc_d, bc_s = [], []
        for k, (pos, kx, ky, km) in enumerate(sc.supports):
            if ky != 0:
                r = sympy.Symbol("R%d" % k)
                b.apply_load(r, q(pos), -1)
                unknowns.append(r)
                # Boundary values are E*I times the deflection, and solve_for_reaction_loads
                # integrates the bending moment with the opposite sign of deflection():
                # a spring that pushes back with r = -k*y is the value +E*I*r/k here.
                bc_d.append((q(pos), 0 if ky == INF else ei * r / q(ky)))
            if km != 0:
                mm = sympy.Symbol("M%d" % k)
                b.apply_load(mm, q(pos), -2)
                unknowns.append(mm)
                bc_s.append((q(pos), 0))
        for kind, p in sc.loads:
            if kind == "point":
                b.apply_load(q(p[0] * math.sin(p[2] * DEG)), q(p[1]), -1)
            elif kind == "udl":
                b.apply_load(q(p[0] * math.sin(p[3] * DEG)), q(p[1]), 0, end=q(p[2]))
            elif kind == "trap":
                w1, w2, x1, x2, th = p[:5]
                s = math.sin(th * DEG)
                b.apply_load(q(w1 * s), q(x1), 0, end=q(x2))
                b.apply_load(q((w2 - w1) / (x2 - x1) * s), q(x1), 1, end=q(x2))
            elif kind == "dist":
                x1, x2, th, c = p[0], p[1], p[2], p[3:]
                s = math.sin(th * DEG)
                # c0 + c1 x + ... rewritten about x1: sum over powers of (x - x1)
                n = len(c)
                shifted = [sum(c[j] * math.comb(j, k) * x1 ** (j - k) for j in range(k, n)) for k in range(n)]
                for k, ck in enumerate(shifted):
                    if ck:
                        b.apply_load(q(ck * s), q(x1), k, end=q(x2))
            elif kind == "torque":
                # A counter-clockwise couple is a moment load of the opposite sign here.
                b.apply_load(q(-p[0]), q(p[1]), -2)
        b.bc_deflection = bc_d
        b.bc_slope = bc_s
        b.solve_for_reaction_loads(*unknowns)
        # A spring condition names its reaction; give deflection() the solved value, in its
        # own sign.
        b.bc_deflection = [(pos, -sympy.sympify(v).subs(b.reaction_loads)) for pos, v in bc_d]
        return b

    def job(sc):
        b = solved(sc)
        f = sympy.lambdify(b.variable, b.deflection(), "numpy")
        return f(np.linspace(0.0, sc.span, 200))

    def check(sc):
        b = solved(sc)
        out = {}
        rl = {str(k): float(v) for k, v in b.reaction_loads.items()}
        for k, (pos, kx, ky, km) in enumerate(sc.supports):
            out[pos] = (None, rl.get("R%d" % k, 0.0), -rl.get("M%d" % k, 0.0))
        xs = np.linspace(0.0, sc.span, 200)
        f = sympy.lambdify(b.variable, b.deflection(), "numpy")
        return out, list(zip(xs.tolist(), np.asarray(f(xs), dtype=float).tolist()))

    return job, check


PEERS = [("sympy", "sympy", peer_sympy), ("pycba", "pycba", peer_pycba),
         ("anastruct", "anastruct", peer_anastruct), ("PyNiteFEA", "Pynite", peer_pynite)]


def load_peers(names=None):
    out = []
    for label, module, factory in PEERS:
        if names and label.lower() not in names:
            continue
        try:
            job, check = factory()
            mod = sys.modules.get(module)
            ver = getattr(mod, "__version__", None)
            if ver is None:
                try:
                    from importlib.metadata import version
                    ver = version(label)
                except Exception:
                    ver = "?"
            out.append((label, ver, job, check, None))
        except Exception as exc:  # not installed or broken: named with the reason
            out.append((label, None, None, None, "%s: %s" % (type(exc).__name__, exc)))
    return out


# --------------------------------------------------------------------------------------------
# Reporting
# --------------------------------------------------------------------------------------------

def out(line=""):
    print(line, flush=True)


def row(name, st, extra=""):
    out("  %-44s %10s  %-18s %s" % (name, fmt_t(st.median), st.spread(), extra))


def ratio(a, b):
    return "%.3gx" % (a / b) if b > 0 else "-"


def check_peers(peers, scenarios):
    out("Agreement check before timing (reactions: max |peer - flexura| over all supports and")
    out("components the peer models; deflection: max |peer - flexura.eval_d| at the peer's points)")
    for sc in scenarios:
        ref = flexura_reactions(sc)
        res = flexura.solve(*sc.args())
        scale = max(abs(v) for vals in ref.values() for v in vals) or 1.0
        dscale = max(abs(res.eval_d(sc.span * k / 200.0)) for k in range(201)) or 1.0
        for label, ver, job, check, err in peers:
            if err:
                continue
            try:
                reac, defl = check(sc)
            except (NotModelled, TooSlow) as exc:
                out("  (%s) %-10s n/a (%s)" % (sc.key, label, exc))
                continue
            except Exception as exc:
                out("  (%s) %-10s FAILED %s: %s" % (sc.key, label, type(exc).__name__, exc))
                continue
            worst = 0.0
            for pos, (rx, ry, m) in reac.items():
                fx, fy, fm = ref[float(pos)]
                for mine, theirs in ((fx, rx), (fy, ry), (fm, m)):
                    if theirs is not None:
                        worst = max(worst, abs(mine - theirs))
            dworst = max((abs(res.eval_d(x) - d) for x, d in defl), default=0.0)
            ok = worst <= 1e-6 * scale
            out("  (%s) %-10s reactions %s (max diff %.2e, largest reaction %.4g); "
                "deflection max diff %.2e of max %.4g" % (sc.key, label, "agree" if ok else "DISAGREE",
                                                           worst, scale, dscale and dworst, dscale))
    out()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="short run: fewer, shorter samples")
    ap.add_argument("--no-peers", action="store_true", help="time flexura and the floors only")
    ap.add_argument("--peers", default="", help="comma-separated subset of peers to run")
    ap.add_argument("--slow-peers", action="store_true",
                    help="also time a peer on the larger scenarios after one of its runs took "
                         "over 0.5 s (anastruct and PyNiteFEA then take about a minute on (e))")
    a = ap.parse_args()

    bench = Bench(a.quick)
    T = bench.time
    t_start = time.perf_counter()

    out("flexura benchmark  (python %s, %s, %d CPUs, %s)" % (
        platform.python_version(), platform.machine(), os.cpu_count() or 0,
        "quick" if a.quick else "full"))
    out("median per call, spread = inter-quartile range; empty timing loop %.1f ns subtracted"
        % bench.loop_ns)
    out()

    sa = scenario_a()
    ra = flexura.solve(*sa.args())
    mesh_a = len(ra.plotting_vectors(200)["x"])
    xs200 = [sa.span * k / 199.0 for k in range(200)]

    # ---------------------------------------------------------------------------- floors
    ig = itemgetter
    vals = array("d", [0.5 + k for k in range(mesh_a)])
    v200 = array("d", [0.5 + k for k in range(200)])
    fns = {"ig": ig, "args": sa.args(), "math": math, "x": 4.0, "one": 1.0, "v200": v200,
           "vals": vals, "xs": xs200}
    span, e, i, aa, g, sup, loads = sa.args()
    fns.update(span=span, e=e, i=i, a=aa, g=g, sup=sup, loads=loads)
    floors = {
        "call8": T("ig(span, e, i, a, g, sup, loads, None)", fns),
        "call1": T("math.fabs(x)", fns),
        "wrap1": T("one.__add__(x)", fns),
        "list200": T("v200.tolist()", fns),
        "lists5": T("{'x': vals.tolist(), 'nf': vals.tolist(), 'sf': vals.tolist(), "
                    "'bm': vals.tolist(), 'd': vals.tolist()}", fns),
        "calls200": T("[math.fabs(x) for x in xs]", fns),
    }
    out("Floors: the interpreter's own cost for calls of the same shape")
    row("itemgetter(8 args, 2 lists of tuples)", floors["call8"], "call8: C callable taking *args")
    row("math.fabs(x)", floors["call1"], "call1: builtin, one float -> new float")
    row("(1.0).__add__(x)", floors["wrap1"], "method-wrapper, for reference")
    row("array('d', 200).tolist()", floors["list200"], "list200: 200 new floats in a list")
    row("dict of 5 lists of %d floats" % mesh_a, floors["lists5"], "lists5: shape of plotting_vectors(200) on (a)")
    row("[math.fabs(x) for x in 200 xs]", floors["calls200"], "calls200: 200 one-float builtin calls")
    out()

    scenarios = [sa, scenario_b(), scenario_c(), scenario_d(), scenario_e()]
    results = {}
    for sc in scenarios:
        ns = {"flexura": flexura, "solve": flexura.solve, "args": sc.args()}
        r = flexura.solve(*sc.args())
        xq = sc.span * 0.37
        xs = [sc.span * k / 199.0 for k in range(200)]
        ns.update(r=r, x=xq, xs=xs)
        mesh = len(r.plotting_vectors(200)["x"])
        st = {
            "solve": T("solve(*args)", ns),
            "eval_d": T("r.eval_d(x)", ns),
            "get_bm": T("r.get_bending_moment(x)", ns),
            "reactions": T("r.reactions()", ns),
            "pv": T("r.plotting_vectors(200)", ns),
            "evals200": T("[r.eval_d(x) for x in xs]", ns),
            "job_eval": T("q = solve(*args); [q.eval_d(x) for x in xs]", ns),
            "job_pv": T("solve(*args).plotting_vectors(200)['d']", ns),
        }
        results[sc.key] = st
        out("Scenario (%s) %s  [%d supports, %d loads, mesh %d]" % (
            sc.key, sc.title, len(sc.supports), len(sc.loads), mesh))
        row("solve", st["solve"], "%s call8" % ratio(st["solve"].median, floors["call8"].median))
        row("eval_d(x)", st["eval_d"], "%s call1" % ratio(st["eval_d"].median, floors["call1"].median))
        row("get_bending_moment(x)", st["get_bm"], "%s call1" % ratio(st["get_bm"].median, floors["call1"].median))
        row("reactions()", st["reactions"])
        row("plotting_vectors(200)", st["pv"], "%s lists5" % ratio(st["pv"].median, floors["lists5"].median)
            if sc.key == "a" else "")
        row("200 x eval_d", st["evals200"], "%s calls200" % ratio(st["evals200"].median, floors["calls200"].median))
        row("job: solve + 200 x eval_d", st["job_eval"],
            "%s calls200" % ratio(st["job_eval"].median, floors["calls200"].median))
        row("job: solve + plotting_vectors(200)", st["job_pv"],
            "%s lists5" % ratio(st["job_pv"].median, floors["lists5"].median) if sc.key == "a" else "")
        out()
        if time.perf_counter() - t_start > 600:
            break

    # ---------------------------------------------------------------------------- growth
    def growth(title, label, sizes, make):
        out(title)
        out("  %-10s %12s %-18s %12s %12s" % (label, "solve", "IQR", "eval_d", "pv(200)"))
        for n in sizes:
            span, sup, loads = make(n)
            ns = {"solve": flexura.solve, "args": (span, E, I, A, G, sup, loads)}
            ns["r"] = flexura.solve(*ns["args"])
            ns["x"] = span * 0.37
            s1 = T("solve(*args)", ns)
            s2 = T("r.eval_d(x)", ns)
            s3 = T("r.plotting_vectors(200)", ns)
            out("  %-10d %12s %-18s %12s %12s" % (n, fmt_t(s1.median), s1.spread(), fmt_t(s2.median),
                                                  fmt_t(s3.median)))
        out()

    growth("Growth with the number of supports (continuous beam, 2 m spans, udl + 1 point load)", "supports",
           (10, 50, 200, 500), continuous)
    growth("Growth with the number of point loads (simply supported 10 m span)", "loads",
           (10, 50, 200, 500, 1000), point_loads)

    # ---------------------------------------------------------------------------- peers
    peer_rows = {}
    if not a.no_peers:
        names = set(p.strip().lower() for p in a.peers.split(",") if p.strip())
        peers = load_peers(names)
        out("Peers")
        for label, ver, job, check, err in peers:
            out("  %-10s %s" % (label, ("version " + ver) if not err else "NOT AVAILABLE - " + err))
        out()
        check_peers(peers, scenarios[:2])
        out("Peer job: build the model + solve + 200 deflection values along the beam")
        out("  (pycba and anastruct return their own per-element grids of at least 200 points;")
        out("   sympy evaluates its lambdified deflection on 200 points)")
        out("  %-4s %-10s %10s  %-18s %14s %14s" % ("", "peer", "median", "IQR", "/ flexura eval", "/ flexura pv"))
        slowest = {}
        for sc in scenarios:
            fl = results.get(sc.key)
            if fl is None:
                continue
            for label, ver, job, check, err in peers:
                if err:
                    continue
                if slowest.get(label, 0) > 0.5e9 and not a.slow_peers:
                    out("  (%s)  %-10s not run: a smaller scenario took %s (--slow-peers runs it)"
                        % (sc.key, label, fmt_t(slowest[label])))
                    continue
                try:
                    gc.disable()  # as during the timed batches
                    try:
                        t0 = time.perf_counter_ns()
                        job(sc)  # also checks that the peer models it
                        first = time.perf_counter_ns() - t0
                    finally:
                        gc.enable()
                except NotModelled as exc:
                    out("  (%s)  %-10s n/a (%s)" % (sc.key, label, exc))
                    continue
                except TooSlow as exc:
                    out("  (%s)  %-10s not run (%s)" % (sc.key, label, exc))
                    continue
                except Exception as exc:
                    out("  (%s)  %-10s failed: %s: %s" % (sc.key, label, type(exc).__name__, exc))
                    continue
                st = T("job(sc)", {"job": job, "sc": sc}, slow=True, first_ns=first)
                slowest[label] = max(slowest.get(label, 0), st.median)
                peer_rows[(sc.key, label)] = st
                out("  (%s)  %-10s %10s  %-18s %14s %14s" % (
                    sc.key, label, fmt_t(st.median), st.spread(),
                    ratio(st.median, fl["job_eval"].median), ratio(st.median, fl["job_pv"].median)))
        out()

    # ---------------------------------------------------------------------------- targets
    fa = results["a"]
    out("Targets (scenario (a) unless stated)")

    def target(text, value, limit, higher_is_better):
        ok = value >= limit if higher_is_better else value <= limit
        out("  %-62s %9.3gx  %s %gx  %s" % (text, value, ">=" if higher_is_better else "<=", limit,
                                          "met" if ok else "MISSED"))

    for variant, key in (("200 eval_d", "job_eval"), ("plotting_vectors", "job_pv")):
        for (sk, label), st in sorted(peer_rows.items()):
            if sk != "a":
                continue
            limit = 10000 if label == "sympy" else 20
            target("job (%s) %s / flexura" % (variant, label), st.median / fa[key].median, limit, True)
    target("plotting_vectors(200) / lists5", fa["pv"].median / floors["lists5"].median, 3, False)
    target("job solve + plotting_vectors(200) / lists5", fa["job_pv"].median / floors["lists5"].median, 3, False)
    target("200 x eval_d / calls200", fa["evals200"].median / floors["calls200"].median, 2, False)
    target("job solve + 200 x eval_d / calls200", fa["job_eval"].median / floors["calls200"].median, 2, False)
    target("solve / call8", fa["solve"].median / floors["call8"].median, 3, False)
    target("eval_d / call1", fa["eval_d"].median / floors["call1"].median, 2, False)
    target("get_bending_moment / call1", fa["get_bm"].median / floors["call1"].median, 2, False)
    if "d" in results:
        out("  %-62s %9s   %s" % ("scenario (d) solve", fmt_t(results["d"]["solve"].median),
                                   "met (< 1 s)" if results["d"]["solve"].median < 1e9 else "MISSED"))
    out()
    out("total run time %.0f s" % (time.perf_counter() - t_start))


if __name__ == "__main__":
    main()
