#!/usr/bin/env bash
# Checks the type stubs as a user meets them:  scripts/check_stubs.sh WHEEL
# A fresh virtual environment gets the wheel (with its plot and web extras), mypy and
# pyright and nothing else; tests/typing/check_types.py then runs both checkers and stubtest
# there, with no path setting.
# The checkers are the pinned versions of scripts/tools.txt.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
wheel=$1
venv="$root/build/stubs-venv"
python3 -m venv --clear "$venv"
# pyright runs on Node.js; its nodejs extra brings a Node from PyPI where
# the machine has none.
pyright=$(pin pyright)
command -v node >/dev/null || pyright=${pyright/pyright/pyright[nodejs]}
# The plot extra brings matplotlib, whose types flexura_tools' pictures use; the
# web extra Starlette and uvicorn, whose types the calculator's server uses.
"$venv/bin/python" -m pip install "${pip_q[@]}" "$wheel[plot,web]" "$(pin mypy)" "$pyright"
"$venv/bin/python" "$root/tests/typing/check_types.py"
