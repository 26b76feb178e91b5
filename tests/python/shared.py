"""What the tests of both layers share: the simply supported span and its
arguments, hostile numbers, and exact checks of what a call raises."""
import math

import pytest

import flexura

INF = math.inf
NAN = math.nan
# Pinned at 0, roller at 10: the simply supported span used throughout.
SIMPLE = [(0, INF, INF, 0), (10, 0, INF, 0)]
CENTRE_LOAD = ("point", [-10, 5, 90])
# The positional arguments of solve() for that span under CENTRE_LOAD, in
# the order of PARAMETERS (units left out).
ARGS = (10, 1e4, 1, 1, INF, SIMPLE, [CENTRE_LOAD])
PARAMETERS = ("span", "e", "i", "a", "g", "supports", "loads", "units")
# A support position that restrains nothing.
FREE = (0, 0, 0)
QUERIES = ["eval_nf", "eval_sf", "eval_bm", "eval_d",
           "get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"]


class Boom(Exception):
    """The caller's own exception, raised from a conversion hook."""


class Raising:
    """A number whose conversion raises the given exception."""

    def __init__(self, error):
        self.error = error

    def __float__(self):
        raise self.error

    __index__ = __float__


# What a call with wrong or hostile arguments may raise: an ordinary
# exception, or the caller's own from a conversion hook.
ALLOWED = (TypeError, ValueError, OverflowError, MemoryError, Boom)


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
