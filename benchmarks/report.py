"""The tables that bench.py prints, and the targets it checks with --check.

The targets are read from the table under "## Targets" in RESULTS.md, the one place where
they are written: each row names a measure, a median of this run in ns (`a.solve`,
`floor.call8`, the peer job `pycba.a`) or the ratio of two (`a.solve / floor.call8`), and a
bound (`<= 3`, `>= 20`, `<= 1 s` for a time).
"""

import re
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from peers import Peer
from scenarios import Scenario
from timing import Stat, fmt_t

RESULTS = Path(__file__).with_name("RESULTS.md")
# | `a.solve / floor.call8` | <= 3 | what it means |
TARGET_ROW = re.compile(r"^\|\s*`([\w.]+)(?:\s*/\s*([\w.]+))?`\s*\|\s*(<=|>=)\s*([\d.e+]+)\s*(s?)\s*\|")


def out(line: str = "") -> None:
    print(line, flush=True)


def row(name: str, st: Stat, extra: str = "") -> None:
    out("  %-44s %10s  %-18s %s" % (name, fmt_t(st.median), st.spread(), extra))


def ratio(a: float, b: float) -> str:
    return "%.3gx" % (a / b) if b > 0 else "-"


def header(python: str, machine: str, cpus: int, quick: bool, loop_ns: float) -> None:
    out("flexura benchmark  (python %s, %s, %d CPUs, %s)" % (python, machine, cpus, "quick" if quick else "full"))
    out("median per call, spread = inter-quartile range; empty timing loop %.1f ns subtracted" % loop_ns)
    out()


def floors(st: Mapping[str, Stat], mesh_a: int) -> None:
    out("Floors: the interpreter's own cost for calls of the same shape")
    row("itemgetter(8 args, 2 lists of tuples)", st["call8"], "call8: C callable taking *args")
    row("math.fabs(x)", st["call1"], "call1: builtin, one float -> new float")
    row("(1.0).__add__(x)", st["wrap1"], "method-wrapper, for reference")
    row("array('d', 200).tolist()", st["list200"], "list200: 200 new floats in a list")
    row("dict of 5 lists of %d floats" % mesh_a, st["lists5"], "lists5: shape of plotting_vectors(200) on (a)")
    row("[math.fabs(x) for x in 200 xs]", st["calls200"], "calls200: 200 one-float builtin calls")
    out()


def scenario(sc: Scenario, st: Mapping[str, Stat], fl: Mapping[str, Stat], mesh: int) -> None:
    def versus(key: str, floor: str, only_a: bool = False) -> str:
        if only_a and sc.key != "a":
            return ""
        return "%s %s" % (ratio(st[key].median, fl[floor].median), floor)

    out("Scenario (%s) %s  [%d supports, %d loads, mesh %d]" % (
        sc.key, sc.title, len(sc.supports), len(sc.loads), mesh))
    row("solve", st["solve"], versus("solve", "call8"))
    row("eval_d(x)", st["eval_d"], versus("eval_d", "call1"))
    row("get_bending_moment(x)", st["get_bm"], versus("get_bm", "call1"))
    row("reactions()", st["reactions"])
    row("plotting_vectors(200)", st["pv"], versus("pv", "lists5", only_a=True))
    row("200 x eval_d", st["evals200"], versus("evals200", "calls200"))
    row("job: solve + 200 x eval_d", st["job_eval"], versus("job_eval", "calls200"))
    row("job: solve + plotting_vectors(200)", st["job_pv"], versus("job_pv", "lists5", only_a=True))
    out()


def growth(title: str, label: str, rows: Sequence[tuple[int, Stat, Stat, Stat]]) -> None:
    out(title)
    out("  %-10s %12s %-18s %12s %12s" % (label, "solve", "IQR", "eval_d", "pv(200)"))
    for n, solve, eval_d, pv in rows:
        out("  %-10d %12s %-18s %12s %12s" % (n, fmt_t(solve.median), solve.spread(), fmt_t(eval_d.median),
                                              fmt_t(pv.median)))
    out()


