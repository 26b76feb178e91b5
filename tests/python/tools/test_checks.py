"""Models the layer refuses, every problem named with its path, from Python and
from model files."""
import dataclasses
import math

import pytest

import flexura_tools as ft
from shared import INF

PIN, ROLLER = ft.Support.pin(0, "A"), ft.Support.roller(10, "B")
SIMPLE = ft.Beam(span=10, E=1e4, I=1, supports=[PIN, ROLLER], loads=[ft.PointLoad(x=5, force=-10)])
KEYS = "(keys: length, force, moment, distributed, stiffness, A, G, E, I, deflection)"
REVERSED = ("x1 = 8 is not before x2 = 2: solve() reads a range given right to left as a load acting "
            "the other way; write it left to right (x1 < x2) and negate the intensity")
UNBALANCED = ("has a horizontal component, but no support restrains the beam horizontally (kx): solve() "
              "would leave it unbalanced; give a support kx (a pin or a fixed end)")


def problems_of(**changes):
    return [(p.path, p.message) for p in dataclasses.replace(SIMPLE, **changes).problems()]


@pytest.mark.parametrize("changes, expected", [
    ({"span": 0}, [("span", "must be positive and finite, got 0")]),
    ({"span": math.nan}, [("span", "must be positive and finite, got nan")]),
    ({"E": -2.0e8}, [("E", "must be positive and finite, got -200000000")]),
    ({"I": "big"}, [("I", "is not a number: got 'big'")]),
    ({"I": True}, [("I", "is not a number: got True")]),
    ({"G": 0}, [("G", "must be positive (or inf for no shear deformation), got 0")]),
    ({"G": 8e7}, [("A", "is needed for the shear stiffness G*A (G is finite)")]),
    ({"A": -INF}, [("A", "must be positive and finite, got -inf")]),
    ({"supports": [PIN, ft.Support.pin(10)], "loads": [ft.PointLoad(x=5, force=-10, angle=60)]},
     [("loads[0]", "has a horizontal component, which the 2 horizontal restraints share by the axial stiffness "
                   "E*A: give the beam A")]),
    ({"loads": [ft.PointLoad(x=15, force=-10)]}, [("loads[0].x", "15 is beyond the span 10")]),
    ({"loads": [ft.Moment(x=-1, moment=math.nan)]}, [("loads[0].x", "-1 is left of the beam, which starts at 0"),
                                                     ("loads[0].moment", "must be finite, got nan")]),
    ({"loads": [ft.UniformLoad(w=-1, x1=8, x2=2)]}, [("loads[0]", REVERSED)]),
    ({"loads": [ft.TrapezoidalLoad(w1=-1, w2=-2, x1=5, x2=5)]},
     [("loads[0]", "x1 = x2 = 5: a load of zero length carries nothing")]),
    ({"loads": [ft.UniformLoad(w=-1, x1=10)]}, [("loads[0]", "x1 = x2 = 10: a load of zero length carries nothing")]),
    ({"loads": [ft.PolynomialLoad(coefficients=[], x1=0, x2=1, angle=INF)]},
     [("loads[0].coefficients", "needs at least one coefficient"), ("loads[0].angle", "must be finite, got inf")]),
    ({"loads": [("point", [-10, 5, 90])]},
     [("loads[0]", "is not a load (PointLoad, UniformLoad, TrapezoidalLoad, PolynomialLoad, Moment, Settlement, "
                   "Curvature, ThermalGradient): got ('point', [-10, 5, 90])")]),
    ({"supports": [PIN, ft.Support(x=10, ky=INF, km=-5)]},
     [("supports[1].km", "must be 0 (free), a spring stiffness above 0 or inf (rigid), got -5")]),
    ({"supports": [PIN, ft.Support.spring(10, ky=-3e3)]},
     [("supports[1].ky", "must be 0 (free), a spring stiffness above 0 or inf (rigid), got -3000")]),
    ({"supports": [PIN, ft.Support(x=10)]}, [("supports[1]", "restrains nothing: kx, ky and km are all 0"),
                                             ("supports", "the beam is a mechanism: it can turn about its only "
                                                          "support at x = 0; give a second support or fix this one")]),
    ({"supports": [PIN, ft.Support.roller(0, "C")]},
     [("supports[1].x", "0 is also the position of supports[0]: give one Support per position (it restrains "
                        "all three directions)")]),
    ({"supports": [PIN, ft.Support.roller(10, "A")]}, [("supports[1].label", "'A' is also the label of supports[0]")]),
    ({"supports": [PIN, ft.Support.roller(10, "")]}, [("supports[1].label", "must be a non-empty text, got ''")]),
    ({"supports": [PIN, ft.Support.roller(10, ["B"])]}, [("supports[1].label", "must be a non-empty text, got ['B']")]),
    ({"supports": [PIN, (10, 0, INF, 0)]}, [("supports[1]", "is not a Support: got (10, 0, inf, 0)")]),
    ({"supports": [ft.Support.roller(4)]}, [("supports", "the beam is a mechanism: it can turn about its only "
                                                         "support at x = 4; give a second support or fix this one")]),
    ({"supports": [ft.Support(x=0, kx=INF, km=INF)]},
     [("supports", "nothing restrains the beam vertically: give a pin, a roller, a fixed end or a vertical spring")]),
    ({"supports": []}, [("supports", "nothing restrains the beam vertically: give a pin, a roller, a fixed end "
                                     "or a vertical spring")]),
    ({"supports": [ft.Support.roller(0), ROLLER], "loads": [ft.PointLoad(x=5, force=-10, angle=60)]},
     [("loads[0]", UNBALANCED)]),
    ({"units": {"Force": 1e3, "deflectoin": 1e-3, "force": 0}},
     [("units.Force", "is not a unit key; did you mean 'force'? " + KEYS),
      ("units.deflectoin", "is not a unit key; did you mean 'deflection'? " + KEYS),
      ("units.force", "must be positive and finite, got 0")]),
    ({"unit_names": {"force": 1000}}, [("unit_names.force", "must be a text such as 'kN', got 1000")]),
    ({"cases": {"G": [ft.PointLoad(x=15, force=-1)]}}, [("cases.G[0].x", "15 is beyond the span 10")]),
    ({"cases": {"G": []}, "combinations": [ft.Combination(name="ULS", factors={"g": 1.5, "G": math.nan}),
                                           ft.Combination(name="ULS", factors={})]},
     [("combinations[0].factors.g", "is not a load case; did you mean 'G'? (cases: G)"),
      ("combinations[0].factors.G", "must be finite, got nan"),
      ("combinations[1].name", "'ULS' is also the name of combinations[0]"),
      ("combinations[1].factors", "has no factors: give at least one case and its factor")]),
])
def test_invalid_model_names_each_problem(changes, expected):
    assert problems_of(**changes) == expected
    with pytest.raises(ft.ModelError) as info:
        dataclasses.replace(SIMPLE, **changes).solve()
    assert isinstance(info.value, ValueError) and info.value.problems == tuple(ft.Problem(*p) for p in expected)


