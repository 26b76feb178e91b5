"""Supports: where the beam is held, and against which of its three motions."""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import cast

from .checks import Checker
from .errors import show

INF = math.inf
RawSupport = tuple[float, float, float, float]

# The named kinds of support and the restraints each sets (kx, ky, km): the named
# constructors, Support.kind and the model file's "type" all read this one table.
KINDS: dict[str, dict[str, float]] = {
    "pin": {"kx": INF, "ky": INF, "km": 0.0},
    "roller": {"kx": 0.0, "ky": INF, "km": 0.0},
    "fixed": {"kx": INF, "ky": INF, "km": INF},
}


@dataclass(frozen=True, slots=True, kw_only=True)
class Support:
    """A support at x. kx and ky restrain horizontal and vertical displacement,
    km the rotation: 0 is free, inf rigid, a positive number a spring of that
    stiffness (km in moment units per radian). Use the named constructors."""

    x: float
    kx: float = 0.0
    ky: float = 0.0
    km: float = 0.0
    label: str | None = None

    @classmethod
    def pin(cls, x: float, label: str | None = None) -> Support:
        """Held horizontally and vertically, free to turn."""
        return cls(x=x, label=label, **KINDS["pin"])

    @classmethod
    def roller(cls, x: float, label: str | None = None) -> Support:
        """Held vertically, free to slide along the beam and to turn."""
        return cls(x=x, label=label, **KINDS["roller"])

    @classmethod
    def fixed(cls, x: float, label: str | None = None) -> Support:
        """Held in all three directions: a clamped end."""
        return cls(x=x, label=label, **KINDS["fixed"])

    @classmethod
    def spring(cls, x: float, *, ky: float = 0.0, kx: float = 0.0, km: float = 0.0,
               label: str | None = None) -> Support:
        """Springs of stiffness ky (vertical), kx (horizontal) and km (rotational,
        moment per radian); free to turn unless km is given."""
        return cls(x=x, kx=kx, ky=ky, km=km, label=label)

    @property
    def kind(self) -> str:
        """'pin', 'roller', 'fixed', 'spring' (a spring, and the rotation not fixed) or 'support'
        (any other combination)."""
        restraints = {"kx": self.kx, "ky": self.ky, "km": self.km}
        for name, kind in KINDS.items():
            if restraints == kind:
                return name
        springs = [k for k in (self.kx, self.ky, self.km) if k not in (0.0, INF)]
        return "spring" if springs and self.km != INF else "support"

    def rotational_spring(self) -> bool:
        """Whether km is a finite rotational spring rather than free or fixed."""
        return 0.0 < self.km < INF

    def raw(self) -> RawSupport:
        """The support as flexura.solve() takes it: (x, kx, ky, km)."""
        return (self.x, self.kx, self.ky, self.km)

    def check(self, c: Checker, path: str, span: float | None) -> None:
        """Reports every problem of the support's fields to `c`, under `path` (supports[1])."""
        if self._plain(span):
            return
        c.position(self.x, f"{path}.x", span)
        restraints: list[float | None] = []
        for name, value in (("kx", self.kx), ("ky", self.ky), ("km", self.km)):
            k = c.number(value, f"{path}.{name}")
            if k is not None and not k >= 0.0:
                c.add(f"{path}.{name}", f"must be 0 (free), a spring stiffness above 0 or inf (rigid), "
                                        f"got {show(k)}")
            restraints.append(k)
        if restraints == [0.0, 0.0, 0.0]:
            c.add(path, "restrains nothing: kx, ky and km are all 0")
        label = cast(object, self.label)
        if label is not None and not (isinstance(label, str) and label):
            c.add(f"{path}.label", f"must be a non-empty text, got {show(label)}")


    def _plain(self, span: float | None) -> bool:
        """Whether the fields are what most supports hold, floats on the beam and a label
        or none, which check() finds sound: then nothing is checked one field at a time
        (checking the pattern job's fresh beam, with _finite()'s shortcut: 34,000 instructions fewer, 1.1%)."""
        x, kx, ky, km, label = self.x, self.kx, self.ky, self.km, cast(object, self.label)
        return (type(x) is float and type(kx) is float and type(ky) is float and type(km) is float
                and span is not None and 0.0 <= x <= span < INF and kx >= 0.0 and ky >= 0.0 and km >= 0.0
                and (kx != 0.0 or ky != 0.0 or km != 0.0) and (label is None or (type(label) is str and label != "")))


def names(support: Support, key: str | float | Support) -> bool:
    """Whether a key names the support: its label, its position or the Support itself."""
    if isinstance(key, str):
        return support.label == key
    return support.x == key if isinstance(key, (int, float)) else support == key
