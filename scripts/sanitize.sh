#!/usr/bin/env bash
# Builds the C++ tests and the extension with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs ctest and the whole pytest suite under
# them. Any sanitizer report aborts the run with a non-zero exit.
# Expects the environment that scripts/test.sh prepares (.venv, GoogleTest).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
py="${FLEXURA_VENV:-$root/.venv}/bin/python"
[ -x "$py" ] || { echo "run scripts/test.sh first (it creates $py)"; exit 1; }

pinned_cmake
"$cmake" -S . -B build/asan -DFLEXURA_SANITIZE=ON -DFLEXURA_BUILD_TESTS=ON -DFLEXURA_BUILD_MODULE=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython_EXECUTABLE="$py" >/dev/null
"$cmake" --build build/asan -j 2

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "== C++ tests under ASan/UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 "$ctest" --test-dir build/asan --output-on-failure --no-tests=error -j 2

echo "== Python tests under ASan/UBSan"
# The interpreter itself is not instrumented: the ASan runtime must be
# loaded first, and the interpreter's own allocator is switched to malloc
# so that the sanitizer sees every object allocation. Leak detection is
# left to the leak tests: the interpreter keeps memory alive until exit.
# An allocation that cannot be served must fail as it does in production
# (std::bad_alloc -> MemoryError), not abort the run.
# The C++ standard library is preloaded too: the interpreter does not link
# it, and the sanitizer's exception interceptor must find it when it starts.
# Both come from the compiler that CMake chose (GCC's or Clang's runtime).
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/asan/CMakeCache.txt)
runtime=""
for name in libasan.so libclang_rt.asan-x86_64.so libclang_rt.asan.so; do
    found=$("$cxx" -print-file-name="$name")
    [ "$found" != "$name" ] && { runtime=$found; break; }
done
[ -n "$runtime" ] || { echo "no AddressSanitizer runtime found for $cxx"; exit 1; }
module=(build/asan/flexura*.so)
stdlib=$(ldd "${module[0]}" | awk '$1 ~ /^lib(std)?c\+\+\.so/ {print $3}')
preload="$runtime $stdlib"
cd tests
LD_PRELOAD="$preload" PYTHONMALLOC=malloc ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1 \
    PYTHONPATH="$root/build/asan:$root/src" "$py" -m pytest -q -p no:cacheprovider python
