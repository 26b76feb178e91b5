"""Guards of the model layer against wrong numbers and hostile input: every fault a
ModelError with its path, or a stated limit, never a wrong result or a bare exception."""
import dataclasses
import math
import sys
import time
from fractions import Fraction

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import flexura_tools as ft
from shared import INF

PIN, ROLLER = ft.Support.pin(0, "A"), ft.Support.roller(10, "B")
SIMPLE = ft.Beam(span=10, E=1e4, I=1, supports=[PIN, ROLLER], loads=[ft.PointLoad(x=5, force=-10)])
HEAD = '{"flexura_model": 1, "span": 10, "E": 1e4, "I": 1, '


def paths(call):
    with pytest.raises(ft.ModelError) as info:
        call()
    return [(p.path, p.message) for p in info.value.problems]


@pytest.mark.parametrize("changes, expected", [
    # the reproduction: two rollers 5.6e-17 apart
    ({"span": 0.6, "supports": [PIN, ft.Support.roller(0.30000000000000004, "B"), ft.Support.roller(0.3, "B2"),
                                ft.Support.roller(0.6, "C")], "loads": [ft.UniformLoad(w=-10)]},
     [("supports[2].x", "0.3 is only 5.551115123125783e-17 from supports[1] at 0.30000000000000004, nearer than "
                        "0.0001 of the span: the solve cannot share the load between two supports so close to "
                        "double precision; give one support there")]),
    ({"supports": [ROLLER, ft.Support.pin(9.9995)]}, [("supports[1].x", "9.9995 is only 0.0005000000000006111 from "
                                                      "supports[0] at 10, nearer than 0.0001 of the span: the solve "
                                                      "cannot share the load between two supports so close to double "
                                                      "precision; give one support there")]),
    ({"supports": [PIN, ROLLER, ft.Support.roller(9.998)]}, []),
    ({"span": 3e19, "supports": [PIN, ft.Support.roller(3e19)], "loads": []}, []),
    # a deflection named apart from the length needs its factor, and the other way round
    ({"unit_names": {"length": "m", "deflection": "mm"}},
     [("unit_names.deflection", "'mm' is not the length unit 'm', but no unit factor says so: deflections would "
                                "come out in m and be labelled mm; give units.deflection (the size of one mm in the "
                                "solve's length unit: 0.001 for mm against m)")]),
    ({"unit_names": {"length": "m", "deflection": "m"}, "units": {"deflection": 1e-3}},
     [("units.deflection", "makes deflections come out in a unit other than the length unit, which unit_names "
                           "calls 'm' for both; name the deflection's unit")]),
    ({"unit_names": {"length": "m", "deflection": "mm"}, "units": {"deflection": 1e-3}}, []),
    # records whose fields could not be converted are reported, not a crash
    ({"supports": None, "loads": 5, "cases": [1], "units": 3},
     [("supports", "must be a list of Support records, got None"), ("loads", "must be a list of loads, got 5"),
      ("units", "must be a mapping of unit keys to factors, got 3"),
      ("cases", "must be a mapping of case names to lists of loads, got [1]")]),
    ({"cases": {"G": None}, "combinations": [ft.Combination(name="c", factors=None)]},
     [("cases.G", "must be a list of loads, got None"),
      ("combinations[0].factors", "must be a mapping of case names to factors, got None")]),
    ({"supports": [PIN, ft.Support(x=[1], ky=INF)], "loads": [ft.PolynomialLoad(coefficients=None, x1=0, x2=1)]},
     [("supports[1].x", "is not a number: got [1]"),
      ("loads[0].coefficients", "must be a list of numbers, got None"),
      ("loads[0].coefficients", "needs at least one coefficient")]),
    ({"span": None, "loads": [ft.UniformLoad(w=-1)]}, [("span", "is not a number: got None")]),
    ({"loads": [ft.PointLoad(x=10**5000, force=-1)]}, [("loads[0].x", "is too large: got an integer of about "
                                                                      "5000 digits")]),
])
def test_model_guards(changes, expected):
    assert [(p.path, p.message) for p in dataclasses.replace(SIMPLE, **changes).problems()] == expected


