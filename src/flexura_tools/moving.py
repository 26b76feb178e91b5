"""Moving loads: a vehicle of axles driven across the beam step by step, one
solve per position, and the envelope of all positions.

The beam is checked once; each position then solves it under its own loads
(made once) and its axles, so a position costs one solve and its reading on
the mesh.
"""

from __future__ import annotations

import bisect
import math
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass
from typing import Literal, cast

from ._engine import SolvedBeam
from .checks import MAX_COUNT, Checker, converted, is_number, shape
from .envelopes import MERGE, Envelope, EnvelopeExtreme, build, check_reading
from .equilibrium import scale_of
from .errors import ModelError, Problem, show
from .lanes import LANE_QUANTITIES, Lane, lane_share, with_cleared_lane, with_lane
from .loads import IMPOSED, RawLoad, UniformLoad
from .model import Beam, checked, solver_of
from .moving_fold import fold_vehicle
from .result import QUANTITIES, Quantity

Direction = Literal["forward", "backward"]


@dataclass(frozen=True, slots=True, kw_only=True)
class Vehicle:
    """Axle weights from the front axle back (positive: acting downwards), the
    spacings between consecutive axles, and an optional lane load (weight per
    length, downwards) on the whole beam in every position."""

    weights: Sequence[float]
    spacings: Sequence[float] = ()
    lane: float = 0.0
    name: str = ""

    def __post_init__(self) -> None:
        object.__setattr__(self, "weights", converted(tuple, self.weights))
        object.__setattr__(self, "spacings", converted(tuple, self.spacings))

    @property
    def length(self) -> float:
        """From the front axle to the rear one."""
        return math.fsum(self.spacings)

    def offsets(self) -> list[float]:
        """Each axle's distance behind the front axle, each the correctly rounded sum of
        the spacings before it: no rounding accumulates from axle to axle."""
        return [math.fsum(self.spacings[:k]) for k in range(len(self.spacings) + 1)]

    def check(self, c: Checker) -> None:
        """Reports every problem of the vehicle's fields to `c`, under `vehicle`."""
        if not (shape(c, self.weights, "vehicle.weights", tuple, "a list of axle weights")
                and shape(c, self.spacings, "vehicle.spacings", tuple, "a list of axle spacings")):
            return
        if not self.weights:
            c.add("vehicle.weights", "needs at least one axle")
        for k, weight in enumerate(self.weights):
            c.finite(weight, f"vehicle.weights[{k}]")
        if len(self.spacings) != max(len(self.weights) - 1, 0):
            c.add("vehicle.spacings", f"{len(self.weights)} axles need {len(self.weights) - 1} spacings, "
                                      f"got {len(self.spacings)}")
        for k, spacing in enumerate(self.spacings):
            c.positive(spacing, f"vehicle.spacings[{k}]")
        c.finite(self.lane, "vehicle.lane")


# Design vehicles in kN and m, without dynamic allowance.

def hl93_truck(rear_spacing: float = 4.3) -> Vehicle:
    """AASHTO LRFD bridge design code, articles 3.6.1.2.2 and 3.6.1.3.1: the design
    truck (35, 145 and 145 kN; 4.3 m, then 4.3 to 9.0 m) with the design lane load
    of 9.3 kN/m (the values are reproduced in the FHWA's free LRFD design examples),
    here on the whole beam and without the dynamic allowance; codes.hl93() places the
    lane where adverse and applies the rules of article 3.6.1.3.1. A rear spacing
    outside 4.3 to 9.0 m raises ModelError."""
    if not (is_number(rear_spacing) and 4.3 <= rear_spacing <= 9.0):
        raise ModelError([Problem("rear_spacing", f"the design truck's rear axles are 4.3 to 9.0 m apart, "
                                                  f"got {show(rear_spacing)}")])
    return Vehicle(weights=(35.0, 145.0, 145.0), spacings=(4.3, rear_spacing), lane=9.3,
                   name=f"HL-93 truck ({rear_spacing:g} m rear spacing) and lane")


def hl93_tandem() -> Vehicle:
    """AASHTO LRFD bridge design code, articles 3.6.1.2.3 and 3.6.1.3.1: the design
    tandem (two 110 kN axles 1.2 m apart) with the design lane load of 9.3 kN/m."""
    return Vehicle(weights=(110.0, 110.0), spacings=(1.2,), lane=9.3, name="HL-93 tandem and lane")


