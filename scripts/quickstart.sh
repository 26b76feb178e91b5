#!/usr/bin/env bash
# Installs flexura (and matplotlib for the picture) into a virtual
# environment and runs the quickstart example, which prints the tables and
# writes beam.png in the current directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
venv="${FLEXURA_DEMO_VENV:-$root/.venv-demo}"
[ -x "$venv/bin/python" ] || python3 -m venv "$venv"
"$venv/bin/python" -m pip install -q --disable-pip-version-check "$root"
"$venv/bin/python" -m pip install -q --disable-pip-version-check matplotlib ||
    echo "(matplotlib could not be installed: the tables are printed without the picture)"
"$venv/bin/python" "$root/examples/quickstart.py" "$@"
