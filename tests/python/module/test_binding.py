import traceback

import pytest

import flexura
from shared import ARGS, CENTRE_LOAD, INF, NAN, PARAMETERS, SIMPLE, Raising, raises_exactly, solve

KEYWORDS = dict(zip(PARAMETERS, ARGS))
NOT_REAL = "must be real number, not str"


@pytest.mark.parametrize("method, args, kwargs, message", [
    (None, ARGS + (None, 1), {}, "solve() takes from 7 to 8 positional arguments but 9 were given"),
    (None, ARGS, {"span": 10}, "solve() got multiple values for argument 'span'"),
    (None, ARGS, {"unit": {}}, "solve() got an unexpected keyword argument 'unit'"),
    (None, ARGS[:5], {}, "solve() missing 2 required positional arguments: 'supports' and 'loads'"),
    (None, ARGS[:4], {}, "solve() missing 3 required positional arguments: 'g', 'supports', and 'loads'"),
    (None, (), {"loads": []}, "solve() missing 6 required positional arguments: "
                              "'span', 'e', 'i', 'a', 'g', and 'supports'"),
    ("eval_d", (1, 2), {}, "BeamResult.eval_d() takes 1 positional arguments but 2 were given"),
    ("eval_d", (), {}, "BeamResult.eval_d() missing 1 required positional argument: 'x'"),
    ("get_shear_force", (1,), {"x": 1}, "BeamResult.get_shear_force() got multiple values for argument 'x'"),
    ("plotting_vectors", (1, 2), {},
     "BeamResult.plotting_vectors() takes from 0 to 1 positional arguments but 2 were given"),
    ("plotting_vectors", (), {"m": 1}, "BeamResult.plotting_vectors() got an unexpected keyword argument 'm'"),
])
def test_binding_messages(centre, method, args, kwargs, message):
    target = flexura.solve if method is None else getattr(centre, method)
    raises_exactly(TypeError, message, target, *args, **kwargs)


def test_keywords_in_any_order(centre):
    by_keyword = flexura.solve(**dict(reversed(list(KEYWORDS.items()))), units=None)
    assert by_keyword.reactions() == centre.reactions()


@pytest.mark.parametrize("override, exc, message", [
    ({"span": "x"}, TypeError, f"argument 'span': {NOT_REAL}"),
    ({"supports": "abc"}, TypeError, "argument 'supports': Can't extract `str` to `Vec`"),
    ({"supports": 5}, TypeError, "argument 'supports': 'int' object cannot be converted to 'Sequence'"),
    ({"supports": [[0, INF, INF, 0]]}, TypeError, "argument 'supports': 'list' object cannot be converted to 'PyTuple'"),
    ({"supports": [(0, INF, INF)]}, ValueError, "expected tuple of length 4, but got tuple of length 3"),
    ({"supports": [(0, "a", 1, 1)]}, TypeError, f"argument 'supports': {NOT_REAL}"),
    ({"loads": "12"}, TypeError, "argument 'loads': Can't extract `str` to `Vec`"),
    ({"loads": [("point", "12")]}, TypeError, "argument 'loads': Can't extract `str` to `Vec`"),
    ({"loads": [("point", 5)]}, TypeError, "argument 'loads': 'int' object cannot be converted to 'Sequence'"),
    ({"loads": [("point", [1, 2, 3], 4)]}, ValueError, "expected tuple of length 2, but got tuple of length 3"),
    ({"loads": [(1, [1, 2, 3])]}, TypeError, "argument 'loads': 'int' object cannot be converted to 'PyString'"),
    ({"loads": [("point", [1, "a", 3])]}, TypeError, f"argument 'loads': {NOT_REAL}"),
    ({"loads": [("\ud800", [])]}, UnicodeEncodeError, None),
    ({"units": []}, TypeError, "argument 'units': 'list' object cannot be converted to 'PyDict'"),
    ({"units": {1: 2.0}}, TypeError, "argument 'units': 'int' object cannot be converted to 'PyString'"),
    ({"units": {"force": "x"}}, TypeError, f"argument 'units': {NOT_REAL}"),
    ({"units": {"not a factor": "x"}}, TypeError, f"argument 'units': {NOT_REAL}"),
    ({"loads": [("Point", [1, 2, 3])]}, ValueError, "unknown load kind 'Point'"),
    ({"loads": [("a\x00b", [])]}, ValueError, "unknown load kind 'a\x00b'"),
    ({"loads": [("", [])]}, ValueError, "unknown load kind ''"),
    ({"loads": [("point", [])]}, ValueError, "load 'point' needs 3 params, got 0"),
    ({"loads": [("trap", [1, 2, 0, 3])]}, ValueError, "load 'trap' needs 5 params, got 4"),
    ({"loads": [("dist", [0, 3, 90])]}, ValueError, "load 'dist' needs 4 params, got 3"),
    ({"supports": []}, ValueError, "beam is unstable / singular (no unique solution)"),
    ({"supports": [(NAN, INF, INF, 0), (10, 0, INF, 0)]}, ValueError, "support position is not a number"),
    # Precedence: numbers, supports, load shapes, units, load kinds/counts, analysis.
    ({"span": "x", "supports": "s"}, TypeError, f"argument 'span': {NOT_REAL}"),
    ({"loads": [("bogus", [])], "supports": 5}, TypeError,
     "argument 'supports': 'int' object cannot be converted to 'Sequence'"),
    ({"loads": [("point", "12")], "units": []}, TypeError, "argument 'loads': Can't extract `str` to `Vec`"),
    ({"loads": [("bogus", [])], "units": {"force": "x"}}, TypeError, f"argument 'units': {NOT_REAL}"),
    ({"loads": [CENTRE_LOAD, ("bogus", [])], "supports": []}, ValueError, "unknown load kind 'bogus'"),
    ({"loads": [("point", [1]), ("bogus", [])]}, ValueError, "load 'point' needs 3 params, got 1"),
    ({"loads": [("bogus", []), ("point", [1])]}, ValueError, "unknown load kind 'bogus'"),
])
def test_conversion_and_solve_failures(override, exc, message):
    raises_exactly(exc, message, flexura.solve, **{**KEYWORDS, **override})


