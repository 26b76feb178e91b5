#!/usr/bin/env bash
# Instruction counts of flexura's hot paths under valgrind's callgrind.
#
#   benchmarks/callgrind.sh              # instructions per call of each operation
#   CALLGRIND_LARGE=1 benchmarks/callgrind.sh    # also solves with 200 and 1,000 supports and
#                                                # 10,000 loads
#   benchmarks/callgrind.sh --annotate [OP]   # also: where OP (default "solve(a)") spends
#                                              # them, per function
#
# Each operation runs twice in a fresh interpreter: once with N calls and once with 0 calls,
# the same script otherwise.  (Ir(N) - Ir(0)) / N is the cost of one call with the
# interpreter start-up and the set-up cancelled out.  The "net" column also removes the
# cost of one iteration of the empty timing loop.  Counts are repeatable to a few
# instructions, unlike wall-clock times on a shared machine.
#
# Uses the flexura importable by $PYTHON (default python3); set PYTHONPATH to a build
# directory to measure a build that is not installed.
set -euo pipefail

PYTHON=${PYTHON:-python3}
ANNOTATE=0
ANN_OP="solve(a)"
if [[ "${1:-}" == "--annotate" ]]; then ANNOTATE=1; ANN_OP=${2:-$ANN_OP}; fi

