import pytest

from shared import FREE, INF, cantilever, solve


@pytest.mark.parametrize("pos, key", [
    (2.0, "2"), (3.5, "3.5"), (0.25, "0.25"), (0.0, "0"), (-0.0, "0"), (5, "5"),
    (1e-7, "0.0000001"), (1.25e-5, "0.0000125"), (0.1, "0.1"), (1 / 3, "0.3333333333333333"),
    (1e20, "9223372036854775807"), (2**63, "9223372036854775807"), (2.0**62, "4611686018427387904"),
])
def test_position_text_of_a_fixed_support(pos, key):
    assert list(cantilever(pos).reactions()) == [key]


ZERO, FIXED, PINNED = [0.0, 0.0, 0.0], [0.0, 10.0, 50.0], [0.0, 5.0, 0.0]


@pytest.mark.parametrize("supports, expected", [
    # An unrestrained support adds no unknown, so it may sit anywhere.
    ([(0, INF, INF, INF), (INF, *FREE)], {"0": FIXED, "inf": ZERO}),
    ([(0, INF, INF, INF), (-INF, *FREE)], {"-inf": ZERO, "0": FIXED}),
    ([(0, INF, INF, INF), (-2.0, *FREE)], {"-2": ZERO, "0": FIXED}),
    ([(0, INF, INF, INF), (-2.5, *FREE)], {"-2.5": ZERO, "0": FIXED}),
    ([(10, 0, INF, 0), (7, *FREE), (0, INF, INF, 0)], {"0": PINNED, "7": ZERO, "10": PINNED}),
    # Equal keys hold the total reaction at the position, in place of the first.
    ([(0, INF, INF, 0), (-0.0, *FREE), (10, 0, INF, 0)], {"0": PINNED, "10": PINNED}),
    ([(0, INF, INF, 0), (0, 0, 0, INF)], {"0": [0.0, 10.0, 50.0]}),
    ([(-0.0, *FREE), (0, INF, INF, 0), (10, 0, INF, 0)], {"0": PINNED, "10": PINNED}),
])
def test_keys_order_and_values(supports, expected):
    reactions = solve([("point", [-10, 5, 90])], supports).reactions()
    assert list(reactions.items()) == list(expected.items())


def test_reactions_returns_new_lists(centre):
    first = centre.reactions()
    first["0"].append(1)
    first["0"][1] = 99
    second = centre.reactions()
    assert second == {"0": [0.0, 5.0, 0.0], "10": [0.0, 5.0, 0.0]}
    assert second is not first and second["0"] is not first["0"]


def test_reactions_takes_no_argument(centre):
    for args, kwargs in [((1,), {}), ((), {"x": 1})]:
        with pytest.raises(TypeError):
            centre.reactions(*args, **kwargs)


def test_reactions_are_rounded_to_ten_decimals():
    # 1/3 of the load at each support is not representable: stored rounded.
    r = solve([("point", [-1, 10 / 3, 90])]).reactions()
    assert r["0"][1] == 0.6666666667 and r["10"][1] == 0.3333333333


@pytest.mark.parametrize("load", [1e300, -1e305])
def test_reactions_too_large_to_round_are_kept(load):
    # Scaling by 1e10 for the rounding would overflow to infinity.
    r = solve([("point", [load, 4, 0])])
    assert r.reactions()["0"][0] == -load
    assert r.get_normal_force(2) == -load
