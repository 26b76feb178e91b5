"""A user script that mypy --strict and pyright (strict) must accept and
that must run: the calls of the README in the forms people write them."""
from decimal import Decimal
from typing import Literal

import flexura

inf = float("inf")
# Unit factors built beforehand, ints and floats mixed.
units = {"force": 1000, "moment": 1e3, "E": 1e9, "I": 1e-8, "A": 1e-4, "G": 1e9}
supports = [(0, inf, inf, 0), (6.0, 0, inf, 0), (12, 0, 8e3, 0)]
# Loads held in a variable keep their kind checked through an annotation.
Load = tuple[Literal["point", "udl", "trap", "torque", "dist"], list[float]]
loads: list[Load] = [("udl", [-12, 0, 12, 90]), ("point", [-45, 8, 90])]
r = flexura.solve(12, 210, 8360, 53.8, 81, supports, loads, units)

cantilever = flexura.solve(
    span=4, e=2.1e8, i=8e-5, a=5e-3, g=8.1e7,
    supports=((0, inf, inf, inf),),
    loads=[("torque", (7.5, 2.5)), ("trap", [-1, -4, 1, 3, 90]), ("dist", [0, 4, 90, -1, 0.5])],
    units=None,
)

moment: float = r.eval_bm(3) + r.get_bending_moment(Decimal("6")) + cantilever.eval_d(True)
reactions: dict[str, list[float]] = r.reactions()
total = sum(ry for _, ry, _ in reactions.values())
vectors = cantilever.plotting_vectors(n=50)
deflections: list[float] = vectors["d"]
print(f"{moment:.3f} {total:.3f} {len(deflections)} {min(deflections):.3e}")
