"""Checks the file list of an sdist:  check_sdist.py SDIST

The sdist must hold exactly the files of the clone that building and testing
the module need: every file git tracks or would track (not ignored), less
those that [tool.scikit-build.sdist] exclude names, plus PKG-INFO. Whatever
git says, it holds no build output, no virtual environment, no dist/ and no
repository data.
"""
import fnmatch
import subprocess
import sys
import tarfile
from collections.abc import Iterable, Sequence
from dataclasses import dataclass
from pathlib import Path

if sys.version_info >= (3, 11):
    import tomllib
else:  # Python 3.10: pip's vendored copy
    from pip._vendor import tomli as tomllib

ROOT = Path(__file__).resolve().parents[1]
# Written by the sdist build itself, not taken from the clone.
GENERATED = {"PKG-INFO"}


@dataclass(frozen=True)
class Verdict:
    missing: list[str]
    unexpected: list[str]
    forbidden: list[str]

    def ok(self) -> bool:
        return not (self.missing or self.unexpected or self.forbidden)


def excluded(path: str, patterns: Sequence[str]) -> bool:
    """Whether a gitignore-style pattern names `path` or a folder above it: a
    pattern with a slash inside is anchored at the root, one without names a
    file or folder at any depth, and a trailing slash names folders only."""
    parts = path.split("/")
    for pattern in patterns:
        folders_only = pattern.endswith("/")
        body = pattern.strip("/")
        for end in range(1, len(parts) + (0 if folders_only else 1)):
            candidate = "/".join(parts[:end]) if "/" in body else parts[end - 1]
            if fnmatch.fnmatchcase(candidate, body):
                return True
    return False


def forbidden(path: str) -> bool:
    """Build output, dist/, a virtual environment or repository data."""
    parts = path.split("/")
    return (parts[0] in ("build", "dist") or parts[-1] == "pyvenv.cfg" or ".git" in parts
            or any(p == "venv" or p.startswith(".venv") for p in parts[:-1]))


def compare(members: Iterable[str], clone_files: Iterable[str], patterns: Sequence[str]) -> Verdict:
    held = set(members)
    expected = {f for f in clone_files if not excluded(f, patterns)} | GENERATED
    return Verdict(missing=sorted(expected - held), unexpected=sorted(held - expected),
                   forbidden=sorted(f for f in held if forbidden(f)))


def sdist_members(sdist: Path) -> list[str]:
    """The files of the sdist, without the leading name-version folder."""
    with tarfile.open(sdist) as tar:
        return [m.name.split("/", 1)[1] for m in tar.getmembers() if not m.isdir() and "/" in m.name]


def clone_files() -> list[str]:
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=ROOT, capture_output=True, check=True).stdout
    return [f for f in listed.decode().split("\0") if f and (ROOT / f).is_file()]


def exclude_patterns() -> list[str]:
    with open(ROOT / "pyproject.toml", "rb") as f:
        patterns: list[str] = tomllib.load(f)["tool"]["scikit-build"]["sdist"]["exclude"]
    return patterns


def main(argv: Sequence[str]) -> int:
    if len(argv) != 1:
        sys.exit(__doc__)
    sdist = Path(argv[0])
    members = sdist_members(sdist)
    verdict = compare(members, clone_files(), exclude_patterns())
    for title, paths in (("missing from the sdist", verdict.missing),
                         ("in the sdist but not in the clone", verdict.unexpected),
                         ("build output, dist/, a virtual environment or .git in the sdist", verdict.forbidden)):
        if paths:
            print(f"check_sdist: {sdist.name}: {title}:\n  " + "\n  ".join(paths))
    if not verdict.ok():
        return 1
    print(f"sdist ok: {sdist.name} holds the {len(members)} files of the clone that a build needs")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
