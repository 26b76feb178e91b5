"""Pattern loading: a variable load placed span by span, so that each span is
loaded where that is worse and unloaded where that is worse.

The spans are the stretches between vertical restraints, with an overhang
beyond an end support counting as a span of its own. A pattern loads some of
them with the `loaded` loads and the others with the `unloaded` ones (for
instance 1.35 G + 1.5 Q against 1.0 G): each load is cut at the spans' ends,
a trapezoidal load keeping its line, a polynomial load its coefficients, and
a point load or moment on a support going with the span to its right.
"""

from __future__ import annotations

from collections.abc import Mapping, Sequence
from itertools import combinations

import flexura

from .envelopes import Envelope, LoadMembers, build
from .equilibrium import scale_of, solve_balanced
from .errors import ModelError
from .model import Beam, Load
from .result import QUANTITIES, Quantity

# All 2^n patterns are offered up to this many spans (4,096 beams).
MAX_EVERY = 12


def spans(beam: Beam) -> list[tuple[float, float]]:
    """The spans of a beam, left to right: between its ends and its vertical restraints."""
    return beam.spans()


def governing(count: int) -> list[tuple[int, ...]]:
    """The patterns that govern a continuous beam of `count` spans (numbered from 0):
    each span alone (its largest sagging), each pair of adjacent spans (the hogging
    and the reaction between them), alternate spans (sagging in the loaded ones) and
    all spans; each pattern once."""
    found: list[tuple[int, ...]] = [(k,) for k in range(count)]
    found += [(k, k + 1) for k in range(count - 1)]
    found += [tuple(range(0, count, 2)), tuple(range(1, count, 2)), tuple(range(count))]
    return [p for p in dict.fromkeys(found) if p]


def every(count: int) -> list[tuple[int, ...]]:
    """All 2^count patterns, the unloaded one first, then by number of loaded spans."""
    if count > MAX_EVERY:
        raise ValueError(f"every pattern of {count} spans would be {2 ** count} beams; "
                         f"all patterns are offered up to {MAX_EVERY} spans (use the governing ones)")
    return [p for size in range(count + 1) for p in combinations(range(count), size)]


def name(pattern: tuple[int, ...], count: int) -> str:
    if not pattern:
        return "no span loaded"
    if len(pattern) == count > 1:
        return "all spans"
    return ("span " if len(pattern) == 1 else "spans ") + ", ".join(str(k + 1) for k in pattern)


def pattern_beams(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load] = (), *,
                  all_patterns: bool = False) -> dict[str, Beam]:
    """The beam under each pattern, by name ("span 2", "spans 1, 3", "all spans"):
    the governing patterns, or with `all_patterns` every one of the 2^n. Its own
    loads take no part; give them in `loaded` and `unloaded` as they should act."""
    out: dict[str, Beam] = {}
    for title, loads in _pattern_loads(beam, loaded, unloaded, all_patterns).items():
        member = beam.with_loads(loads, title)
        # Parts of checked loads on the beam are loads on the beam: no need to check again.
        object.__setattr__(member, "_checked", True)
        out[title] = member
    return out


def pattern_envelope(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load] = (), *,
                     all_patterns: bool = False, n: int = 200, points: Sequence[float] = (),
                     quantities: Sequence[Quantity] = QUANTITIES, progress: bool = False) -> Envelope:
    """The envelope of the load patterns (see pattern_beams); its members are named
    by pattern."""
    members = PatternMembers(beam, _pattern_loads(beam, loaded, unloaded, all_patterns))
    return build(members, n=n, points=points, quantities=quantities, progress=progress)


class PatternMembers(LoadMembers):
    """The load patterns of a checked beam as envelope members: each is solved from the
    beam's own raw arguments with the raw form of its loads, as the pattern's Beam
    would be (the same bits), without building that Beam and its Result (8% of the
    pattern benchmark's instructions)."""

    def __init__(self, beam: Beam, patterns: Mapping[str, list[Load]]) -> None:
        super().__init__(beam, list(patterns), list(patterns.values()))
        args = beam.solve_args()
        self.head = (args.span, args.e, args.i, args.a, args.g, args.supports)
        self.units = args.units
        self.raw = [[load.raw(beam.span) for load in loads] for loads in self.loads]
        self.scales = [scale_of(loads, float(beam.span), self.units) for loads in self.raw]

    def solve(self, k: int) -> flexura.BeamResult:
        return solve_balanced(self.head, self.raw[k], self.units, self.scales[k], f"{self.labels[k]}: ")


def _pattern_loads(beam: Beam, loaded: Sequence[Load], unloaded: Sequence[Load],
                   all_patterns: bool) -> dict[str, list[Load]]:
    """The loads of each pattern by name, after checking the beam and the loads."""
    beam.check()
    _check(beam, loaded, "loaded")
    _check(beam, unloaded, "unloaded")
    stretches = spans(beam)
    span = float(beam.span)
    parts = [([load.part(a, b, span) for load in loaded], [load.part(a, b, span) for load in unloaded])
             for a, b in stretches]
    count = len(stretches)
    out: dict[str, list[Load]] = {}
    for pattern in (every(count) if all_patterns else governing(count)):
        chosen = set(pattern)
        out[name(pattern, count)] = [load for k, (on, off) in enumerate(parts)
                                     for load in (on if k in chosen else off) if load is not None]
    return out


def _check(beam: Beam, loads: Sequence[Load], what: str) -> None:
    """The loads on this (checked) beam, every problem named under `what` (loaded[2].x)."""
    problems = beam.load_problems(loads, what)
    if problems:
        raise ModelError(problems)
