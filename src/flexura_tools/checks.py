"""Checks of single values, each reporting what is wrong with its path."""

from __future__ import annotations

import difflib
import math
import numbers
from collections.abc import Callable, Iterable
from typing import TypeVar

from .errors import Problem, show

# The most intervals of an envelope's mesh or an influence line (n), and of positions
# of a vehicle in one direction: each costs a solve or a reading per member, so a
# larger count is a mistake (step=1e-9) that would run until memory runs out.
MAX_COUNT = 100_000

# The unit factors solve() knows; it ignores any other key.
UNIT_KEYS = ("length", "force", "moment", "distributed", "stiffness", "A", "G", "E", "I", "deflection")

T = TypeVar("T")
_INF = math.inf


def is_number(value: object) -> bool:
    """A real number as solve() would take it; True and False are not numbers here."""
    if type(value) is float or type(value) is int:  # no ABC check: 16% of reading a model (callgrind, 235k of 1.48M)
        return True
    return not isinstance(value, bool) and isinstance(value, numbers.Real)


def near_miss(word: str, known: Iterable[str]) -> str:
    """'; did you mean 'force'?' for a mis-cased or mistyped name, else ''."""
    choices = list(known)
    same_letters = [k for k in choices if k.lower() == word.lower()]
    close = same_letters or difflib.get_close_matches(word, choices, n=1, cutoff=0.6)
    return f"; did you mean {close[0]!r}?" if close else ""


class Checker:
    """Collects the problems of one model; each check returns the value as a float
    when it passed, None when it did not."""

    def __init__(self) -> None:
        self.problems: list[Problem] = []

    def add(self, path: str, message: str) -> None:
        self.problems.append(Problem(path, message))

    def number(self, value: object, path: str) -> float | None:
        if not is_number(value):
            self.add(path, f"is not a number: got {show(value)}")
            return None
        try:
            return float(value)  # type: ignore[arg-type]  # is_number: a numbers.Real
        except OverflowError:
            self.add(path, f"is too large: got {show(value)}")
            return None

    def finite(self, value: object, path: str) -> float | None:
        # A plain float that passes returns here without the nested checks (with positive()'s and
        # position()'s: the pattern job 0.8% fewer instructions); inf - inf and nan - nan are nan.
        if type(value) is float and value - value == 0.0:
            return value
        number = self.number(value, path)
        if number is not None and not math.isfinite(number):
            self.add(path, f"must be finite, got {show(number)}")
            return None
        return number

    def positive(self, value: object, path: str, *, rigid: str = "") -> float | None:
        """A positive finite number; with `rigid` set, +inf too (and `rigid` says what it means)."""
        if type(value) is float and 0.0 < value < _INF:  # most values, no calls
            return value
        number = self.number(value, path)
        if number is None:
            return None
        if rigid and number == math.inf:
            return number
        if not (0.0 < number < math.inf):
            extra = f" (or inf {rigid})" if rigid else " and finite"
            self.add(path, f"must be positive{extra}, got {show(number)}")
            return None
        return number

    def position(self, value: object, path: str, span: float | None) -> float | None:
        if type(value) is float and span is not None and 0.0 <= value <= span < _INF:  # most values, no calls
            return value
        x = self.finite(value, path)
        if x is None or span is None:
            return x
        if x < 0.0:
            self.add(path, f"{show(x)} is left of the beam, which starts at 0")
            return None
        if x > span:
            self.add(path, f"{show(x)} is beyond the span {show(span)}")
            return None
        return x

    def count(self, value: object, path: str, least: int = 1, most: int = MAX_COUNT) -> int | None:
        """A whole number from least to most (a bool is not one)."""
        if isinstance(value, bool) or not isinstance(value, numbers.Integral):
            self.add(path, f"must be a whole number, got {show(value)}")
            return None
        whole = int(value)
        if not least <= whole <= most:
            self.add(path, f"must be from {least} to {most:,}, got {show(whole)}")
            return None
        return whole

    def unit_keys(self, keys: Iterable[object], path: str) -> None:
        for key in keys:
            if key not in UNIT_KEYS:
                hint = near_miss(key, UNIT_KEYS) if isinstance(key, str) else ""
                self.add(f"{path}.{key}", f"is not a unit key{hint} (keys: {', '.join(UNIT_KEYS)})")


def converted(convert: Callable[[T], object], value: T) -> object:
    """A record's field as the record keeps it: converted (a list to a tuple), or as
    given when it cannot be, for the checks to report with its path. Text is not
    taken for a list of its letters."""
    if isinstance(value, (str, bytes)):
        return value
    try:
        return convert(value)
    except Exception:  # construction never fails: problems() names what is wrong
        return value


def shape(c: Checker, value: object, path: str, kind: type, what: str) -> bool:
    """Whether a field has the shape its record converted it to; else a problem."""
    if isinstance(value, kind):
        return True
    c.add(path, f"must be {what}, got {show(value)}")
    return False
