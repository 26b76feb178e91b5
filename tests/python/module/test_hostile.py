"""Wrong, hostile and huge arguments: every call ends in a result or an
ordinary Python exception, gives the same answer when repeated, and leaves
the caller's arguments, earlier results and the module as they were."""
import copy
import functools
import math
import time

import pytest
from hypothesis import given, settings, strategies as st

import flexura
from shared import ALLOWED, ARGS, CENTRE_LOAD, INF, QUERIES, SIMPLE, Boom, Raising
from flexura_tools import _engine

KINDS = ["point", "udl", "trap", "torque", "dist"]


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


leaf = st.one_of(
    st.integers(), st.floats(), st.sampled_from([math.nan, INF, 2**63, -2**64, 10**400, True]), st.text(),
    st.binary(), st.none(), st.sampled_from(KINDS), st.builds(object),
    st.sampled_from([Raising(Boom()), BadIndex(), type("WrongFloat", (), {"__float__": lambda self: "1"})(),
                     Midway(1.0), BadLen([1.0, 2.0]), flexura.BeamResult]))
hostile = st.recursive(leaf, lambda inner: st.one_of(
    st.lists(inner, max_size=6), st.tuples(inner, inner), st.tuples(inner, inner, inner, inner),
    st.tuples(st.sampled_from(KINDS), st.lists(inner, max_size=6)),
    st.dictionaries(st.text(max_size=4), inner, max_size=3)), max_leaves=6)
# A hostile value h in one place of an otherwise valid call of solve().
PLACES = [lambda h, k=k: [*ARGS[:k], h, *ARGS[k + 1:]] for k in range(8)] + [
    lambda h: [*ARGS[:5], [h, SIMPLE[1]], *ARGS[6:]],
    lambda h: [*ARGS[:5], [(h, INF, INF, 0), SIMPLE[1]], *ARGS[6:]],
    lambda h: [*ARGS[:6], [CENTRE_LOAD, h]],
    lambda h: [*ARGS[:6], [(h, [1, 2, 3, 4, 5])]],
    *[lambda h, kind=kind: [*ARGS[:6], [(kind, h)]] for kind in KINDS],
    lambda h: [*ARGS, {"force": h}],
]
HOSTILE = settings(max_examples=150, deadline=None)


def answers(r):
    """What a result says, as text that tells NaN, -0.0 and every bit apart."""
    reactions, vectors = r.reactions(), r.plotting_vectors(7)
    values = [getattr(r, q)(5.0) for q in QUERIES]
    assert isinstance(reactions, dict) and len(vectors) == 5 and all(type(v) is float for v in values)
    return repr((reactions, vectors, [v.hex() for v in values]))


def engine_answers(r):
    """What the private module's result says, likewise."""
    values = [r.values(q, [5.0, 0.0, 10.0], side) for q in ("nf", "sf", "bm", "d") for side in ("right", "left")]
    return repr((r.reactions(), r.features(), [r.jumps(q) for q in ("nf", "sf", "bm", "d")],
                 [[v.hex() for v in vs] for vs in values]))


def outcome(call, *args, **kwargs):
    """The call's answers, or the type and message of an allowed exception."""
    try:
        r = call(*args, **kwargs)
    except ALLOWED as error:
        return f"{type(error).__name__}: {error}"
    if isinstance(r, _engine.SolvedBeam):
        return engine_answers(r)
    return answers(r) if isinstance(r, flexura.BeamResult) else repr(r)


def failure(call, *args):
    """The exception a call raises as text, or None when it succeeds."""
    text = outcome(call, *args)
    return text if text.partition(":")[0] in {e.__name__ for e in ALLOWED} else None


SHARED = copy.deepcopy(ARGS)
REFERENCE = answers(flexura.solve(*ARGS))
ENGINE_REFERENCE = engine_answers(_engine.solve(*ARGS))


def holds_when_repeated(call, *args, **kwargs):
    """The same call twice gives the same answer to the bit: nothing read
    uninitialised, no conversion state kept between calls."""
    assert outcome(call, *args, **kwargs) == outcome(call, *args, **kwargs)


@HOSTILE
@given(st.sampled_from(PLACES), hostile)
def test_solve_with_one_hostile_argument(place, h):
    holds_when_repeated(flexura.solve, *place(h))
    # The private module reads the arguments with the same code.
    assert failure(_engine.solve, *place(h)) == failure(flexura.solve, *place(h))
    # The valid arguments shared with the call are untouched, and the module
    # still solves the reference beam to the same bits.
    assert ARGS == SHARED
    assert answers(flexura.solve(*ARGS)) == REFERENCE


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
            holds_when_repeated(call, *args, **kwargs)
    solved = _engine.solve(*ARGS)
    for call in [_engine.solve, solved.values, solved.reactions, solved.features, solved.jumps, _engine.axial_factor]:
        holds_when_repeated(call, *args, **kwargs)
    # Whatever its methods were given, the result answers as it did.
    assert answers(r) == REFERENCE
    assert engine_answers(solved) == ENGINE_REFERENCE


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
    (*ARGS[:6], [("\ud800", [1, 2, 3])]), (*ARGS[:6], [("point\udfff", [1])]), (*ARGS, {"\ud800": 1.0})])
def test_kind_and_key_text_without_utf8(args):
    with pytest.raises(ValueError):  # UnicodeEncodeError is a ValueError
        flexura.solve(*args)


# Bounds on CPU time (others' work does not lengthen it), hundreds of times what the call
# takes: they catch a call that fills memory or grows cubically, not a busy machine.
def test_huge_mesh_is_refused_promptly():
    r, start = flexura.solve(*ARGS), time.process_time()
    for n in [2**63, 2**64 - 1, 2**60, 2**50]:
        with pytest.raises(MemoryError):
            r.plotting_vectors(n)
    with pytest.raises(OverflowError):
        r.plotting_vectors(2**64)
    assert time.process_time() - start < 1.0


@pytest.mark.parametrize("restraint", [(0.0, INF, 0.0), (INF, INF, INF), (1e5, 1e6, 0.0)])
def test_five_hundred_supports_finish_in_seconds(restraint):
    start = time.process_time()
    r = flexura.solve(*ARGS[:5], [(k / 50, *restraint) for k in range(500)], [CENTRE_LOAD, ("udl", [-1, 0, 10, 90])])
    reactions = r.reactions()
    assert time.process_time() - start < 5.0
    # The supports carry the 20 of load between them, and the beam meets each
    # support: a deflection of -ry / ky there (zero where it is rigid).
    assert len(reactions) == 500
    assert sum(ry for _, ry, _ in reactions.values()) == pytest.approx(20.0, rel=1e-9)
    assert all(rx == 0.0 for rx, _, _ in reactions.values())
    ky = restraint[1]
    for key, (_, ry, _) in reactions.items():
        assert r.eval_d(float(key)) == pytest.approx(-ry / ky, abs=1e-12)