FLOATS = ft.Beam(span=10.0, E=1e4, I=1.0, supports=[ft.Support.pin(0.0, "A"), ft.Support.roller(10.0)])
FINITE, POSITIVE, RESTRAINT = "must be finite, got ", "must be positive and finite, got ", "must be 0 (free), a "


@pytest.mark.parametrize("changes, named", [
    ({"span": INF, "E": math.nan, "A": INF, "units": {"force": INF}},
     [("span", POSITIVE + "inf"), ("E", POSITIVE + "nan"), ("A", POSITIVE + "inf"), ("units.force", POSITIVE + "inf")]),
    ({"supports": [ft.Support.pin(-0.5), ft.Support.roller(10.5), ft.Support(x=5.0, ky=math.nan)]},
     [("supports[0].x", "-0.5 is left of"), ("supports[1].x", "10.5 is beyond"), ("supports[2].ky", RESTRAINT)]),
    ({"supports": [FLOATS.supports[0], ft.Support(x=math.nan, ky=-1.0), ft.Support(x=10.0), ft.Support.pin(7.0, "")]},
     [("supports[1].x", FINITE + "nan"), ("supports[1].ky", RESTRAINT), ("supports[2]", "restrains nothing"),
      ("supports[3].label", "must be a non-empty text")]),
    ({"loads": [ft.PointLoad(x=10.5, force=-1.0), ft.PointLoad(x=5.0, force=INF), ft.UniformLoad(w=math.nan),
                ft.UniformLoad(w=-1.0, x1=10.0), ft.UniformLoad(w=-1.0, x1=8.0, x2=2.0), ft.Moment(x=-0.5, moment=1.0),
                ft.TrapezoidalLoad(w1=-1.0, w2=INF, x1=0.0, x2=4.0),
                ft.TrapezoidalLoad(w1=-1.0, w2=-2.0, x1=4.0, x2=12.0)]},
     [("loads[0].x", "10.5 is beyond"), ("loads[1].force", FINITE + "inf"), ("loads[2].w", FINITE + "nan"),
      ("loads[3]", "x1 = x2 = 10"), ("loads[4]", REVERSED), ("loads[5].x", "-0.5 is left of"),
      ("loads[6].w2", FINITE + "inf"), ("loads[7].x2", "12 is beyond")]),
])
def test_each_problem_of_a_model_of_floats_is_named_past_the_checks_shortcuts(changes, named):
    found = dataclasses.replace(FLOATS, **changes).problems()
    assert len(found) == len(named) and [(p.path, p.message[:len(m)]) for p, (_, m) in zip(found, named)] == named


