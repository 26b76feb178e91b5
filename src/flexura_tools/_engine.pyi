"""flexura_tools' private route into the C++ core of flexura. Not public API:
its names, arguments and results may change with any release; use
flexura_tools, or flexura.solve()."""

from collections.abc import Sequence
from typing import Literal, SupportsFloat, SupportsIndex, TypeVar, final, overload

_Float = SupportsFloat | SupportsIndex
_Support = tuple[_Float, _Float, _Float, _Float]
_Load = tuple[Literal["point", "udl", "trap", "torque", "dist"], Sequence[_Float]]
_Factor = TypeVar("_Factor", bound=SupportsFloat | SupportsIndex)
_Quantity = Literal["nf", "sf", "bm", "d", "rotation"]
# (start, e, i, a, g), (dy, rotation), (k1, k2, x1, x2)
_Section = tuple[_Float, _Float, _Float, _Float, _Float]
_Settlement = tuple[_Float, _Float]
_Curvature = tuple[_Float, _Float, _Float, _Float]
_Side = Literal["right", "left"]

# Below this magnitude a share of a load's angle is taken as 0.0.
PROJECTION_CUT_OFF: float

def solve(
    span: _Float,
    e: _Float,
    i: _Float,
    a: _Float,
    g: _Float,
    supports: Sequence[_Support],
    loads: Sequence[_Load],
    units: dict[str, _Factor] | None = None,
    sections: Sequence[_Section] | None = None,
    hinges: Sequence[_Float] | None = None,
    settlements: Sequence[_Settlement] | None = None,
    curvatures: Sequence[_Curvature] | None = None,
    rotational_springs: bool = False,
    rotation: bool = False,
) -> SolvedBeam:
    """flexura.solve() to the bit, with its arguments, conversions and errors, as a SolvedBeam;
    and beyond it:
    sections: [(start, e, i, a, g)] in ascending start: from start on, these constants
        replace the ones before (e, i, a, g are the first section's).
    hinges: [x]: internal moment releases; the rotation may jump there. No moment at
        a hinge means none just right of it: a concentrated moment at a hinge's very
        position acts on the part to its left. Hinges that leave a part free to move
        or turn, two at one place, or one where a support restrains rotation: the
        ValueError of an unstable beam.
    settlements: [(dy, rotation)], one per support in the order given: its base moves
        by dy (deflection unit, up positive) and turns by rotation (radians,
        counter-clockwise positive); a direction it does not restrain ignores its part.
    curvatures: [(k1, k2, x1, x2)]: an imposed curvature from k1 at x1 to k2 at x2
        (1 / length unit), as a temperature difference through the depth imposes it;
        positive bends the beam as a sagging moment does.
    rotational_springs: a finite, non-zero km is a rotational spring of km moment
        units per radian rather than a fixed restraint.
    rotation: the result can read the 'rotation' and the hinges' rotation jumps.
    A beam with none of these solves to the bits of flexura.solve()."""

# (first, axles, ends, lane pieces, ends, standing axles, ends, lane, force, moment,
#  mesh, bands, ranges): see fold_positions.__doc__.
_Plan = tuple[object, ...]

def fold_positions(
    span: _Float,
    e: _Float,
    i: _Float,
    a: _Float,
    g: _Float,
    supports: Sequence[_Support],
    loads: Sequence[_Load],
    units: dict[str, _Factor] | None,
    sections: Sequence[_Section] | None,
    hinges: Sequence[_Float] | None,
    settlements: None,
    curvatures: None,
    rotational_springs: bool,
    rotation: bool,
    plan: _Plan,
) -> tuple[int | None, object]:
    """Solves the beam once per position of a vehicle and folds each into running
    envelopes held in the plan's bytearrays; with watches (a 14th item), reports
    where they are reached instead. Not public API."""

