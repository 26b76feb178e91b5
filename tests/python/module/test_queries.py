import math

import pytest

from shared import INF, solve


# (loads, method, x, expected): values at and around jumps.
@pytest.mark.parametrize("loads, method, x, expected", [
    # Shear +5 | -5 at the centre load: eval gives the right-hand value,
    # get_ the left one on the tie of equal magnitudes.
    ([("point", [-10, 5, 90])], "eval_sf", 5, -5.0),
    ([("point", [-10, 5, 90])], "get_shear_force", 5, 5.0),
    ([("point", [-10, 5, 90])], "eval_sf", 0, 5.0),  # reaction step counts at its own position
    ([("point", [-10, 5, 90])], "get_shear_force", 0, 5.0),  # 0 | 5 keeps the larger
    ([("point", [-10, 2, 90])], "get_shear_force", 2, 8.0),  # 8 | -2
    ([("point", [-10, 8, 90])], "get_shear_force", 8, -8.0),  # 2 | -8
    # Torque 10 at 5: bm 5 - 1e-7 | -5 + 1e-7, a tie after rounding -> left.
    ([("torque", [10, 5])], "get_bending_moment", 5, 4.9999999),
    ([("torque", [10, 5])], "eval_bm", 5, -5.0),
    # Axial load 10 at 5: nf -10 | 0.
    ([("point", [10, 5, 0])], "eval_nf", 5, 0.0),
    ([("point", [10, 5, 0])], "get_normal_force", 5, -10.0),
    ([("point", [-10, 5, 90])], "eval_bm", 5, 25.0),
    ([("point", [-10, 5, 90])], "eval_bm", 7, 15.0),
])
def test_values_at_jumps(loads, method, x, expected):
    assert getattr(solve(loads), method)(x) == expected


def test_get_results_are_rounded_and_eval_results_exact(centre):
    for x in [1.234567, 3.3, 6.789]:
        exact, rounded = centre.eval_d(x), centre.get_deflection(x)
        assert exact != rounded == pytest.approx(exact, abs=1e-9)
        assert round(rounded, 10) == rounded
    assert centre.get_bending_moment(2.5) == 12.5000005
    assert centre.eval_bm(2.5) == 12.5


@pytest.mark.parametrize("method", ["eval_nf", "get_normal_force"])
def test_empty_term_list_gives_negative_zero(method):
    # Without loads and horizontal restraints the normal force has no terms.
    value = getattr(solve([], [(0, 0, INF, INF)]), method)(3.0)
    assert value == 0.0 and math.copysign(1.0, value) < 0


def test_query_argument_types(centre):
    assert centre.eval_sf(True) == centre.eval_sf(1.0) and type(centre.eval_sf(5)) is float
    with pytest.raises(TypeError, match=r"^argument 'x': must be real number, not str$"):
        centre.eval_sf("x")
