import math

import pytest

import flexura

INF = math.inf
NAN = math.nan
# Pinned at 0, roller at 10: the simply supported span used throughout.
SIMPLE = [(0, INF, INF, 0), (10, 0, INF, 0)]
CENTRE_LOAD = ("point", [-10, 5, 90])
QUERIES = ["eval_nf", "eval_sf", "eval_bm", "eval_d",
           "get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"]


def solve(loads=(), supports=SIMPLE, span=10, **kw):
    """E*I = 1e4, no shear deformation (g infinite)."""
    return flexura.solve(span, 1e4, 1, 1, INF, list(supports), list(loads), **kw)


def cantilever(pos, loads=(("point", [-10, 5, 90]),)):
    return solve(loads, [(pos, INF, INF, INF)])


def raises_exactly(exc_type, message, call, *args, **kwargs):
    with pytest.raises(BaseException) as info:
        call(*args, **kwargs)
    assert type(info.value) is exc_type
    if message is not None:
        assert str(info.value) == message
    return info.value


@pytest.fixture
def centre():
    """Simply supported span 10 with -10 at mid-span: shear +5 / -5, bm(5) = 25."""
    return solve([CENTRE_LOAD])
