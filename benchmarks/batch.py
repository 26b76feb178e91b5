#!/usr/bin/env python3
"""Throughput of flexura_tools.solve_many, and its memory over a long stream.

The models: three-span girders (20 + L + 20 m, L from 20 to 30 m) under a uniform
load and a point load that walks along the beam, each solved and its reactions and
extremes found. Models per second serially, on a process pool of 1 and 2 workers
and on a Dask LocalCluster of 1 and 2 worker processes (each warmed up first, its
start-up not counted), with the ratio to the serial rate. Then the peak resident
memory after 10% of a long stream of models from a generator and after all of it:
flat when the two agree.

    python benchmarks/batch.py [--models 2000] [--stream 100000] [--chunk 32]
"""

from __future__ import annotations

import argparse
import contextlib
import importlib
import importlib.util
import os
import platform
import resource
import time
from collections.abc import Callable, Generator, Iterable, Iterator
from concurrent.futures import ProcessPoolExecutor
from contextlib import AbstractContextManager
from typing import Any

import flexura_tools as ft


def girders(count: int) -> Iterator[ft.Beam]:
    for k in range(count):
        middle = 20.0 + 10.0 * (k % 11) / 10
        span = 40.0 + middle
        yield ft.Beam(span=span, E=3.6e7, I=2.9, A=6.1,
                      supports=[ft.Support.pin(0, "A"), ft.Support.roller(20, "B"),
                                ft.Support.roller(20 + middle, "C"), ft.Support.roller(span, "D")],
                      loads=[ft.UniformLoad(w=-180), ft.PointLoad(x=span * (k % 97) / 97, force=-300)])


def rate(models: int, executor: Any, chunk: int) -> float:
    """Models per second of one batch, every record read."""
    start = time.perf_counter()
    solved = sum(record.ok for record in ft.solve_many(girders(models), executor, chunk=chunk))
    seconds = time.perf_counter() - start
    assert solved == models
    return models / seconds


def pool(workers: int) -> ProcessPoolExecutor:
    return ProcessPoolExecutor(workers)


@contextlib.contextmanager
def dask(workers: int) -> Generator[Any, None, None]:
    """A Client on a new LocalCluster of single-threaded worker processes; both closed after."""
    distributed: Any = importlib.import_module("distributed")  # optional, and untyped
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        yield client


def measured(name: str, make: Callable[[], AbstractContextManager[Any]], models: int, chunk: int,
             serial: float) -> None:
    with make() as running:
        rate(2 * chunk * 2, running, chunk)  # warm-up: every worker imports flexura_tools
        got = rate(models, running, chunk)
    print(f"  {name:<26} {got:10,.0f} {got / serial:8.2f}x")


def peak_mb() -> float:
    """Peak resident memory of this process so far (ru_maxrss is in KiB on Linux)."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def stream_memory(count: int, chunk: int) -> None:
    records: Iterable[ft.Solved] = ft.solve_many(girders(count), chunk=chunk)
    tenth, start = count // 10, time.perf_counter()
    at_tenth = 0.0
    for k, record in enumerate(records, 1):
        assert record.ok
        if k == tenth:
            at_tenth = peak_mb()
    seconds = time.perf_counter() - start
    print(f"  stream of {count:,} models from a generator, serially: {count / seconds:,.0f} models/s")
    print(f"  peak resident memory after {tenth:,}: {at_tenth:.1f} MB; after {count:,}: {peak_mb():.1f} MB "
          f"({peak_mb() / at_tenth:.3f}x)\n")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--models", type=int, default=2000, help="models per throughput batch")
    parser.add_argument("--stream", type=int, default=100_000, help="models in the memory stream (0: skip)")
    parser.add_argument("--chunk", type=int, default=32, help="models per task")
    args = parser.parse_args()
    print(f"Python {platform.python_version()} on {platform.machine()}, {os.cpu_count()} cores; "
          f"{args.models:,} models, chunk {args.chunk}")
    if args.stream:  # first, so that no earlier batch sets the peak
        stream_memory(args.stream, args.chunk)
    rate(200, None, args.chunk)
    serial = rate(args.models, None, args.chunk)
    print(f"  {'mode':<26} {'models/s':>10} {'ratio':>9}")
    print(f"  {'serial':<26} {serial:10,.0f} {1.0:8.2f}x")
    for workers in (1, 2):
        measured(f"process pool, {workers} worker{'s' * (workers > 1)}", lambda: pool(workers), args.models,
                 args.chunk, serial)
    if importlib.util.find_spec("distributed") is None:
        print("  Dask skipped: dask[distributed] is not installed")
        return
    for workers in (1, 2):
        measured(f"Dask LocalCluster, {workers}", lambda: dask(workers), args.models, args.chunk, serial)


if __name__ == "__main__":
    main()
