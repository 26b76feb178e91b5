"""flexura_tools._engine beyond flexura.solve: stepped sections, hinges, rotational
springs, settlements and imposed curvature, and the rotation, against closed forms;
without them, flexura's bits."""
import json
import math
import random
from pathlib import Path

import pytest

import flexura
from shared import ARGS, INF
from flexura_tools import Support, _engine
from flexura_tools.checks import Checker
from flexura_tools.hinges import check_mechanism

GOLDEN = Path(__file__).resolve().parents[2] / "golden"
CORPUS = [c for c in json.loads((GOLDEN / "corpus.json").read_text())["cases"] if "error" not in c["expected"]]
EI, L = 1e4, 10.0
SECTION = (L, 1e4, 1, 1, INF)  # span, e, i, a, g of EI = 1e4
UDL = ("udl", [-2, 0, 10, 90])
FIXED, ROLLER = (0, INF, INF, INF), (10, 0, INF, 0)


def close(got, want):
    return got == pytest.approx(want, rel=1e-9, abs=1e-12)


@pytest.mark.parametrize("case", CORPUS, ids=[c["name"] for c in CORPUS])
def test_without_extensions_the_bits_of_flexura(case):
    span, e, i, a, g, supports, loads, units = case["args"]
    args = (span, e, i, a, g, [tuple(s) for s in supports], [tuple(load) for load in loads], units)
    mine = _engine.solve(*args, sections=[], hinges=(), settlements=None, curvatures=[], rotation=True)
    theirs = flexura.solve(*args)
    xs = [float.fromhex(x) for x in case["expected"]["x"]]
    for q in ("nf", "sf", "bm", "d"):
        assert [v.hex() for v in mine.values(q, xs)] == [getattr(theirs, f"eval_{q}")(x).hex() for x in xs]
    assert mine.hinge_jumps() == []


@pytest.mark.parametrize("km, units", [(3e3, None), (300, {"moment": 10}), (1e12, None), (1e-6, None)])
def test_rotational_spring_moves_the_end_moment_from_pinned_to_fixed(km, units):
    # w L^2 / 8 = 25 (base units) times 1 / (1 + 3 EI / (k L)); km in the caller's moment unit per radian.
    k = km * (units or {}).get("moment", 1)
    m = 25 / (1 + 3 * EI / (k * L))
    r = _engine.solve(*SECTION, [(0, INF, INF, km), ROLLER], [UDL], units, rotational_springs=True, rotation=True)
    scale = (units or {}).get("moment", 1)
    assert r.reactions()[0][2] == pytest.approx(m / scale, rel=1e-9, abs=1e-10)  # rounded to 10 decimals
    assert close(r.values("rotation", 0.0), -m / k)


def test_settlement_in_the_deflection_unit():
    # Two spans, the middle support 10 mm down: 6 EI delta / L^3 there.
    supports = [(0, INF, INF, 0), (10, 0, INF, 0), (20, 0, INF, 0)]
    r = _engine.solve(20, 1e4, 1, 1, INF, supports, [], {"deflection": 1e-3}, settlements=[(0, 0), (-10, 0), (0, 0)])
    assert all(close(got[1], want) for got, want in zip(r.reactions(), [0.3, -0.6, 0.3]))
    assert close(r.values("d", 10.0), -10)


def test_every_list_reaches_the_core():
    # A Gerber beam (hinge at 4) stepped at 4 under a curvature: each list changes the answer as its
    # closed form says (the C++ tests check the forms in detail), and the hinge's jump reads both sides.
    gerber = _engine.solve(*SECTION, [FIXED, ROLLER], [UDL], hinges=[4], rotation=True)
    left, right = -(2 * 64 / 6 + 6 * 16 / 2) / EI, (2 * 256 / 8 + 6 * 64 / 3) / EI / 6 - 2 * 216 / (24 * EI)
    assert close(gerber.values("rotation", [4.0, 4.0], "left"), [left, left]) and close(gerber.hinge_jumps(), [right - left])
    assert gerber.jumps("rotation") == [4.0] and close(gerber.values("bm", 4.0), 0)
    stepped = _engine.solve(*SECTION, [FIXED], [("point", [-10, 10, 90])], sections=[(4, 1e4, 2, 1, INF)],
                            curvatures=[(1e-3, 1e-3, 0, 10)])
    assert close(stepped.values("d", 10.0), -10 * ((1000 - 216) / (3 * EI) + 216 / (6 * EI)) + 0.05)
    assert stepped.features() == [0.0, 4.0, 10.0]


