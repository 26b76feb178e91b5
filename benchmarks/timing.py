"""Timing of one statement: the median of repeated batches, with the inter-quartile range.

A sample times a batch of calls sized to take about 2 ms (fewer for slow peers) with
time.perf_counter_ns and divides by the batch size; the cost of the empty timing loop is
measured once and subtracted.  Garbage collection is off while a batch runs (as in timeit).
"""

import statistics
import time
import timeit
from dataclasses import dataclass
from typing import Any, Optional


def fmt_t(ns: float, unit: bool = True, ref: Optional[float] = None) -> str:
    """A time in ns as text in ns, us, ms or s, chosen by the size of `ref` (default: ns)."""
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


@dataclass(frozen=True)
class Stat:
    """Per-call times of the samples (ns), sorted, and the batch size each sample ran."""
    samples: list[float]
    batch: int

    @classmethod
    def of(cls, samples: list[float], batch: int) -> "Stat":
        return cls(sorted(samples), batch)

    @property
    def median(self) -> float:
        return statistics.median(self.samples)

    def quartiles(self) -> tuple[float, float]:
        if len(self.samples) < 4:
            return self.samples[0], self.samples[-1]
        q = statistics.quantiles(self.samples, n=4, method="inclusive")
        return q[0], q[2]

    def spread(self) -> str:
        if len(self.samples) == 1:
            return "(single run)"
        q1, q3 = self.quartiles()
        return "%s..%s" % (fmt_t(q1, unit=False, ref=self.median), fmt_t(q3, ref=self.median))


class Bench:
    """Times statements with sample sizes and budgets for a full or a quick run."""

    def __init__(self, quick: bool):
        self.quick = quick
        self.sample_ns = 1.0e6 if quick else 2.0e6
        self.budget_ns = 0.05e9 if quick else 0.25e9   # per measured cell
        self.slow_budget_ns = 0.5e9 if quick else 2.0e9  # per peer cell
        self.single_run_ns = 0.5e9 if quick else 1.0e9   # slower jobs are timed once
        self.loop_ns = 0.0
        self.loop_ns = self.time("pass", {}).median

    def time(self, stmt: str, ns: dict[str, Any], setup: str = "pass", slow: bool = False,
             first_ns: Optional[float] = None) -> Stat:
        """Median per-call time of `stmt` (a statement executed in the namespace `ns`).
        With `slow`, `first_ns` is the time of a call already made; a job slower than
        single_run_ns is not repeated and that one run is the measurement."""
        t = timeit.Timer(stmt, setup, timer=time.perf_counter_ns, globals=ns)
        if slow and first_ns is not None and first_ns > self.single_run_ns:
            return Stat.of([first_ns], 1)
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
        return Stat.of(samples, batch)
