#!/usr/bin/env bash
# Runs the whole test suite on a fresh machine: installs what it needs
# (GoogleTest from Debian when missing, test requirements from PyPI into a
# virtual environment), builds the wheel and checks it, builds the C++
# tests, then runs ctest and pytest. Any failure, or a run with no tests,
# exits non-zero.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
venv="${FLEXURA_VENV:-$root/.venv}"
pip_q=(-q --disable-pip-version-check)

have_gtest() {
    compgen -G "/usr/lib/*/cmake/GTest/GTestConfig.cmake" >/dev/null ||
        compgen -G "/usr/lib/cmake/GTest/GTestConfig.cmake" >/dev/null
}
if ! have_gtest; then
    echo "== installing GoogleTest (libgtest-dev)"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev >/dev/null
fi

if [ ! -x "$venv/bin/python" ]; then
    echo "== creating virtual environment $venv"
    python3 -m venv "$venv"
fi
py="$venv/bin/python"
echo "== installing test requirements"
"$py" -m pip install "${pip_q[@]}" -r requirements-test.txt

echo "== building and checking the wheel"
bash scripts/check_wheel.sh "$py"
"$py" -m pip install "${pip_q[@]}" --force-reinstall --no-deps build/wheelhouse/flexura-*.whl

echo "== checking the type stubs against the module"
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
cp "$("$py" -c 'import flexura, pathlib; print(pathlib.Path(flexura.__file__).with_name("flexura.pyi"))')" "$stubs/"
(cd "$stubs" && MYPYPATH="$stubs" "$py" -m mypy.stubtest flexura)

echo "== C++ tests"
cmake -S . -B build/cpp-tests -DFLEXURA_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/cpp-tests -j 2
ctest --test-dir build/cpp-tests --output-on-failure --no-tests=error -j 2

echo "== Python tests"
# Run from tests/ so that the installed module, not the source tree, is imported.
cd tests
"$py" -m pytest -q -p no:cacheprovider python
