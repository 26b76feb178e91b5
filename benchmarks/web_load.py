"""Load on the calculator's server, on loopback only (127.0.0.1), bounded in count
and time:  python benchmarks/web_load.py [--seconds 30] [--clients 50]

Starts `flexura serve` on a free local port as its own process, then runs three
phases, each with the clients all connected at once (HTTP/1.1 keep-alive):
- solve: every client posts the README's three-span beam (/api/solve, 200 diagram
  intervals) as soon as its last answer is in: the server saturated;
- paced: every client posts it every 200 to 500 ms (drawn at random, seeded), as
  a page does while its engineer edits (the page sends an edit 25 ms after the
  last keystroke: typing at two to five keys a second);
- mix: saturated again, every tenth request the envelope of the README girder's
  combinations and every tenth Load Model 1 driven across it at 0.5 m steps.
Prints throughput, p50 and p99 latency, the errors (any answer but 200), the
server's memory (its process and its workers) at the start and end of each phase,
the CPU time the server and its workers spent per request (what bounds the
throughput, however busy the machine is), and p99 against the 20 ms target.
Needs the web extra.
"""

from __future__ import annotations

import argparse
import asyncio
import json
import os
import random
import socket
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TARGET_P99 = 0.020
GIRDER = {
    "flexura_model": 2, "title": "girder", "span": 65, "E": 3.6e7, "I": 2.9, "A": 6.1,
    "unit_names": {"length": "m", "force": "kN"},
    "supports": [{"type": "pin", "x": 0, "label": "A"}, {"type": "roller", "x": 20, "label": "B"},
                 {"type": "roller", "x": 45, "label": "C"}, {"type": "roller", "x": 65, "label": "D"}],
    "loads": [], "cases": {"G": [{"type": "uniform", "w": -180}], "Q": [{"type": "uniform", "w": -27}]},
    "combinations": [{"name": "ULS", "factors": {"G": 1.35, "Q": 1.5}}, {"name": "SLS", "factors": {"G": 1, "Q": 1}}],
}


def request(path: str, body: bytes) -> bytes:
    return (f"POST {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
            f"Content-Length: {len(body)}\r\n\r\n").encode() + body


SOLVE = request("/api/solve", (ROOT / "examples" / "three_span.json").read_bytes())
COMBINATIONS = request("/api/combinations", json.dumps(GIRDER).encode())
VEHICLE = request("/api/vehicle?vehicle=lm1_lane1&step=0.5", json.dumps(GIRDER).encode())


@dataclass
class Phase:
    name: str
    latencies: list[float] = field(default_factory=list)
    errors: int = 0
    seconds: float = 0.0


Pace = tuple[float, float]  # seconds from one request's start to the next's, drawn between the two


async def client(port: int, phase: Phase, mix: bool, pace: Pace | None, until: float, count: int, seed: int) -> None:
    """One keep-alive connection posting until the phase ends (or its count is reached)."""
    draw = random.Random(seed)
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    k = 0
    while time.monotonic() < until and k < count:
        k += 1
        message = (COMBINATIONS if k % 10 == 5 else VEHICLE if k % 10 == 0 else SOLVE) if mix else SOLVE
        started = time.monotonic()
        writer.write(message)
        status = int((await reader.readline()).split()[1])
        length = 0
        while (line := await reader.readline()) != b"\r\n":
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        await reader.readexactly(length)
        phase.latencies.append(time.monotonic() - started)
        phase.errors += status != 200
        if pace:
            await asyncio.sleep(max(0.0, draw.uniform(*pace) - (time.monotonic() - started)))
    writer.close()


def memory(pid: int) -> int:
    """Resident memory of a process and its children, in bytes (Linux /proc)."""
    total = 0
    for p in [pid, *children(pid)]:
        try:
            status = Path(f"/proc/{p}/status").read_text()
        except OSError:
            continue
        total += next(int(line.split()[1]) for line in status.splitlines() if line.startswith("VmRSS:")) * 1024
    return total


def cpu_seconds(pid: int) -> float:
    """CPU time (user and system) of a process and its living children, in seconds: the
    cost per request, whatever else the machine is running."""
    ticks = 0
    for p in [pid, *children(pid)]:
        try:
            fields = Path(f"/proc/{p}/stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        ticks += int(fields[11]) + int(fields[12])
    return ticks / os.sysconf("SC_CLK_TCK")


def children(pid: int) -> list[int]:
    found: list[int] = []
    for task in Path(f"/proc/{pid}/task").glob("*"):
        try:
            found += [int(c) for c in (task / "children").read_text().split()]
        except OSError:
            continue
    return found


async def run_phase(port: int, phase: Phase, clients: int, seconds: float, mix: bool, pace: Pace | None) -> None:
    started = time.monotonic()
    count = int(seconds * 2000)  # a bound on the requests of one client, beside the time
    await asyncio.gather(*(client(port, phase, mix, pace, started + seconds, count, k) for k in range(clients)))
    phase.seconds = time.monotonic() - started


def report(phase: Phase, before: int, after: int, cpu: float) -> None:
    ordered = sorted(phase.latencies)
    p50 = statistics.median(ordered) * 1e3
    p99 = ordered[int(0.99 * (len(ordered) - 1))] * 1e3
    print(f"{phase.name:<7} {len(ordered) / phase.seconds:8.0f} req/s  p50 {p50:6.1f} ms  p99 {p99:6.1f} ms  "
          f"max {ordered[-1] * 1e3:6.0f} ms  errors {phase.errors}  memory {before / 2**20:.0f} -> "
          f"{after / 2**20:.0f} MiB  server CPU {cpu / len(ordered) * 1e3:.2f} ms a request  "
          f"p99 / 20 ms target: {p99 / (TARGET_P99 * 1e3):.2f}x")


def free_port() -> int:
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        port: int = sock.getsockname()[1]
        return port


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=float, default=30.0, help="of each phase (default 30)")
    parser.add_argument("--clients", type=int, default=50)
    parser.add_argument("--workers", type=int, default=2, help="the server's calculation processes")
    args = parser.parse_args()
    port = free_port()
    env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p)}
    server = subprocess.Popen([sys.executable, "-m", "flexura_tools", "serve", "--port", str(port),
                               "--workers", str(args.workers)], env=env)
    try:
        deadline = time.monotonic() + 30
        while True:  # until the server and its workers answer
            try:
                asyncio.run(run_phase(port, Phase("warm-up"), 2, 0.5, False, None))
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)
        print(f"{args.clients} clients, {args.seconds:g} s a phase, {args.workers} workers, {os.cpu_count()} cores")
        phases: list[tuple[str, bool, Pace | None]] = [("solve", False, None), ("paced", False, (0.2, 0.5)),
                                                      ("mix", True, None)]
        for name, mix, pace in phases:
            phase = Phase(name)
            before, cpu = memory(server.pid), cpu_seconds(server.pid)
            asyncio.run(run_phase(port, phase, args.clients, args.seconds, mix, pace))
            report(phase, before, memory(server.pid), cpu_seconds(server.pid) - cpu)
    finally:
        server.terminate()
        server.wait(10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
