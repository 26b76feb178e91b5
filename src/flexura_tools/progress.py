"""A progress bar for long runs: on a terminal, and in a notebook.

On a terminal the bar is the standard library's text below. In a notebook
kernel (Jupyter) the bar is tqdm's (tqdm.auto: a widget where ipywidgets is
installed) when tqdm is installed, and the same text bar otherwise, which the
notebook shows in the cell's output. Anywhere else (a log file, a pipe) nothing
is shown.
"""

from __future__ import annotations

import importlib
import sys
import time
import warnings
from typing import Any, TextIO

WIDTH = 30
DELAY = 1.0  # seconds into a run before a bar shows, so that a short run shows nothing


def in_notebook(stream: TextIO) -> bool:
    """Whether the stream is a notebook kernel's output (ipykernel's stream)."""
    return type(stream).__module__.startswith("ipykernel")


def notebook_bar(total: int, label: str, delay: float, stream: TextIO) -> Any:
    """tqdm.auto's bar (its text bar where ipywidgets is not installed), or None where
    tqdm is not installed."""
    try:
        with warnings.catch_warnings():  # tqdm's advice to install ipywidgets, in every notebook without
            warnings.simplefilter("ignore")
            auto = importlib.import_module("tqdm.auto")
    except ImportError:
        return None
    return auto.tqdm(total=total, desc=label, delay=delay, file=stream)


class Progress:
    """`label [##########          ] 33% 490/1470` on stderr, redrawn at most ten
    times a second (in a notebook, tqdm's bar where tqdm is installed). Off unless
    asked for; then shown only when the stream is a terminal or a notebook's output,
    and only from `delay` seconds into the run (DELAY by default), so that a short run
    prints nothing."""

    def __init__(self, total: int, label: str, enabled: bool, *, stream: TextIO | None = None,
                 delay: float | None = None) -> None:
        self.stream = sys.stderr if stream is None else stream
        self.total, self.label = total, label
        wait = DELAY if delay is None else delay
        notebook = enabled and total > 0 and in_notebook(self.stream)
        self.bar = notebook_bar(total, label, wait, self.stream) if notebook else None
        self.enabled = self.bar is None and enabled and total > 0 and (notebook or self.stream.isatty())
        self.due = time.monotonic() + wait
        self.shown = False

    def update(self, done: int) -> None:
        if self.bar is not None:
            self.bar.update(done - self.bar.n)
            return
        if not self.enabled:
            return
        now = time.monotonic()
        if now < self.due:
            return
        self.due = now + 0.1
        self._draw(done)

    def close(self) -> None:
        """The full bar and a new line, when a bar was shown."""
        if self.bar is not None:
            self.bar.close()
        if self.shown:
            self._draw(self.total)
            self.stream.write("\n")
            self.stream.flush()

    def _draw(self, done: int) -> None:
        filled = WIDTH * done // self.total
        bar = "#" * filled + " " * (WIDTH - filled)
        self.stream.write(f"\r{self.label} [{bar}] {100 * done // self.total:3d}% {done}/{self.total}")
        self.stream.flush()
        self.shown = True
