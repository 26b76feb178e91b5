"""The sdist file-list check: which clone files the exclude patterns drop, what never
belongs in an sdist, and what the comparison reports."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts"))
from check_sdist import compare, excluded, forbidden  # noqa: E402

EXCLUDE = [".ci/", "benchmarks/", "tests/tooling/", ".gitignore", "*.log"]


@pytest.mark.parametrize("path, dropped", [
    (".ci/run", True),
    ("benchmarks/bench.py", True),
    ("src/benchmarks/x.cpp", True),          # no inner slash: a folder of that name anywhere
    ("benchmarks", False),                   # a trailing slash names folders, not a file
    ("tests/tooling/test_x.py", True),
    ("tests/python/tooling/test_x.py", False),  # an inner slash anchors at the root
    ("tests/python/test_solve.py", False),
    (".gitignore", True),
    ("src/.gitignore", True),
    ("notes.log", True),
    ("src/core/engine/model.cpp", False),
])
def test_exclude_patterns(path: str, dropped: bool) -> None:
    assert excluded(path, EXCLUDE) is dropped


@pytest.mark.parametrize("path, bad", [
    ("build/cp310-abi3-linux_x86_64/CMakeCache.txt", True),
    ("dist/flexura-0.1.0.tar.gz", True),
    (".venv/bin/python", True),
    (".venv-demo/lib/site.py", True),
    ("env/pyvenv.cfg", True),
    ("src/.git/config", True),
    ("src/build/notes.txt", False),          # only the top-level build/ is build output
    ("tests/golden/corpus.json", False),
    ("src/core/engine/venvs.cpp", False),
])
def test_what_never_belongs_in_an_sdist(path: str, bad: bool) -> None:
    assert forbidden(path) is bad


@pytest.mark.parametrize("members, clone, missing, unexpected, bad", [
    # Exactly the clone less the excluded files, plus the generated PKG-INFO.
    (["PKG-INFO", "pyproject.toml", "src/a.cpp"], ["pyproject.toml", "src/a.cpp", ".ci/run"], [], [], []),
    # A source file the build needs was left out.
    (["PKG-INFO", "pyproject.toml"], ["pyproject.toml", "src/a.cpp"], ["src/a.cpp"], [], []),
    # Tool state walked into the sdist although git ignores it.
    (["PKG-INFO", "pyproject.toml", "build/wine/drive_c/x"], ["pyproject.toml"], [],
     ["build/wine/drive_c/x"], ["build/wine/drive_c/x"]),
    # An excluded file in the sdist is unexpected.
    (["PKG-INFO", "benchmarks/bench.py"], ["benchmarks/bench.py"], [], ["benchmarks/bench.py"], []),
    # A sdist without its metadata.
    (["pyproject.toml"], ["pyproject.toml"], ["PKG-INFO"], [], []),
])
def test_comparison(members: list[str], clone: list[str], missing: list[str], unexpected: list[str],
                    bad: list[str]) -> None:
    verdict = compare(members, clone, EXCLUDE)
    assert (verdict.missing, verdict.unexpected, verdict.forbidden) == (missing, unexpected, bad)
    assert verdict.ok() is not bool(missing or unexpected or bad)
