#!/usr/bin/env bash
# Builds the C++ tests and the golden replay with a second compiler and
# standard library, Zig's clang with LLVM's libc++, and runs them:
# - for Linux (glibc 2.17, as the release wheel): ctest, and the replay of
#   the golden corpus, whose every bit must equal the stored (GCC) results;
# - for Windows x86_64 (MinGW-w64 runtime), under Wine: the C++ tests and
#   the replay. FLEXURA_SKIP_WINDOWS=1 leaves this part out.
# GoogleTest is compiled from Debian's source package with the same
# compiler: the installed library is built against libstdc++.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
# Both parts' packages are checked first, so that a run without root names
# every missing one at once.
missing=()
have_packages googletest || missing+=(googletest)
windows=1
if [ "${FLEXURA_SKIP_WINDOWS:-0}" = 1 ]; then
    windows=0
elif ! have_packages wine64; then
    skip_step "second compiler for Windows under Wine" "${missing[@]}" wine64
    windows=0
fi
if [ "${#missing[@]}" -gt 0 ]; then
    skip_step "second compiler for Linux" "${missing[@]}"
    [ $windows = 1 ] && skip_step "second compiler for Windows under Wine" "${missing[@]}"
    exit 0
fi
zig=$(zig_path)
pinned_cmake

build() {  # build DIR ZIG_TARGET [CMAKE ARGS...]
    local dir=$1 target=$2
    shift 2
    "$cmake" -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/ZigToolchain.cmake -DZIG="$zig" -DZIG_TARGET="$target" \
        -DFLEXURA_BUILD_TESTS=ON -DFLEXURA_GTEST_SOURCE="${package_file[googletest]%/*}" -DCMAKE_BUILD_TYPE=Release \
        "$@" >/dev/null
    "$cmake" --build "$dir" -j 2
}

echo "== clang + libc++ (Zig, x86_64-linux-gnu.2.17): C++ tests and golden replay"
build build/zig-linux x86_64-linux-gnu.2.17
"$ctest" --test-dir build/zig-linux --output-on-failure --no-tests=error -j 2
python3 tests/golden/replay.py build/zig-linux/flexura_golden_replay

[ $windows = 1 ] || exit 0
echo "== Windows x86_64 (Zig, MinGW-w64) under Wine: C++ tests and golden replay"
wine=${package_file[wine64]}
# The prefix is tool state: outside the clone (its drive z: links to /).
export WINEPREFIX="$cache/wine-prefix" WINEDEBUG=-all
build build/zig-windows x86_64-windows-gnu -DCMAKE_CROSSCOMPILING_EMULATOR="$wine"
# The first start creates the Wine prefix and reports on it: do it quietly.
"$wine" wineboot --init >/dev/null 2>&1 || true
# The test program runs once, whole: Wine starts in seconds, not per test.
"$wine" build/zig-windows/flexura_tests.exe --gtest_brief=1
python3 tests/golden/replay.py "$wine" build/zig-windows/flexura_golden_replay.exe
# Wine's server lingers a few seconds after the last program: wait for it,
# so that nothing is left running (killing it could end another clone's run
# in the shared prefix).
"${wine%/*}/wineserver64" -w 2>/dev/null || true
