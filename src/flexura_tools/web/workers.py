"""Worker processes that answer the API's requests, each cut off when it runs late.

A calculation holds the interpreter lock and cannot be interrupted from another
thread, so it runs in a process of its own: the server hands a worker the
request, waits at most the time-out, and on time-out kills that worker, answers
503 and starts a fresh one. The caps keep an ordinary request far inside the
time-out; the kill bounds whatever they do not foresee. Workers also let the
calculations of two requests use two cores while the server process speaks HTTP.
"""

from __future__ import annotations

import json
import os
import queue
import select
import subprocess
import sys
import threading
import time
import traceback
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import BinaryIO

from ..errors import Problem
from .api import Answer, answer, problems_body
from .limits import Limits


@dataclass(frozen=True, slots=True)
class Job:
    """One request for a worker: the endpoint, its query parameters and the body."""

    endpoint: str
    params: Mapping[str, Sequence[str]]
    body: bytes

    def encode(self) -> bytes:
        head = json.dumps({"endpoint": self.endpoint, "params": self.params}).encode()
        return len(head).to_bytes(4, "little") + head + self.body

    @staticmethod
    def decode(data: bytes) -> Job:
        size = int.from_bytes(data[:4], "little")
        head = json.loads(data[4:4 + size])
        return Job(head["endpoint"], head["params"], data[4 + size:])


def _read(stream: BinaryIO, size: int) -> bytes:
    data = stream.read(size)
    if len(data) != size:
        raise EOFError
    return data


def serve_jobs(limits: Limits) -> None:
    """A worker's loop: answer each job from stdin on stdout until the server closes
    the pipe. Anything else printed goes to stderr, so it cannot corrupt an answer."""
    source, sink = sys.stdin.buffer, sys.stdout.buffer
    sys.stdout = sys.stderr
    while True:
        try:
            job = Job.decode(_read(source, int.from_bytes(_read(source, 4), "little")))
        except EOFError:
            return
        try:
            status, body = answer(job.endpoint, job.body, job.params, limits)
        except Exception:  # a fault of ours: logged here, told to the client without internals
            traceback.print_exc(file=sys.stderr)
            status, body = 500, problems_body([Problem("", "internal error: the server could not answer this "
                                                           "request")])
        sink.write(status.to_bytes(4, "little") + len(body).to_bytes(4, "little") + body)
        sink.flush()


class Worker:
    """One worker process (python -m flexura_tools.web.workers) and its pipes. A fresh
    interpreter, started on the server's import path, rather than a fork of a server
    that runs threads."""

    def __init__(self, limits: Limits) -> None:
        env = {**os.environ, "PYTHONPATH": os.pathsep.join(p for p in sys.path if p)}
        self.process = subprocess.Popen([sys.executable, "-m", __name__, json.dumps(limits.as_dict())],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
        assert self.process.stdin is not None and self.process.stdout is not None
        self.stdin, self.stdout = self.process.stdin, self.process.stdout

    def _read(self, size: int, deadline: float) -> bytes | None:
        """`size` bytes from the worker, or None at the deadline; EOFError if it died."""
        fd = self.stdout.fileno()
        chunks: list[bytes] = []
        while size > 0:
            ready, _, _ = select.select([fd], [], [], max(deadline - time.monotonic(), 0.0))
            if not ready:
                return None
            chunk = os.read(fd, min(size, 1 << 20))
            if not chunk:
                raise EOFError
            chunks.append(chunk)
            size -= len(chunk)
        return b"".join(chunks)

    def ask(self, job: bytes, seconds: float) -> Answer | None:
        """The worker's answer, or None when it is not there within `seconds`."""
        deadline = time.monotonic() + seconds
        self.stdin.write(len(job).to_bytes(4, "little") + job)
        self.stdin.flush()
        head = self._read(8, deadline)
        if head is None:
            return None
        body = self._read(int.from_bytes(head[4:], "little"), deadline)
        return None if body is None else (int.from_bytes(head[:4], "little"), body)

    def stop(self) -> None:
        self.process.kill()
        self.process.wait(5)
        self.stdin.close()
        self.stdout.close()


def busy(message: str) -> Answer:
    return 503, problems_body([Problem("", message)])


class Pool:
    """A fixed number of workers; a request waits for a free one, within its time-out."""

    def __init__(self, workers: int, timeout: float, limits: Limits) -> None:
        self.size, self.timeout, self.limits = workers, timeout, limits
        self._idle: queue.Queue[Worker] = queue.Queue()
        self._lock = threading.Lock()
        self._started = False
        self._all: list[Worker] = []

    def start(self) -> None:
        with self._lock:
            if not self._started:
                self._started = True
                for _ in range(self.size):
                    self._add()

    def _add(self) -> None:
        worker = Worker(self.limits)
        self._all.append(worker)
        self._idle.put(worker)

    def _replace(self, worker: Worker) -> None:
        """Kill a worker and start its successor in the background: the request that
        found it late or dead is answered at once."""
        worker.stop()
        with self._lock:
            self._all.remove(worker)
        threading.Thread(target=self._add, daemon=True).start()

    def run(self, job: Job, since: float) -> Answer:
        """Blocking: the answer of a worker, or 503 when none is free in time or the
        calculation runs past the time-out; the time counts from `since` (monotonic),
        so that a request which waited for a thread waits no longer for a worker."""
        self.start()
        deadline = since + self.timeout
        try:
            worker = self._idle.get(timeout=max(deadline - time.monotonic(), 0.0))
        except queue.Empty:
            return busy(f"the server is busy: no calculation could start within {self.timeout:g} s; "
                        "try again")
        try:
            reply = worker.ask(job.encode(), deadline - time.monotonic())
        except (EOFError, OSError):
            self._replace(worker)
            return 500, problems_body([Problem("", "internal error: the calculation stopped unexpectedly")])
        if reply is None:
            self._replace(worker)
            return busy(f"the calculation took longer than the server's limit of {self.timeout:g} s")
        self._idle.put(worker)
        return reply

    def close(self) -> None:
        with self._lock:
            for worker in self._all:
                worker.stop()
            self._all.clear()
            self._started = False
            self._idle = queue.Queue()


if __name__ == "__main__":
    serve_jobs(Limits(**json.loads(sys.argv[1])))
