"""The problems found in a model, reported together."""

from __future__ import annotations

from collections.abc import Iterable
from dataclasses import dataclass


@dataclass(frozen=True, slots=True)
class Problem:
    """One thing wrong with a model: where (``loads[2].x``) and what."""

    path: str
    message: str

    def __str__(self) -> str:
        return f"{self.path}: {self.message}" if self.path else self.message


class ModelError(ValueError):
    """A model that cannot be solved as given; ``problems`` lists every reason."""

    def __init__(self, problems: Iterable[Problem]) -> None:
        self.problems: tuple[Problem, ...] = tuple(problems)
        count = len(self.problems)
        heading = "1 problem in the model" if count == 1 else f"{count} problems in the model"
        super().__init__(heading + "".join(f"\n  {p}" for p in self.problems))


def show(value: object) -> str:
    """A value as an engineer wrote it: 15.0 as 15, text quoted."""
    if isinstance(value, int) and value.bit_length() > 64:  # repr of 4,300 digits and more raises
        return f"an integer of about {int(value.bit_length() * 0.30103)} digits"
    text = repr(value)
    if isinstance(value, float) and text.endswith(".0"):
        return text[:-2]
    return text
