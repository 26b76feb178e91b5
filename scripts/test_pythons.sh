#!/usr/bin/env bash
# Runs the Python suite with one abi3 wheel under every CPython from 3.10 on
# that this machine has:  scripts/test_pythons.sh WHEEL
# Each interpreter gets its own virtual environment with the wheel and its
# "test" extra; an absent one is skipped with a line saying so.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
wheel=$(realpath "$1")

for v in 3.10 3.11 3.12 3.13 3.14 3.15; do
    py=$(find_python "$v")
    if [ -z "$py" ]; then
        echo "== Python $v: not on this machine, skipped"
        continue
    fi
    echo "== Python $v ($py): the suite with $(basename "$wheel")"
    venv="$root/build/py$v"
    "$py" -m venv --clear "$venv"
    "$venv/bin/python" -m pip install "${pip_q[@]}" "$wheel[test]"
    # From tests/, so that the installed module, not the source tree, is imported.
    (cd "$root/tests" && "$venv/bin/python" -m pytest -q -p no:cacheprovider python)
done