def test_supports_beyond_2_63_keep_their_own_reactions():
    # flexura's reactions() keys every position from 2**63 on alike; the layer reads them
    # in the supports' order: two equal spans of 1e19 under w, 3/8 w L at the ends, 5/4 w L inside
    span = 1e19
    beam = ft.Beam(span=2 * span, E=1e4, I=1, supports=[ft.Support.roller(span, "B"), ft.Support.pin(0, "A"),
                                                       ft.Support.roller(2 * span, "C")], loads=[ft.UniformLoad(w=-1)])
    reactions = beam.solve().reactions
    assert [r.label for r in reactions] == ["B", "A", "C"]
    assert [reactions[k].ry for k in "ABC"] == pytest.approx([3 / 8 * span, 5 / 4 * span, 3 / 8 * span], rel=1e-12)



def test_fixed_ends_need_no_area_without_an_axial_load():
    fixed = dataclasses.replace(SIMPLE, supports=[ft.Support.fixed(0, "A"), ft.Support.fixed(10, "B")],
                                loads=[ft.UniformLoad(w=-12)])
    result = fixed.solve()
    assert result.raw.eval_bm(0.0) == pytest.approx(-12 * 10**2 / 12, rel=1e-12)  # w L^2 / 12 hogging
    assert repr(result.raw.plotting_vectors(50)) == repr(dataclasses.replace(fixed, A=7.0).solve().raw.plotting_vectors(50))


@pytest.mark.parametrize("call, expected", [
    (lambda: ft.envelope([SIMPLE.solve()], n=math.inf), [("n", "must be a whole number, got inf")]),
    (lambda: ft.envelope([SIMPLE.solve()], n=10**400), [("n", "must be from 1 to 100,000, got an integer of about "
                                                               "400 digits")]),
    (lambda: ft.influence_line(SIMPLE, "bm", 5, n=10**7), [("n", "must be from 1 to 100,000, got 10000000")]),
    (lambda: ft.moving_load(SIMPLE, ft.Vehicle(weights=[1]), step=1e-9),
     [("step", "1e-09 makes 1e+10 positions each way across 10, more than the 100,000 taken; give a longer step")]),
    (lambda: ft.moving_load(SIMPLE, ft.Vehicle(weights=[1]), step=5e-324, n=2.5),
     [("step", "5e-324 makes inf positions each way across 10, more than the 100,000 taken; give a longer step")]),
    (lambda: ft.hl93_truck(rear_spacing=12),
     [("rear_spacing", "the design truck's rear axles are 4.3 to 9.0 m apart, got 12")]),
    (lambda: ft.from_json(HEAD + '"supports": [{"type": [], "x": {}}, {"type": "pin", "x": {}}], "": 1}'),
     [('""', "is not a known key"),
      ("supports[0].type", "[] is not a support type (pin, roller, fixed; or leave out the type and give kx, ky "
                           "and km)"), ("supports[1].x", "is not a number: got {}")]),
    (lambda: ft.from_json(HEAD + '"supports": [], "title": ' + "[" * 8 + "]" * 8 + "}"),
     [("title[0][0][0][0][0][0][0]", "nests lists or objects deeper than a model file does (8 levels)")]),
    (lambda: ft.from_toml("a = " + "9" * 5000), [("", "not valid TOML: Exceeds the limit (4300 digits) for integer "
                                                      "string conversion: value has 5000 digits; use "
                                                      "sys.set_int_max_str_digits() to increase the limit")
                                                 if sys.version_info >= (3, 11) else
                                                 ("", "TOML model files need Python 3.11 or newer; use JSON")]),
    (lambda: ft.Beam(span=10, E=1, I=1, supports=[PIN, ROLLER], loads=[ft.PointLoad(x=(k + 0.5) / 300, force=-1)
                                                                       for k in range(3000)]).solve().extremes(),
     [("loads", "the loads and supports make 3002 positions where the diagrams change, more than the 2,000 that "
                "the search for extremes takes (its cost grows with their square); read the diagrams with "
                "diagram(n) or the exact queries of raw instead")]),
])
def test_hostile_arguments_are_model_errors(call, expected):
    assert paths(call)[:len(expected)] == expected


def test_many_keys_are_checked_in_linear_time():
    text = "{" + ", ".join(f'"k{i}": 1' for i in range(32_000)) + "}"
    start = time.perf_counter()
    problems = paths(lambda: ft.from_json(text))
    assert problems[21] == ("", "has 31980 more keys that are not known (32000 in all)")
    assert time.perf_counter() - start < 5  # was 16 s: quadratic in the keys