@pytest.mark.parametrize("load", [ft.PointLoad(x=5, force=-1, angle=90), ft.PointLoad(x=5, force=-1, angle=-270),
                                  ft.UniformLoad(w=0, angle=0), ft.Moment(x=5, moment=3)])
def test_loads_without_horizontal_part_need_no_horizontal_restraint(load):
    assert problems_of(supports=[ft.Support.roller(0), ROLLER], loads=[load]) == []


def test_five_problems_are_reported_at_once():
    beam = ft.Beam(span=10, E=0, I=1, units={"Force": 1e3}, supports=[ft.Support(x=3, ky=INF, km=-5), ROLLER],
                   loads=[ft.PointLoad(x=15, force=-1), ft.UniformLoad(w=1, x1=8, x2=2)])
    with pytest.raises(ft.ModelError) as info:
        beam.check()
    assert str(info.value).splitlines() == [
        "5 problems in the model", "  E: must be positive and finite, got 0",
        "  units.Force: is not a unit key; did you mean 'force'? " + KEYS,
        "  supports[0].km: must be 0 (free), a spring stiffness above 0 or inf (rigid), got -5",
        "  loads[0].x: 15 is beyond the span 10", "  loads[1]: " + REVERSED]


@pytest.mark.parametrize("changes, expected", [
    ({"supports": [ft.Support.spring(0, ky=5e-324, kx=INF), ft.Support.spring(10, ky=5e-324)]},
     [("supports[0].ky", "5e-324 takes the spring's flexibility 1 / k to about 1e323"),
      ("supports[1].ky", "5e-324 takes the spring's flexibility 1 / k to about 1e323")]),
    ({"supports": [ft.Support(x=0, kx=INF, ky=INF, km=5e-324), ft.Support.roller(10)]},
     [("supports[0].km", "5e-324 takes the spring's flexibility 1 / k to about 1e323")]),
    ({"loads": [ft.PointLoad(x=5, force=-1e308)]}, [("loads[0].force", "-1e+308 takes its moment about the ends")]),
    ({"E": 1e308, "I": 1e10}, [("E", "1e+308 takes E * I to about 1e318")]),
    ({"E": 1e-300, "I": 1e-20}, [("E", "1e-300 takes the flexibility 1 / (E * I) to about 1e320")]),
    ({"span": 1e80, "supports": [PIN, ft.Support.roller(1e80)], "loads": [ft.UniformLoad(w=-1)]},
     [("span", "1e+80 takes the span to the power 4")]),
])
def test_overflow_names_the_input_not_a_singular_beam(changes, expected):
    beam = dataclasses.replace(SIMPLE, **changes)
    with pytest.raises(ft.ModelError) as info:
        beam.solve()
    assert [(p.path, p.message[:len(m)]) for p, (_, m) in zip(info.value.problems, expected)] == expected
    assert all("beyond the largest double (1.8e308)" in p.message for p in info.value.problems)


