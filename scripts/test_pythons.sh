#!/usr/bin/env bash
# Runs the Python suite with one abi3 wheel under every CPython from 3.10 on
# that this machine has:  scripts/test_pythons.sh WHEEL
# Each interpreter gets its own virtual environment with the wheel and the
# test requirements; an absent one is skipped with a line saying so.
set -euo pipefail
wheel=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)

# The interpreter of one minor version: on PATH, or kept by pyenv without
# being selected (its shim then refuses to run).
find_python() {
    local v=$1 found
    if "python$v" -c '' 2>/dev/null; then command -v "python$v"; return; fi
    command -v pyenv >/dev/null || return 0
    found=$(compgen -G "$(pyenv root)/versions/$v.*/bin/python$v" | sort -V | tail -1 || true)
    [ -n "$found" ] && echo "$found"
    return 0
}

for v in 3.10 3.11 3.12 3.13 3.14 3.15; do
    py=$(find_python "$v")
    if [ -z "$py" ]; then
        echo "== Python $v: not on this machine, skipped"
        continue
    fi
    echo "== Python $v ($py): the suite with $(basename "$wheel")"
    venv="$root/build/py$v"
    "$py" -m venv --clear "$venv"
    "$venv/bin/python" -m pip install -q --disable-pip-version-check "pytest>=7" "hypothesis>=6" "$wheel"
    # From tests/, so that the installed module, not the source tree, is imported.
    (cd "$root/tests" && "$venv/bin/python" -m pytest -q -p no:cacheprovider python)
done