class SubTypeError(TypeError):
    pass


def _with_cause(error, cause):
    error.__cause__ = cause
    return error


@pytest.mark.parametrize("where", ["span", "supports", "units", "x", "n"])
@pytest.mark.parametrize("error, wrapped", [
    (SubTypeError("own"), False),
    (KeyError("own"), False),
    (TypeError("own"), True),
    (_with_cause(TypeError("own"), KeyError("root")), True),
])
def test_conversion_error_wrapping(centre, where, error, wrapped):
    bad = Raising(error)
    calls = {
        "span": lambda: solve(span=bad),
        "supports": lambda: solve(supports=[(0, INF, bad, 0)]),
        "units": lambda: solve(units={"force": bad}),
        "x": lambda: centre.get_deflection(bad),
        "n": lambda: centre.plotting_vectors(bad),
    }
    with pytest.raises(BaseException) as info:
        calls[where]()
    if not wrapped:
        assert info.value is error
        return
    assert type(info.value) is TypeError and info.value is not error
    assert str(info.value) == f"argument '{where}': own"
    assert info.value.__cause__ is error.__cause__
    # Chained as Python code would chain it, with the caller's frame kept.
    assert info.value.__context__ is error
    frames = [frame.f_code for frame, _ in traceback.walk_tb(info.value.__traceback__)]
    assert frames[-1] is Raising.__float__.__code__


def test_units_forms_and_numeric_types_agree(centre):
    expected = (centre.reactions(), centre.plotting_vectors(20))
    variants = [
        solve([CENTRE_LOAD], units=None),
        solve([CENTRE_LOAD], units={}),
        solve([CENTRE_LOAD], units={"Length": 2}),
        solve([CENTRE_LOAD], units={"force": 1, "length": True}),
        flexura.solve(10.0, 10000, True, 1, INF, tuple(SIMPLE), [("point", (-10, 5.0, 90, 7))]),
    ]
    for r in variants:
        assert (r.reactions(), r.plotting_vectors(20)) == expected
    scaled = solve([CENTRE_LOAD], units={"force": 1000})
    # Forces in and out are in the caller's unit; only the deflection sees the factor.
    assert scaled.reactions() == centre.reactions()
    assert scaled.eval_d(5) == pytest.approx(1000 * centre.eval_d(5), rel=1e-12)


def test_reentrant_conversion(centre):
    class Nested:
        """Solves and queries another beam while being converted."""

        def __float__(self):
            inner = solve([("point", [-4, 2, 90])])
            return inner.get_shear_force(1) + inner.reactions()["10"][1]  # 3.2 + 0.8

    assert centre.eval_bm(Nested()) == centre.eval_bm(4.0) == 20.0
    assert 4.0 in solve([CENTRE_LOAD], span=Nested()).plotting_vectors(2)["x"]


class ClaimsHugeLength:
    """A sequence whose __len__ is absurd: the length is only a capacity hint."""

    def __len__(self):
        return 2**62

    def __getitem__(self, k):
        if k > 0:
            raise IndexError(k)
        return (0, INF, INF, INF)


def test_sequence_length_is_only_a_hint():
    result = flexura.solve(**{**KEYWORDS, "supports": ClaimsHugeLength(), "loads": []})
    assert result.reactions() == {"0": [0.0, 0.0, -0.0]}


@pytest.mark.parametrize("exc", [KeyboardInterrupt, SystemExit, GeneratorExit])
def test_length_that_is_not_an_ordinary_error_propagates(exc):
    class Interrupted(ClaimsHugeLength):
        def __len__(self):
            raise exc

    with pytest.raises(exc):
        flexura.solve(**{**KEYWORDS, "supports": Interrupted(), "loads": []})
