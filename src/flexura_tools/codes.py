"""Code load models: the design vehicles and lane loads of bridge design codes, with
the rules that combine them, each run over a beam as an envelope of shear, moment
and reactions.

A model is a list of cases; each case is a train of axles (one of its spacings
possibly free within a range), a factor on its axles (the dynamic allowance), a lane
load on the adverse parts of each influence line (optionally cleared around the
train), a trailing load behind the train, a second train behind the first at a
least headway, and where the case applies (every effect, or only the hogging
moment between the points of contraflexure and the reactions at interior supports).

Each case is read from the beam's influence lines (lanes.Surface: exact cubic
pieces from a few solves), not from one solve per position: the train's effect at
every section for every position is the sum of its axles' ordinates, so that an
axle that would relieve the effect can be left out (where the code says so), a free
spacing takes its worst value exactly (the axles behind it at their worst place
within its range), and a second train its worst headway exactly (anywhere behind
the least headway). The front axle steps along the
beam as in moving_load (from x = 0 forwards, from the span backwards); an axle on
the section where a line jumps counts on either side, as the train a hair further
on or back puts it.
"""

from __future__ import annotations

import math
from collections.abc import Iterator, Mapping, Sequence
from dataclasses import dataclass, field, replace
from typing import TYPE_CHECKING, Literal, cast

from .checks import Checker, is_number
from .errors import ModelError, Problem, show
from .lanes import Areas, LaneQuantity, Lines, Section, Surface, areas, outside
from .model import Beam, Result, checked, solver_of
from .loads import RawLoad
from .moving import Direction

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

    from ._engine import SolvedBeam

Which = Literal["max", "min"]
Applies = Literal["all", "hogging"]
KIP, FOOT = 4.4482216152605, 0.3048  # kN and m, exactly by definition of the pound-force and the foot
# The most section-by-position values a case holds per direction (about 100 bytes each
# while it runs): a step and n beyond it would fill memory.
MAX_READINGS = 4_000_000
# Positions of the front axle read at once: (sections, positions, axles) arrays stay a few MB.
_BLOCK = 256
# Sections read at their own positions at once (each at every position of the block): HL-93's
# extremes on the README girder took 1.47, 1.16, 1.00, 0.95 and 0.94 s CPU in blocks of 4 to 64.
_OWN_BLOCK = 32


@dataclass(frozen=True, slots=True)
class Train:
    """Axle weights from the front axle back (positive: downwards) and the spacings
    between them; `free`: the spacing `free_at` (the last by default; an index of
    spacings) takes any value in this range instead of its own (the worst for each
    effect, exactly), the axles behind it moving together; `neglect_relieving`: an
    axle whose effect has the other sign than the one sought is left out."""

    weights: tuple[float, ...]
    spacings: tuple[float, ...] = ()
    free: tuple[float, float] | None = None
    neglect_relieving: bool = False
    free_at: int = -1

    def offsets(self) -> list[float]:
        return [math.fsum(self.spacings[:k]) for k in range(len(self.weights))]

    def gap(self) -> int:
        """The free spacing's index from the front (its axles: gap and gap + 1)."""
        return self.free_at % len(self.spacings)


@dataclass(frozen=True, slots=True)
class Case:
    """One arrangement a code combines: `train` with its axles times `axle_factor`;
    `lane` (per length, downwards) on the adverse parts of each line, removed from
    `clear[0]` behind the rear axle to `clear[1]` ahead of the front one where given;
    `trailing` (per length) from `trailing_gap` behind the rear axle backwards without
    end; a second train `headway` or more behind the first (rear axle to front axle);
    `applies`: "all", or "hogging": the moment where a uniform load on the whole beam
    hogs it (between the points of contraflexure) and the reactions of interior supports."""

    name: str
    train: Train
    axle_factor: float = 1.0
    lane: float = 0.0
    clear: tuple[float, float] | None = None
    trailing: float = 0.0
    trailing_gap: float = 0.0
    headway: float | None = None
    applies: Applies = "all"


@dataclass(frozen=True, slots=True)
class Governing:
    """What gives a value: the case, the direction, the front axle's position and, for a
    free spacing or a second train, the spacing or headway taken."""

    case: str
    direction: Direction
    front: float
    detail: str = ""
    # Every axle of the arrangement: (position, weight times the case's factor, side), the
    # second train's too; an axle on the section counts as just left of it (side < 0),
    # just right (side > 0), or on the worse side (0: an axle behind a free spacing or
    # of a second train, which a hair more or less puts on either). Relieving axles are among them where the case
    # leaves them out: they are left out again when the arrangement is read.
    axles: tuple[tuple[float, float, float], ...] = field(default=(), repr=False)
    hair: float = field(default=-1.0, repr=False)
    case_index: int = field(default=0, repr=False)


@dataclass(frozen=True, slots=True)
class CodeBand:
    """One quantity over the mesh: the largest and smallest values and what gives each."""

    max: list[float]
    min: list[float]
    max_by: list[Governing]
    min_by: list[Governing]


@dataclass(frozen=True, slots=True)
class CodeExtreme:
    """The largest and smallest value of a quantity over the mesh, where, and what gives it."""

    max: float
    x_max: float
    max_by: Governing
    min: float
    x_min: float
    min_by: Governing


@dataclass(frozen=True)
class CodeEnvelope:
    """A load model's envelope: `x` the mesh (a support's position twice, left then
    right), `bands` of "sf" and "bm" on it, `reactions` of each support's ry by label
    (or position), each with what gives it. `lane_parts(q, which, e)`: where the lane
    stands for a value (on the adverse parts of the line at that entry)."""

    model: str
    x: list[float]
    bands: dict[LaneQuantity, CodeBand]
    reactions: dict[str, CodeBand]
    areas: dict[LaneQuantity, Areas] = field(repr=False)
    lane_sign: float = field(default=1.0, repr=False)
    reader: _Run | None = field(default=None, repr=False, compare=False)
    # Fixed results added (plus()): each solve and its factor, read again for the coincident values.
    fixed: tuple[tuple[SolvedBeam, float], ...] = field(default=(), repr=False, compare=False)

    def plus(self, result: Result, factor: float = 1.0) -> CodeEnvelope:
        """This envelope with a fixed result (a permanent load's, say) times `factor`
        added: at each entry the result's value at the section (read on the entry's
        side) added to the max and the min, the reactions shifted alike, what governs
        unchanged, and the result's values added to the coincident ones. The result
        must be of the same beam in the same units (ModelError)."""
        from .algebra import _same_beam  # pyright: ignore[reportPrivateUsage]
        assert self.reader is not None
        c = Checker()
        if not isinstance(cast(object, result), Result):
            c.add("result", f"is not a Result (of Beam.solve()): got {show(result)}")
        scale = c.finite(factor, "factor")
        if isinstance(cast(object, result), Result):
            _same_beam(c, self.reader.beam, result.beam, "result", "the load model's beam")
        if c.problems or scale is None:
            raise ModelError(c.problems)
        reads = [s.read for s in self.reader.sections]
        bands: dict[LaneQuantity, CodeBand] = {}
        for q, band in self.bands.items():
            added = [scale * v for v in result.solved.values(q, reads)]
            bands[q] = CodeBand([v + a for v, a in zip(band.max, added)], [v + a for v, a in zip(band.min, added)],
                                band.max_by, band.min_by)
        fixed = result.solved.reactions()
        index = {id(s): k for k, s in enumerate(self.reader.beam.supports)}
        reactions: dict[str, CodeBand] = {}
        for (label, band), support in zip(self.reactions.items(), self.reader.supports):
            ry = scale * fixed[index[id(support)]][1]
            reactions[label] = CodeBand([band.max[0] + ry], [band.min[0] + ry], band.max_by, band.min_by)
        return replace(self, bands=bands, reactions=reactions, fixed=self.fixed + ((result.solved, scale),))

    def __add__(self, other: Result) -> CodeEnvelope:
        """env + result (or result + env): plus(result)."""
        if not isinstance(cast(object, other), Result):
            return NotImplemented
        return self.plus(other)

    __radd__ = __add__

    def coincident(self, quantity: LaneQuantity, which: Which = "max") -> dict[LaneQuantity, list[float]]:
        """The other quantity (the moment with a shear, the shear with a moment) acting with
        the band's max (min) of `quantity` at each entry: the governing arrangement read
        again (the same axles, relieving ones left out as for `quantity`, the lane on
        `quantity`'s adverse parts)."""
        if quantity not in self.bands or which not in ("max", "min"):
            raise ModelError([Problem("quantity", f"give one of {', '.join(self.bands)} and 'max' or 'min', got "
                                                  f"{show(quantity)}, {show(which)}")])
        assert self.reader is not None
        band = self.bands[quantity]
        governing = band.max_by if which == "max" else band.min_by
        reads = [s.read for s in self.reader.sections]
        out: dict[LaneQuantity, list[float]] = {}
        for other in self.reader.lines:
            if other == quantity:
                continue
            added = [math.fsum(factor * solved.values(other, at) for solved, factor in self.fixed) for at in reads]
            out[other] = [self.reader.reading(quantity, other, which, e, g) + added[e] for e, g in enumerate(governing)]
        return out

    def extremes(self) -> dict[LaneQuantity, CodeExtreme]:
        """Per quantity the largest and smallest value over the beam, refined between mesh
        positions (to 1e-9 of the span, never below the mesh's own value; of equal ones
        the leftmost). The front axle stays on the step grid. Every position whose
        value comes within a margin of the top at mesh entries near it (the margin
        that bounds how far a fixed load can rise between mesh positions, as in
        Envelope.extremes()) is solved as a beam with the axles counted at that entry
        (relieving ones left out), its free axle and second train where they stand,
        and the lane on the entry's adverse parts less its clear zone, and searched
        exactly between the mesh positions either side (for a hogging case, where a
        uniform load still hogs the beam). The peak found is read again as the
        envelope reads any section (every case and position, the axles, free spacing,
        second train and lane decided there), and that governing arrangement is
        solved and searched again until the peak stays put: the value reported is
        the envelope's at its place, with what gives it there."""
        assert self.reader is not None
        out: dict[LaneQuantity, CodeExtreme] = {}
        for q, band in self.bands.items():
            (top, x_top, by_top), (bottom, x_bottom, by_bottom) = (self.reader.peak(q, band, which, self.fixed)
                                                                   for which in ("max", "min"))
            out[q] = CodeExtreme(top, x_top, by_top, bottom, x_bottom, by_bottom)
        return out

    def extremes_coincident(self, extremes: Mapping[LaneQuantity, CodeExtreme] | None = None
                            ) -> dict[LaneQuantity, dict[Which, dict[LaneQuantity, float]]]:
        """The other quantities acting with each of extremes() (given, or found), per
        quantity, "max" and "min": the arrangement that gives it as counted at its
        section (the axles, relieving ones left out, the free axle and second train
        where they stand, the lane on the section's adverse parts less its clear zone,
        the trailing load) solved as a beam, with the fixed results of plus() added,
        and read at the extreme's place on the side where it reaches the extreme (an
        axle standing there counts on its side of the section, as the envelope counts it)."""
        from .coincident import check_extremes
        assert self.reader is not None
        check_extremes(extremes, self.bands, CodeExtreme)
        found = self.extremes() if extremes is None else extremes
        out: dict[LaneQuantity, dict[Which, dict[LaneQuantity, float]]] = {}
        for q, e in found.items():
            band = self.bands[q]
            out[q] = {"max": self.reader.at_extreme(q, "max", band, e.max, e.x_max, e.max_by, self.fixed),
                      "min": self.reader.at_extreme(q, "min", band, e.min, e.x_min, e.min_by, self.fixed)}
        return out

    def lane_parts(self, q: LaneQuantity, which: Which, entry: int) -> list[tuple[float, float]]:
        """Where the lane stands for the max (min) of q at an entry."""
        return self.areas[q].parts(entry, self.lane_sign if which == "max" else -self.lane_sign)


