"""The calculator served by uvicorn on a loopback port, in a thread, for the tests
that need a real socket (a browser, abusive clients)."""

import contextlib
import socket
import threading
import time

import uvicorn

from flexura_tools.web.app import Settings, create_app


@contextlib.contextmanager
def running(settings=None):
    """The base URL of a running server; stopped (its workers too) on exit."""
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    port = sock.getsockname()[1]
    config = uvicorn.Config(create_app(settings or Settings(workers=2)), log_level="warning",
                            limit_concurrency=256, timeout_keep_alive=5)
    server = uvicorn.Server(config)
    thread = threading.Thread(target=server.run, kwargs={"sockets": [sock]}, daemon=True)
    thread.start()
    deadline = time.monotonic() + 30
    while not server.started and time.monotonic() < deadline:
        time.sleep(0.05)
    try:
        yield f"http://127.0.0.1:{port}"
    finally:
        server.should_exit = True
        thread.join(10)
        sock.close()