def lm1_lane1() -> Vehicle:
    """EN 1991-2:2003, 4.3.2 and Table 4.2, Load Model 1 on lane 1 (alpha factors 1):
    the tandem system (two 300 kN axles 1.2 m apart) and 9 kN/m2 on the 3 m wide
    notional lane, 27 kN/m."""
    return Vehicle(weights=(300.0, 300.0), spacings=(1.2,), lane=27.0, name="LM1 lane 1")


@dataclass(frozen=True, slots=True)
class VehiclePosition:
    """Where the vehicle stands: its direction, its front axle's position and every
    axle's position (axles off the beam carry nothing)."""

    direction: Direction
    front: float
    axles: tuple[float, ...]


class VehicleMembers:
    """The positions of a vehicle as envelope members."""

    def __init__(self, beam: Beam, vehicle: Vehicle, step: float, start: float,
                 directions: Sequence[Direction], axle_points: bool = True, rotation: bool = False,
                 lane: Lane | None = None) -> None:
        self.axle_points = self.complete = axle_points
        # Set by the core's fold: solves a chunk again and reads it where extremes() asks.
        self.reach: Callable[[int, int, list[tuple[Quantity, float, list[float], float]]],
                             list[tuple[int, int, int]]] | None = None
        weight = lane.w if lane is not None and lane.placement == "whole" else vehicle.lane
        # A lane with a clear zone moves with the vehicle: each position has its own pieces.
        self.clearances = lane.clearances if lane is not None and lane.placement == "whole" else None
        # The clear zone of an adverse lane is taken section by section (lanes.with_lane), not solved.
        self.zone = lane.clearances if lane is not None else None
        if self.clearances is not None:
            self.complete = False  # the zone's ends are not in the mesh
        self.lane_w = float(weight)
        lane_loads = [UniformLoad(w=-weight)] if weight and self.clearances is None else []
        static = beam.with_loads([*beam.loads, *lane_loads])
        self.solver = solver_of(static, rotation)  # with it, each position's solve holds the rotation too
        self.static: list[RawLoad] = static.raw_loads(static.loads)
        # Whether the beam's own loads impose a deformation, told once: the axles never do
        # (saves 0.35% of the README's vehicle job: 1,115.0M instructions against 1,118.9M).
        self.imposed = any(isinstance(load, IMPOSED) for load in static.loads)
        # The loads' size with every axle on the beam: the balance is checked against it.
        whole: list[RawLoad] = [("udl", [-weight, 0.0, float(beam.span), 90.0])] if self.clearances else []
        self.scale = scale_of(self.static + whole + [("point", [w, 0.0, 90.0]) for w in vehicle.weights],
                              float(beam.span), self.solver.units)
        self.beam = beam
        self.span = float(beam.span)
        self.degree = static.max_degree()
        self.axial = any(load.axial() for load in static.loads)  # the axles act vertically
        # The beam's own features, from the core: the axles' positions are added to them.
        self.static_features = self.solver.solve(self.static, name="the beam's own loads: ").features()
        self.static_jumps: dict[Quantity, list[float]] = static.jumps()
        # Where the shear jumps whatever the axles do: an axle standing there has two limits.
        self.shear_steps = {0.0, self.span, *self.static_jumps["sf"]}
        self.tolerance = MERGE * self.span
        self.weights = [float(w) for w in vehicle.weights]
        self.offsets = vehicle.offsets()
        count = math.floor((self.span + vehicle.length - start) / step + 1e-9) + 1
        self.positions: list[tuple[Direction, float]] = [
            (d, start + i * step if d == "forward" else self.span - (start + i * step))
            for d in directions for i in range(max(count, 1))]
        # The axles on the beam in each position, placed once: the mesh, the jumps, the
        # solve and so the reactions all see the same positions.
        placed = [self._place(direction, front) for direction, front in self.positions]
        self.on = [on for on, _ in placed]
        steps = self.shear_steps
        self.standing_at = {k: {x: -w for x, w in on if w != 0 and x in steps}
                            for k, (on, touching) in enumerate(placed) if touching}

    def __len__(self) -> int:
        return len(self.positions)

    def position(self, k: int) -> VehiclePosition:
        direction, front = self.positions[k]
        axles, _ = self._axles(direction, front)
        return VehiclePosition(direction, axles[0], tuple(axles))

    def name(self, k: int) -> str:
        direction, front = self.positions[k]
        return f"{direction}, front axle at {front:.10g}"

    def _axles(self, direction: Direction, front: float) -> tuple[list[float], bool]:
        """Every axle's position, front to rear, and whether any stands on a feature of
        the beam (an end, a support, a point of its own loads): one within MERGE of the
        span of it does, so that the rounding of front - offset does not move an axle
        meant to stand on a support to its other side, nor off the beam."""
        sign = -1.0 if direction == "forward" else 1.0
        features, tolerance, count = self.static_features, self.tolerance, len(self.static_features)
        out: list[float] = []
        touching = False
        for offset in self.offsets:
            x = front + sign * offset
            k = bisect.bisect_left(features, x - tolerance)
            if k < count and features[k] <= x + tolerance:  # rare: the nearest one
                x = min(features[k:bisect.bisect_right(features, x + tolerance)], key=lambda f: abs(f - x))
                touching = True
            out.append(x)
        return out, touching

    def _place(self, direction: Direction, front: float) -> tuple[list[tuple[float, float]], bool]:
        """The axles on the beam, (position, weight), and whether any stands on a feature."""
        span = self.span
        axles, touching = self._axles(direction, front)
        return [(x, w) for x, w in zip(axles, self.weights) if 0.0 <= x <= span], touching

    def clear_zone(self, k: int) -> tuple[float, float]:
        """Where the lane is cleared in position k, (from, to) along the beam: `behind`
        behind the rear axle to `ahead` in front of the front one (possibly off the beam)."""
        assert self.zone is not None
        behind, ahead = self.zone
        direction, front = self.positions[k]
        axles, _ = self._axles(direction, front)
        if direction == "forward":
            return axles[-1] - behind, axles[0] + ahead
        return axles[0] - ahead, axles[-1] + behind

    def lane_pieces(self, k: int) -> list[tuple[float, float]]:
        """The whole lane's stretches in position k, outside the clear zone (none without one)."""
        if self.clearances is None:
            return []
        lo, hi = self.clear_zone(k)
        span = self.span
        pieces = [(0.0, min(lo, span)), (max(hi, 0.0), span)]
        return [(a, b) for a, b in pieces if b > a]

    def features(self, k: int) -> list[float]:
        ends = [x for piece in self.lane_pieces(k) for x in piece]
        return sorted(set(self.static_features).union(x for x, _ in self.on[k]).union(ends))

    def mesh_features(self, k: int) -> list[float]:
        # The mesh holds the union over the members: the beam's own features once.
        axles = [x for x, _ in self.on[k]] if self.axle_points else []
        return axles + self.static_features if k == 0 else axles

    def jumps(self, k: int) -> Mapping[Quantity, Sequence[float]]:
        if not self.axle_points:
            return self.static_jumps
        jumps = dict(self.static_jumps)
        jumps["sf"] = self.static_jumps["sf"] + [x for x, w in self.on[k] if w != 0]
        return jumps

    def standing(self, k: int) -> Mapping[float, float]:
        """The axles standing where the shear jumps for another reason (a vertical
        support, an end of the beam, a point load of the beam's own), with their own
        shear jump (-weight): the vehicle a hair further on or back puts the axle on
        either side of it, and both limits count in the envelope."""
        return self.standing_at.get(k, {})

    def solve(self, k: int) -> SolvedBeam:
        axles: list[RawLoad] = [("point", [-w, x, 90.0]) for x, w in self.on[k]]
        lane: list[RawLoad] = [("udl", [-self.lane_w, a, b, 90.0]) for a, b in self.lane_pieces(k)]
        return self.solver.solve(self.static + axles + lane, scale=self.scale, name=f"{self.name(k)}: ",
                                 imposed=self.imposed)