@pytest.mark.parametrize("kwargs, error, message", [
    ({"sections": [(1, 2)]}, ValueError, "expected tuple of length 5"),
    ({"sections": [[1, 2, 3, 4, 5]]}, TypeError, "argument 'sections'"),
    ({"sections": [(6, 1, 1, 1, INF), (4, 1, 1, 1, INF)]}, ValueError, "ascending order"),
    ({"hinges": ["4"]}, TypeError, "argument 'hinges'"),
    ({"settlements": [(0, 0)]}, ValueError, "got 1 for 2 supports"),
    ({"curvatures": 1e-3}, TypeError, "argument 'curvatures'"),
    ({"rotational_springs": 1}, TypeError, "argument 'rotational_springs'"),
    ({"rotation": "yes"}, TypeError, "argument 'rotation'"),
    ({"hinges": [0]}, ValueError, "unstable"),  # a hinge at a pinned end is a mechanism
])
def test_extension_errors(kwargs, error, message):
    with pytest.raises(error, match=message):
        _engine.solve(*ARGS, **kwargs)


def test_rotation_is_read_only_when_asked_for():
    r = _engine.solve(*ARGS)
    for read in (lambda: r.values("rotation", 1.0), lambda: r.jumps("rotation")):
        with pytest.raises(ValueError, match="rotation=True"):
            read()
    # Asked for, the simple span's end rotation: P L^2 / (16 EI).
    asked = _engine.solve(*ARGS, rotation=True)
    assert close(asked.values("rotation", [0.0, 10.0]), [-1000 / 16e4, 1000 / 16e4]) and asked.jumps("rotation") == []


def test_the_core_refuses_the_mechanisms_the_layer_names():
    # A chain of links past a roller, a hinge in a simply supported span, two in a propped span's middle,
    # a Gerber beam; then random beams on a grid, one support per place and none turning at a hinge.
    beams = [([(1, INF, INF, INF), (2.5, 0, INF, 0), (10, 0, 1e3, 0)], [3, 4, 5]), (list(ARGS[5]), [5]),
             ([FIXED, ROLLER], [4, 6]), ([FIXED, ROLLER], [4])]
    rng = random.Random(28)
    kinds = [(INF, INF, 0), (0, INF, 0), (INF, INF, INF), (0, 5e3, 0), (0, 0, 2e4), (0, 5e3, 2e4)]
    for _ in range(400):
        hinges = rng.sample([0.5 * k for k in range(1, 20)], rng.randint(1, 4))
        supports = [(0.5 * x, *rng.choice(kinds)) for x in rng.sample(range(21), rng.randint(1, 4))]
        beams.append(([s for s in supports if not (s[3] != 0 and s[0] in hinges)], hinges))
    refused = []
    for supports, hinges in beams:
        c = Checker()
        check_mechanism(c, hinges, L, [Support(x=x, kx=kx, ky=ky, km=km) for x, kx, ky, km in supports])
        try:
            bm = _engine.solve(*SECTION, supports, [UDL], hinges=hinges, rotational_springs=True).values("bm", hinges)
        except ValueError as e:
            assert "unstable / singular" in str(e)
            bm = None
        refused.append(bm is None)
        assert bool(c.problems) == refused[-1] and (bm is None or close(bm, [0.0] * len(hinges))), (supports, hinges)
    assert refused[:4] == [True, True, True, False] and 50 < sum(refused) < 350
