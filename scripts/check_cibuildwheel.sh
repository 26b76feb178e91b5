#!/usr/bin/env bash
# Validates the wheel-building configuration without building: cibuildwheel
# reads [tool.cibuildwheel] (and refuses unknown options) and must list, for
# each platform, CPython 3.10 and every later non-free-threaded CPython on
# exactly the intended platform tags; the GitHub Actions workflow must match
# the workflow schema. The builds themselves run only on GitHub's runners.
# cibuildwheel is the version that the workflow uses.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
py=$(tools_python)
bin=$(dirname "$py")
for platform in linux macos windows; do
    "$bin/cibuildwheel" --print-build-identifiers --platform "$platform" >"build/cibw-$platform.txt"
done
"$py" - <<'PY'
import re
intended = {
    "linux": {"manylinux_x86_64", "manylinux_aarch64", "musllinux_x86_64", "musllinux_aarch64"},
    "macos": {"macosx_x86_64", "macosx_arm64"},
    "windows": {"win_amd64"},
}
for platform, tags in intended.items():
    ids = open(f"build/cibw-{platform}.txt").read().split()
    builds = {tuple(i.split("-", 1)) for i in ids}
    pythons = {p for p, _ in builds}
    assert all(re.fullmatch(r"cp3\d+", p) and int(p[3:]) >= 10 for p in pythons), ids
    assert "cp310" in pythons and {t for _, t in builds} == tags, ids
    assert builds == {(p, t) for p in pythons for t in tags}, ids
    print(f"cibuildwheel {platform}: {len(ids)} identifiers, {', '.join(sorted(pythons))} on {', '.join(sorted(tags))}")
PY
"$bin/check-jsonschema" --builtin-schema vendor.github-workflows .github/workflows/wheels.yml
