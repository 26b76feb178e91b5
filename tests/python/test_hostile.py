"""Wrong, hostile and huge arguments: every call ends in a result or an
ordinary Python exception, and the interpreter keeps running."""
import functools
import math
import time

import pytest
from hypothesis import given, settings, strategies as st

import flexura
from conftest import CENTRE_LOAD, INF, SIMPLE

KINDS = ["point", "udl", "trap", "torque", "dist"]
ARGS = [10.0, 1e4, 1.0, 1.0, INF, SIMPLE, [CENTRE_LOAD], None]
QUERIES = ["eval_nf", "eval_sf", "eval_bm", "eval_d",
           "get_normal_force", "get_shear_force", "get_bending_moment", "get_deflection"]


class Boom(Exception):
    """The caller's own exception, raised from a conversion hook."""


class BadFloat:
    def __float__(self):
        raise Boom


class BadIndex:
    def __index__(self):
        raise Boom


class Midway:
    """A sequence that yields its first item, then fails."""

    def __init__(self, item):
        self.item = item

    def __len__(self):
        return 3

    def __getitem__(self, k):
        return self.item

    def __iter__(self):
        yield self.item
        raise Boom


class BadLen(Midway):
    """A sequence whose length fails but which iterates fine."""

    def __len__(self):
        raise Boom

    def __iter__(self):
        return iter(self.item)


ALLOWED = (TypeError, ValueError, OverflowError, MemoryError, Boom)
leaf = st.one_of(
    st.integers(), st.floats(), st.sampled_from([math.nan, INF, 2**63, -2**64, 10**400, True]), st.text(),
    st.binary(), st.none(), st.sampled_from(KINDS), st.builds(object),
    st.sampled_from([BadFloat(), BadIndex(), type("WrongFloat", (), {"__float__": lambda self: "1"})(),
                     Midway(1.0), BadLen([1.0, 2.0]), flexura.BeamResult]))
hostile = st.recursive(leaf, lambda inner: st.one_of(
    st.lists(inner, max_size=6), st.tuples(inner, inner), st.tuples(inner, inner, inner, inner),
    st.tuples(st.sampled_from(KINDS), st.lists(inner, max_size=6)),
    st.dictionaries(st.text(max_size=4), inner, max_size=3)), max_leaves=6)
# A hostile value h in one place of an otherwise valid call of solve().
PLACES = [lambda h, k=k: ARGS[:k] + [h] + ARGS[k + 1:] for k in range(8)] + [
    lambda h: ARGS[:5] + [[h, SIMPLE[1]]] + ARGS[6:],
    lambda h: ARGS[:5] + [[(h, INF, INF, 0), SIMPLE[1]]] + ARGS[6:],
    lambda h: ARGS[:6] + [[CENTRE_LOAD, h]] + ARGS[7:],
    lambda h: ARGS[:6] + [[(h, [1, 2, 3, 4, 5])]] + ARGS[7:],
    *[lambda h, kind=kind: ARGS[:6] + [[(kind, h)]] + ARGS[7:] for kind in KINDS],
    lambda h: ARGS[:7] + [{"force": h}],
]
HOSTILE = settings(max_examples=150, deadline=None)


def survives(call, *args, **kwargs):
    """The call's result, or None after one of the allowed exceptions; any
    other result of a BeamResult type is queried with harmless arguments."""
    try:
        r = call(*args, **kwargs)
    except ALLOWED:
        return None
    if isinstance(r, flexura.BeamResult):
        assert isinstance(r.reactions(), dict) and len(r.plotting_vectors(7)) == 5
        assert all(isinstance(getattr(r, q)(5.0), float) for q in QUERIES)
    return r


@HOSTILE
@given(st.sampled_from(PLACES), hostile)
def test_solve_with_one_hostile_argument(place, h):
    survives(flexura.solve, *place(h))


@HOSTILE
@given(st.lists(hostile, max_size=9),
       st.dictionaries(st.sampled_from(["span", "units", "x", "n", "\ud800"]) | st.text(max_size=3), hostile,
                       max_size=3))
def test_any_arguments_to_any_callable(args, kwargs):
    r = flexura.solve(*ARGS)
    forged = [flexura.BeamResult, functools.partial(object.__new__, flexura.BeamResult),
              functools.partial(flexura.BeamResult.eval_d, object())]
    for call in [flexura.solve, r.reactions, r.plotting_vectors, *forged, *[getattr(r, q) for q in QUERIES]]:
        slow = any(type(v) is int and 5000 < v < 2**44 for v in [*args, *kwargs.values()])  # a valid but large n
        if call != r.plotting_vectors or not slow:
            survives(call, *args, **kwargs)


