import math

import pytest

from shared import INF, cantilever, solve


# Simply supported span 10 (pin at 0, roller at 10); reactions by statics.
# A reaction has the opposite sign of the load component it carries.
@pytest.mark.parametrize("load, rx0, ry0, ry10", [
    (("point", [-10, 2, 90]), 0, 8, 2),
    (("point", [-10, 2, 90, 123]), 0, 8, 2),  # surplus parameter ignored
    (("point", [10, 5, 0]), -10, 0, 0),  # purely axial
    (("point", [-10, 5, 30]), 10 * math.cos(math.radians(30)), 2.5, 2.5),
    (("udl", [-2, 0, 10, 90]), 0, 10, 10),
    (("udl", [-2, 2, 6, 90]), 0, 4.8, 3.2),  # -8 acting at 4
    (("udl", [-2, 6, 2, 90]), 0, -4.8, -3.2),  # start after end flips the sign
    (("trap", [0, -3, 0, 10, 90]), 0, 5, 10),  # -15 acting at 20/3
    (("dist", [0, 10, 90, 0, -0.3]), 0, 5, 10),  # same resultant, written as -0.3 x
    (("dist", [0, 10, 90, -1]), 0, 5, 5),
    (("torque", [10, 5]), 0, 1, -1),
    (("torque", [10, 5, 45]), 0, 1, -1),  # a torque has no angle
])
def test_reactions_by_statics(load, rx0, ry0, ry10):
    reactions = solve([load]).reactions()
    assert list(reactions) == ["0", "10"]
    assert reactions["0"] == pytest.approx([rx0, ry0, 0], abs=1e-9)
    assert reactions["10"] == pytest.approx([0, ry10, 0], abs=1e-9)


def test_cantilever_and_deflections():
    fixed = cantilever(0, [("point", [-10, 10, 90])])
    assert fixed.reactions() == {"0": [0.0, 10.0, 100.0]}
    assert fixed.eval_d(10) == pytest.approx(-10 * 10**3 / (3 * 1e4), rel=1e-12)
    simple = solve([("point", [-10, 5, 90])])
    assert simple.eval_d(5) == pytest.approx(-10 * 10**3 / (48 * 1e4), rel=1e-12)
    assert simple.eval_bm(5) == pytest.approx(25, rel=1e-12)


def test_indeterminate_propped_cantilever():
    # Fixed at 0, propped at 10, uniform -1: ry = 5/8 wL and 3/8 wL, m = wL^2/8.
    r = solve([("udl", [-1, 0, 10, 90])], [(0, INF, INF, INF), (10, 0, INF, 0)]).reactions()
    assert r["0"] == pytest.approx([0, 6.25, 12.5], abs=1e-9)
    assert r["10"] == pytest.approx([0, 3.75, 0], abs=1e-9)