def test_a_load_at_the_least_double_and_fractions_save(tmp_path):
    tiny = dataclasses.replace(SIMPLE, loads=[ft.PointLoad(x=5e-324, force=-1)]).solve().extremes()
    assert (tiny.sf.max, tiny.d.min) == (1.0, 0.0)
    exact = dataclasses.replace(SIMPLE, span=Fraction(10), loads=[ft.PointLoad(x=Fraction(1, 3), force=-1)]).check()
    ft.save(exact, tmp_path / "f.json")
    assert ft.load(tmp_path / "f.json").solve().reactions["A"].ry == exact.solve().reactions["A"].ry


NUMBERS = st.one_of(st.none(), st.booleans(), st.integers(), st.floats(), st.text(max_size=3),
                    st.fractions(), st.just(10**400), st.lists(st.integers(), max_size=2),
                    st.dictionaries(st.text(max_size=2), st.integers(), max_size=2))
SUPPORTS = st.builds(ft.Support, x=NUMBERS, kx=NUMBERS, ky=NUMBERS, km=NUMBERS, label=NUMBERS)
LOADS = st.one_of(st.builds(ft.PointLoad, x=NUMBERS, force=NUMBERS, angle=NUMBERS),
                  st.builds(ft.UniformLoad, w=NUMBERS, x1=NUMBERS, x2=NUMBERS),
                  st.builds(ft.PolynomialLoad, coefficients=NUMBERS | st.lists(NUMBERS, max_size=3), x1=NUMBERS,
                            x2=NUMBERS),
                  st.builds(ft.Settlement, support=NUMBERS, dy=NUMBERS, rotation=NUMBERS),
                  st.builds(ft.Curvature, x1=NUMBERS, x2=NUMBERS, k1=NUMBERS, k2=NUMBERS),
                  st.builds(ft.ThermalGradient, x1=NUMBERS, x2=NUMBERS, alpha=NUMBERS, dT=NUMBERS, depth=NUMBERS),
                  NUMBERS)
SECTIONS = st.builds(ft.Section, x1=NUMBERS, x2=NUMBERS, E=NUMBERS, I=NUMBERS, A=NUMBERS, G=NUMBERS)
MANY = st.one_of(NUMBERS, st.lists(st.one_of(SUPPORTS, LOADS), max_size=3))
BEAMS = st.builds(ft.Beam, span=NUMBERS, E=NUMBERS, I=NUMBERS, A=NUMBERS, G=NUMBERS, supports=MANY, loads=MANY,
                  units=NUMBERS | st.dictionaries(st.sampled_from(["force", "deflection", "x"]), NUMBERS),
                  unit_names=NUMBERS, title=NUMBERS, cases=NUMBERS | st.dictionaries(st.text(max_size=2), MANY, max_size=2),
                  combinations=NUMBERS | st.lists(st.builds(ft.Combination, name=NUMBERS, factors=NUMBERS | st.dictionaries(
                      st.text(max_size=2), NUMBERS)), max_size=2),
                  sections=NUMBERS | st.lists(st.one_of(SECTIONS, NUMBERS), max_size=3),
                  hinges=NUMBERS | st.lists(NUMBERS, max_size=3))
KEYS = st.sampled_from(["flexura_model", "span", "E", "I", "A", "supports", "loads", "type", "x", "force", "w",
                        "cases", "combinations", "name", "factors", "units", "unit_names", "coefficients", "sections",
                        "hinges", "support", "dy", "k1", "x1", "x2", "km", ""])
JSON = st.recursive(st.one_of(st.none(), st.booleans(), st.integers(), st.floats(), st.sampled_from(
    ["pin", "point", "uniform", "polynomial", "settlement", "curvature", "thermal", "inf", "x"])), lambda inner: st.lists(inner, max_size=3) |
    st.dictionaries(KEYS, inner, max_size=5), max_leaves=20)


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(beam=BEAMS, data=st.dictionaries(KEYS, JSON, max_size=8) | JSON, version=st.sampled_from([1, 2, 3]))
def test_constructors_and_the_model_file_raise_only_model_errors(beam, data, version):
    for call in (beam.check, beam.solve, lambda: ft.from_dict({"flexura_model": version, **data}
                                                              if isinstance(data, dict) else data)):
        try:
            call()
        except ft.ModelError:
            pass
