"""`flexura serve`: the calculator in the browser, on this machine by default."""

from __future__ import annotations

import argparse
import os
import sys
import threading
import webbrowser
from collections.abc import Sequence

from . import INSTALL_HINT, available

EPILOG = """\
The page and its API listen on http://HOST:PORT/. The default host, 127.0.0.1,
lets only this machine in; --host 0.0.0.0 opens it to the network: do that only
on a trusted network, or behind a reverse proxy that adds HTTPS and logins.
"""


def parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(prog="flexura serve", description="Serve the beam calculator in the browser.",
                                epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--host", default="127.0.0.1", help="the address to listen on (default 127.0.0.1)")
    p.add_argument("--port", type=int, default=8000, help="the port (default 8000)")
    p.add_argument("--open", action="store_true", help="open the page in the web browser")
    p.add_argument("--workers", type=int, default=min(os.cpu_count() or 1, 4),
                   help="calculation processes (default: the cores, at most 4)")
    p.add_argument("--timeout", type=float, default=10.0,
                   help="seconds a calculation may take before it is cut off and answered 503 (default 10)")
    return p


def main(argv: Sequence[str]) -> int:
    args = parser().parse_args(argv)
    if not available():
        print(f"flexura serve: {INSTALL_HINT}", file=sys.stderr)
        return 2
    if args.workers < 1 or not 0 < args.timeout <= 600:
        print("flexura serve: --workers must be at least 1 and --timeout from 0 to 600 s", file=sys.stderr)
        return 2
    import uvicorn

    from .app import Settings, create_app

    app = create_app(Settings(workers=args.workers, timeout=args.timeout))
    host = f"[{args.host}]" if ":" in args.host else args.host
    url = f"http://{host}:{args.port}/"
    print(f"flexura: the calculator is at {url} (Ctrl-C stops it)", file=sys.stderr)
    if args.open:
        threading.Timer(1.0, webbrowser.open, (url,)).start()
    # Connections beyond the limit are answered 503; idle keep-alive connections close after 5 s,
    # and a stop waits at most 5 s for open connections (a page left open in a browser).
    uvicorn.run(app, host=args.host, port=args.port, log_level="warning", limit_concurrency=256,
                timeout_keep_alive=5, timeout_graceful_shutdown=5, server_header=False)
    return 0
