"""flexura: a fast beam solver for reactions, internal forces and deflections of a straight beam."""

from collections.abc import Sequence
from typing import Literal, SupportsFloat, SupportsIndex, TypeVar, final

__all__ = ["solve", "BeamResult", "__doc__"]

# A number as solve() and the queries convert it: float, int, bool or any
# object with __float__ or __index__ (a NumPy scalar, a Decimal).
_Float = SupportsFloat | SupportsIndex
# (pos, kx, ky, km): a tuple, as the module refuses any other sequence.
_Support = tuple[_Float, _Float, _Float, _Float]
# The load kinds, exact and lower case. The parameters of each kind:
#   "point"  (P, x, angle)            "udl"  (w, x1, x2, angle)
#   "trap"   (w1, w2, x1, x2, angle)  "torque" (T, x)
#   "dist"   (x1, x2, angle, c0, c1, ...)
# Any sequence of numbers is accepted: a shorter one than the kind needs is
# refused at run time, surplus numbers are ignored (or, for "dist", are
# further polynomial coefficients).
_LoadKind = Literal["point", "udl", "trap", "torque", "dist"]
_Load = tuple[_LoadKind, Sequence[_Float]]
# The unit factors: a dict (no other mapping) of text keys and numbers. A
# type variable, so that a dict[str, int] or dict[str, Decimal] is taken
# as well as a dict[str, float] (dict is invariant in its values).
_Factor = TypeVar("_Factor", bound=SupportsFloat | SupportsIndex)

def solve(
    span: _Float,
    e: _Float,
    i: _Float,
    a: _Float,
    g: _Float,
    supports: Sequence[_Support],
    loads: Sequence[_Load],
    units: dict[str, _Factor] | None = None,
) -> BeamResult:
    """Build and solve a beam. `supports` are (pos, kx, ky, km) with float('inf')
    for rigid; `loads` are (kind, params) where kind is point/udl/trap/torque/
    dist. Raises ValueError if the beam is unstable / singular."""

@final
class BeamResult:
    """Solved beam. Query methods mirror flexura's `get_*` (evaluate just
    off each side of x and keep the larger-magnitude value), so a singularity at
    a support/load is handled identically."""

    def eval_nf(self, x: _Float) -> float: ...
    def eval_sf(self, x: _Float) -> float: ...
    def eval_bm(self, x: _Float) -> float: ...
    def eval_d(self, x: _Float) -> float: ...
    def get_normal_force(self, x: _Float) -> float: ...
    def get_shear_force(self, x: _Float) -> float: ...
    def get_bending_moment(self, x: _Float) -> float: ...
    def get_deflection(self, x: _Float) -> float: ...
    def reactions(self) -> dict[str, list[float]]:
        """{position_str: [Rx, Ry, M]} in the caller's force/moment units."""
    def plotting_vectors(self, n: SupportsIndex = 200) -> dict[str, list[float]]:
        """{x, nf, sf, bm, d} sampled over the library's mesh (n linspace points
        plus +/-1e-7 around every support/load feature), as plain lists."""
