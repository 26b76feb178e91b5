"""Many beams solved in one call, in order, serially or on any executor.

A model is solved where the work runs (a worker process, a Dask worker): read
from its file when given as a path, checked, solved, and its reactions and
extremes found, which is nearly all of the work. What comes back is plain data;
the solved beam itself (flexura's BeamResult) does not cross processes, so a
record's `result` solves the beam again in the caller's process when asked,
to the same bits.
"""

from __future__ import annotations

import itertools
import os
from collections import deque
from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass
from functools import cached_property
from typing import Protocol, TypeVar, Union

from .errors import ModelError, Problem
from .model import Beam
from .modelfile import load
from .extremes import Extreme
from .model import Result
from .arrays import Later
from .result import QUANTITIES, Extremes, Reaction, Reactions

Model = Union[Beam, str, "os.PathLike[str]"]
T = TypeVar("T", covariant=True)

# Models per task: on a 2-worker Dask LocalCluster, tasks of one model ran 37-44 models/s,
# of 32 231-361 (benchmarks/batch.py's girders); a process pool gains little either way.
CHUNK = 32
# Tasks in flight per batch: enough to keep a few dozen workers busy, few enough that
# the records waiting to be read stay a bounded handful, however long the stream.
IN_FLIGHT = 64


class Pending(Protocol[T]):
    """A task's handle: a concurrent.futures.Future or a Dask Future."""

    def result(self) -> T:
        """The task's value once it is done (waiting for it), or the error it raised."""
        ...


class Executor(Protocol):
    """What solve_many uses of an executor: submit(fn, *args) -> a Future."""

    def submit(self, fn: Callable[..., list[Outcome]], /, *args: object) -> Pending[list[Outcome]]:
        """Start fn(*args) where the executor runs its work; return its handle at once."""
        ...


@dataclass(frozen=True)
class Solved:
    """One model of a batch: its place `index` in the input, `source` (the file
    path, or "models[3]" for a Beam given), and either the checked `beam` with its
    `reactions` and `extremes`, or the `problems` that stopped it (a problem of
    the file or the model, each with its path inside the model)."""

    index: int
    source: str
    beam: Beam | None
    reactions: Reactions | None
    extremes: Extremes | None
    problems: tuple[Problem, ...] = ()

    @property
    def ok(self) -> bool:
        """Whether the model was solved."""
        return not self.problems

    @property
    def error(self) -> ModelError | None:
        """The problems as the ModelError that solving the model alone raises; None when solved."""
        return ModelError(self.problems) if self.problems else None

    @cached_property
    def result(self) -> Result:
        """The solved beam, solved again in this process (the same bits as in the worker);
        raises the model's ModelError when it failed."""
        if self.beam is None or self.problems:
            raise ModelError(self.problems)
        return self.beam.solve()

    def messages(self) -> list[str]:
        """Each problem as one line, `source: path: message`."""
        return [f"{self.source}: {problem}" for problem in self.problems]


# What a worker sends back for one model: its index and source; the beam when it read
# it from a file (a Beam given stays with the caller); the extremes (max, x_max, min,
# x_min of nf, sf, bm, d) and the reactions (rx, ry, m per support) as one tuple of
# floats, which pickles in 1/100 of the time of the records (measured: 2.3 against 232 us
# a model); and the problems, since a ModelError is pickled with its message only.
Outcome = tuple[int, str, Beam | None, tuple[float, ...], tuple[Problem, ...]]
Task = list[tuple[int, Model]]


def solve_many(models: Iterable[Model], executor: Executor | None = None, *, chunk: int = CHUNK,
               in_flight: int = IN_FLIGHT) -> Iterator[Solved]:
    """Solve each model and yield a Solved record per model, in the input's order.

    `models` are Beams or model-file paths, in any iterable (a generator of
    100,000 is read as the work goes, never held whole). Without an `executor` the
    models are solved here, one by one; with one — a concurrent.futures executor,
    or a Dask distributed Client — they go out in tasks of `chunk` models, at most
    `in_flight` tasks at a time, so memory stays flat over any number of models.
    A model with problems (or a file that cannot be read) gives a record with its
    problems and the batch goes on; anything else a worker raises ends the batch
    with that error. Results are bit-identical whichever way they were computed."""
    problems = _argument_problems(chunk, in_flight)
    if problems:
        raise ModelError(problems)
    tasks = _chunks(enumerate(models), chunk)
    if executor is None:
        for task in tasks:
            yield from _records(solve_chunk(task), task)
        return
    yield from _stream(executor, tasks, in_flight)


