"""What a solved beam gives: reactions by support, diagrams and extremes, each read
from the solve of flexura_tools._engine over many positions at once."""

from __future__ import annotations

from collections.abc import Callable, Iterator, Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Literal

from ._engine import SolvedBeam
from .arrays import Quantity as Quantity  # defined beside the queries, named here with the other records
from .arrays import UNREAD, Later, Values, floats
from .checks import MAX_COUNT, Checker
from .errors import ModelError
from .extremes import Extreme, Read, find_extreme, samples_for
from .supports import Support, names

if TYPE_CHECKING:
    import numpy as np
    from numpy.typing import NDArray

# The forces and the deflection: what the envelopes take unless told otherwise, and what
# every solve holds. The rotation needs the core to be asked for it (see Result).
QUANTITIES: tuple[Quantity, ...] = ("nf", "sf", "bm", "d")
ALL_QUANTITIES: tuple[Quantity, ...] = (*QUANTITIES, "rotation")


def reader(solved: SolvedBeam, quantity: Quantity) -> Read:
    """A quantity of a solved beam at many positions at once (right of a jump)."""
    def read(positions: list[float]) -> list[float]:
        return solved.values(quantity, positions)
    return read


class AtSupport:
    """A record of one support: its label and position."""

    __slots__ = ()
    support: Support

    @property
    def label(self) -> str | None:
        """The support's label (None when it has none)."""
        return self.support.label

    @property
    def x(self) -> float:
        """The support's position."""
        return float(self.support.x)


@dataclass(frozen=True, slots=True)
class Reaction(AtSupport):
    """What a support applies to the beam: forces rx (along +x) and ry (upwards)
    and the moment m (counter-clockwise), rounded as flexura's reactions()."""

    support: Support
    rx: float
    ry: float
    m: float


class Reactions:
    """The reactions in the order of the model's supports, looked up by the
    support's label ("A"), its position (6.0; an int works too) or the Support;
    a key that names no support raises KeyError, as a mapping's does."""

    __slots__ = ("_items",)

    def __init__(self, items: Sequence[Reaction]) -> None:
        self._items = tuple(items)

    def __iter__(self) -> Iterator[Reaction]:
        return iter(self._items)

    def __len__(self) -> int:
        return len(self._items)

    def __getitem__(self, key: str | float | Support) -> Reaction:
        for reaction in self._items:
            if names(reaction.support, key):
                return reaction
        raise KeyError(key)

    def __repr__(self) -> str:
        return f"Reactions({list(self._items)!r})"


def reactions_of(supports: Sequence[Support], solved: SolvedBeam) -> Reactions:
    """Each support's reaction: the core gives them in the supports' own order."""
    return Reactions([Reaction(support, *values) for support, values in zip(supports, solved.reactions())])


@dataclass(frozen=True, slots=True)
class Diagram:
    """The diagrams sampled for plotting: n evenly spaced positions plus one either
    side of every support and load, with the exact values there. The rotation's
    column is read on first use of `rotation`."""

    x: list[float]
    nf: list[float]
    sf: list[float]
    bm: list[float]
    d: list[float]
    read_rotation: Later[list[float]] = field(default=UNREAD, repr=False, compare=False)

    @property
    def rotation(self) -> list[float]:
        """The rotation in radians, counter-clockwise positive (read on first use)."""
        return self.read_rotation()

    def __getitem__(self, column: Quantity | Literal["x"]) -> list[float]:
        """A column by name."""
        if column == "rotation":
            return self.rotation
        return {"x": self.x, "nf": self.nf, "sf": self.sf, "bm": self.bm, "d": self.d}[column]

    def arrays(self) -> Values[NDArray[np.float64]]:
        """The columns as float64 arrays (the same bits), as Result.at() gives them."""
        x, nf, sf, bm, d = map(floats, (self.x, self.nf, self.sf, self.bm, self.d))
        return Values(x, nf, sf, bm, d, Later(lambda: floats(self.rotation)))


def diagram_of(solved: SolvedBeam, rotated: Callable[[], SolvedBeam], n: int) -> Diagram:
    """The diagrams on the mesh of flexura's plotting_vectors(n), the same bits; the
    rotation from `rotated()`, a solve that holds it, on first use."""
    c = Checker()
    count = c.count(n, "n", least=0, most=MAX_COUNT)
    if count is None:
        raise ModelError(c.problems)
    mesh = solved.mesh(count)
    nf, sf, bm, d = (solved.values(q, mesh) for q in QUANTITIES)
    return Diagram(mesh, nf, sf, bm, d, Later(lambda: rotated().values("rotation", mesh)))


@dataclass(frozen=True, slots=True)
class Extremes:
    """Largest and smallest normal force, shear force, bending moment, deflection
    and rotation. The rotation's are found on first use of `rotation`: their search
    costs as much as another quantity's, and a solve of its own."""

    nf: Extreme
    sf: Extreme
    bm: Extreme
    d: Extreme
    find_rotation: Later[Extreme] = field(default=UNREAD, repr=False, compare=False)

    @property
    def rotation(self) -> Extreme:
        """The rotation's extremes in radians, counter-clockwise positive (found on first use)."""
        return self.find_rotation()

    def __getitem__(self, quantity: Quantity) -> Extreme:
        if quantity == "rotation":
            return self.rotation
        return {"nf": self.nf, "sf": self.sf, "bm": self.bm, "d": self.d}[quantity]


def extremes_of(solved: SolvedBeam, rotated: Callable[[], SolvedBeam], degree: int) -> Extremes:
    """Max and min of each quantity over the beam, sampled between the features the
    core reports (more samples for distributed loads of a higher `degree`); the
    rotation's from `rotated()`, a solve that holds it, on first use. The rotation's
    degree is one below the deflection's, so the deflection's samples serve it."""
    features = solved.features()
    count = samples_for(degree)
    nf, sf, bm, d = (find_extreme(solved, q, features, count) for q in QUANTITIES)
    return Extremes(nf, sf, bm, d, Later(lambda: find_extreme(rotated(), "rotation", features, count)))
