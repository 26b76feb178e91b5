#!/usr/bin/env python3
"""Throughput of flexura_tools.solve_many, and its memory over a long stream.

The models: three-span girders (20 + L + 20 m, L from 20 to 30 m) under a uniform
load and a point load that walks along the beam, each solved and its reactions and
extremes found. Models per second serially, on a process pool of 1 and 2 workers
and on a Dask LocalCluster of 1 and 2 worker processes (each warmed up first, its
start-up not counted), with the ratio to the serial rate. First, the peak resident
memory of the caller after 10% of a long stream of one-span models from a
generator, solved on 2 worker processes, and after all of it: flat when the two agree.

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


def simple_spans(count: int) -> Iterator[ft.Beam]:
    """The smallest useful model: one 10 m span, a point load walking along it."""
    for k in range(count):
        yield ft.Beam(span=10, E=2.1e8, I=8e-5, supports=[ft.Support.pin(0, "A"), ft.Support.roller(10, "B")],
                      loads=[ft.PointLoad(x=10 * (k % 101) / 101, force=-45)])


def rate(models: int, executor: Any, chunk: int) -> tuple[float, float]:
    """Models per second of one batch, every record read, and the caller's CPU time a
    model in microseconds (building the models, sending them, rebuilding the records):
    what bounds the rate however many workers there are, whatever else the machine runs."""
    start, cpu = time.perf_counter(), time.process_time()
    solved = sum(record.ok for record in ft.solve_many(girders(models), executor, chunk=chunk))
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
    assert solved == models
    return models / seconds, cpu / models * 1e6


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
        got, cpu = rate(models, running, chunk)
    print(f"  {name:<26} {got:10,.0f} {got / serial:8.2f}x {cpu:14,.0f}")


def peak_mb() -> float:
    """Peak resident memory of this process so far (ru_maxrss is in KiB on Linux)."""
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def stream_memory(count: int, chunk: int) -> None:
    """The caller's memory over a long stream on 2 workers: what would grow if the
    input were drawn ahead or records piled up is here, not in the workers."""
    with pool(2) as workers:
        records: Iterable[ft.Solved] = ft.solve_many(simple_spans(count), workers, chunk=chunk)
        marks, start = (count // 10, count // 2, count), time.perf_counter()
        peaks: list[float] = []
        for k, record in enumerate(records, 1):
            assert record.ok
            if k in marks:
                peaks.append(peak_mb())
        seconds = time.perf_counter() - start
    print(f"  stream of {count:,} one-span models from a generator on 2 worker processes: "
          f"{count / seconds:,.0f} models/s")
    print("  the caller's peak resident memory after " + ", ".join(f"{m:,}: {p:.1f} MB" for m, p in zip(marks, peaks))
          + f" ({peaks[-1] / peaks[0]:.3f}x)\n")


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
    serial, cpu = rate(args.models, None, args.chunk)
    print(f"  {'mode':<26} {'models/s':>10} {'ratio':>9} {'caller us/model':>15}")
    print(f"  {'serial':<26} {serial:10,.0f} {1.0:8.2f}x {cpu:14,.0f}")
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
