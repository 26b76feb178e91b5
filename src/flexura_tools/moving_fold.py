"""A vehicle's envelope folded in the core: each chunk of positions is one call
that solves every position (the beam's own loads, its axles, its lane's stretches)
and folds it into running envelopes held here in bytearrays, to the bits of the
layer's own fold (envelopes.build), which it replaces for the vehicle: no
position becomes a Python object, and no column is sorted.

The mesh, the beam's own jumps and the axles' places come from the layer as
before; the core reads each position on the mesh, beside its own jumps, and
takes the limits of an axle standing on a support.
"""

from __future__ import annotations

import itertools
from array import array
from collections.abc import Mapping, Sequence
from typing import TYPE_CHECKING, cast

from . import _engine, envelopes
from .core_fold import RunningBand, new_ranges, reaction_ranges
from .envelopes import Band, Envelope, mesh_of
from .errors import ModelError, Problem
from .loads import RawLoad
from .progress import Progress
from .result import Quantity
from .sections import RawSection
from .solver import Build
from .supports import RawSupport

if TYPE_CHECKING:
    from .moving import VehicleMembers


def _flat(items: Sequence[Sequence[tuple[float, float]]]) -> tuple[bytes, bytes]:
    """Pairs of every position in one float64 list, and where each position's end."""
    values = array("d", itertools.chain.from_iterable(itertools.chain.from_iterable(items)))
    ends = array("q", itertools.accumulate(2 * len(pairs) for pairs in items))
    return values.tobytes(), ends.tobytes()


def fold_vehicle(members: VehicleMembers, quantities: Sequence[Quantity], n: int, points: Sequence[float],
                 progress: bool, label: str) -> Envelope:
    """The envelope of every position of the vehicle, as envelopes.build() gives it."""
    count = len(members)
    mesh = mesh_of(members, _jumping(members), n, points)
    entries = len(mesh.x)
    running: dict[Quantity, RunningBand] = {
        q: RunningBand(q, entries, members.static_jumps.get(q, ()), q == "sf" and members.axle_points)
        for q in dict.fromkeys(quantities)}
    read = [running[q] for q in running if q != "nf" or members.axial]
    supports = members.beam.supports
    ranges = new_ranges(len(supports))
    beam = _beam(members)
    force, moment = members.scale.allowed()
    fixed = (members.lane_w, force, moment, mesh.plan(), tuple(b.plan for b in read), ranges)
    few = count <= envelopes.FEW  # as the layer's fold chunks them (and its tests set it)
    size = count if few else envelopes.CHUNK
    bar = Progress(count, label, progress)
    placed: dict[int, tuple[bytes, ...]] = {}  # kept for extremes(), which solves chunks again
    for base in range(0, count, size):
        chunk = range(base, min(base + size, count))
        placed[base] = _placed(members, chunk)
        screens = cast("tuple[tuple[bytes, bytes], ...]", _call(members, beam, base, (*placed[base], *fixed)))
        if not few:  # a few members are read again whole by extremes(): no screens
            for b, (top, bottom) in zip(read, screens):
                b.add_screen(base, top, bottom)
        bar.update(chunk.stop)
    bar.close()
    members.reach = _Reach(members, beam, fixed, [b.q for b in read], placed)
    bands: dict[Quantity, Band] = {q: b.band() for q, b in running.items()}
    if "nf" in bands and not members.axial:
        bands["nf"] = Band([0.0] * entries, [0.0] * entries, [0] * entries, [0] * entries)
    return Envelope([members.name(k) for k in range(count)], mesh.x, bands, reaction_ranges(supports, ranges), members,
                    {b.q: b.screens for b in read if b.screens})


# solve()'s arguments for the core, the beam's own loads included, without imposed deformations.
BeamArgs = tuple[float, float, float, float, float, list[RawSupport], list[RawLoad], "dict[str, float] | None",
                 "list[RawSection] | None", "list[float] | None", None, None, bool, bool]


def _call(members: VehicleMembers, beam: BeamArgs, base: int, plan: tuple[object, ...]) -> object:
    """One call of the core for the chunk from `base` on: its screens, or its watches' hits.
    A position it refuses is solved again by the layer, for the layer's own error."""
    failed, out = _engine.fold_positions(*beam, (base, *plan))  # type: ignore[arg-type]  # forces only
    if failed is not None:
        members.solve(base + failed)  # raises the layer's own ModelError for that position
        raise ModelError([Problem("", f"{members.name(base + failed)}: the core refused this position")])
    return out


def _jumping(members: VehicleMembers) -> list[Mapping[Quantity, Sequence[float]]]:
    """Where any position's diagrams jump, for the mesh (it holds their union): the beam's
    own jumps and every loaded axle's position, without a mapping per position
    (1.1 ms of the README's 42 ms vehicle job)."""
    axles = [x for on in members.on for x, w in on if w != 0] if members.axle_points else []
    return [members.static_jumps, {"sf": axles}]


def _beam(members: VehicleMembers) -> BeamArgs:
    """The beam and its own loads as the core's solve takes them, as Solver.solve()
    passes them for loads without imposed deformations."""
    solver = members.solver
    build = solver.build or Build()
    return (*solver.head, members.static, solver.units, build.sections or None, build.hinges or None, None, None,
            build.rotational_springs, solver.rotation or bool(build.hinges))


def _placed(members: VehicleMembers, chunk: range) -> tuple[bytes, ...]:
    """The chunk's axles, lane pieces and axles standing on a support, for the core."""
    pieces = _flat([members.lane_pieces(k) for k in chunk]) if members.clearances else (b"", bytes(8 * len(chunk)))
    return (*_flat([members.on[k] for k in chunk]), *pieces,
            *_flat([list(members.standing(k).items()) for k in chunk]))


# A request of Envelope._reaching: a quantity, a sign, where to read and the least value.
Ask = tuple[Quantity, float, list[float], float]


class _Reach:
    """A chunk of positions solved again in the core and read where extremes() asks,
    reporting (ask, index, member) where sign * value reaches the ask's least value, in
    the order of the asks, their positions and the members (as a loop over them would)."""

    def __init__(self, members: VehicleMembers, beam: BeamArgs, fixed: tuple[object, ...],
                 quantities: list[Quantity], placed: dict[int, tuple[bytes, ...]]) -> None:
        self.members, self.beam, self.fixed, self.quantities = members, beam, fixed, quantities
        self.placed = placed  # each chunk's axles as the fold passed them: 1 ms of the README's job

    def __call__(self, base: int, end: int, asks: Sequence[Ask]) -> list[tuple[int, int, int]]:
        at: list[list[float]] = [[] for _ in self.quantities]
        signs: list[list[float]] = [[] for _ in self.quantities]
        least: list[list[float]] = [[] for _ in self.quantities]
        owner: list[list[tuple[int, int]]] = [[] for _ in self.quantities]
        for a, (q, sign, where, bound) in enumerate(asks):
            b = self.quantities.index(q)
            at[b] += where
            signs[b] += [sign] * len(where)
            least[b] += [bound] * len(where)
            owner[b] += [(a, i) for i in range(len(where))]
        if not any(at):
            return []
        watches = tuple((array("d", x).tobytes(), array("d", s).tobytes(), array("d", v).tobytes())
                        for x, s, v in zip(at, signs, least))
        placed = self.placed.get(base) or _placed(self.members, range(base, end))
        hits = _call(self.members, self.beam, base, (*placed, *self.fixed, watches))
        flat = array("q", cast(bytes, hits))
        return sorted((*owner[b][k], member) for b, k, member in zip(flat[::3], flat[1::3], flat[2::3]))
