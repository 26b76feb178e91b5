"""A solved beam: the raw BeamResult with reactions by support, diagrams and extremes."""

from __future__ import annotations

import os
from collections.abc import Callable, Iterator, Sequence
from dataclasses import dataclass
from functools import cached_property
from typing import TYPE_CHECKING, Any, Literal

import flexura

from .errors import ModelError, Problem
from .extremes import Extreme, find_extreme, samples_for

if TYPE_CHECKING:
    from .model import Beam, Support

Quantity = Literal["nf", "sf", "bm", "d"]
QUANTITIES: tuple[Quantity, ...] = ("nf", "sf", "bm", "d")


class AtSupport:
    """A record of one support: its label and position."""

    __slots__ = ()
    support: Support

    @property
    def label(self) -> str | None:
        return self.support.label

    @property
    def x(self) -> float:
        return float(self.support.x)


@dataclass(frozen=True, slots=True)
class Reaction(AtSupport):
    """What a support applies to the beam: forces rx (along +x) and ry (upwards)
    and the moment m (counter-clockwise), rounded as flexura's reactions()."""

    support: Support
    rx: float
    ry: float
    m: float


def names(support: Support, key: str | float | Support) -> bool:
    """Whether a key names the support: its label, its position or the Support itself."""
    if isinstance(key, str):
        return support.label == key
    return support.x == key if isinstance(key, (int, float)) else support == key


class Reactions:
    """The reactions in the order of the model's supports, looked up by the
    support's label ("A"), its position (6.0; an int works too) or the Support."""

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


@dataclass(frozen=True, slots=True)
class Diagram:
    """The diagrams sampled for plotting: n evenly spaced positions plus one either
    side of every support and load, with the exact values there."""

    x: list[float]
    nf: list[float]
    sf: list[float]
    bm: list[float]
    d: list[float]

    def __getitem__(self, column: Quantity | Literal["x"]) -> list[float]:
        return {"x": self.x, "nf": self.nf, "sf": self.sf, "bm": self.bm, "d": self.d}[column]


@dataclass(frozen=True, slots=True)
class Extremes:
    """Largest and smallest normal force, shear force, bending moment and deflection."""

    nf: Extreme
    sf: Extreme
    bm: Extreme
    d: Extreme

    def __getitem__(self, quantity: Quantity) -> Extreme:
        return {"nf": self.nf, "sf": self.sf, "bm": self.bm, "d": self.d}[quantity]


@dataclass(frozen=True)
class Result:
    """A solved Beam. `raw` is flexura's BeamResult for exact point queries."""

    beam: Beam
    raw: flexura.BeamResult

    @cached_property
    def reactions(self) -> Reactions:
        supports = self.beam.supports
        # reactions() lists one entry per position, ascending; the model has one support
        # per position, and the engine sorts them stably, as sorted() does.
        values = list(self.raw.reactions().values())
        order = sorted(range(len(supports)), key=lambda k: supports[k].x)
        if len(values) != len(order):
            raise ModelError([Problem("supports", "two supports share a position, so their reactions "
                                                  "cannot be told apart")])
        by_index = {k: values[j] for j, k in enumerate(order)}
        return Reactions([Reaction(s, *by_index[k]) for k, s in enumerate(supports)])

    def evaluator(self, quantity: Quantity) -> Callable[[float], float]:
        """The exact query of one quantity (the value just right of a jump)."""
        raw = self.raw
        return {"nf": raw.eval_nf, "sf": raw.eval_sf, "bm": raw.eval_bm, "d": raw.eval_d}[quantity]

    def diagram(self, n: int = 200) -> Diagram:
        v = self.raw.plotting_vectors(n)
        return Diagram(v["x"], v["nf"], v["sf"], v["bm"], v["d"])

    def extremes(self) -> Extremes:
        """Max and min of each quantity over the beam, with positions to 1e-9 of the span.
        At a jump the larger side counts, at the jump's position."""
        features = self.beam.features()
        count = samples_for(self.beam.max_degree())
        found = [find_extreme(self.evaluator(q), features, count) for q in QUANTITIES]
        return Extremes(*found)

    def to_dict(self, n: int = 200) -> dict[str, object]:
        """Plain JSON-ready data: the document of `flexura MODEL --json` (reactions,
        extremes, diagram) with a `side` column in the diagram; n even intervals."""
        from .export import result_to_dict
        return result_to_dict(self, n)

    def to_csv(self, path: str | os.PathLike[str], n: int = 200) -> None:
        """The diagrams as CSV: x, side, nf, sf, bm, d; both sides of every jump."""
        from .export import result_to_csv
        return result_to_csv(self, path, n)

    def to_dataframe(self, n: int = 200) -> Any:
        """The diagrams as a pandas DataFrame, the columns of to_csv() (needs pandas)."""
        from .export import data_frame, result_columns
        return data_frame(result_columns(self, n))

    def _repr_html_(self) -> str:
        """A notebook's view: the reactions, the extremes and the diagrams as SVG."""
        from .notebook import result_html
        return result_html(self)