@dataclass(frozen=True)
class LoadModel:
    """A code's load model: its cases, the envelope of which is the model's (see Case)."""

    name: str
    cases: tuple[Case, ...]

    def __or__(self, other: LoadModel) -> LoadModel:
        """model1 | model2: the worse of the two models everywhere (AS 5100's M1600 and
        S1600, say), as one model holding both models' cases, each named after its model."""
        if not isinstance(cast(object, other), LoadModel):
            return NotImplemented
        return LoadModel(f"{self.name} | {other.name}", tuple(
            replace(case, name=f"{model.name}: {case.name}")
            if isinstance(cast(object, case), Case) and " | " not in model.name else case  # a union's are named
            for model in (self, other) for case in model.cases))

    def run(self, beam: Beam, *, step: float = 0.1, n: int = 200, points: Sequence[float] = (),
            quantities: Sequence[LaneQuantity] = ("sf", "bm")) -> CodeEnvelope:
        """The envelope of every case over the beam (its own loads take no part): the
        front axle at every `step` both ways, the mesh as an envelope's (`n`, `points`);
        `quantities`: of "sf", "bm" and "d" (the deflection, its line read the same way;
        the rotation and the normal force are not built)."""
        checked(beam)
        c = Checker()
        _check_quantities(c, quantities)
        if not self.cases:
            c.add("cases", "a load model needs at least one case")
        elif all(isinstance(cast(object, case), Case) and case.applies == "hogging" for case in self.cases):
            # Elsewhere no case would give a value: every section needs one that applies.
            c.add("cases", "a load model needs a case that applies everywhere (applies='all'): a hogging case "
                           "applies only where a uniform load hogs the beam")
        for k, case in enumerate(self.cases):
            _check_case(c, case, f"cases[{k}]")
        if c.problems:
            raise ModelError(c.problems)
        size = c.positive(step, "step")
        c.count(n, "n")
        span = float(beam.span)
        from .envelopes import check_points
        check_points(c, span, points)
        positions = (span + max(_length(_on_beam(case, span)) for case in self.cases)) / size \
            if size is not None else 0.0
        if positions >= 100_000:
            c.add("step", f"{show(step)} makes more than 100,000 positions each way; give a longer step")
        elif not c.problems:
            # Every section is read at every position: an upper bound of the sections.
            sections = int(n) + len(points) + 2 * len(beam.supports) + 2
            if sections * positions > MAX_READINGS:
                c.add("step", f"{show(step)} with n = {n} reads about {sections * positions:.3g} values per "
                              f"case and direction, more than the {MAX_READINGS:,} held at once (a few hundred "
                              f"MB); give a longer step or a smaller n")
        if c.problems:
            raise ModelError(c.problems)
        import numpy as np
        model = replace(self, cases=tuple(_on_beam(case, span) for case in self.cases))
        with np.errstate(over="ignore", invalid="ignore"):  # an overflow is told by the finiteness check
            return _Run(beam, model, cast(float, size), n, points, tuple(dict.fromkeys(quantities))).envelope()


def _check_quantities(c: Checker, quantities: object) -> None:
    """The quantities a code model envelopes: a list of "sf", "bm" and "d"."""
    given = cast("Sequence[object]", quantities)
    if isinstance(quantities, (str, bytes)) or not isinstance(quantities, Sequence) or not given:
        c.add("quantities", f"must be a list of 'sf', 'bm' and 'd', got {show(given)}")
        return
    for k, q in enumerate(given):
        if q not in ("sf", "bm", "d"):
            c.add(f"quantities[{k}]", f"{show(q)} is not built in a code model: give 'sf', 'bm' or 'd'")


def _length(case: Case) -> float:
    """From the front axle to the rear one at their furthest apart."""
    train = case.train
    if not train.free:
        return math.fsum(train.spacings)
    return math.fsum(v for k, v in enumerate(train.spacings) if k != train.gap()) + train.free[1]


def _on_beam(case: Case, span: float) -> Case:
    """The case with a free spacing that has no upper end (inf) ending at the beam's
    length: a longer spacing leaves the axles behind it off the beam while those ahead
    are on it, as that length does, and with those ahead gone, the axles behind reach
    every place on the beam at that length too."""
    free = case.train.free
    if free is None or free[1] != math.inf:
        return case
    return replace(case, train=replace(case.train, free=(free[0], max(free[0], span))))


def _check_case(c: Checker, case: object, path: str) -> None:
    """Every problem of one case of a model of the caller's, under `path`."""
    if not isinstance(case, Case):
        c.add(path, f"is not a codes.Case: got {show(case)}")
        return
    train = cast(object, case.train)
    if not isinstance(train, Train):
        c.add(f"{path}.train", f"is not a codes.Train: got {show(train)}")
        return
    if not train.weights:
        c.add(f"{path}.train.weights", "needs at least one axle")
    for k, weight in enumerate(train.weights):
        c.finite(weight, f"{path}.train.weights[{k}]")
    if len(train.spacings) != max(len(train.weights) - 1, 0):
        c.add(f"{path}.train.spacings", f"{len(train.weights)} axles need {len(train.weights) - 1} spacings, "
                                        f"got {len(train.spacings)}")
    for k, spacing in enumerate(train.spacings):
        c.positive(spacing, f"{path}.train.spacings[{k}]")
    if train.free is not None:
        low, high = (c.positive(v, f"{path}.train.free[{k}]", rigid="up to the beam's length" if k else "")
                     for k, v in enumerate(train.free))
        if low is not None and high is not None and low > high:
            c.add(f"{path}.train.free", f"(least, largest) in that order, got {show(train.free)}")
        if len(train.weights) < 2:
            c.add(f"{path}.train.free", "a free spacing needs two axles or more")
        elif not (isinstance(cast(object, train.free_at), int) and -len(train.spacings) <= train.free_at < len(train.spacings)):
            c.add(f"{path}.train.free_at", f"must index one of the {len(train.spacings)} spacings, got "
                                           f"{show(train.free_at)}")
        if case.clear is not None or case.trailing or case.headway is not None:
            c.add(f"{path}.train.free", "a free spacing with a clear zone, a trailing load or a second train "
                                        "is not built")
    for name in ("axle_factor", "lane", "trailing"):
        c.finite(getattr(case, name), f"{path}.{name}")
    for name in ("trailing_gap",) + (("headway",) if case.headway is not None else ()):
        value = c.finite(getattr(case, name), f"{path}.{name}")
        if value is not None and value < 0:
            c.add(f"{path}.{name}", f"must be 0 or more, got {show(value)}")
    if case.clear is not None:
        for k, value in enumerate(case.clear):
            distance = c.finite(value, f"{path}.clear[{k}]")
            if distance is not None and distance < 0:
                c.add(f"{path}.clear[{k}]", f"must be 0 or more, got {show(value)}")
    if case.applies not in ("all", "hogging"):
        c.add(f"{path}.applies", f"must be 'all' or 'hogging', got {show(case.applies)}")


# --- evaluation ------------------------------------------------------------------------------