def test_conversion_hooks_that_mutate_or_reenter():
    params, units = [-10.0, 5.0, 90.0], {}
    hook = lambda f: type("Hook", (), {"__float__": lambda self: f()})()  # noqa: E731
    params[0] = hook(lambda: params.clear() or -10.0)
    with pytest.raises(ValueError, match="needs 3 params, got 1"):
        flexura.solve(*ARGS[:6], [("point", params)])
    params[:] = [hook(lambda: params.extend([1.0, 2.0]) or -10.0), 5.0, 90.0]
    assert flexura.solve(*ARGS[:6], [("point", params)]).reactions()["0"][1] == 5.0
    units["force"] = hook(lambda: units.clear() or units.update({f"k{k}": k for k in range(99)}) or 2.0)
    assert flexura.solve(*ARGS[:7], units).reactions()["10"][1] == 5.0
    assert flexura.solve(*ARGS[:5], BadLen(SIMPLE), [("point", BadLen([-10, 5, 90]))]).reactions()["0"][1] == 5.0
    reenter = hook(lambda: round(flexura.solve(*ARGS).get_bending_moment(5.0)) / 2.5)  # 10.0
    r = flexura.solve(reenter, *ARGS[1:])
    assert r.eval_d(reenter) == r.eval_d(10.0)


def emptying(container, value):
    """A number whose conversion empties `container`, then gives value."""
    return type("Emptying", (), {"__float__": lambda self: container.clear() or value})()


def supports_emptied():
    supports = SIMPLE + [(5.0, 0, 0, 0)]
    supports[2] = (emptying(supports, 5.0), 0, 0, 0)  # the tuple lives in the list alone
    return supports, [CENTRE_LOAD]


def loads_emptied():
    loads = []
    loads.append(("point", [-10.0, emptying(loads, 5.0), 90.0]))  # the tuple and its list live in loads alone
    return SIMPLE, loads


def params_emptied():
    params = [-10.0, 5.0, 90.0]
    params[1] = emptying(params, 5.0)
    return SIMPLE, [("point", params)]


# Arguments whose items are read without a reference of the call's own until
# Python code may run: each empties the list its item came from, so that
# the item, or the tuple or list holding it, would be freed if the call did
# not hold it by then (the sanitizer run sees any use after that).
@pytest.mark.parametrize("make, outcome", [
    (supports_emptied, 5.0), (loads_emptied, 5.0), (params_emptied, "load 'point' needs 3 params, got 2")])
def test_conversion_that_empties_the_list_of_its_item(make, outcome):
    supports, loads = make()
    if isinstance(outcome, str):
        with pytest.raises(ValueError, match=outcome):
            flexura.solve(*ARGS[:5], supports, loads)
    else:
        assert flexura.solve(*ARGS[:5], supports, loads).reactions()["0"][1] == outcome


@pytest.mark.parametrize("supports, loads", [
    (Midway(SIMPLE[0]), [CENTRE_LOAD]), (SIMPLE, Midway(CENTRE_LOAD)), (SIMPLE, [CENTRE_LOAD, ("udl", Midway(1.0))])])
def test_iteration_that_fails_midway(supports, loads):
    with pytest.raises(Boom):
        flexura.solve(*ARGS[:5], supports, loads)


@pytest.mark.parametrize("args", [
    ARGS[:6] + [[("\ud800", [1, 2, 3])]], ARGS[:6] + [[("point\udfff", [1])]], ARGS[:7] + [{"\ud800": 1.0}]])
def test_kind_and_key_text_without_utf8(args):
    with pytest.raises(ValueError):  # UnicodeEncodeError is a ValueError
        flexura.solve(*args)


def test_huge_mesh_is_refused_promptly():
    r, start = flexura.solve(*ARGS), time.perf_counter()
    for n in [2**63, 2**64 - 1, 2**60, 2**50]:
        with pytest.raises(MemoryError):
            r.plotting_vectors(n)
    with pytest.raises(OverflowError):
        r.plotting_vectors(2**64)
    assert time.perf_counter() - start < 1.0


@pytest.mark.parametrize("restraint", [(0.0, INF, 0.0), (INF, INF, INF), (1e5, 1e6, 0.0)])
def test_five_hundred_supports_finish_in_seconds(restraint):
    start = time.perf_counter()
    survives(flexura.solve, *ARGS[:5], [(k / 50, *restraint) for k in range(500)],
             [CENTRE_LOAD, ("udl", [-1, 0, 10, 90])])
    assert time.perf_counter() - start < 5.0
