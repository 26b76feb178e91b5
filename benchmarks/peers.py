"""The peers that bench.py times flexura against, each modelling a scenario its own way.

A peer is a factory returning (job, check): job(sc) runs the timed work (build the model,
solve, 200 deflection values); check(sc) returns reactions {pos: (rx or None, ry, m)} with y
upwards and moments counter-clockwise, and deflections [(x, d)] for the agreement check.
A peer raises NotModelled for a scenario it cannot represent exactly.
"""

import importlib.metadata
import math
import sys
from collections.abc import Callable, Collection
from dataclasses import dataclass
from typing import Any, Optional

from scenarios import EA, EI, INF, A, E, I, Scenario

Point = tuple[float, float, float]          # x, Fx, Fy
Piece = tuple[float, float, float, float]   # x1, x2, wy1, wy2
Torque = tuple[float, float]                # x, T
Reactions = dict[float, tuple[Optional[float], float, float]]
Deflections = list[tuple[float, float]]
Job = Callable[[Scenario], object]
Check = Callable[[Scenario], tuple[Reactions, Deflections]]


class NotModelled(Exception):
    """The peer cannot represent this scenario exactly."""


class TooSlow(Exception):
    """The peer would take minutes on this scenario."""


DEG = 0.017453292519943295


def components(sc: Scenario) -> tuple[list[Point], list[Piece], list[Torque]]:
    """Point forces (x, Fx, Fy), linear distributed pieces (x1, x2, wy1, wy2) and counter-
    clockwise torques (x, T), with y upwards.  Raises NotModelled for what a linear-piece
    model cannot represent exactly (curved intensities, axial distributed loads)."""
    pts: list[Point] = []
    dist: list[Piece] = []
    tq: list[Torque] = []
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


def split_dist(dist: list[Piece], a: float, b: float) -> list[Piece]:
    """The linear pieces of `dist` restricted to [a, b]: (x1, x2, w1, w2) in absolute x."""
    out: list[Piece] = []
    for x1, x2, w1, w2 in dist:
        lo, hi = max(x1, a), min(x2, b)
        if hi - lo <= 1e-12:
            continue
        k = (w2 - w1) / (x2 - x1)
        out.append((lo, hi, w1 + k * (lo - x1), w1 + k * (hi - x1)))
    return out


def peer_pycba() -> tuple[Job, Check]:
    import numpy as np
    import pycba

    def model(sc: Scenario) -> tuple[Any, int, list[float], list[float]]:
        pts, dist, tq = components(sc)
        nodes = sorted(set([0.0, sc.span] + [s[0] for s in sc.supports]))
        if nodes[0] < 0 or nodes[-1] > sc.span:
            raise NotModelled("support outside the span")
        sup = {s[0]: s for s in sc.supports}
        R: list[float] = []
        for n in nodes:
            s = sup.get(n)
            if s is None:
                R += [0, 0]
            else:
                ky, km = s[2], s[3]
                R += [-1 if ky == INF else (0 if ky == 0 else ky), -1 if km != 0 else 0]
        L = [b - a for a, b in zip(nodes, nodes[1:])]

        def span_of(x: float) -> int:
            return next(k for k in range(len(L)) if x <= nodes[k + 1] or k == len(L) - 1)
        LM: list[list[float]] = []
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

    def job(sc: Scenario) -> object:
        ba, npts, _, _ = model(sc)
        ba.analyze(npts)
        return ba.beam_results.results.D

    def check(sc: Scenario) -> tuple[Reactions, Deflections]:
        ba, npts, nodes, R = model(sc)
        ba.analyze(npts)
        res = ba.beam_results
        fixed = iter(res.R)
        springs = iter(res.Rs) if getattr(res, "Rs", None) is not None else iter(())
        out: Reactions = {}
        for j, n in enumerate(nodes):
            vals: list[float] = []
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


def peer_anastruct() -> tuple[Job, Check]:
    from anastruct import SystemElements

    def model(sc: Scenario) -> tuple[Any, list[float], dict[float, int]]:
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

    def job(sc: Scenario) -> object:
        ss, _, _ = model(sc)
        ss.solve()
        return [el.total_deflection for el in ss.element_map.values()]

    def check(sc: Scenario) -> tuple[Reactions, Deflections]:
        ss, nodes, nid = model(sc)
        ss.solve()
        out: Reactions = {}
        for pos, kx, ky, km in sc.supports:
            r = ss.get_node_results_system(nid[pos])
            # anastruct reports the horizontal reaction with the opposite sign
            out[pos] = (-float(r["Fx"]), float(r["Fy"]), float(r["Tz"]))
        defl: Deflections = []
        for (a, b), el in zip(zip(nodes, nodes[1:]), ss.element_map.values()):
            m = len(el.total_deflection)
            defl += [(a + (b - a) * j / (m - 1), float(v)) for j, v in enumerate(el.total_deflection)]
        return out, defl

    return job, check