@dataclass(frozen=True)
class MovingLoad:
    """The envelope of every position of a vehicle; `position(member)` tells where
    the vehicle stood for a member of the envelope (an extreme's max_member, say)."""

    envelope: Envelope
    members: VehicleMembers

    def position(self, member: int) -> VehiclePosition:
        """Where the vehicle stood for an envelope member (its index, as a list's:
        IndexError beyond the members)."""
        return self.members.position(member)

    def extremes(self) -> dict[Quantity, EnvelopeExtreme]:
        """The envelope's extremes (Envelope.extremes()); position(member) tells where
        the vehicle stood for each."""
        return self.envelope.extremes()


def moving_load(beam: Beam, vehicle: Vehicle, *, step: float, start: float = 0.0,
                directions: Sequence[Direction] = ("forward", "backward"), n: int = 200,
                points: Sequence[float] = (), axle_points: bool = True,
                quantities: Sequence[Quantity] = QUANTITIES, progress: bool = False,
                lane: Lane | None = None) -> MovingLoad:
    """Drive the vehicle across the beam and envelope every position.

    Forward, the front axle stands at x = start, start + step, ... until the rear axle
    has reached the right end; backward, it enters at the right end (x = span - start,
    and so on to the left). An axle within 1e-12 of the span of an end, a support or a
    point of the beam's own loads stands on it. Where it stands on a section where the
    shear jumps for another reason, the envelope also takes the shear with the axle
    just beside it on either side, from that position (the largest shear next to a
    support: one axle P over a simple span gives P). Axles off the beam carry nothing.
    The beam's own loads act in every position (give it none for the vehicle's effect
    alone), and so does the vehicle's lane load, on the whole beam. The mesh holds
    every position an axle stands at, both sides of it for the shear (see envelope());
    with `axle_points` False it holds only the beam's own features, `points` and the
    evenly spaced positions: for a step much finer than span / n, about half the
    reading. The extremes are refined on each member's own features either way.

    `lane` (a Lane) accompanies the vehicle: placement "whole" on the whole beam in
    every position, less its clear zone around the vehicle if it has `clearances`
    (each position then solves with its own lane pieces); "adverse" at each section
    of the mesh and for each of sf, bm, d and the reactions on exactly the parts where
    that effect's influence line has the sign sought: each band's max is the largest
    over the positions of the vehicle's value, plus the lane on the parts where the
    line is positive (w downwards), its min with the parts where it is negative. The
    envelope is then a LaneEnvelope (see lanes.py): where the lane stood for each
    value is `envelope.lane.parts(q, which, e)`. "adverse" with `clearances`: each
    band's max is the largest over the positions of the vehicle's value plus the lane
    on the positive parts less that position's clear zone (and so on), each position
    solved again. A vehicle's own `lane` and `lane` are not given together."""
    checked(beam)
    c = Checker()
    if not isinstance(cast(object, vehicle), Vehicle):  # as given: the checks do not trust the types
        raise ModelError([Problem("vehicle", f"is not a Vehicle: got {show(vehicle)}")])
    vehicle.check(c)
    step_size = c.positive(step, "step")
    first = c.finite(start, "start")
    reach = float(beam.span) + vehicle.length - (first or 0.0) if not c.problems else 0.0
    if step_size is not None and reach / step_size >= MAX_COUNT:  # told before any position is made
        c.add("step", f"{show(step_size)} makes {reach / step_size:.4g} positions each way across "
                      f"{show(reach)}, more than the {MAX_COUNT:,} taken; give a longer step")
    given = cast(object, directions)  # as given: the checks do not trust the types
    if isinstance(given, str) or not isinstance(given, Sequence):
        c.add("directions", f"must be a list of 'forward' and 'backward', got {show(directions)}")
        directions = ("forward",)
    for k, direction in enumerate(directions):
        if direction not in ("forward", "backward"):
            c.add(f"directions[{k}]", f"must be 'forward' or 'backward', got {show(direction)}")
    if not directions:
        c.add("directions", "give 'forward', 'backward' or both")
    check_reading(c, float(beam.span), n, points, quantities)
    if lane is not None:
        if not isinstance(cast(object, lane), Lane):
            c.add("lane", f"is not a Lane: got {show(lane)}")
        else:
            lane.check(c)
            if vehicle.lane:
                c.add("lane", "the vehicle has a lane load of its own (vehicle.lane): give one or the other")
            if lane.placement == "adverse" and "rotation" in cast("Sequence[object]", quantities):
                c.add("quantities", "the rotation with a lane on its adverse parts is not built: envelope "
                                    "nf, sf, bm and d with it")
    if c.problems:
        raise ModelError(c.problems)
    members = VehicleMembers(beam, vehicle, step, start, directions, axle_points, "rotation" in quantities, lane)
    label = vehicle.name or "vehicle"
    cleared = lane is not None and lane.placement == "adverse" and lane.clearances is not None
    # A cleared lane's bands are folded again from every position: the vehicle's alone are not
    # read (the normal force without an axial load reads nothing): 1.13 s against 1.38 s measured.
    vehicle_bands: Sequence[Quantity] = (([q for q in quantities if q not in LANE_QUANTITIES] or ["nf"]) if cleared
                                         else quantities)
    if members.imposed:  # settlements and curvatures: each solve is measured against its own reactions
        found = build(members, n=n, points=points, quantities=vehicle_bands, progress=progress, label=label)
    else:
        found = fold_vehicle(members, vehicle_bands, n, points, progress, label)
    if lane is not None and lane.placement == "adverse":
        supports = [(float(s.x), 1.0 if s.km != 0 else 0.0) for s in beam.supports]
        share = lane_share(solver_of(beam.with_loads([])), lane, found.x, supports)
        found = with_cleared_lane(found, share, members.clear_zone, quantities) if cleared \
            else with_lane(found, share)
    return MovingLoad(found, members)