def fold_members(
    members: tuple[SolvedBeam, ...],
    jumps: bytes,
    jump_ends: bytes,
    first: int,
    mesh: tuple[bytes, ...],
    bands: tuple[tuple[object, ...], ...],
    ranges: tuple[bytearray, bytearray, bytearray, bytearray],
    /,
) -> tuple[tuple[bytes, bytes], ...]:
    """Folds solved beams of one set of supports into running envelopes held in the
    bands' and ranges' bytearrays; returns each band's screen (top, bottom). Not
    public API."""

def envelope_mesh(
    span: _Float,
    features: Sequence[Sequence[_Float]],
    jumps: Sequence[Sequence[_Float]],
    n: SupportsIndex,
    points: Sequence[_Float],
    merge: _Float,
    /,
) -> tuple[bytes, bytes, bytes, bytes, bytes, bytes, bytes, bytes]:
    """The common mesh of an envelope's members (each member's features and jumps, the
    caller's points) as bytes: (position, read_at, left, right, x, source, keys,
    key_position), float64 and int64. Not public API."""

def axial_factor(angle: _Float, /) -> float:
    """The share of a load along the beam for an angle in degrees: its cosine, 0.0
    below PROJECTION_CUT_OFF in magnitude, as solve() takes it."""

def transverse_factor(angle: _Float, /) -> float:
    """The share of a load across the beam for an angle in degrees: its sine, 0.0
    below PROJECTION_CUT_OFF in magnitude, as solve() takes it."""

@final
class SolvedBeam:
    """A beam solved by flexura_tools._engine.solve(): the analysis of flexura.solve()
    for the same arguments, read by quantity at many positions at once."""

    # bytes are a sequence of ints too, but are read as float64 values.
    @overload
    def values(  # type: ignore[overload-overlap]
        self, quantity: _Quantity, positions: bytes | bytearray, side: _Side = "right"
    ) -> bytearray: ...
    @overload
    def values(self, quantity: _Quantity, positions: _Float, side: _Side = "right") -> float: ...
    @overload
    def values(self, quantity: _Quantity, positions: Sequence[_Float], side: _Side = "right") -> list[float]: ...
    def reactions(self) -> list[tuple[float, float, float]]:
        """[(rx, ry, m)] per support in the order the supports were given, rounded to
        10 decimals as flexura.BeamResult.reactions() rounds them."""
    def features(self) -> list[float]:
        """The sorted positions in [0, span] where a diagram may change its law: the ends,
        the supports, the positions of the loads' and the imposed curvatures' terms, the
        section changes and the hinges."""
    def jumps(self, quantity: _Quantity) -> list[float]:
        """The sorted positions where the quantity jumps: its steps of non-zero size.
        The deflection never jumps; the rotation jumps at hinges only."""
    def hinge_jumps(self) -> list[float]:
        """Per hinge in the order given, the rotation just right of it minus just left
        (radians)."""
    def mesh(self, n: SupportsIndex) -> list[float]:
        """The positions of flexura.BeamResult.plotting_vectors(n): n evenly spaced over
        the span and one either side of every feature inside it, ascending."""
    def extreme(
        self, quantity: _Quantity, features: Sequence[_Float], count: SupportsIndex
    ) -> tuple[float, float, float, float]:
        """(max, x_max, min, x_min) of the quantity over the segments between consecutive
        features, count samples each, every peak refined by bisection on the slope's sign
        to 1e-13 of the features' extent; of values equal but for rounding, the leftmost."""
    def peak(
        self,
        quantity: _Quantity,
        features: Sequence[_Float],
        sign: float,
        count: SupportsIndex,
        span: _Float,
        added: Sequence[tuple[SolvedBeam, _Float]] = (),
    ) -> tuple[float, float]:
        """(value, x): the max (sign 1.0) or the min (sign -1.0) alone, as extreme() finds
        it, refined to 1e-13 of span. added: (SolvedBeam, factor) pairs, each beam's
        quantity times its factor added to this one's value by value, in order."""