def peer_pynite() -> tuple[Job, Check]:
    from Pynite import FEModel3D

    def model(sc: Scenario) -> tuple[Any, dict[float, str]]:
        pts, dist, tq = components(sc)
        m = FEModel3D()
        nodes = sorted(set([0.0, sc.span] + [s[0] for s in sc.supports]))
        names: dict[float, str] = {}
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

    def job(sc: Scenario) -> object:
        m, _ = model(sc)
        m.analyze_linear(check_stability=False)
        return m.members["M"].deflection_array("dy", 200)

    def check(sc: Scenario) -> tuple[Reactions, Deflections]:
        m, names = model(sc)
        m.analyze_linear()
        out: Reactions = {}
        for pos, kx, ky, km in sc.supports:
            nd = m.nodes[names[pos]]
            out[pos] = (float(nd.RxnFX["Combo 1"]), float(nd.RxnFY["Combo 1"]), float(nd.RxnMZ["Combo 1"]))
        d = m.members["M"].deflection_array("dy", 200)
        return out, [(float(x), float(v)) for x, v in zip(d[0], d[1])]

    return job, check


def peer_sympy() -> tuple[Job, Check]:
    import numpy as np
    import sympy
    from sympy.physics.continuum_mechanics.beam import Beam

    def q(v: float) -> Any:
        # Exact rationals: with floats, deflection() meets an overdetermined set of
        # boundary conditions that round-off makes inconsistent.
        return sympy.Rational(repr(float(v)))

    def solved(sc: Scenario) -> Any:
        if len(sc.supports) > 30 or len(sc.loads) > 30:
            raise TooSlow("symbolic solve of this size takes minutes")
        b = Beam(q(sc.span), q(E), q(I))
        ei = q(E) * q(I)
        unknowns: list[Any] = []
        bc_d: list[tuple[Any, Any]] = []
        bc_s: list[tuple[Any, Any]] = []
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

    def job(sc: Scenario) -> object:
        b = solved(sc)
        f = sympy.lambdify(b.variable, b.deflection(), "numpy")
        return f(np.linspace(0.0, sc.span, 200))

    def check(sc: Scenario) -> tuple[Reactions, Deflections]:
        b = solved(sc)
        out: Reactions = {}
        rl = {str(k): float(v) for k, v in b.reaction_loads.items()}
        for k, (pos, kx, ky, km) in enumerate(sc.supports):
            out[pos] = (None, rl.get("R%d" % k, 0.0), -rl.get("M%d" % k, 0.0))
        xs = np.linspace(0.0, sc.span, 200)
        f = sympy.lambdify(b.variable, b.deflection(), "numpy")
        return out, list(zip(xs.tolist(), np.asarray(f(xs), dtype=float).tolist()))

    return job, check


PEERS: list[tuple[str, str, Callable[[], tuple[Job, Check]]]] = [
    ("sympy", "sympy", peer_sympy), ("pycba", "pycba", peer_pycba),
    ("anastruct", "anastruct", peer_anastruct), ("PyNiteFEA", "Pynite", peer_pynite)]


@dataclass(frozen=True)
class Peer:
    """One peer: its job and agreement check, or why it is not available."""
    label: str
    version: Optional[str]
    job: Optional[Job]
    check: Optional[Check]
    error: Optional[str]


def load_peers(names: Collection[str] = ()) -> list[Peer]:
    """The peers named (all when none are), each loaded or with the reason it is not."""
    out = []
    for label, module, factory in PEERS:
        if names and label.lower() not in names:
            continue
        try:
            job, check = factory()
        except Exception as exc:  # not installed or broken: named with the reason
            out.append(Peer(label, None, None, None, "%s: %s" % (type(exc).__name__, exc)))
            continue
        version = getattr(sys.modules.get(module), "__version__", None)
        if version is None:
            try:
                version = importlib.metadata.version(label)
            except Exception:
                version = "?"
        out.append(Peer(label, str(version), job, check, None))
    return out