def test_a_result_that_does_not_balance_its_loads_is_refused():
    # Supports a rounding error apart, let past the checks: reactions of 3.9e15, 6.17 against 6 applied.
    beam = ft.Beam(span=0.6, E=2e8, I=1e-4, loads=[ft.UniformLoad(w=-10)], supports=[
        ft.Support.pin(0), ft.Support.roller(0.30000000000000004), ft.Support.roller(0.3), ft.Support.roller(0.6)])
    object.__setattr__(beam, "_checked", True)
    with pytest.raises(ft.ModelError, match="does not balance the loads: it leaves 0.166"):
        beam.solve()


GOOD = ('"flexura_model": 1, "span": 10, "E": 1e4, "I": 1, "supports": [{"type": "pin", "x": 0}, '
        '{"x": 10, "ky": "inf"}]')


@pytest.mark.parametrize("text, expected", [
    ("{" + GOOD + ', "loads": [{"type": "point", "x": 15, "force": -1}]}', [("loads[0].x", "15 is beyond the span 10")]),
    ('{"span": 10, "E": 1e4, "I": 1, "supports": []}',
     [("flexura_model", 'is missing: a model file starts with "flexura_model": 1'),
      ("supports", "nothing restrains the beam vertically: give a pin, a roller, a fixed end or a vertical spring")]),
    ('{"flexura_model": 4, "spam": 1}', [("flexura_model", "version 4 is not known here; this reader knows 1, 2 and 3")]),
    ('{"flexura_model": 1, "spna": 10, "E": 1e4, "E": 2e4, "supports": {}}',
     [("spna", "is not a known key; did you mean 'span'?"), ("E", "is given more than once"),
      ("span", "is missing"), ("I", "is missing"), ("supports", "must be a list [...], got {}")]),
    ("{" + GOOD + ', "A": Infinity}',
     [("", 'not valid JSON: Infinity is not a JSON number; write it as text ("inf", "-inf" or "nan")')]),
    ("[1]", [("", "a model file holds one object {...}")]),
    ("{" + GOOD + ', "cases": {"G": 3}, "combinations": [{"name": "ULS"}]}',
     [("cases", 'came with version 2: write "flexura_model": 2'),
      ("combinations", 'came with version 2: write "flexura_model": 2'), ("cases.G", "must be a list of loads [...], got 3"),
      ("combinations[0].factors", "is missing")]),
    ("{" + GOOD.replace('"pin"', '"Pin"') + "}",
     [("supports[0].type", "'Pin' is not a support type; did you mean 'pin'? (pin, roller, fixed; or leave out "
                           "the type and give kx, ky and km)")]),
    ("{" + GOOD.replace('"x": 0}', '"x": 0, "ky": 5}') + "}",
     [("supports[0].ky", "is not a known key (a pin sets kx, ky and km itself)")]),
    ("{" + GOOD + ', "loads": [{"x": 5}, {"type": "point", "x": 5, "forse": -1}, 7,'
                  ' {"type": "point", "x": "ten", "force": -1}, {"type": "polynomial", "x1": 0, "x2": 1,'
                  ' "coefficients": 3}, {"type": "uniform", "w": -1, "x2": null}]}',
     [("loads[0].type", "is missing (point, uniform, trapezoidal, polynomial, moment, settlement, curvature, thermal)"),
      ("loads[1].forse", "is not a known key; did you mean 'force'?"), ("loads[1].force", "is missing"),
      ("loads[2]", "must be an object {...}"), ("loads[4].coefficients", "must be a list of numbers, got 3"),
      ("loads[3].x", "is not a number: got 'ten'")]),
])
def test_model_file_problems_name_their_place(text, expected):
    with pytest.raises(ft.ModelError) as info:
        ft.from_json(text)
    assert [(p.path, p.message) for p in info.value.problems] == expected


def test_json_syntax_error_names_line_and_column():
    # The parser's own wording differs between Python versions.
    with pytest.raises(ft.ModelError, match=r"^1 problem in the model\n  not valid JSON: .+ \(line 2, column \d+\)$"):
        ft.from_json('{"flexura_model": 1,\n "span": 10,}')
