#!/usr/bin/env bash
# Checks one built wheel:  scripts/check_wheel.sh WHEEL [PYTHON]
# - tagged cp310-abi3 (one wheel for every CPython 3.10 or newer);
# - holding the extension, the stub package flexura-stubs, and flexura_tools
#   with its private extension _engine and that one's stub;
# - each extension exporting only its PyInit_ function;
# - a manylinux wheel: auditwheel finds the tag its name claims, and it is
#   manylinux_2_28 or older, so that RHEL 8, Ubuntu 20.04 and every newer
#   Linux install it;
# - importing and solving in a fresh virtual environment from the wheel alone,
#   and the flexura command solving the example model there.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
wheel=$1
py="${2:-python3}"
name=$(basename "$wheel")
fail() { echo "check_wheel: $name: $*"; exit 1; }
case "$name" in
    *-cp310-abi3-*.whl) ;;
    *) fail "not tagged cp310-abi3" ;;
esac

work="$root/build/check-wheel"
rm -rf "$work"
"$py" -m zipfile -e "$wheel" "$work/unpacked"
[ -f "$work/unpacked/flexura-stubs/__init__.pyi" ] || fail "flexura-stubs/__init__.pyi missing"
[ -f "$work/unpacked/flexura_tools/py.typed" ] || fail "flexura_tools/py.typed missing"
[ -f "$work/unpacked/flexura_tools/_engine.pyi" ] || fail "flexura_tools/_engine.pyi missing"
exports_only() {  # exports_only GLOB SYMBOL
    local so=($1) exports
    [ -f "${so[0]}" ] || fail "no extension $1"
    exports=$(nm -D --defined-only "${so[0]}" | awk '{print $3}')
    [ "$exports" = "$2" ] || fail "unexpected exports of ${so[0]##*/}: $exports"
}
exports_only "$work/unpacked/flexura*.so" PyInit_flexura
exports_only "$work/unpacked/flexura_tools/_engine*.so" PyInit__engine
# The calculator's page: every asset of the tree, in the wheel.
for asset in "$root"/src/flexura_tools/web/static/*; do
    [ -f "$work/unpacked/flexura_tools/web/static/$(basename "$asset")" ] || fail "web/static/$(basename "$asset") missing"
done

policy="none"
if [[ "$name" == *manylinux* ]]; then
    tools=$(tools_python)
    # auditwheel wraps its report; joined, the tag follows "platform tag:".
    report=$("$(dirname "$tools")/auditwheel" show "$wheel" 2>/dev/null | tr '\n' ' ')
    policy=$(sed -n 's/.*following platform tag: *"\(manylinux_[0-9]*_[0-9]*_[a-z0-9_]*\)".*/\1/p' <<<"$report")
    [ -n "$policy" ] || fail "no manylinux tag in auditwheel's report: $report"
    [[ "$name" == *".$policy.whl" || "$name" == *"-$policy.whl" ]] || fail "named otherwise than auditwheel's $policy"
    glibc_minor=$(sed 's/manylinux_2_\([0-9]*\)_.*/\1/' <<<"$policy")
    [ "$glibc_minor" -le 28 ] || fail "$policy needs glibc newer than 2.28"
fi

fresh="$work/venv"
"$py" -m venv "$fresh"
"$fresh/bin/python" -m pip install "${pip_q[@]}" --no-deps --no-index "$wheel"
(cd "$fresh" && bin/flexura "$root/examples/three_span.json" >/dev/null) || fail "the flexura command failed"
(cd "$fresh" && bin/python -c "import flexura; r = flexura.solve(10, 1e4, 1, 1, float('inf'), [(0, float('inf'), float('inf'), 0), (10, 0, float('inf'), 0)], [('point', [-10, 5, 90])]); assert abs(r.eval_bm(5) - 25) < 1e-9")
(cd "$fresh" && bin/python -c "from flexura_tools import _engine; r = _engine.solve(10, 1e4, 1, 1, float('inf'), [(0, float('inf'), float('inf'), 0), (10, 0, float('inf'), 0)], [('point', [-10, 5, 90])]); assert abs(r.values('bm', 5) - 25) < 1e-9")
echo "wheel ok: $name (auditwheel: $policy), each extension exports its PyInit_ only, imports from a fresh environment"
