"""flexura_tools' private route into the C++ core of flexura. Not public API:
its names, arguments and results may change with any release; use
flexura_tools, or flexura.solve()."""

from collections.abc import Sequence
from typing import Literal, SupportsFloat, SupportsIndex, TypeVar, final, overload

_Float = SupportsFloat | SupportsIndex
_Support = tuple[_Float, _Float, _Float, _Float]
_Load = tuple[Literal["point", "udl", "trap", "torque", "dist"], Sequence[_Float]]
_Factor = TypeVar("_Factor", bound=SupportsFloat | SupportsIndex)
_Quantity = Literal["nf", "sf", "bm", "d"]
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
) -> SolvedBeam:
    """flexura.solve() to the bit, with its arguments, conversions and errors, as a SolvedBeam."""

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
        the supports and the positions of the loads' terms."""
    def jumps(self, quantity: _Quantity) -> list[float]:
        """The sorted positions where the quantity jumps: its steps of non-zero size.
        The deflection never jumps."""
    def mesh(self, n: SupportsIndex) -> list[float]:
        """The positions of flexura.BeamResult.plotting_vectors(n): n evenly spaced over
        the span and one either side of every feature inside it, ascending."""