class _Lines:
    """Influence lines of many sections (or reactions) as cubics per piece between the
    beam's features, one for the load left of the section and one for it right of it."""

    def __init__(self, features: list[float], left: NDArray[np.float64], right: NDArray[np.float64],
                 at: NDArray[np.float64], span: float) -> None:
        import numpy as np
        from .lanes import _coefficients  # pyright: ignore[reportPrivateUsage]
        self.bp = np.array(features)
        self.mid = (self.bp[1:] + self.bp[:-1]) / 2
        self.half = (self.bp[1:] - self.bp[:-1]) / 2
        count, pieces = left.shape[:2]
        self.cl = _coefficients(left.reshape(-1, 4)).reshape(count, pieces, 4)
        self.cr = _coefficients(right.reshape(-1, 4)).reshape(count, pieces, 4)
        self.at = at[:, None, None]  # each section's position (NaN: a reaction, no section)
        self.span = span
        self.features = self.bp.tolist()  # for the one-position reads

    def rows(self, keep: NDArray[np.intp]) -> _Lines:
        """These lines at some of their sections (`keep`: their indices, in order)."""
        out = object.__new__(_Lines)
        out.__dict__.update(self.__dict__)
        out.cl, out.cr, out.at = self.cl[keep], self.cr[keep], self.at[keep]
        return out

    def values(self, x: NDArray[np.float64], hair: float) -> NDArray[np.float64]:
        """Ordinates (sections, *x.shape) of loads at x; a load on its section counts as
        just left of it for hair < 0, just right for hair > 0; off the beam 0. Piece by
        piece, each cubic evaluated for every section at once."""
        import numpy as np
        flat = x.reshape(-1)
        out = np.zeros((len(self.at), flat.size))
        at = self.at.reshape(-1, 1)
        last = len(self.mid) - 1
        # A load on a feature belongs to the piece on its side: where the section stands
        # on a support, the line jumps there.
        piece = np.clip(np.searchsorted(self.bp, flat, side="left" if hair < 0 else "right") - 1, 0, last)
        on = (flat >= self.bp[0]) & (flat <= self.bp[-1])  # off the beam: 0
        for p in range(last + 1):
            inside = (piece == p) & on
            index = np.flatnonzero(inside)
            if not index.size:
                continue
            where = flat[index]
            u = ((where - self.mid[p]) / self.half[p])[None, :]
            left, right = self.cl[:, p, :], self.cr[:, p, :]
            value_left = left[:, :1] + u * (left[:, 1:2] + u * (left[:, 2:3] + u * left[:, 3:4]))
            value_right = right[:, :1] + u * (right[:, 1:2] + u * (right[:, 2:3] + u * right[:, 3:4]))
            use_left = (where[None, :] < at) | ((where[None, :] == at) & (hair < 0))
            out[:, index] = np.where(use_left, value_left, value_right)
        return out.reshape((len(at), *x.shape))

    def own(self, x: NDArray[np.float64], hair: float) -> NDArray[np.float64]:
        """Each section's line at its own load positions x (sections, k), as values() reads them."""
        import numpy as np
        last = len(self.mid) - 1
        on = (x >= self.bp[0]) & (x <= self.bp[-1])
        x = np.where(on, x, self.bp[0])  # off the beam: 0, read nowhere
        piece = np.clip(np.searchsorted(self.bp, x, side="left" if hair < 0 else "right") - 1, 0, last)
        u = (x - self.mid[piece]) / self.half[piece]
        rows = np.arange(len(x))[:, None]
        at = self.at.reshape(-1, 1)
        left = (x < at) | ((x == at) & (hair < 0))
        c = np.where(left[..., None], self.cl[rows, piece], self.cr[rows, piece])
        value = c[..., 0] + u * (c[..., 1] + u * (c[..., 2] + u * c[..., 3]))
        return np.where(on, value, 0.0)

    def at_section(self, e: int, x: float, hair: float) -> float:
        """Section e's line at one load position, as values() reads it."""
        import bisect
        if not 0.0 <= x <= self.span:
            return 0.0
        find = bisect.bisect_left if hair < 0 else bisect.bisect_right
        p = min(max(find(self.features, x) - 1, 0), len(self.mid) - 1)
        u = (x - float(self.mid[p])) / float(self.half[p])
        s = float(self.at[e, 0, 0])
        c = self.cl[e, p] if x < s or (x == s and hair < 0) else self.cr[e, p]
        return float(c[0] + u * (c[1] + u * (c[2] + u * c[3])))


def _mesh(beam: Beam, features: list[float], n: int, points: Sequence[float]) -> tuple[list[float], list[Section]]:
    """Positions: the beam's features, points, evenly spaced ones no further apart than
    span / n; an interior support held twice (left, then right)."""
    span = float(beam.span)
    positions = set(features) | {float(p) for p in points}
    for a, b in zip(features, features[1:]):
        parts = math.ceil((b - a) / (span / n) - 1e-9)
        positions.update(a + (b - a) * i / parts for i in range(1, parts))
    twice = {float(s.x) for s in beam.supports if (s.ky != 0 or s.km != 0) and 0 < float(s.x) < span}
    x: list[float] = []
    for p in sorted(positions):
        x += [p, p] if p in twice else [p]
    below = math.nextafter
    sections = [Section(p, below(p, -math.inf) if p == span or (e + 1 < len(x) and x[e + 1] == p) else p)
                for e, p in enumerate(x)]
    return x, sections


