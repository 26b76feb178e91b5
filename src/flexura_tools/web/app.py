"""The ASGI application: the page's assets, the JSON API and the headers that keep
the page and its answers safe to serve to colleagues.

Every API request is a POST whose body is a model file (JSON only, at most the
body cap, read within the time-out); the calculation runs in a worker process
(workers.py). Errors are JSON lists of problems, never a traceback.
"""

from __future__ import annotations

import logging
import mimetypes
import time
from collections.abc import AsyncGenerator
from contextlib import asynccontextmanager
from dataclasses import dataclass, field
from pathlib import Path

import anyio
from starlette.applications import Starlette
from starlette.exceptions import HTTPException
from starlette.requests import Request
from starlette.responses import JSONResponse, Response
from starlette.routing import Route
from starlette.types import ASGIApp, Message, Receive, Scope, Send

from ..errors import Problem
from .api import info, problems_body
from .limits import Limits
from .workers import Job, Pool

STATIC = Path(__file__).with_name("static")
# The page runs only its own scripts and styles, talks only to this server and
# cannot be framed; nothing inline, nothing from another origin.
CSP = ("default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; "
       "connect-src 'self'; font-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'")
HEADERS = [
    (b"content-security-policy", CSP.encode()),
    (b"x-content-type-options", b"nosniff"),
    (b"x-frame-options", b"DENY"),
    (b"referrer-policy", b"no-referrer"),
    (b"cross-origin-opener-policy", b"same-origin"),
    (b"cross-origin-resource-policy", b"same-origin"),
    (b"permissions-policy", b"camera=(), microphone=(), geolocation=()"),
]
log = logging.getLogger("flexura.web")


@dataclass(frozen=True)
class Settings:
    """How the server runs: its workers, the time-out of a request and the caps."""

    workers: int = 2
    timeout: float = 10.0  # seconds for reading the body, and again for the calculation
    limits: Limits = field(default_factory=Limits)


class SecurityHeaders:
    """Adds the security headers to every response, and `Cache-Control: no-store` to
    the API's answers (a model and its results are nobody's to keep)."""

    def __init__(self, app: ASGIApp) -> None:
        self.app = app

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
        if scope["type"] != "http":
            await self.app(scope, receive, send)
            return
        api = scope["path"].startswith("/api/")
        cache = b"no-store" if api else b"no-cache"

        async def with_headers(message: Message) -> None:
            if message["type"] == "http.response.start":
                headers = [(k, v) for k, v in message.get("headers", []) if k.lower() != b"cache-control"]
                message["headers"] = headers + HEADERS + [(b"cache-control", cache)]
            await send(message)
        await self.app(scope, receive, with_headers)


def problem(status: int, message: str, path: str = "", **headers: str) -> Response:
    return Response(problems_body([Problem(path, message)]), status, headers=headers or None,
                    media_type="application/json")


def assets() -> dict[str, tuple[bytes, str]]:
    """The page's files by URL path, read once: no path from a client reaches the file system."""
    found: dict[str, tuple[bytes, str]] = {}
    for file in sorted(STATIC.rglob("*")):
        if file.is_file() and not file.name.startswith("."):
            kind = mimetypes.guess_type(file.name)[0] or "application/octet-stream"
            if kind.startswith("text/") or kind.endswith("javascript"):
                kind += "; charset=utf-8"
            found["/" + file.relative_to(STATIC).as_posix()] = (file.read_bytes(), kind)
    found["/"] = found["/index.html"]
    return found


async def read_body(request: Request, settings: Settings) -> bytes | Response:
    """The body, or the answer refusing it: too large (told by Content-Length before
    anything is read, or while it streams), too slow, or not JSON."""
    cap = settings.limits.body_bytes

    def too_large() -> Response:  # made only when sent: 6 us of every request's server time
        return problem(413, f"the request body is larger than the cap of {cap} bytes (1 MiB)", connection="close")

    kind = request.headers.get("content-type", "").split(";")[0].strip().lower()
    if kind != "application/json":
        return problem(415, f"the body must be JSON (Content-Type: application/json), got {kind or 'none'!r}")
    declared = request.headers.get("content-length", "")
    if declared and (not declared.isdigit() or int(declared) > cap):
        return too_large()
    chunks: list[bytes] = []
    size = 0
    with anyio.move_on_after(settings.timeout) as scope:
        async for chunk in request.stream():
            size += len(chunk)
            if size > cap:
                return too_large()
            chunks.append(chunk)
    if scope.cancelled_caught:
        return problem(408, f"the request body did not arrive within {settings.timeout:g} s", connection="close")
    return b"".join(chunks)


def create_app(settings: Settings | None = None) -> ASGIApp:
    """The calculator: the page at /, its assets, and the API under /api/; the security
    headers wrap everything, error answers included."""
    settings = settings or Settings()
    pool = Pool(settings.workers, settings.timeout, settings.limits)
    files = assets()
    about = JSONResponse(info(settings.limits)).body

    async def page(request: Request) -> Response:
        if request.url.path.startswith("/api/"):
            return problem(405, "the API answers POST requests whose body is a model file")
        found = files.get(request.url.path)
        if found is None:
            return problem(404, f"nothing at {request.url.path}")
        content, kind = found
        return Response(content, media_type=kind)

    async def api_info(request: Request) -> Response:
        return Response(about, media_type="application/json")

    async def api(request: Request) -> Response:
        body = await read_body(request, settings)
        if isinstance(body, Response):
            return body
        params: dict[str, list[str]] = {}
        for key, value in request.query_params.multi_items():
            params.setdefault(key, []).append(value)
        job = Job(request.path_params["endpoint"], params, body)
        # The worker's wait blocks, in a thread of its own: the event loop keeps serving.
        status, answer = await anyio.to_thread.run_sync(pool.run, job, time.monotonic())
        return Response(answer, status, media_type="application/json")

    async def http_error(request: Request, error: Exception) -> Response:
        assert isinstance(error, HTTPException)
        return problem(error.status_code, str(error.detail))

    async def internal_error(request: Request, error: Exception) -> Response:
        log.exception("internal error answering %s %s", request.method, request.url.path, exc_info=error)
        return problem(500, "internal error: the server could not answer this request")

    @asynccontextmanager
    async def lifespan(app: Starlette) -> AsyncGenerator[None, None]:
        await anyio.to_thread.run_sync(pool.start)
        try:
            yield
        finally:
            pool.close()

    routes = [
        Route("/api/info", api_info, methods=["GET"]),
        Route("/api/{endpoint}", api, methods=["POST"]),
        Route("/{path:path}", page, methods=["GET", "HEAD"]),
    ]
    app = Starlette(routes=routes, lifespan=lifespan,
                    exception_handlers={HTTPException: http_error, Exception: internal_error})
    app.state.pool = pool  # for closing the workers where the lifespan does not run (tests)
    return SecurityHeaders(app)
