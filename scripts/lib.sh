# Shared by the scripts (source it): where the clone and the tool state are,
# the pinned tools, the interpreters, the test requirements and the system
# packages.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Tool state (the tools' virtual environment with Zig, the Wine prefix) is
# kept outside the clone and shared by every clone: nothing in it may reach
# the sdist, and a Wine prefix links its drive z: to the whole file system.
cache="${FLEXURA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/flexura}"
pip_q=(-q --disable-pip-version-check)

# The pinned requirement of one tool, such as "ziglang==0.17.1": from
# scripts/tools.txt, except cibuildwheel, whose version the GitHub workflow
# names (the same version validates the configuration here).
pin() {
    if [ "$1" = cibuildwheel ]; then
        echo "cibuildwheel==$(sed -n 's|.*uses: pypa/cibuildwheel@v\([0-9.]*\).*|\1|p' "$root/.github/workflows/wheels.yml")"
    else
        grep -E "^$1==" "$root/scripts/tools.txt"
    fi
}

# Prints the Python of the tools' virtual environment, installing every pin
# first when the environment lacks them. One lock, so that clones running at
# once do not install into it together.
tools_python() {
    local venv="$cache/tools" pins
    pins="$(grep -v '^#' "$root/scripts/tools.txt")
$(pin cibuildwheel)"
    mkdir -p "$cache"
    (
        flock 9
        if [ ! -x "$venv/bin/python" ] || [ "$(cat "$venv/pins.txt" 2>/dev/null)" != "$pins" ]; then
            echo "== installing the pinned tools into $venv" >&2
            python3 -m venv --clear "$venv" >&2
            "$venv/bin/python" -m pip install "${pip_q[@]}" $pins >&2
            echo "$pins" >"$venv/pins.txt"
        fi
    ) 9>"$cache/tools.lock"
    echo "$venv/bin/python"
}

# Sets $cmake and $ctest to those of the pinned cmake package: the system's
# CMake may be older than the 3.26 that the project needs.
pinned_cmake() {
    local bin
    bin=$(dirname "$(tools_python)")
    cmake="$bin/cmake" ctest="$bin/ctest"
}

# The zig executable of the pinned ziglang package.
zig_path() {
    "$(tools_python)" -c 'import pathlib, ziglang; print(pathlib.Path(ziglang.__file__).with_name("zig"))'
}

# The interpreter of one minor version, or nothing: on PATH, or kept by pyenv
# without being selected (its shim then refuses to run).
find_python() {
    local v=$1 found
    if "python$v" -c '' 2>/dev/null; then command -v "python$v"; return 0; fi
    command -v pyenv >/dev/null || return 0
    found=$(compgen -G "$(pyenv root)/versions/$v.*/bin/python$v" | sort -V | tail -1 || true)
    [ -n "$found" ] && echo "$found"
    return 0
}

# The test requirements, one a line: the optional-dependency group "test" of
# pyproject.toml. Python 3.10 has no tomllib; pip's vendored copy reads it there.
test_requirements() {
    "${1:-python3}" - "$root/pyproject.toml" <<'PY'
import sys
try:
    import tomllib
except ImportError:
    from pip._vendor import tomli as tomllib
with open(sys.argv[1], "rb") as f:
    print("\n".join(tomllib.load(f)["project"]["optional-dependencies"]["test"]))
PY
}

# System (Debian) packages: the file that shows each is installed, and what
# needs it.
declare -A package_file=(
    [libgtest-dev]=/usr/include/gtest/gtest.h
    [googletest]=/usr/src/googletest/CMakeLists.txt
    [wine64]=/usr/lib/wine/wine64
    [chromium]=/usr/bin/chromium
    [chromium-driver]=/usr/bin/chromedriver
)
declare -A package_use=(
    [libgtest-dev]="GoogleTest, for the C++ tests and the golden replay with the default compiler"
    [googletest]="GoogleTest's source, built by the second compiler (clang and libc++)"
    [wine64]="Wine, to run the Windows build of the C++ tests and the golden replay"
    [chromium]="Chromium, for the calculator's tests in a real browser"
    [chromium-driver]="ChromeDriver, through which Selenium drives Chromium"
)

# True when every named package is installed, after installing the missing
# ones where that is possible (root, or sudo without a password). Otherwise
# each missing package is added to the file $FLEXURA_MISSING (when set), for
# scripts/test.sh to report in one block, and the result is false.
have_packages() {
    local missing=() package sudo=()
    for package in "$@"; do
        [ -e "${package_file[$package]}" ] || missing+=("$package")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    [ "$(id -u)" -ne 0 ] && sudo=(sudo -n)
    if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
        echo "== installing ${missing[*]} (Debian)"
        # A fresh machine's package lists may be stale or empty: update them first.
        "${sudo[@]}" apt-get update -qq && "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
            echo "== apt-get could not install ${missing[*]}"
        # Judged by the files again: an install that did not provide them counts as none.
        local still=()
        for package in "${missing[@]}"; do
            [ -e "${package_file[$package]}" ] || still+=("$package")
        done
        [ "${#still[@]}" -eq 0 ] && return 0
        missing=("${still[@]}")
    fi
    [ -n "${FLEXURA_MISSING:-}" ] && printf '%s\n' "${missing[@]}" >>"$FLEXURA_MISSING"
    return 1
}

# Records a step left out for missing packages (shown in test.sh's report).
skip_step() {
    echo "== skipped: $1 (needs ${*:2})"
    [ -n "${FLEXURA_SKIPPED:-}" ] && echo "$1" >>"$FLEXURA_SKIPPED"
    return 0
}

# Names the missing packages, what needs them and the steps left out, in one
# block; false where CI is set and a step was left out.
report_missing() {
    [ -s "${FLEXURA_SKIPPED:-}" ] || return 0
    echo
    echo "== system packages missing, and no root to install them:"
    local package
    for package in $(sort -u "$FLEXURA_MISSING"); do
        printf '   %-14s %s\n' "$package" "${package_use[$package]}"
    done
    echo "   install them with:  sudo apt-get install $(sort -u "$FLEXURA_MISSING" | paste -sd ' ')"
    echo "   left out: $(paste -sd ';' "$FLEXURA_SKIPPED" | sed 's/;/; /g')"
    if [ -n "${CI:-}" ]; then
        echo "   CI is set: a run that leaves steps out fails."
        return 1
    fi
    echo "   everything else passed."
}