def _argument_problems(chunk: object, in_flight: object) -> list[Problem]:
    found: list[Problem] = []
    for name, value in (("chunk", chunk), ("in_flight", in_flight)):
        if isinstance(value, bool) or not isinstance(value, int) or value < 1:
            found.append(Problem(name, f"must be a whole number from 1, got {value!r}"))
    return found


def _chunks(numbered: Iterable[tuple[int, Model]], size: int) -> Iterator[Task]:
    iterator = iter(numbered)
    while task := list(itertools.islice(iterator, size)):
        yield task


def _stream(executor: Executor, tasks: Iterator[Task], in_flight: int) -> Iterator[Solved]:
    """Keep up to `in_flight` tasks submitted; yield the oldest one's records as soon as
    it is done, and submit the next task in its place."""
    submit = _submitter(executor)
    waiting = deque((submit(task), task) for task in itertools.islice(tasks, in_flight))
    while waiting:
        pending, task = waiting.popleft()
        outcomes = pending.result()
        following = next(tasks, None)
        if following is not None:
            waiting.append((submit(following), following))
        yield from _records(outcomes, task)


def _submitter(executor: Executor) -> Callable[[Task], Pending[list[Outcome]]]:
    """submit(solve_chunk, task); a Dask Client is told that the task is not pure, so
    that it neither hashes the models to name the task nor merges equal tasks."""
    if type(executor).__module__.split(".")[0] == "distributed":
        dask_submit: Callable[..., Pending[list[Outcome]]] = executor.submit
        return lambda task: dask_submit(solve_chunk, task, pure=False)
    return lambda task: executor.submit(solve_chunk, task)


def solve_chunk(task: Task) -> list[Outcome]:
    """The work of one task, run where the executor runs it."""
    return [_solve_one(index, model) for index, model in task]


def _solve_one(index: int, model: Model) -> Outcome:
    source = (None if isinstance(model, Beam) else _path(model)) or f"models[{index}]"
    try:
        beam = model if isinstance(model, Beam) else _read(model)
        result = beam.solve()
        extremes = result.extremes()
        numbers = [v for q in QUANTITIES for e in (extremes[q],) for v in (e.max, e.x_max, e.min, e.x_min)]
        numbers += [v for r in result.reactions for v in (r.rx, r.ry, r.m)]
        return index, source, None if beam is model else beam, tuple(numbers), ()
    except ModelError as error:
        return index, source, None, (), error.problems


def _path(model: object) -> str | None:
    """The path a model names as text (a str or an os.PathLike of str), else None."""
    if isinstance(model, str):
        return model
    fspath = getattr(model, "__fspath__", None)
    path: object = fspath() if callable(fspath) else None
    return path if isinstance(path, str) else None


def _read(model: object) -> Beam:
    path = _path(model)
    if path is None:
        raise ModelError([Problem("", f"must be a Beam or the path of a model file, got {type(model).__name__}")])
    try:
        return load(path)
    except OSError as error:
        raise ModelError([Problem("", f"cannot read the file: {error.strerror or error}")]) from None


def _records(outcomes: list[Outcome], task: Task) -> Iterator[Solved]:
    """The records of a task's outcomes, each with its beam: the one given, or the one
    read from its file."""
    for (index, source, read, numbers, problems), (_, model) in zip(outcomes, task):
        beam = read if read is not None else model if isinstance(model, Beam) else None
        if problems or beam is None:
            yield Solved(index, source, None, None, None, problems)
            continue
        # The rotation's extremes are not sent (nor searched) by the workers: found here,
        # from a solve of the same beam, when first read.
        nf, sf, bm, d = (Extreme(*numbers[k:k + 4]) for k in range(0, 16, 4))
        extremes = Extremes(nf, sf, bm, d, _rotation_extremes(beam))
        reactions = Reactions([Reaction(s, *numbers[16 + 3 * k:19 + 3 * k]) for k, s in enumerate(beam.supports)])
        yield Solved(index, source, beam, reactions, extremes)


def _rotation_extremes(beam: Beam) -> Later[Extreme]:
    return Later(lambda: beam.solve().extremes().rotation)
