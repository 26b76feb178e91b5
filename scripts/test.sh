#!/usr/bin/env bash
# Runs the test suite, installing what it needs: the test requirements
# (pyproject.toml's "test" group) into a virtual environment, the pinned
# tools (scripts/tools.txt) into the tool cache outside the clone, and the
# Debian packages where it may (as root or with sudo).
#
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the development loop: one build of the module,
#                             the C++ tests and the golden replay, flexura_tools
#                             type-checked (mypy --strict), then the Python
#                             suite against that build and the tests of the
#                             scripts and benchmarks (tests/tooling), less the
#                             tests marked slow (tests/python/conftest.py names
#                             them: leaks, Ctrl-C, Hypothesis searches, pycba,
#                             processes, browser and socket), which only the
#                             full run runs
#
# Everything:
# - the quick loop above (the default compiler, GCC here);
# - the development wheel: checked, its type stubs checked with mypy, pyright
#   and stubtest; the scripts and benchmarks checked with mypy --strict;
# - the release wheel (Zig's clang and libc++, manylinux_2_17), built from
#   the sdist, whose file list is checked: the wheel checked, and the Python
#   suite, golden corpus included, under every CPython 3.10 or newer here;
# - the C++ tests and the replay with clang and libc++, for Linux and for
#   Windows under Wine (scripts/second_compiler.sh);
# - the cibuildwheel configuration and the GitHub workflow validated.
#
# Missing Debian packages that cannot be installed (no root) leave out the
# steps that need them; the end of the run names the packages and why. Such
# a run fails only where CI is set. Any failure, or a run with no tests,
# exits non-zero.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac
venv="${FLEXURA_VENV:-$root/.venv}"
export FLEXURA_MISSING="$root/build/missing-packages.txt" FLEXURA_SKIPPED="$root/build/skipped-steps.txt"
mkdir -p build
rm -f "$FLEXURA_MISSING" "$FLEXURA_SKIPPED"
start=$SECONDS

if [ ! -x "$venv/bin/python" ]; then
    echo "== creating virtual environment $venv"
    python3 -m venv "$venv"
fi
py="$venv/bin/python"
mapfile -t requirements < <(test_requirements "$py")
# The quick loop installs them only when pyproject.toml's list changed since the
# last install (pip itself takes seconds to find nothing to do).
installed="$venv/test-requirements.txt"
if [ $quick = 0 ] || [ "$(cat "$installed" 2>/dev/null)" != "${requirements[*]}" ]; then
    echo "== installing test requirements"
    "$py" -m pip install "${pip_q[@]}" "${requirements[@]}"
    echo "${requirements[*]}" >"$installed"
fi

# One build of the core, the module and (with GoogleTest) the C++ tests.
pinned_cmake
tests=OFF
have_packages libgtest-dev && tests=ON
echo "== building the module$([ $tests = ON ] && echo " and the C++ tests")"
"$cmake" -S . -B build/dev -DCMAKE_BUILD_TYPE=Release -DFLEXURA_BUILD_MODULE=ON -DFLEXURA_BUILD_TESTS=$tests \
    -DPython_EXECUTABLE="$py" >/dev/null
"$cmake" --build build/dev -j 2
if [ $tests = ON ]; then
    echo "== C++ tests"
    "$ctest" --test-dir build/dev --output-on-failure --no-tests=error -j 2
    echo "== golden corpus replayed by the C++ core"
    "$py" tests/golden/replay.py build/dev/flexura_golden_replay
else
    skip_step "C++ tests and golden replay (default compiler)" libgtest-dev
fi
# The calculator's browser tests (tests/python/tools/test_web_browser.py) skip without these.
have_packages chromium chromium-driver ||
    skip_step "the calculator in a real browser (test_web_browser.py)" chromium chromium-driver
echo "== mypy --strict: flexura_tools"
# The module's stub of this tree as flexura.pyi, ahead of any installed wheel's.
mkdir -p build/dev/typing
ln -sf "$root/stubs/flexura-stubs/__init__.pyi" build/dev/typing/flexura.pyi
MYPYPATH="$root/build/dev/typing" "$(tools_python)" -m mypy --strict --python-executable "$py" \
    --cache-dir build/dev/mypy-cache src/flexura_tools
echo "== Python tests, and the tests of the scripts and benchmarks$([ $quick = 1 ] && echo ", less those marked slow")"
# From tests/, with the module of this build and flexura_tools of this tree
# ahead of anything installed in the environment.
selection=()
[ $quick = 1 ] && selection=(-m "not slow")
(cd tests && PYTHONPATH="$root/build/dev:$root/src" "$py" -m pytest -q -p no:cacheprovider "${selection[@]}" python tooling)

if [ $quick = 1 ]; then
    report_missing
    echo "== quick run passed in $((SECONDS - start)) s"
    exit 0
fi

echo "== building and checking the development wheel"
rm -rf build/wheelhouse
"$py" -m pip wheel "${pip_q[@]}" --no-deps -w build/wheelhouse .
wheel=(build/wheelhouse/flexura-*.whl)
bash scripts/check_wheel.sh "${wheel[0]}" "$py"
# The test environment holds the module too, for running scripts with it.
"$py" -m pip install "${pip_q[@]}" --force-reinstall --no-deps "${wheel[0]}"

echo "== type stubs: mypy, pyright and stubtest in an environment holding only the wheel"
bash scripts/check_stubs.sh "${wheel[0]}"
echo "== mypy --strict: the scripts, the benchmarks and their tests"
"$(tools_python)" -m mypy --python-executable "$py"

echo "== release wheel: from the sdist, Zig's clang and libc++, manylinux"
bash scripts/release_wheel.sh
release=(dist/flexura-*.whl)
bash scripts/test_pythons.sh "${release[0]}"

bash scripts/second_compiler.sh

echo "== cibuildwheel configuration and workflow"
bash scripts/check_cibuildwheel.sh

report_missing
echo "== all tests passed in $((SECONDS - start)) s"
