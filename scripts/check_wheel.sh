#!/usr/bin/env bash
# Builds the wheel into build/wheelhouse and checks it: one cp310-abi3 wheel
# holding the extension and its stubs, the extension exporting only
# PyInit_flexura, and the module importing in a fresh virtual environment
# from the wheel alone.
set -euo pipefail
py="${1:-python3}"
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rm -rf build/wheelhouse
"$py" -m pip wheel -q --disable-pip-version-check --no-deps -w build/wheelhouse .
wheels=(build/wheelhouse/flexura-*.whl)
[ "${#wheels[@]}" -eq 1 ] || { echo "expected one wheel, got: ${wheels[*]}"; exit 1; }
wheel=${wheels[0]}
case "$(basename "$wheel")" in
    *-cp310-abi3-*.whl) ;;
    *) echo "wheel is not tagged cp310-abi3: $wheel"; exit 1 ;;
esac

unpacked=build/wheelhouse/unpacked
"$py" -m zipfile -e "$wheel" "$unpacked"
[ -f "$unpacked/flexura.pyi" ] || { echo "flexura.pyi missing from the wheel"; exit 1; }
so=("$unpacked"/flexura*.so)
exports=$(nm -D --defined-only "${so[0]}" | awk '{print $3}')
[ "$exports" = "PyInit_flexura" ] || { echo "unexpected exports: $exports"; exit 1; }

fresh=build/wheelhouse/venv
"$py" -m venv --clear "$fresh"
"$fresh/bin/python" -m pip install -q --disable-pip-version-check --no-deps --no-index "$wheel"
(cd "$fresh" && bin/python -c "import flexura; r = flexura.solve(10, 1e4, 1, 1, float('inf'), [(0, float('inf'), float('inf'), 0), (10, 0, float('inf'), 0)], [('point', [-10, 5, 90])]); assert abs(r.eval_bm(5) - 25) < 1e-9")
echo "wheel ok: $(basename "$wheel"), exports PyInit_flexura only, imports from a fresh environment"
