"""flexura: a fast beam solver for reactions, internal forces and deflections of a straight beam."""

from typing import Dict, List, Mapping, Optional, Sequence, SupportsFloat, SupportsIndex, Tuple, final

__all__ = ["solve", "BeamResult", "__doc__"]

_Float = SupportsFloat | SupportsIndex
_Support = Tuple[_Float, _Float, _Float, _Float]
_Load = Tuple[str, Sequence[_Float]]

def solve(
    span: _Float,
    e: _Float,
    i: _Float,
    a: _Float,
    g: _Float,
    supports: Sequence[_Support],
    loads: Sequence[_Load],
    units: Optional[Mapping[str, _Float]] = None,
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
    def reactions(self) -> Dict[str, List[float]]:
        """{position_str: [Rx, Ry, M]} in the caller's force/moment units."""
    def plotting_vectors(self, n: SupportsIndex = 200) -> Dict[str, List[float]]:
        """{x, nf, sf, bm, d} sampled over the library's mesh (n linspace points
        plus +/-1e-7 around every support/load feature), as plain lists."""
