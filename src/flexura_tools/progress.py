"""A progress bar for long runs, on the terminal only (standard library only)."""

from __future__ import annotations

import sys
import time
from typing import TextIO

WIDTH = 30


class Progress:
    """`label [##########          ] 33% 490/1470` on stderr, redrawn at most ten
    times a second. Off unless asked for; then shown only when the stream is a
    terminal, and only from `delay` seconds into the run, so that a short run
    prints nothing."""

    def __init__(self, total: int, label: str, enabled: bool, *, stream: TextIO | None = None,
                 delay: float = 1.0) -> None:
        self.stream = sys.stderr if stream is None else stream
        self.total, self.label = total, label
        self.enabled = enabled and total > 0 and self.stream.isatty()
        self.due = time.monotonic() + delay
        self.shown = False

    def update(self, done: int) -> None:
        if not self.enabled:
            return
        now = time.monotonic()
        if now < self.due:
            return
        self.due = now + 0.1
        self._draw(done)

    def close(self) -> None:
        """The full bar and a new line, when a bar was shown."""
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
