"""flexura batch FILES... --csv SUMMARY: many model files, one summary row each."""

from __future__ import annotations

import argparse
import contextlib
import csv
import importlib
import sys
import tempfile
from collections.abc import Callable, Generator, Iterable, Sequence
from concurrent.futures import ProcessPoolExecutor
from typing import TextIO

from .batch import Executor, Solved, solve_many
from .result import QUANTITIES

EXAMPLE = """\
example:
  flexura batch bridges/*.json --csv summary.csv               solved here, one after another
  flexura batch bridges/*.json --csv summary.csv --workers 2   on two worker processes
  flexura batch bridges/*.json --csv - --scheduler tcp://host:8786   on a Dask cluster

Each row: the file, "solved" or "failed" with the problems, the largest and the
smallest normal force, shear force, bending moment and deflection with their
positions, then per support (in the model's order) its label, position and
reactions rx, ry, m; numbers in the model's own units, written to the last bit.
Each model's own loads are solved (not its combinations).

Exit status: 0 every file solved, 1 some file failed (each problem is listed
on standard error as file: path: message, and the other files are still
solved), 2 usage error (an option out of range, the summary cannot be written,
the scheduler cannot be reached).
"""
SIDES = ("max", "x_max", "min", "x_min")
EXTREME_COLUMNS = [f"{q}_{side}" for q in QUANTITIES for side in SIDES]
FIXED_COLUMNS = ["file", "status", "problems", *EXTREME_COLUMNS]
REACTION_COLUMNS = ("support", "x", "rx", "ry", "m")


class UsageError(Exception):
    """A problem of the command's arguments or of its output, told in one line (exit 2)."""


def parser() -> argparse.ArgumentParser:
    """The options of flexura batch, with the example and the exit status in its help."""
    p = argparse.ArgumentParser(prog="flexura batch", description="Solve many beam model files and write "
                                "their reactions and extremes as one CSV row each.", epilog=EXAMPLE,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("files", nargs="+", metavar="FILE", help="model files (.json, or .toml)")
    p.add_argument("--csv", metavar="SUMMARY", required=True, help="the summary CSV file; - for standard output")
    where = p.add_mutually_exclusive_group()
    where.add_argument("--workers", metavar="N", type=int, help="solve on N worker processes (default: here)")
    where.add_argument("--scheduler", metavar="ADDRESS", help="solve on the Dask cluster of this scheduler "
                       "(pip install 'dask[distributed]'; its workers need flexura)")
    return p


def main(argv: Sequence[str]) -> int:
    """Run flexura batch with the arguments after "batch"; return the exit status."""
    args = parser().parse_args(argv)
    try:
        if args.workers is not None and args.workers < 1:
            raise UsageError(f"--workers must be 1 or more, got {args.workers}")
        with _executor(args.workers, args.scheduler) as executor, _output(args.csv) as out:
            solved, failed = write_summary(solve_many(args.files, executor), out)
    except UsageError as error:
        return _tell(f"flexura: {error}", 2)
    _tell(f"flexura: wrote {'the summary' if args.csv == '-' else args.csv}: {solved} solved, {failed} failed", 0)
    return 1 if failed else 0


def write_summary(records: Iterable[Solved], out: TextIO) -> tuple[int, int]:
    """One CSV row per record, in order, the header first; the problems of each failed
    model on standard error as they come. Rows wait in a temporary file until the
    header, which needs the most supports of any model, is known: memory stays flat."""
    solved = failed = widest = 0
    with tempfile.TemporaryFile("w+", newline="", encoding="utf-8") as spill:
        rows = csv.writer(spill)
        for record in records:
            rows.writerow(row(record))
            widest = max(widest, len(record.reactions or ()))
            solved, failed = (solved + 1, failed) if record.ok else (solved, failed + 1)
            for message in record.messages():
                _tell(message, 0)
        spill.seek(0)
        header = FIXED_COLUMNS + [f"{name}{k}" for k in range(1, widest + 1) for name in REACTION_COLUMNS]
        summary = csv.writer(out, lineterminator="\n")
        _guarded(lambda: summary.writerow(header))
        for cells in csv.reader(spill):
            _guarded(lambda: summary.writerow(cells + [""] * (len(header) - len(cells))))
    return solved, failed


def row(record: Solved) -> list[str]:
    """A record's cells: the numbers as repr, which reads back to the same bits."""
    if record.extremes is None or record.reactions is None:
        return [record.source, "failed", "; ".join(map(str, record.problems))]
    extremes = [repr(getattr(record.extremes[q], side)) for q in QUANTITIES for side in SIDES]
    reactions = [cell for r in record.reactions for cell in (r.label or "", repr(r.x), repr(r.rx), repr(r.ry),
                                                              repr(r.m))]
    return [record.source, "solved", "", *extremes, *reactions]


@contextlib.contextmanager
def _output(target: str) -> Generator[TextIO, None, None]:
    if target == "-":
        if sys.stdout is None:
            raise UsageError("cannot write to standard output: it is closed")
        yield sys.stdout
        return
    try:
        stream = open(target, "w", newline="", encoding="utf-8")
    except OSError as error:
        raise UsageError(f"cannot write {target}: {error.strerror or error}") from None
    with stream:
        yield stream


@contextlib.contextmanager
def _executor(workers: int | None, scheduler: str | None) -> Generator[Executor | None, None, None]:
    if workers is not None:
        with ProcessPoolExecutor(max_workers=workers) as pool:
            yield pool
    elif scheduler is not None:
        with _dask_client(scheduler) as client:
            yield client
    else:
        yield None


@contextlib.contextmanager
def _dask_client(address: str) -> Generator[Executor, None, None]:
    try:  # imported by name: Dask is optional, and its types are not needed here
        distributed = importlib.import_module("distributed")
    except ImportError:
        raise UsageError("--scheduler needs Dask: pip install 'dask[distributed]'") from None
    try:
        client = distributed.Client(address, timeout=10)
    except (OSError, TimeoutError, ValueError) as error:
        raise UsageError(f"cannot reach the scheduler {address}: {error}") from None
    try:
        yield client
    finally:
        client.close()


def _guarded(write: Callable[[], object]) -> None:
    """A row written; a failure to write the summary is a usage error, in one line."""
    try:
        write()
    except OSError as error:
        raise UsageError(f"cannot write the summary: {error.strerror or error}") from None


def _tell(message: str, code: int) -> int:
    if sys.stderr is not None:
        print(message, file=sys.stderr)
    return code