class _Run:
    def __init__(self, beam: Beam, model: LoadModel, step: float, n: int, points: Sequence[float],
                 quantities: tuple[LaneQuantity, ...] = ("sf", "bm")) -> None:
        import numpy as np
        self.beam, self.model, self.step, self.quantities = beam, model, step, quantities
        self.span = float(beam.span)
        solver = solver_of(beam.with_loads([]))
        self.solver = solver
        self.surface = Surface(solver, "the beam alone: ")
        self.x, self.sections = _mesh(beam, self.surface.features, n, points)
        at = np.array([s.x for s in self.sections])
        self.lines: dict[LaneQuantity, _Lines] = {}
        self.areas: dict[LaneQuantity, Areas] = {}
        # The shear and the moment are always read: each is the other's coincident value.
        read: tuple[LaneQuantity, ...] = ("sf", "bm", "d") if "d" in quantities else ("sf", "bm")
        for q in read:
            left, right = self.surface.tensor(q, self.sections)
            self.lines[q] = _Lines(self.surface.features, left, right, at, self.span)
            self.areas[q] = areas(self.surface.lines(q, self.sections), len(self.sections))
        self.supports = [s for s in beam.supports if s.ky != 0]
        reaction_lines = self.surface.reactions([(float(s.x), 0.0) for s in self.supports])
        rows = reaction_lines.ordinates.reshape(len(self.surface.pieces), 2 * len(self.supports), 4)[:, 0::2, :]
        ry = np.ascontiguousarray(rows.transpose(1, 0, 2))
        self.lines_ry = _Lines(self.surface.features, ry, ry, np.full(len(self.supports), np.nan), self.span)
        self.areas_ry = areas(_only_ry(reaction_lines), len(self.supports))
        # Where a uniform load on the whole beam hogs it, between points of contraflexure:
        # the hogging cases' sections. A stretch reaching a free end (an overhang) has
        # no point of contraflexure on that side and is left out.
        self.uniform = solver.solve([("udl", [-1.0, 0.0, self.span, 90.0])], name="a uniform load: ")
        self.mesh_moments = self.uniform.values("bm", [s.read for s in self.sections])
        self.hogging = _between_contraflexures(self.mesh_moments,
                                               {float(s.x) for s in beam.supports}, self.x, self.span)
        self.interior = np.array([0 < float(s.x) < self.span for s in self.supports])

    def envelope(self) -> CodeEnvelope:
        bands: dict[LaneQuantity, CodeBand] = {}
        for q in self.quantities:
            results = [self._case(case, self.lines[q], self.areas[q], self._mask(case, q)) for case in self.model.cases]
            bands[q] = _combined(results)
        reactions: dict[str, CodeBand] = {}
        results = [self._case(case, self.lines_ry, self.areas_ry,
                              (self.interior, self.interior) if case.applies == "hogging" else None)
                   for case in self.model.cases]
        combined = _combined(results)
        for k, support in enumerate(self.supports):
            label = support.label or f"{float(support.x):g}"
            reactions[label] = CodeBand([combined.max[k]], [combined.min[k]], [combined.max_by[k]], [combined.min_by[k]])
        lane = next((case.lane for case in self.model.cases if case.lane), 1.0)
        return CodeEnvelope(self.model.name, self.x, bands, reactions, self.areas, 1.0 if lane >= 0 else -1.0, self)

    def lines_at(self, q: LaneQuantity, sections: Sequence[Section]) -> tuple[_Lines, Areas]:
        """q's lines and their areas at any sections."""
        import numpy as np
        left, right = self.surface.tensor(q, sections)
        at = np.array([s.x for s in sections])
        return (_Lines(self.surface.features, left, right, at, self.span),
                areas(self.surface.lines(q, sections), len(sections)))

    def hogging_at(self, xs: Sequence[float]) -> NDArray[np.bool_]:
        """Where a uniform load on the whole beam hogs it between points of contraflexure,
        at any positions: hogging there and not on a run of the mesh left out (one that
        reaches a free end)."""
        import bisect

        import numpy as np
        moments = self.uniform.values("bm", list(xs))
        out = np.zeros(len(xs), dtype=bool)
        for i, (x, m) in enumerate(zip(xs, moments)):
            left = max(bisect.bisect_right(self.x, x) - 1, 0)
            right = min(bisect.bisect_left(self.x, x), len(self.x) - 1)
            overhang = any(self.mesh_moments[e] < 0 and not self.hogging[e] for e in (left, right))
            out[i] = m < 0 and not overhang
        return out

    def _masks(self, q: LaneQuantity, hogging: NDArray[np.bool_]) -> dict[Applies, tuple[NDArray[np.bool_], NDArray[np.bool_]] | None]:
        import numpy as np
        none = np.zeros(len(hogging), dtype=bool)
        return {"all": None, "hogging": (none, hogging) if q == "bm" else (none, none)}

    def band_at(self, q: LaneQuantity, xs: Sequence[float]) -> tuple[CodeBand, _Lines, Areas]:
        """The envelope of every case at sections anywhere (each read just right of its
        place), with the lines and areas read there."""
        lines, found = self.lines_at(q, [Section(x, x) for x in xs])
        masks = self._masks(q, self.hogging_at(xs))
        return _combined([self._case(case, lines, found, masks[case.applies]) for case in self.model.cases]), lines, found

    def peak(self, q: LaneQuantity, band: CodeBand, which: Which,
             fixed: Sequence[tuple[SolvedBeam, float]]) -> tuple[float, float, Governing]:
        """The band's max (min) over the beam, what gives it and where (see CodeEnvelope.extremes)."""
        from .envelopes import MARGIN
        sign = 1.0 if which == "max" else -1.0
        values, governing = (band.max, band.max_by) if which == "max" else (band.min, band.min_by)
        signed = [sign * v for v in values]
        top = max(signed)
        e = signed.index(top)
        scale = max(max(map(abs, band.max)), max(map(abs, band.min)))
        gap = max(b - a for a, b in zip(self.x, self.x[1:]))
        shortest = min(b - a for a, b in self.beam.spans())
        margin = min(1.0, max(MARGIN, 4 * gap / shortest))  # point loads between mesh positions: linear in the gap
        tasks = self._reaching(q, sign, values, top - margin * scale, fixed)
        peaks = [(top, self.x[e], governing[e])] + self._search(q, sign, tasks, fixed)
        best = max(p[0] for p in peaks)
        value, x, by = min((p for p in peaks if p[0] >= best - 1e-12 * scale), key=lambda p: p[1])
        if x not in self.x:  # the envelope there, every case and position: another may give it
            band, _, _ = self.band_at(q, [x])
            read = sign * ((band.max if sign > 0 else band.min)[0] + _fixed_at(fixed, q, x))
            if read > value:
                value, by = read, (band.max_by if sign > 0 else band.min_by)[0]
        return sign * max(value, top), x, by

    def _reaching(self, q: LaneQuantity, sign: float, values: Sequence[float], least: float,
                  fixed: Sequence[tuple[SolvedBeam, float]]) -> list[tuple[int, Governing]]:
        """Every position (of every case and direction) whose value comes within `least`
        (signed) at mesh entries, with the entries to search from: where its value is
        not below its value at the entries either side that also come within it."""
        import numpy as np
        near = [e for e, v in enumerate(values) if sign * v >= least]  # NaN (no case applies): never
        lines, found = self.lines_at(q, [self.sections[e] for e in near])
        masks = self._masks(q, self.hogging[near])
        added = np.array([_fixed_at(fixed, q, self.sections[e].read) for e in near])
        tasks: list[tuple[int, Governing]] = []
        for case in self.model.cases:
            mask = masks[case.applies]
            applies = np.ones(len(near), dtype=bool) if mask is None else mask[0 if sign > 0 else 1]
            if not applies.any():  # a hogging case, sought where it does not apply
                continue
            # Where every part a case may add is of the sign sought, a value of exactly 0 has
            # nothing counted: an empty beam, whose search stops at its window's start, a mesh
            # position, and is dropped (a simple span's hogging: every position, every entry).
            only_adverse = case.train.neglect_relieving and case.clear is None and not case.trailing and \
                case.applies == "all" and not fixed
            for ways in self._positions(case, lines, found, signs=(sign,)):
                rows = np.where(applies[:, None], sign * (ways.effect[sign] + added[:, None]), -np.inf)
                reached = (rows >= least) & (rows != 0.0) if only_adverse else rows >= least
                for j in np.flatnonzero(reached.any(axis=0)):
                    column = {near[i]: float(rows[i, j]) for i in np.flatnonzero(reached[:, j])}
                    tasks += [(e, ways.governing(self, case, sign, near.index(e), int(j))) for e, v in column.items()
                              if v >= column.get(e - 1, -math.inf) and v >= column.get(e + 1, -math.inf)]
        return tasks

    def _search(self, q: LaneQuantity, sign: float, tasks: Sequence[tuple[int, Governing]],
                fixed: Sequence[tuple[SolvedBeam, float]]) -> list[tuple[float, float, Governing]]:
        """For each (entry, arrangement), the largest signed value between the mesh
        positions either side of the entry: the arrangement solved with its loads as
        counted at the entry and searched exactly, the peak read again as the envelope
        reads it, and its governing arrangement searched in turn until the peak stays
        put (each round's value the envelope's at its place, never below the round
        before); the rounds of all tasks read the envelope in one call."""
        import bisect

        from .extremes import samples_for
        if not tasks:
            return []
        positions = sorted(set(self.x))
        count = samples_for(2)
        windows: list[tuple[float, float]] = []
        context: list[tuple[Governing, _Lines, Areas, int]] = []
        for e, by in tasks:  # the entry's own lines: many tasks share an entry
            k = bisect.bisect_left(positions, self.x[e])
            a, b = positions[max(k - 1, 0)], positions[min(k + 1, len(positions) - 1)]
            if self.model.cases[by.case_index].applies == "hogging":
                a, b = self._hogging_window(a, self.x[e], b)
            windows.append((a, b))
            context.append((by, self.lines[q], self.areas[q], e))
        best: list[tuple[float, float, Governing]] = [(-math.inf, math.nan, by) for _, by in tasks]
        active = list(range(len(tasks)))
        permanent = [x for solved, _ in fixed for x in solved.features()]  # where the added results change
        mesh = set(self.x)
        searched: dict[tuple[str, float, float], float] = {}
        for _ in range(6):
            if not active:
                break
            xs: list[float] = []
            for t in active:
                loads, features = self._loads(q, sign, *context[t])
                a, b = windows[t]
                key = (repr(loads), a, b)  # the same loads in the same window: the same peak, solved once
                if key not in searched:
                    solved = self.solver.solve(loads, name="a code model's arrangement: ")
                    inside = sorted({x for x in features + permanent if a < x < b})
                    # The arrangement with the added results, summed value by value in the core.
                    searched[key] = solved.peak(q, [a, *inside, b], sign, count, self.span, tuple(fixed))[1]
                xs.append(searched[key])
            fresh = [(t, x, context[t][0]) for t, x in zip(active, xs) if x not in mesh]  # a window's end: the mesh's
            still: list[int] = []
            for (t, x, _), (value, by, there) in zip(fresh, self._own(q, sign, fresh)):
                value += _fixed_at(fixed, q, x)
                if there is None or not sign * value >= best[t][0]:  # rounding only, or not where the case applies
                    continue
                moved = math.isnan(best[t][1]) or abs(x - best[t][1]) > 1e-12 * self.span
                best[t] = (sign * value, x, by)
                if moved:
                    context[t] = (by, *there)
                    still.append(t)
            active = still
        return [p for p in best if not math.isnan(p[1])]

    def _own(self, q: LaneQuantity, sign: float, items: Sequence[tuple[int, float, Governing]]
             ) -> list[tuple[float, Governing, tuple[_Lines, Areas, int] | None]]:
        """Each (task, x, arrangement): the value at x of the arrangement's case with its
        front axle where it stands (its axles, free spacing, second train and lane
        decided at x; -inf times sign where the case does not apply there), what gives
        it, and the lines at x with x's row. Read per case and direction at once."""
        import numpy as np
        out: list[tuple[float, Governing, tuple[_Lines, Areas, int] | None]] = [
            (-sign * math.inf, by, None) for _, _, by in items]
        groups: dict[int, list[int]] = {}
        for n, (_, _, by) in enumerate(items):
            groups.setdefault(by.case_index, []).append(n)
        for index, members in groups.items():
            case = self.model.cases[index]
            xs = [items[n][1] for n in members]
            lines, found = self.lines_at(q, [Section(x, x) for x in xs])
            mask = self._masks(q, self.hogging_at(xs))[case.applies]
            columns = [self._column(case, by) for _, _, by in (items[n] for n in members)]
            # Each section is read at its own position only: in blocks, so that the positions
            # times the sections read stay few (all of them at once: every x at every position).
            for block in range(0, len(members), _OWN_BLOCK):
                rows = np.arange(block, min(block + _OWN_BLOCK, len(members)))
                wanted: dict[Direction, set[int]] = {}
                for row in rows:
                    wanted.setdefault(items[members[row]][2].direction, set()).add(columns[row])
                only: dict[Direction, NDArray[np.int_]] = {d: np.array(sorted(c), dtype=np.int_)
                                                           for d, c in wanted.items()}
                for ways in self._positions(case, lines.rows(rows), found.rows(rows), only, (sign,)):
                    grid = only[ways.direction]
                    for k, row in enumerate(rows):
                        n = members[row]
                        if items[n][2].direction != ways.direction:
                            continue
                        if mask is not None and not mask[0 if sign > 0 else 1][row]:
                            continue
                        j = int(np.searchsorted(grid, columns[row]))
                        out[n] = (float(ways.effect[sign][k, j]), ways.governing(self, case, sign, k, j),
                                  (lines, found, int(row)))
        return out

    def _column(self, case: Case, by: Governing) -> int:
        """The index of an arrangement's front axle on its direction's step grid."""
        return round((by.front if by.direction == "forward" else self.span - by.front) / self.step)

    def _hogging_window(self, a: float, at: float, b: float) -> tuple[float, float]:
        """The part of [a, b] around `at` (a hogging entry) where a uniform load still hogs
        the beam: each end where it sags moved in to the point of contraflexure."""
        def hogs(x: float) -> bool:
            return bool(self.uniform.values("bm", x) < 0)

        def inward(out: float, inner: float) -> float:
            for _ in range(200):
                mid = 0.5 * (out + inner)
                if abs(inner - out) <= 1e-13 * self.span or not min(out, inner) < mid < max(out, inner):
                    break
                out, inner = (out, mid) if hogs(mid) else (mid, inner)
            return inner
        return (a if hogs(a) else inward(a, at)), (b if hogs(b) else inward(b, at))

    def _loads(self, q: LaneQuantity, sign: float, by: Governing, lines: _Lines, found: Areas,
               i: int, section: float | None = None) -> tuple[list[RawLoad], list[float]]:
        """An arrangement's loads as counted at section i of lines (relieving axles left
        out, the lane on the adverse parts there less the clear zone, the trailing load),
        and where they start and end; an axle standing on `section` left out."""
        case = self.model.cases[by.case_index]
        loads: list[RawLoad] = []
        features: list[float] = []
        for x, weight, _ in self._counted(sign, by, lines, i):
            if 0.0 <= x <= self.span and x != section:
                loads.append(("point", [-weight, x, 90.0]))
                features.append(x)
        for w, stretches in self._distributed(case, by, found, i, sign):
            for lo, hi in stretches:
                if hi > lo:
                    loads.append(("udl", [-w, lo, hi, 90.0]))
                    features += [lo, hi]
        return loads, features

    def _counted(self, sign: float, by: Governing, lines: _Lines, i: int) -> list[tuple[float, float, float]]:
        """An arrangement's axles as counted at section i of lines: each on its side of the
        section (the worse one where either may be taken), relieving ones left out where
        the case says so."""
        case = self.model.cases[by.case_index]
        counted: list[tuple[float, float, float]] = []
        for x, weight, side in by.axles:
            if side == 0.0:  # the worse of the two sides
                side = max((-1.0, 1.0), key=lambda h: sign * weight * lines.at_section(i, x, h))
            if case.train.neglect_relieving and not sign * weight * lines.at_section(i, x, side) > 0:
                continue
            counted.append((x, weight, side))
        return counted

    def _distributed(self, case: Case, by: Governing, found: Areas, i: int,
                     sign: float) -> list[tuple[float, list[tuple[float, float]]]]:
        """The lane (on section i's adverse parts, less the clear zone) and the trailing
        load of an arrangement: each per length with its stretches."""
        back = -1.0 if by.direction == "forward" else 1.0
        length = math.fsum(case.train.spacings)
        out: list[tuple[float, list[tuple[float, float]]]] = []
        if case.lane:
            stretches = found.parts(i, sign if case.lane > 0 else -sign)
            if case.clear is not None:
                behind, ahead = case.clear
                ends = (by.front - back * ahead, by.front + back * (length + behind))
                stretches = outside(stretches, min(ends), max(ends))
            out.append((case.lane, stretches))
        if case.trailing:
            start = by.front + back * (length + case.trailing_gap)
            out.append((case.trailing, [(0.0, min(start, self.span)) if back < 0 else (max(start, 0.0), self.span)]))
        return out

    def reading(self, q: LaneQuantity, other: LaneQuantity, which: Which, e: int, governing: Governing) -> float:
        """`other` at entry e under the arrangement that gives q's max (min) there."""
        case = self.model.cases[governing.case_index]
        sign = 1.0 if which == "max" else -1.0
        read = self.lines[other]
        total = 0.0
        for x, weight, side in self._counted(sign, governing, self.lines[q], e):
            total += weight * read.at_section(e, x, side)
        for w, stretches in self._distributed(case, governing, self.areas[q], e, sign):
            total += w * self.areas[other].over(e, stretches)
        return total

    def at_extreme(self, q: LaneQuantity, which: Which, band: CodeBand, value: float, x: float, by: Governing,
                   fixed: Sequence[tuple[SolvedBeam, float]]) -> dict[LaneQuantity, float]:
        """The other quantities acting with an extreme of q (value at x, given by `by`): the
        arrangement as counted at its section (the mesh entry holding it, or a section
        at x) solved, the fixed results added, read where the envelope reads that
        section. An axle standing on the section is read on the section's influence
        lines instead, on the side it counts on (where the envelope counts it: a hair to
        that side, or inside the beam at its ends, whichever side of a jump that is)."""
        sign = 1.0 if which == "max" else -1.0
        entry = self._entry_of(band, which, value, x, by)
        section = self.sections[entry] if entry is not None else Section(x, x)

        def lines_of(quantity: LaneQuantity) -> tuple[_Lines, Areas, int]:
            return (self.lines[quantity], self.areas[quantity], entry) if entry is not None else \
                (*self.lines_at(quantity, [section]), 0)
        lines, found, i = lines_of(q)
        loads, _ = self._loads(q, sign, by, lines, found, i, section.x)
        standing = [(p, weight, side) for p, weight, side in self._counted(sign, by, lines, i) if p == section.x]
        solved = self.solver.solve(loads, name="a code model's arrangement: ")
        out: dict[LaneQuantity, float] = {}
        for other in self.lines:
            if other != q:
                read, _, k = lines_of(other) if standing else (lines, found, i)
                on = math.fsum(weight * read.at_section(k, p, side) for p, weight, side in standing)
                out[other] = solved.values(other, section.read) + on + _fixed_at(fixed, other, section.read)
        return out

    def _entry_of(self, band: CodeBand, which: Which, value: float, x: float, by: Governing) -> int | None:
        """The mesh entry holding an extreme (at x, that value, given by `by`), if any."""
        values, governing = (band.max, band.max_by) if which == "max" else (band.min, band.min_by)
        return next((e for e, (p, v, g) in enumerate(zip(self.x, values, governing)) if p == x and v == value
                     and g == by), None)

    def _mask(self, case: Case, q: LaneQuantity) -> tuple[NDArray[np.bool_], NDArray[np.bool_]] | None:
        """Where a case counts, for max and for min (None: everywhere)."""
        import numpy as np
        if case.applies == "all":
            return None
        none = np.zeros(len(self.sections), dtype=bool)
        return (none, self.hogging) if q == "bm" else (none, none)

    def _case(self, case: Case, lines: _Lines, lane_areas: Areas,
              mask: tuple[NDArray[np.bool_], NDArray[np.bool_]] | None) -> _Result:
        import numpy as np
        sections = len(lines.at)
        sides: tuple[tuple[Which, float], ...] = (("max", 1.0), ("min", -1.0))
        top = {sign: np.full(sections, -np.inf) for _, sign in sides}
        top_by = {sign: [Governing(case.name, "forward", 0.0)] * sections for _, sign in sides}
        for ways in self._positions(case, lines, lane_areas):
            for _, sign in sides:
                signed = sign * ways.effect[sign]
                where = signed.argmax(axis=1)
                got = signed[np.arange(sections), where]
                for i in np.flatnonzero(got > top[sign]):
                    top[sign][i] = got[i]
                    top_by[sign][i] = ways.governing(self, case, sign, int(i), int(where[i]))
        if not all(np.isfinite(top[sign]).all() for _, sign in sides):
            raise ModelError([Problem(f"cases[{self.model.cases.index(case)}]",
                                      f"({case.name}) its effect overflows a double: give smaller loads")])
        best: dict[Which, tuple[NDArray[np.float64], list[Governing]]] = {}
        for which, sign in sides:
            value_of = sign * top[sign]
            if mask is not None:
                value_of = np.where(mask[0] if which == "max" else mask[1], value_of, np.nan)
            best[which] = (value_of, top_by[sign])
        return _Result(best["max"][0], best["min"][0], best["max"][1], best["min"][1])

    def _positions(self, case: Case, lines: _Lines, lane_areas: Areas,
                   only: dict[Direction, NDArray[np.int_]] | None = None,
                   signs: tuple[float, ...] = (1.0, -1.0)) -> Iterator[_Ways]:
        """Per direction, the case's value at every section (rows) for every position of
        its front axle on the step grid (columns), for the max (sign 1) and for the min
        (-1) or only the `signs` given; `only`: the directions and positions wanted."""
        import numpy as np
        train = case.train
        weights = np.array(train.weights) * case.axle_factor
        offsets = np.array(train.offsets())
        gap = train.gap() if train.free else len(train.spacings)
        fixed, fixed_offsets = weights[:gap + 1], offsets[:gap + 1]  # ahead of the free spacing: all with none
        length = _length(case)
        every = np.arange(math.floor((self.span + length) / self.step + 1e-9) + 1)
        sections = len(lines.at)
        # Where an axle (or a free axle's window end) stands exactly on a section or a
        # feature, the train a hair further on differs: only those positions are read
        # again for that side (the others are the same; half the reading measured).
        special = np.union1d(lines.at.reshape(-1), lines.bp)
        special = special[~np.isnan(special)]
        directions: tuple[Direction, ...] = ("forward", "backward")
        for direction in directions:
            if only is not None and direction not in only:
                continue
            k = every if only is None else only[direction]
            count = len(k)
            front: NDArray[np.float64] = (k * self.step if direction == "forward"
                                          else self.span - k * self.step).astype(np.float64)
            back = -1.0 if direction == "forward" else 1.0
            touching = np.flatnonzero(np.isin(front[:, None] + back * fixed_offsets[None, :], special).any(axis=1))
            ways = _Ways(direction, front,
                         {sign: np.full((sections, count), -np.inf) for sign in signs},
                         {sign: np.full((sections, count), -1.0) for sign in signs},
                         {sign: np.zeros((sections, count)) for sign in signs},
                         {sign: np.full((sections, count), math.nan) for sign in signs})
            # The second train's worst place behind each position: apart from the first's hair.
            seconds = {sign: self._second(case, lines, lane_areas, front, back, sign)
                       for sign in signs} if case.headway is not None else None
            # The axles behind a free spacing: their worst place, apart from the hair too.
            rear = {sign: self._rear(train, lines, lane_areas, front, back, sign, weights, offsets)
                    for sign in signs} if train.free else None
            first: dict[float, tuple[NDArray[np.float64], NDArray[np.float64]]] = {}
            for hair in (-1.0, 1.0):
                columns = np.arange(count) if hair < 0 else touching
                value = {sign: first[sign][0].copy() if hair > 0 else np.zeros((sections, count)) for sign in signs}
                place = {sign: first[sign][1].copy() if hair > 0 else np.zeros((sections, count)) for sign in signs}
                for block in range(0, len(columns), _BLOCK):
                    part = columns[block:block + _BLOCK]
                    axles = front[part, None] + back * fixed_offsets[None, :]
                    ordinates = lines.values(axles, hair) * fixed[None, None, :]
                    for sign in signs:
                        kept = np.maximum(sign * ordinates, 0.0) * sign if train.neglect_relieving else ordinates
                        value[sign][:, part] = kept.sum(axis=2)
                        if rear is not None:
                            value[sign][:, part] += rear[sign][0][:, part]
                            place[sign][:, part] = rear[sign][1][:, part]
                if hair < 0:
                    first = {sign: (value[sign].copy(), place[sign].copy()) for sign in signs}
                for sign in signs:
                    total, second = value[sign], np.full((sections, count), math.nan)
                    if seconds is not None:  # the second train's axles; the lane once
                        total, second = total + seconds[sign][0], seconds[sign][1]
                    total = total + self._lane(case, lane_areas, lines, front, back, train, sign)
                    better = (sign * total > sign * ways.effect[sign]) | np.isinf(ways.effect[sign])
                    ways.effect[sign] = np.where(better, total, ways.effect[sign])
                    ways.hairs[sign] = np.where(better, hair, ways.hairs[sign])
                    ways.places[sign] = np.where(better, place[sign], ways.places[sign])
                    ways.seconds[sign] = np.where(better, second, ways.seconds[sign])
            yield ways

    def _governing(self, case: Case, direction: Direction, front: NDArray[np.float64], j: int, hair: float,
                   place: float, second: float) -> Governing:
        """What gives a value: the case's arrangement with its front axle at front[j]."""
        train = case.train
        back = -1.0 if direction == "forward" else 1.0
        factor = case.axle_factor
        at = float(front[j])
        offsets = train.offsets()
        count = train.gap() + 1 if train.free else len(train.weights)
        axles = [(at + back * offsets[i], factor * train.weights[i], hair) for i in range(count)]
        detail = ""
        if train.free:  # the axles behind it on the worse side of the section, as placed
            axles += [(place + back * (offsets[i] - offsets[count]), factor * train.weights[i], 0.0)
                      for i in range(count, len(train.weights))]
            which = "last spacing" if count == len(train.spacings) else f"spacing {count}"
            detail = f"{which} {abs(place - (at + back * offsets[count - 1])):.4g}"
        if case.headway is not None:
            detail = f"a second train {case.headway:g} or more behind"
            if not math.isnan(second):  # exactly placed: an axle on the section counts on its worse side
                lead = second
                axles += [(lead + back * offset, factor * weight, 0.0) for offset, weight in zip(offsets, train.weights)]
                detail = f"a second train {abs(at - lead) - math.fsum(train.spacings):.4g} behind"
        index = self.model.cases.index(case)
        return Governing(case.name, direction, at, detail, tuple(axles), hair, index)

    def _second(self, case: Case, lines: _Lines, lane_areas: Areas, front: NDArray[np.float64], back: float,
                sign: float) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """A second train `headway` or more behind the first at each position: per section
        and position its worst value there (none of it on the beam: 0) and its front
        axle's place: the whole train as a group anywhere from the least headway to
        beyond the beam."""
        import numpy as np
        train = case.train
        assert case.headway is not None
        weights = np.array(train.weights) * case.axle_factor
        offsets = np.array(train.offsets())
        end = front + back * (math.fsum(train.spacings) + case.headway)
        gone = np.full_like(front, -math.fsum(train.spacings) - 1.0 if back < 0 else self.span + math.fsum(train.spacings) + 1.0)
        value, place = self._group(lines, lane_areas, weights, offsets, back, sign, train.neglect_relieving, end, gone)
        adds = value > 0
        return sign * np.where(adds, value, 0.0), np.where(adds, place, np.nan)

    def _rear(self, train: Train, lines: _Lines, lane_areas: Areas, front: NDArray[np.float64], back: float,
              sign: float, weights: NDArray[np.float64],
              offsets: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """The axles behind the free spacing at their worst place within its range: per
        section and position their value and their lead axle's place."""
        import numpy as np
        assert train.free is not None
        gap = train.gap()
        anchor = front + back * offsets[gap]
        near, far = (anchor + back * spacing for spacing in train.free)
        value, place = self._group(lines, lane_areas, weights[gap + 1:], offsets[gap + 1:] - offsets[gap + 1], back,
                                   sign, train.neglect_relieving, near, far)
        return sign * value, np.where(np.isfinite(value), place, np.nan)

    def _group(self, lines: _Lines, lane_areas: Areas, weights: NDArray[np.float64], offsets: NDArray[np.float64],
               back: float, sign: float, relieving: bool, near: NDArray[np.float64],
               far: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
        """Axles that move together (offsets from their lead axle) with the lead anywhere
        between near and far (per position): per section and position their worst signed
        value and the lead's place. Their value as the lead moves is one cubic between
        the places where an axle meets a feature, the section or a zero of the line
        (where a relieving axle drops out), so its worst over a window is at the
        window's ends, at one of those places or where a cubic turns: all read (an axle
        on the section on its worse side), then the worst inside each window taken."""
        import numpy as np
        sections = len(lines.at)
        where = _breaks(lines, lane_areas)  # (sections, k): features, the section, zeros
        starts = (where[:, :, None] - back * offsets[None, None, :]).reshape(sections, -1)
        starts = np.sort(np.where(np.isnan(starts), np.inf, starts), axis=1)
        lo, hi = starts[:, :-1], starts[:, 1:]
        inner = np.isfinite(lo) & np.isfinite(hi) & (hi > lo)
        lo, hi = np.where(inner, lo, 0.0), np.where(inner, hi, 0.0)
        ts = np.array([0.2, 0.4, 0.6, 0.8])
        samples = lo[:, :, None] + (hi - lo)[:, :, None] * ts[None, None, :]
        values = self._train_rows(lines, samples.reshape(sections, -1), weights, offsets, back, sign, -1.0, relieving)
        coefficients = values.reshape(sections, -1, 4) @ np.linalg.inv(np.vander(ts, 4, increasing=True)).T
        c1, c2, c3 = coefficients[:, :, 1], 2 * coefficients[:, :, 2], 3 * coefficients[:, :, 3]
        turns: list[NDArray[np.float64]] = []
        with np.errstate(divide="ignore", invalid="ignore"):
            root = np.sqrt(np.where(c2 * c2 - 4 * c3 * c1 >= 0, c2 * c2 - 4 * c3 * c1, np.nan))
            for t in ((-c2 + root) / (2 * c3), (-c2 - root) / (2 * c3), -c1 / c2):
                t = np.where(inner & (t > 0) & (t < 1), t, np.nan)
                turns.append(lo + (hi - lo) * t)
        places = np.concatenate([np.where(np.isfinite(starts), starts, np.nan), *turns], axis=1)
        both = np.maximum(*(self._train_rows(lines, np.nan_to_num(places, nan=-1e300), weights, offsets, back,
                                             sign, hair, relieving) for hair in (-1.0, 1.0)))
        both = np.where(np.isnan(places), -np.inf, both)
        order = np.argsort(np.where(np.isnan(places), np.inf, places), axis=1)
        ranked = np.take_along_axis(both, order, axis=1)
        placed = np.take_along_axis(places, order, axis=1)
        value = np.full((sections, len(near)), -np.inf)
        place = np.full((sections, len(near)), np.nan)
        for end in (near, far):
            at_end = self._train_ends(lines, end, weights, offsets, back, sign, relieving)
            better = at_end > value
            value, place = np.where(better, at_end, value), np.where(better, end[None, :], place)
        inside, there = _window_best(ranked, placed, np.minimum(near, far), np.maximum(near, far))
        better = inside > value
        return np.where(better, inside, value), np.where(better, there, place)

    def _train_rows(self, lines: _Lines, fronts: NDArray[np.float64], weights: NDArray[np.float64],
                    offsets: NDArray[np.float64], back: float, sign: float, hair: float,
                    relieving: bool) -> NDArray[np.float64]:
        """A train's signed value (relieving axles left out where the train says so) with
        its front at each section's own places (sections, k)."""
        import numpy as np
        total = np.zeros_like(fronts)
        for weight, offset in zip(weights, offsets):
            v = sign * weight * lines.own(fronts + back * offset, hair)
            total += np.maximum(v, 0.0) if relieving else v
        return total

    def _train_ends(self, lines: _Lines, fronts: NDArray[np.float64], weights: NDArray[np.float64],
                    offsets: NDArray[np.float64], back: float, sign: float, relieving: bool) -> NDArray[np.float64]:
        """_train_at on the worse side where an axle stands on a section or a feature (read
        again only there: elsewhere both sides are the same; a third of the model's run)."""
        import numpy as np
        out = self._train_at(lines, fronts, weights, offsets, back, sign, -1.0, relieving)
        special = np.union1d(lines.at.reshape(-1), lines.bp)
        touching = np.flatnonzero(np.isin(fronts[:, None] + back * offsets[None, :], special).any(axis=1))
        if touching.size:
            again = self._train_at(lines, fronts[touching], weights, offsets, back, sign, 1.0, relieving)
            out[:, touching] = np.maximum(out[:, touching], again)
        return out

    def _train_at(self, lines: _Lines, fronts: NDArray[np.float64], weights: NDArray[np.float64],
                  offsets: NDArray[np.float64], back: float, sign: float, hair: float,
                  relieving: bool) -> NDArray[np.float64]:
        """_train_rows with every section's front at the same places (sections, len(fronts))."""
        import numpy as np
        total = np.zeros((len(lines.at), len(fronts)))
        for weight, offset in zip(weights, offsets):
            v = sign * weight * lines.values(fronts + back * offset, hair)
            total += np.maximum(v, 0.0) if relieving else v
        return total

    def _lane(self, case: Case, lane_areas: Areas, lines: _Lines, front: NDArray[np.float64], back: float,
              train: Train, sign: float) -> NDArray[np.float64]:
        """The lane on the parts of the sign sought, less its part in the clear zone, and the
        trailing load: per section and position."""
        import numpy as np
        sections = len(lines.at)
        out = np.zeros((sections, len(front)))
        length = math.fsum(train.spacings)
        if case.lane:
            lane_sign = sign if case.lane > 0 else -sign
            area = lane_areas.positive if lane_sign > 0 else lane_areas.negative
            out += case.lane * area[:, None]
            if case.clear is not None:
                behind, ahead = case.clear
                ends = (front - back * ahead, front + back * (length + behind))
                lo, hi = np.minimum(*ends), np.maximum(*ends)
                cleared = lane_areas.upto(hi, lane_sign) - lane_areas.upto(lo, lane_sign)
                out -= case.lane * cleared
        if case.trailing:
            start = front + back * (length + case.trailing_gap)
            whole = lane_areas.upto(np.full_like(front, self.span), 0.0)
            before = lane_areas.upto(np.clip(start, 0.0, self.span), 0.0)
            out += case.trailing * (before if back < 0 else whole - before)
        return out


def _between_contraflexures(moments: Sequence[float], supported: set[float], x: Sequence[float],
                            span: float) -> NDArray[np.bool_]:
    """The entries where the moments are negative, but for a run of them that reaches an
    end of the beam with no support there."""
    import numpy as np
    hogging = np.array(moments) < 0
    runs: list[list[int]] = []
    for e, negative in enumerate(hogging):
        if negative and runs and runs[-1][-1] == e - 1:
            runs[-1].append(e)
        elif negative:
            runs.append([e])
    for run in runs:
        free_start = run[0] == 0 and 0.0 not in supported
        free_end = run[-1] == len(x) - 1 and span not in supported
        if free_start or free_end:
            hogging[run] = False
    return hogging


def _fixed_at(fixed: Sequence[tuple[SolvedBeam, float]], q: LaneQuantity, x: float) -> float:
    """The fixed results added to an envelope (plus()), at x."""
    return math.fsum(factor * solved.values(q, x) for solved, factor in fixed)


def _breaks(lines: _Lines, found: Areas) -> NDArray[np.float64]:
    """Per section, where its line may change its cubic or its sign: the beam's features,
    the section, the line's zeros (NaN padding)."""
    import numpy as np
    count = len(lines.at)
    zeros = found.cuts[:, 1:4]
    rows = np.repeat(found.lines.section, 3)
    flat = zeros.reshape(-1)
    keep = ~np.isnan(flat)
    rows, flat = rows[keep], flat[keep]
    width = int(np.bincount(rows, minlength=count).max()) if len(rows) else 0
    padded = np.full((count, width), np.nan)
    order = np.argsort(rows, kind="stable")
    rows, flat = rows[order], flat[order]
    slot = np.arange(len(rows)) - np.searchsorted(rows, rows)
    padded[rows, slot] = flat
    return np.concatenate([np.broadcast_to(lines.bp, (count, len(lines.bp))), lines.at.reshape(-1, 1), padded], axis=1)


def _window_best(ranked: NDArray[np.float64], placed: NDArray[np.float64], lo: NDArray[np.float64],
                 hi: NDArray[np.float64]) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Per section (rows of ranked values at their places, in order of place) the largest
    value placed within [lo, hi] of each window (columns), and its place (-inf, NaN:
    none there): a table of the largest over runs of 1, 2, 4, ... candidates, two runs
    covering each window."""
    import numpy as np
    sections, width = int(ranked.shape[0]), int(ranked.shape[1])
    levels: list[NDArray[np.int_]] = [np.arange(width)[None, :].repeat(sections, axis=0)]
    rows = np.arange(sections)[:, None]
    span = 1
    while 2 * span <= width:
        last = levels[-1]
        shifted = np.concatenate([last[:, span:], last[:, -1:].repeat(span, axis=1)], axis=1)
        levels.append(np.where(ranked[rows, shifted] > ranked[rows, last], shifted, last))
        span *= 2
    start = np.empty((sections, len(lo)), dtype=np.int_)
    stop = np.empty((sections, len(lo)), dtype=np.int_)
    key = np.where(np.isnan(placed), np.inf, placed)
    for i in range(sections):
        start[i] = np.searchsorted(key[i], lo, side="left")
        stop[i] = np.searchsorted(key[i], hi, side="right")
    size = stop - start
    level = np.floor(np.log2(np.maximum(size, 1))).astype(np.int_)
    table = np.stack(levels)
    first = table[level, rows, np.minimum(start, width - 1)]
    second = table[level, rows, np.clip(stop - (1 << level), 0, width - 1)]
    best = np.where(ranked[rows, second] > ranked[rows, first], second, first)
    return np.where(size > 0, ranked[rows, best], -np.inf), np.where(size > 0, placed[rows, best], np.nan)


def _only_ry(lines: Lines) -> Lines:
    """The reaction lines of ry alone (every other line of Surface.reactions)."""
    keep = lines.section % 2 == 0
    return Lines(lines.section[keep] // 2, lines.a[keep], lines.b[keep], lines.ordinates[keep])


@dataclass(frozen=True)
class _Result:
    max: NDArray[np.float64]
    min: NDArray[np.float64]
    max_by: list[Governing]
    min_by: list[Governing]


@dataclass(frozen=True)
class _Ways:
    """One direction's positions of a case: the front axle's, and per sign sought (1 the
    max, -1 the min) the value at each section for each position, on which side of a
    section an axle on it counts, the free axle's place and the second train's front
    axle (NaN: none adds)."""

    direction: Direction
    front: NDArray[np.float64]
    effect: dict[float, NDArray[np.float64]]
    hairs: dict[float, NDArray[np.float64]]
    places: dict[float, NDArray[np.float64]]
    seconds: dict[float, NDArray[np.float64]]

    def governing(self, run: _Run, case: Case, sign: float, i: int, j: int) -> Governing:
        """What gives section i's value with the front axle at front[j]."""
        return run._governing(case, self.direction, self.front, j, float(self.hairs[sign][i, j]),  # pyright: ignore[reportPrivateUsage]
                              float(self.places[sign][i, j]), float(self.seconds[sign][i, j]))


def _combined(results: Sequence[_Result]) -> CodeBand:
    """The worst of the cases per entry (a case that does not apply there: NaN, skipped)."""
    import math as m
    count = len(results[0].max)
    high: list[float] = []
    low: list[float] = []
    high_by: list[Governing] = []
    low_by: list[Governing] = []
    for e in range(count):
        tops = [(float(r.max[e]), r.max_by[e]) for r in results if not m.isnan(float(r.max[e]))]
        bottoms = [(float(r.min[e]), r.min_by[e]) for r in results if not m.isnan(float(r.min[e]))]
        value, by = max(tops, key=lambda t: t[0])
        high.append(value)
        high_by.append(by)
        value, by = min(bottoms, key=lambda t: t[0])
        low.append(value)
        low_by.append(by)
    return CodeBand(high, low, high_by, low_by)


# --- the models ----------------------------------------------------------------------------------


def _problem(path: str, message: str) -> ModelError:
    return ModelError([Problem(path, message)])


def _pair(given: object) -> tuple[float, float]:
    """A (least, largest) range as given: NaN for what is not a number, and (0, 0) for
    what is not a pair (the checks do not trust the types)."""
    if not isinstance(given, tuple) or len(cast("tuple[object, ...]", given)) != 2:
        return 0.0, 0.0
    low, high = cast("tuple[object, object]", given)
    return (float(cast(float, low)) if is_number(low) else math.nan,
            float(cast(float, high)) if is_number(high) else math.nan)


def hl93(dynamic_allowance: float = 0.33, rear_spacing: tuple[float, float] = (4.3, 9.0)) -> LoadModel:
    """AASHTO LRFD bridge design code, HL-93 on one lane (kN, m), by
    article 3.6.1.3.1 the worst of:

    - the design truck (3.6.1.2.2: 35, 145 and 145 kN; 4.3 m, then 4.3 to 9.0 m,
      "varied ... to produce extreme force effects": here the worst spacing in
      `rear_spacing` for each effect, exactly) with the design lane load;
    - the design tandem (3.6.1.2.3: two 110 kN axles 1.2 m apart) with the lane load;
    - for the negative moment between points of contraflexure under a uniform load on
      all spans (an overhang's hogging, which reaches a free end, is not between two),
      and the reactions at interior piers only: 90% of two design trucks
      (rear spacing 4.3 m) at least 15 m apart (lead axle of one to rear axle of the
      other) with 90% of the lane load.

    The design lane load is 9.3 kN/m (3.6.1.2.4) on the adverse parts of each
    influence line; axles that do not contribute to the effect are neglected
    (3.6.1.3.1). The dynamic load allowance (3.6.2.1, Table 3.6.2.1-1: 33% for all
    limit states but fatigue, 15% for fatigue, 75% for deck joints) applies to the
    axles only, not to the lane load (3.6.2.1). Multiple presence factors and the
    share of the lane a girder takes are the caller's."""
    problems: list[Problem] = []
    if not is_number(dynamic_allowance) or dynamic_allowance not in (0.33, 0.15, 0.75):
        problems.append(Problem("dynamic_allowance", f"Table 3.6.2.1-1 gives 0.33, 0.15 (fatigue) or 0.75 (deck "
                                                     f"joints), got {show(dynamic_allowance)}"))
    low, high = _pair(rear_spacing)
    if not 4.3 <= low <= high <= 9.0:
        problems.append(Problem("rear_spacing", f"the design truck's rear axles are 4.3 to 9.0 m apart: give "
                                                f"(least, largest) within it, got {show(rear_spacing)}"))
    if problems:
        raise ModelError(problems)
    im = 1.0 + dynamic_allowance
    lane = 9.3
    truck = Train((35.0, 145.0, 145.0), (4.3, low), free=(low, high), neglect_relieving=True)
    tandem = Train((110.0, 110.0), (1.2,), neglect_relieving=True)
    fixed = Train((35.0, 145.0, 145.0), (4.3, 4.3), neglect_relieving=True)
    return LoadModel("HL-93", (
        Case("design truck and lane", truck, im, lane),
        Case("design tandem and lane", tandem, im, lane),
        Case("90% of two trucks and lane", fixed, 0.9 * im, 0.9 * lane, headway=15.0, applies="hogging"),
    ))


# EN 1991-2:2003 Table 4.2: per lane the tandem system's axle load Q_ik (kN) and the
# uniformly distributed load q_ik (kN/m2); the remaining area takes 2.5 kN/m2.
_LM1_AXLES = (300.0, 200.0, 100.0)
_LM1_UDL = (9.0, 2.5, 2.5)
_LM1_REST = 2.5


def lm1(width: float, alpha_q: Sequence[float] = (1.0, 1.0, 1.0), alpha_udl: Sequence[float] = (1.0, 1.0, 1.0),
        alpha_rest: float = 1.0) -> LoadModel:
    """EN 1991-2:2003 Load Model 1 (kN, m) for a carriageway `width` wide, carried
    whole by the beam: the notional lanes of 4.2.3 (Table 4.1: 1 lane of 3 m below
    5.4 m, 2 lanes of w/2 from 5.4 to 6 m, Int(w/3) lanes of 3 m from 6 m), each
    lane's tandem system (4.3.2(1)a, Table 4.2: two axles of alpha_Q Q_k 1.2 m apart,
    Q_k 300, 200 and 100 kN in lanes 1 to 3, none beyond) at one cross-section, and the
    uniformly distributed loads (Table 4.2: alpha_q 9 kN/m2 on lane 1, 2.5 on the other
    lanes and on the remaining area) on the adverse parts (4.3.2(1)b). Only complete
    tandem systems count (4.3.2(1)a); the dynamic amplification is included (4.3.1).
    The alpha factors are the National Annex's: positive, one per lane."""
    c = Checker()
    w = c.positive(width, "width")
    for name, given in (("alpha_q", alpha_q), ("alpha_udl", alpha_udl)):
        if isinstance(given, (str, bytes)) or not isinstance(cast(object, given), Sequence) or len(given) < 1:
            c.add(name, f"must be a list of factors, lane 1 first, got {show(given)}")
            continue
        for k, value in enumerate(given):
            c.positive(value, f"{name}[{k}]")
    c.positive(alpha_rest, "alpha_rest")
    if c.problems or w is None:
        raise ModelError(c.problems)
    if w < 5.4:
        lanes, lane_width = 1, 3.0
    elif w < 6.0:
        lanes, lane_width = 2, w / 2
    else:
        lanes, lane_width = int(w // 3.0), 3.0
    rest = max(w - lanes * lane_width, 0.0)

    def factor(values: Sequence[float], k: int) -> float:
        return float(values[min(k, len(values) - 1)])
    axle = math.fsum(factor(alpha_q, k) * _LM1_AXLES[k] for k in range(min(lanes, 3)))
    # Lanes beyond those with factors of their own (and beyond lane 2) all take the last
    # factor and 2.5 kN/m2: counted at once, whatever the width.
    own = min(lanes, max(len(alpha_udl), 2))
    udl = math.fsum([*(factor(alpha_udl, k) * _LM1_UDL[min(k, 2)] * lane_width for k in range(own)),
                     (lanes - own) * factor(alpha_udl, own) * _LM1_UDL[2] * lane_width,
                     alpha_rest * _LM1_REST * rest])
    train = Train((axle, axle), (1.2,))
    return LoadModel(f"LM1 ({lanes} lane{'s' if lanes > 1 else ''})", (Case("tandem systems and UDL", train, 1.0, udl),))


# EN 1991-2:2003 6.3.2(3)P: the factor alpha of Load Model 71 takes one of these values.
_LM71_ALPHA = (0.75, 0.83, 0.91, 1.00, 1.10, 1.21, 1.33, 1.46)


def lm71(alpha: float = 1.0, dynamic_factor: float = 1.0) -> LoadModel:
    """EN 1991-2:2003 Load Model 71 (kN, m), 6.3.2 and Figure 6.1: four axles of
    250 kN 1.6 m apart and 80 kN/m on the adverse parts either side of them, none
    within 0.8 m of the outer axles; both times alpha (6.3.2(3)P: 0.75, 0.83, 0.91,
    1.00, 1.10, 1.21, 1.33 or 1.46) and the dynamic factor Phi (6.4.5: 1.00 to 2.00;
    Phi_2 is at most 1.67, Phi_3 at most 2.0)."""
    problems: list[Problem] = []
    if not is_number(alpha) or alpha not in _LM71_ALPHA:  # True would pass for 1.00
        problems.append(Problem("alpha", f"6.3.2(3)P gives {', '.join(map(str, _LM71_ALPHA))}, got {show(alpha)}"))
    if not (is_number(dynamic_factor) and 1.0 <= dynamic_factor <= 2.0):
        problems.append(Problem("dynamic_factor", f"Phi is 1.00 to 2.00 (6.4.5.2), got {show(dynamic_factor)}"))
    if problems:
        raise ModelError(problems)
    scale = alpha * dynamic_factor
    train = Train((250.0,) * 4, (1.6,) * 3)
    return LoadModel("LM71", (Case("four axles and 80 kN/m", train, scale, 80.0 * scale, clear=(0.8, 0.8)),))


# AREMA Manual for Railway Engineering, Chapter 8 (2.2.3) and Chapter 15
# (1.3.3, Figure 15-1-2): Cooper E80, two locomotives (kips, feet), then 8 kips/ft.
_E80_AXLES = (40.0, 80.0, 80.0, 80.0, 80.0, 52.0, 52.0, 52.0, 52.0) * 2
_E80_SPACINGS = (8.0, 5.0, 5.0, 5.0, 9.0, 5.0, 6.0, 5.0, 8.0, 8.0, 5.0, 5.0, 5.0, 9.0, 5.0, 6.0, 5.0)
_E80_TRAILING, _E80_GAP = 8.0, 5.0
_E80_ALTERNATE, _E80_ALTERNATE_SPACINGS = (100.0,) * 4, (5.0, 6.0, 5.0)


def cooper(rating: float = 80.0, units: Literal["kN-m", "kip-ft"] = "kN-m") -> LoadModel:
    """AREMA Cooper E-series (Chapter 15, 1.3.3, Figure 15-1-2; Chapter 8, 2.2.3): the
    E80 load (two locomotives: 40 kips, four 80 kips drivers, four 52 kips tender
    axles each; spacings 8, 5, 5, 5, 9, 5, 6, 5, 8 ft and again; then 8 kips/ft from
    5 ft behind the last axle), or the alternate live load (four 100 kips axles 5, 6
    and 5 ft apart), whichever is worse, scaled by rating / 80 (E-n). In kN and m
    (1 kip = 4.4482216152605 kN, 1 ft = 0.3048 m) or kips and feet. The impact of
    Chapter 15, 1.3.5 is the caller's."""
    c = Checker()
    e = c.positive(rating, "rating")
    if units not in ("kN-m", "kip-ft"):
        c.add("units", f"must be 'kN-m' or 'kip-ft', got {show(units)}")
    if c.problems or e is None:
        raise ModelError(c.problems)
    force, length = (KIP, FOOT) if units == "kN-m" else (1.0, 1.0)
    k = e / 80.0
    main = Train(tuple(w * k * force for w in _E80_AXLES), tuple(s * length for s in _E80_SPACINGS))
    alternate = Train(tuple(w * k * force for w in _E80_ALTERNATE), tuple(s * length for s in _E80_ALTERNATE_SPACINGS))
    return LoadModel(f"Cooper E{e:g}", (
        Case("locomotives and trailing load", main, trailing=_E80_TRAILING * k * force / length,
             trailing_gap=_E80_GAP * length),
        Case("alternate live load", alternate),
    ))


def cl625(dynamic_allowance: float = 0.25) -> LoadModel:
    """CSA S6 CL-625 (kN, m), 3.8.3.2 and Figure 3.8.3.2: the CL-W truck with W = 625
    kN (axles of 50, 125, 125, 175 and 150 kN; 3.6, 1.2, 6.6 and 6.6 m), with its
    dynamic load allowance (3.8.4.5.3: 0.25 where three or more axles govern, 0.30 for
    two axles, 0.40 for one), or the CL-625 lane load (3.8.3.3: 80% of the truck with
    9 kN/m on the adverse parts; the allowance on neither, 3.8.4.5.3), the worse."""
    if not is_number(dynamic_allowance) or dynamic_allowance not in (0.25, 0.30, 0.40):
        raise _problem("dynamic_allowance", f"3.8.4.5.3 gives 0.25, 0.30 or 0.40, got {show(dynamic_allowance)}")
    truck = Train((50.0, 125.0, 125.0, 175.0, 150.0), (3.6, 1.2, 6.6, 6.6))
    return LoadModel("CL-625", (
        Case("truck", truck, 1.0 + dynamic_allowance),
        Case("lane load", truck, 0.8, 9.0),
    ))


# AS 5100.2:2017 Figure 7.2.4: four groups of three axles 1.25 m apart; between the groups
# (last axle of one to first axle of the next) 3.75 m, a variable spacing of 6.25 m or more,
# and 5.0 m.
_AS5100_SPACINGS = (1.25, 1.25, 3.75, 1.25, 1.25, 6.25, 1.25, 1.25, 5.0, 1.25, 1.25)
_AS5100_VARIABLE = 5  # index of the variable spacing among the spacings


def _as5100(name: str, axle: float, lane: float, allowance: float, variable_spacing: tuple[float, float]) -> LoadModel:
    low, high = _pair(variable_spacing)
    if not 6.25 <= low <= high:
        raise _problem("variable_spacing", f"the variable spacing between the second and third axle groups is "
                                           f"6.25 m or more (Figure 7.2.4): give (least, largest), largest inf for "
                                           f"no limit, got {show(variable_spacing)}")
    factor = 1.0 + allowance
    train = Train((axle,) * 12, _AS5100_SPACINGS, free=(low, high), free_at=_AS5100_VARIABLE)
    return LoadModel(name, (Case("vehicle and uniform load", train, factor, factor * lane),))


def m1600(variable_spacing: tuple[float, float] = (6.25, math.inf)) -> LoadModel:
    """AS 5100.2:2017 M1600 moving traffic load on one lane (kN, m): the M1600 vehicle
    (Figure 7.2.4: twelve 120 kN axles in four groups of three 1.25 m apart; the groups
    3.75 m, then the variable spacing, then 5.0 m apart, last axle to first) with a
    uniformly distributed 6 kN/m, which may be continuous or not: here on the adverse
    parts of each influence line. The variable spacing, 6.25 m or more, takes its
    worst value within `variable_spacing` for each effect, exactly (inf: up to the
    beam's length, beyond which it changes nothing). The dynamic load allowance of the
    moving traffic load, 0.3 (7.7.2), multiplies the vehicle and the uniform load
    alike (a tri-axle group alone, with its own 0.35, is not built). Accompanying lane
    factors and the share of the lane a girder takes are the caller's."""
    return _as5100("M1600", 120.0, 6.0, 0.3, variable_spacing)


def s1600(variable_spacing: tuple[float, float] = (6.25, math.inf)) -> LoadModel:
    """AS 5100.2:2017 S1600 stationary traffic load on one lane (kN, m): the M1600
    vehicle's axle layout (Figure 7.2.4) with 80 kN axles, and 24 kN/m on the adverse
    parts of each influence line; no dynamic load allowance (7.7.2). The variable
    spacing as for m1600()."""
    return _as5100("S1600", 80.0, 24.0, 0.0, variable_spacing)

