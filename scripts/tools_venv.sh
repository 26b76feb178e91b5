#!/usr/bin/env bash
# Installs the packages named as arguments from PyPI into the build tools'
# virtual environment (build/tools, created when missing) and prints its
# Python. The tools (Zig, auditwheel, cibuildwheel) stay out of the test
# environment, whose installed packages the tests see.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
venv="$root/build/tools"
[ -x "$venv/bin/python" ] || python3 -m venv "$venv" >&2
"$venv/bin/python" -m pip install -q --disable-pip-version-check "$@" >&2
echo "$venv/bin/python"