def peers(loaded: Sequence[Peer]) -> None:
    out("Peers")
    for p in loaded:
        out("  %-10s %s" % (p.label, ("version %s" % p.version) if not p.error else "NOT AVAILABLE - " + p.error))
    out()


@dataclass(frozen=True)
class Agreement:
    """How far a peer's reactions and deflections are from flexura's on one scenario."""
    reaction_diff: float
    largest_reaction: float
    deflection_diff: float
    largest_deflection: float

    def agrees(self) -> bool:
        return self.reaction_diff <= 1e-6 * self.largest_reaction


def agreement_header() -> None:
    out("Agreement check before timing (reactions: max |peer - flexura| over all supports and")
    out("components the peer models; deflection: max |peer - flexura.eval_d| at the peer's points)")


def agreement(key: str, label: str, a: Agreement) -> None:
    out("  (%s) %-10s reactions %s (max diff %.2e, largest reaction %.4g); "
        "deflection max diff %.2e of max %.4g" % (key, label, "agree" if a.agrees() else "DISAGREE",
                                                   a.reaction_diff, a.largest_reaction,
                                                   a.largest_deflection and a.deflection_diff,
                                                   a.largest_deflection))


def peer_note(key: str, label: str, note: str) -> None:
    out("  (%s)  %-10s %s" % (key, label, note))


def peer_jobs_header() -> None:
    out()
    out("Peer job: build the model + solve + 200 deflection values along the beam")
    out("  (pycba and anastruct return their own per-element grids of at least 200 points;")
    out("   sympy evaluates its lambdified deflection on 200 points)")
    out("  %-4s %-10s %10s  %-18s %14s %14s" % ("", "peer", "median", "IQR", "/ flexura eval", "/ flexura pv"))


def peer_job(key: str, label: str, st: Stat, fl: Mapping[str, Stat]) -> None:
    out("  (%s)  %-10s %10s  %-18s %14s %14s" % (
        key, label, fmt_t(st.median), st.spread(),
        ratio(st.median, fl["job_eval"].median), ratio(st.median, fl["job_pv"].median)))


@dataclass(frozen=True)
class Target:
    numerator: str
    denominator: Optional[str]
    at_most: bool
    bound: float  # a ratio, or a time in ns

    def text(self) -> str:
        return self.numerator + (" / " + self.denominator if self.denominator else "")


def read_targets(text: str) -> list[Target]:
    """The rows of the table under "## Targets" (up to the next heading of that level)."""
    sections = re.split(r"^## ", text, flags=re.M)
    section = next((s for s in sections if s.startswith("Targets\n")), "")
    targets = []
    for line in section.splitlines():
        m = TARGET_ROW.match(line)
        if m:
            numerator, denominator, sense, bound, seconds = m.groups()
            targets.append(Target(numerator, denominator, sense == "<=", float(bound) * (1e9 if seconds else 1.0)))
    if not targets:
        raise ValueError("no target rows under '## Targets' in %s" % RESULTS.name)
    return targets


def check_targets(targets: Sequence[Target], medians: Mapping[str, float]) -> int:
    """Prints each target against this run's medians; returns the number missed."""
    out("Targets (from %s)" % RESULTS.name)
    missed = 0
    for t in targets:
        names = [n for n in (t.numerator, t.denominator) if n]
        absent = [n for n in names if n not in medians]
        if absent:
            out("  %-44s %12s   not measured in this run (%s)" % (t.text(), "", ", ".join(absent)))
            continue
        value = medians[t.numerator] / (medians[t.denominator] if t.denominator else 1.0)
        met = value <= t.bound if t.at_most else value >= t.bound
        missed += not met
        shown = ("%.3gx" % value, "%gx" % t.bound) if t.denominator else (fmt_t(value), fmt_t(t.bound))
        out("  %-44s %12s  %s %-8s %s" % (t.text(), shown[0], "<=" if t.at_most else ">=", shown[1],
                                          "met" if met else "MISSED"))
    out()
    return missed
