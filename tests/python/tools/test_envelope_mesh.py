"""The envelopes' mesh made by the core: bit for bit the layer's former Python mesh
(kept here as the reference), and clean refusals of malformed input."""
import bisect
import math
import operator
import random
from array import array
from itertools import repeat

import pytest

from flexura_tools import _engine
from flexura_tools.envelopes import MERGE


def reference(span, features, jumps, n, points):
    """The layer's mesh as it was made in Python, as the core's bytes."""
    values = {0.0, span}.union(*features)
    jumping = set().union(*jumps)
    groups = []
    for value in sorted(values):
        if groups and value - groups[-1][-1] <= MERGE * span:
            groups[-1].append(value)
        else:
            groups.append([value])
    clusters = [group[0] if len(group) == 1 else min(group, key=lambda v: (len(repr(v)), v)) for group in groups]
    clusters[0], clusters[-1] = 0.0, span
    cluster_of = {value: c for c, group in enumerate(groups) for value in group}
    chosen = sorted(set(float(p) for p in points) - set(cluster_of))
    step = span / n
    position, placed = [], []
    for a, b in zip(clusters, clusters[1:]):
        placed.append(len(position))
        position.append(a)
        between = chosen[bisect.bisect_right(chosen, a):bisect.bisect_left(chosen, b)]
        parts = math.ceil((b - a) / step - 1e-9)
        if parts > 1 or between:
            shares = map(float.__truediv__, map(operator.mul, repeat(b - a), range(1, parts)), repeat(parts))
            inside = list(map(operator.add, repeat(a, parts - 1), shares))
            if between or not all(map(operator.lt, inside, inside[1:])):
                inside = sorted(set(inside).union(between))
            position += inside
    placed.append(len(position))
    position.append(span)
    twice = {placed[cluster_of[x]] for x in jumping if cluster_of.get(x, 0) in range(1, len(clusters) - 1)}
    source = sorted([*range(len(position)), *twice])
    left = [bisect.bisect_left(source, j) for j in range(len(position))]
    right = [bisect.bisect_right(source, j) - 1 for j in range(len(position))]
    keys = sorted(cluster_of)
    lists = (position, position[:-1] + [math.nextafter(span, -math.inf)], left, right, [position[j] for j in source],
             source, keys, [placed[cluster_of[k]] for k in keys])
    return tuple(array(kind, values).tobytes() for kind, values in zip("ddqqdqdq", lists))


def random_case(rng):
    """Features, some repeated or moved by rounding; jumps among them; points on and off them."""
    span = rng.choice([1.0, 7.3, 65.0, 1e-6, 1e6])
    features = [[min(x * (1 + rng.choice([0.0, 0.0, 1e-13, -1e-13, 3e-16])), span) for x in (
        rng.choice([rng.uniform(0, span), round(rng.uniform(0, span), 2), span * rng.randint(0, 10) / 10])
        for _ in range(rng.randint(0, 6)))] for _ in range(rng.randint(0, 4))]
    flat = [x for member in features for x in member]
    jumps = [rng.sample(flat, min(len(flat), 3)), rng.choice([[], [0.0], [span]])]
    points = [rng.uniform(0, span) for _ in range(rng.randint(0, 3))] + rng.sample(flat, min(len(flat), 1))
    return span, features, jumps, rng.choice([1, 2, 7, 37, 200]), points


CASES = {
    "positions that differ by rounding": (1.0, [[0.1 * 3, 0.3], [0.5]], [[0.1 * 3]], 200, []),
    "a cluster in exponent notation": (1e-6, [[3e-7, 3e-7 * (1 - 1e-13)], [1e-5 * 0.01]], [[3e-7]], 7, [2e-7]),
    "a zero and a negative zero end": (10.0, [[-0.0, 4.0]], [[-0.0, 4.0, 10.0]], 5, [0.0, -0.0]),
    "points between and on features": (10.0, [[2.0, 7.5]], [[]], 4, [2.0, 3.3, 3.3, 9.99, 7.5]),
    "n = 1": (10.0, [[2.5]], [[2.5]], 1, [5.0]),
    "huge n": (10.0, [[2.5], [2.5 + 1e-12]], [[2.5]], 100_000, [1.25]),
    "a span of 1e6, a point inside a cluster": (1e6, [[1e5, 1e5 + 1e-7, 333333.3]], [[1e5]], 7, [1e5 + 5e-8]),
    "jumps at the ends (not doubled) and inside": (65.0, [[0.0, 20.0, 45.0, 65.0], [20.0, 32.5]],
                                                   [[0.0, 20.0, 65.0], [32.5, 99.0]], 200, []),
    **{f"random {k}": random_case(random.Random(k)) for k in range(200)},
}


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_the_core_mesh_is_the_former_python_mesh_to_the_bit(case):
    assert _engine.envelope_mesh(*case, MERGE) == reference(*case)


@pytest.mark.parametrize("args, error", [
    ((10.0, [[float("nan")]], [], 4, []), ValueError),
    ((10.0, [], [], 4, [math.inf]), ValueError),
    ((math.nan, [], [], 4, []), ValueError),
    ((10.0, [], [], 0, []), ValueError),
    ((10.0, [], [], -1, []), OverflowError),
    ((1e300, [], [], 2 ** 64 - 1, []), ValueError),  # more parts than can be counted
    ((10.0, 5.0, [], 4, []), TypeError),
    ((10.0, [5.0], [], 4, []), TypeError),
    ((10.0, ["abc"], [], 4, []), TypeError),
    ((10.0, [], [], "4", []), TypeError),
    ((10.0, [], [], 4), TypeError),
])
def test_malformed_input_is_refused(args, error):
    with pytest.raises(error):
        _engine.envelope_mesh(*args, MERGE) if len(args) == 5 else _engine.envelope_mesh(*args)


def test_a_list_changed_while_it_is_read_is_followed():
    member = [2.0, None, 3.0]

    class Shrinking:
        def __float__(self):
            member.clear()  # 2.0 was read, this item gives 1.0, and 3.0 is gone
            return 1.0
    member[1] = Shrinking()
    assert array("d", _engine.envelope_mesh(10.0, [member], [], 1, [], MERGE)[0]).tolist() == [0.0, 1.0, 2.0, 10.0]