# The real interpreter binary, not a wrapper script (pyenv shims, venv launchers).
PYTHON=$("$PYTHON" -c 'import sys; print(sys.executable)')
command -v valgrind >/dev/null || { echo "valgrind not found (apt-get install valgrind)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export PYTHONHASHSEED=0

# The C floors, built for this interpreter.
"$PYTHON" - "$(dirname "$0")/floors.c" "$WORK" <<'EOF'
import subprocess, sys, sysconfig
source, work = sys.argv[1], sys.argv[2]
include = sysconfig.get_paths()["include"]
subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-I", include, source, "-o", work + "/floors.so"], check=True)
EOF
export PYTHONPATH="$WORK${PYTHONPATH:+:$PYTHONPATH}"

cat > "$WORK/worker.py" <<'EOF'
import itertools
import math
import sys
from array import array
from operator import itemgetter

import flexura
import floors

inf = float("inf")
OPS = {
    "loop": "pass",
    "solve(a)": "solve(*args_a)",
    "solve(b)": "solve(*args_b)",
    "eval_d": "r.eval_d(x)",
    "get_bending_moment": "r.get_bending_moment(x)",
    "reactions": "r.reactions()",
    "plotting_vectors(200)": "r.plotting_vectors(200)",
    "floor call8": "itemgetter(*args_a, None)",
    "floor call1": "math.fabs(x)",
    "floor lists5": "{'x': vals.tolist(), 'nf': vals.tolist(), 'sf': vals.tolist(), "
                    "'bm': vals.tolist(), 'd': vals.tolist()}",
    # scenario (a) with nine more point loads: (solve(a+9) - solve(a)) / 9 is the cost of one
    "solve(a+9)": "solve(*args_a9)",
    "solve(200 supports)": "solve(*args_s200)",
    "solve(1000 supports)": "solve(*args_s1000)",
    "solve(10000 loads)": "solve(*args_l10000)",
    # benchmarks/floors.c: reactions() on (a) built in C, and a C fast call converting nothing
    "floor dict2x3": "floors.dict2x3()",
    "floor fastcall8": "floors.call(*args_a, None)",
}
op, n = sys.argv[1], int(sys.argv[2])
EOF
# The arguments of the scenarios of scenarios.py, written into the worker as literals:
# importing that module in the measured process would move the counts by up to 1%.
"$PYTHON" - "$(cd "$(dirname "$0")" && pwd)" >> "$WORK/worker.py" <<'EOF'
import sys
sys.path.insert(0, sys.argv[1])
from scenarios import scenario_a, scenario_b, scenario_d, scenario_e
print("args_a = %r\nargs_b = %r" % (scenario_a().args(), scenario_b().args()))
print("args_s200 = %r\nargs_s1000 = %r" % (scenario_d(200).args(), scenario_d(1000).args()))
print("args_l10000 = %r" % (scenario_e(10000).args(),))
EOF
cat >> "$WORK/worker.py" <<'EOF'
args_a9 = args_a[:6] + (args_a[6] + [("point", [-5.0 - k, 0.5 + k, 90.0]) for k in range(9)],)
solve = flexura.solve
r = solve(*args_a)
x = 3.7
vals = array("d", [0.5 + k for k in range(len(r.plotting_vectors(200)["x"]))])
code = compile("for _ in it:\n    %s\n" % OPS[op], "<op>", "exec")
ns = dict(globals(), it=itertools.repeat(None, n))
exec(code, ns)
EOF

ops=("loop" "solve(a)" "solve(b)" "eval_d" "get_bending_moment" "reactions" "plotting_vectors(200)"
     "floor call8" "floor call1" "floor lists5" "solve(a+9)" "floor dict2x3" "floor fastcall8")
if [[ -n "${CALLGRIND_LARGE:-}" ]]; then  # a few minutes more
    ops+=("solve(200 supports)" "solve(1000 supports)" "solve(10000 loads)")
fi

run() {  # op n outfile
    valgrind --tool=callgrind --callgrind-out-file="$3" "$PYTHON" "$WORK/worker.py" "$1" "$2" \
        >/dev/null 2>&1
}
total() { awk '/^(summary|totals):/ {print $2; exit}' "$1"; }

N=${CALLGRIND_N:-2000}
printf '%-24s %8s %16s %16s\n' "operation" "N" "Ir per call" "net of loop"
loop_ir=0
for op in "${ops[@]}"; do
    n=$N
    case "$op" in
        "solve(1000 supports)") n=1 ;;
        "solve(200 supports)"|"solve(10000 loads)") n=5 ;;
        solve*|plotting*|reactions|"floor lists5"|"floor dict2x3") n=500 ;;
    esac
    tag=${op//[^a-z0-9]/_}
    run "$op" 0 "$WORK/$tag.0" & run "$op" "$n" "$WORK/$tag.n" & wait
    per=$(( ($(total "$WORK/$tag.n") - $(total "$WORK/$tag.0")) / n ))
    [[ "$op" == "loop" ]] && loop_ir=$per
    printf '%-24s %8d %16d %16d\n' "$op" "$n" "$per" "$((per - loop_ir))"
done

if (( ANNOTATE )); then
    # Per-function difference between a run with N solves and a run with none, per solve.
    echo
    echo "$ANN_OP per call, by function (difference of an N-call and a 0-call run, / N):"
    n=500
    run "$ANN_OP" 0 "$WORK/ann.0" & run "$ANN_OP" "$n" "$WORK/ann.n" & wait
    for mode in yes no; do
        callgrind_annotate --inclusive=$mode --threshold=100 "$WORK/ann.0" > "$WORK/ann.0.$mode" 2>/dev/null
        callgrind_annotate --inclusive=$mode --threshold=100 "$WORK/ann.n" > "$WORK/ann.n.$mode" 2>/dev/null
    done
    "$PYTHON" - "$WORK" "$n" <<'PYEOF'
import re, sys
work, n = sys.argv[1], int(sys.argv[2])

def table(path):
    out = {}
    for line in open(path):
        m = re.match(r"\s*([\d,]+)\s+\(\s*[\d.]+%\)\s+(.*)$", line)
        if m and ":" in m.group(2):
            name = m.group(2).split(":", 1)[1]
            name = re.sub(r"\s*\[[^\]]*\]$", "", name)  # drop the object file
            out[name] = out.get(name, 0) + int(m.group(1).replace(",", ""))
    return out

def short(name):
    name = re.sub(r"std::__cxx11::basic_string<char[^>]*>", "std::string", name)
    name = re.sub(r"std::vector<([\w:]+), std::allocator<\1 > >", r"std::vector<\1>", name)
    name = re.sub(r"\(anonymous namespace\)::", "", name)
    return name if len(name) < 110 else name[:107] + "..."

for mode, title in (("yes", "inclusive"), ("no", "self")):
    a, b = table("%s/ann.0.%s" % (work, mode)), table("%s/ann.n.%s" % (work, mode))
    rows = sorted(((b[k] - a.get(k, 0)) / n, k) for k in b)
    if mode == "yes":  # the module's own functions and the allocator, not the interpreter's frames
        rows = [r for r in rows if "::" in r[1] or "alloc" in r[1] or "free" in r[1]]
    rows = [r for r in rows if r[0] >= 40][::-1][:25]
    print("  %s instructions per call:" % title)
    for v, k in rows:
        print("  %9.0f  %s" % (v, short(k)))
    print()
PYEOF
fi
