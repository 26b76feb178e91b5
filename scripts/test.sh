#!/usr/bin/env bash
# Runs the whole test suite on a fresh machine, installing what it needs
# (GoogleTest from Debian, test requirements from PyPI into a virtual
# environment, the build tools into build/tools). Any failure, or a run with
# no tests, exits non-zero.
# - the development wheel (the default compiler, GCC here): checked, its
#   type stubs checked with mypy, pyright and stubtest, the C++ tests, the
#   golden corpus replayed by the C++ core, the Python suite;
# - the release wheel (Zig's clang and libc++, manylinux_2_17), built from
#   the sdist: checked, and the Python suite, golden corpus included, under
#   every CPython 3.10 or newer on the machine;
# - the C++ tests and the replay with clang and libc++, for Linux and for
#   Windows under Wine (scripts/second_compiler.sh);
# - the cibuildwheel configuration and the GitHub workflow validated.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
venv="${FLEXURA_VENV:-$root/.venv}"
pip_q=(-q --disable-pip-version-check)

bash scripts/apt_install.sh libgtest-dev googletest
if [ ! -x "$venv/bin/python" ]; then
    echo "== creating virtual environment $venv"
    python3 -m venv "$venv"
fi
py="$venv/bin/python"
echo "== installing test requirements"
"$py" -m pip install "${pip_q[@]}" -r requirements-test.txt

echo "== building and checking the development wheel"
rm -rf build/wheelhouse
"$py" -m pip wheel "${pip_q[@]}" --no-deps -w build/wheelhouse .
wheel=(build/wheelhouse/flexura-*.whl)
bash scripts/check_wheel.sh "${wheel[0]}" "$py"
"$py" -m pip install "${pip_q[@]}" --force-reinstall --no-deps "${wheel[0]}"

echo "== type stubs: mypy, pyright and stubtest in an environment holding only the wheel"
bash scripts/check_stubs.sh "${wheel[0]}"

echo "== C++ tests"
cmake -S . -B build/cpp-tests -DFLEXURA_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/cpp-tests -j 2
ctest --test-dir build/cpp-tests --output-on-failure --no-tests=error -j 2
echo "== golden corpus replayed by the C++ core"
"$py" tests/golden/replay.py build/cpp-tests/flexura_golden_replay

echo "== Python tests"
# Run from tests/ so that the installed module, not the source tree, is imported.
(cd tests && "$py" -m pytest -q -p no:cacheprovider python)

echo "== release wheel: from the sdist, Zig's clang and libc++, manylinux"
bash scripts/release_wheel.sh
release=(dist/flexura-*.whl)
bash scripts/test_pythons.sh "${release[0]}"

bash scripts/second_compiler.sh

echo "== cibuildwheel configuration and workflow"
bash scripts/check_cibuildwheel.sh
