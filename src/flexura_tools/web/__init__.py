"""The beam calculator in the browser: `flexura serve`.

A JSON API over flexura_tools (the request body is always a model file) and the
page that uses it, served by one process. The page's assets live in `static/`;
the calculations run in worker processes, so that a request can be cut off when
it runs too long. Needs the `web` extra (Starlette and uvicorn).
"""

from __future__ import annotations

import importlib.util

INSTALL_HINT = 'the calculator needs the web extra: pip install "flexura[web]"'


def available() -> bool:
    """Whether Starlette and uvicorn can be imported."""
    return all(importlib.util.find_spec(name) is not None for name in ("starlette", "uvicorn"))
