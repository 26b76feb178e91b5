"""Compares the C++ replay of the golden corpus with the stored bits.

    python tests/golden/replay.py PROGRAM [ARG...]

PROGRAM is the flexura_golden_replay program of a build, possibly behind an
emulator (`wine build/windows/flexura_golden_replay.exe`). It is fed every
corpus case in the flat form that tests/golden/replay.cpp describes, and its
output is read back into the form of corpus.py's record(), so that each case
is compared exactly as the Python test compares the module's results. Needs
no flexura module: the comparison runs on any Python 3.
"""
import json
import struct
import subprocess
import sys
from pathlib import Path

from corpus import positions

CORPUS = Path(__file__).with_name("corpus.json")
PLOT_N = 7  # record() samples plotting_vectors(7)


def bits(v):
    return "%016x" % struct.unpack("<Q", struct.pack("<d", float(v)))[0]


def from_bits(text):
    return struct.unpack("<d", struct.pack("<Q", int(text, 16)))[0].hex()


def flatten(case):
    span, e, i, a, g, supports, loads, units = case["args"]
    lines = [f"case {case['name']}", "beam " + " ".join(bits(v) for v in (span, e, i, a, g))]
    lines += [f"unit {key} {bits(value)}" for key, value in (units or {}).items()]
    lines += ["support " + " ".join(bits(v) for v in s) for s in supports]
    lines += [f"load {kind} " + " ".join(bits(v) for v in params) for kind, params in loads]
    lines += ["at " + " ".join(bits(x) for x in positions(span, supports, loads)), f"plot {PLOT_N}"]
    return lines


def parse(output):
    """{case name: record} from the program's output."""
    records, current = {}, None
    for line in output.splitlines():
        item, _, rest = line.partition(" ")
        if item == "case":
            current = records[rest] = {}
        elif item == "error":
            current["error"] = rest
        elif item == "reaction":
            key, *values = rest.split()
            current.setdefault("reactions", {})[key] = [from_bits(v) for v in values]
        else:
            current[item] = [from_bits(v) for v in rest.split()]
    return records


def main(command):
    cases = json.loads(CORPUS.read_text())["cases"]
    feed = "".join(line + "\n" for c in cases for line in flatten(c))
    run = subprocess.run(command, input=feed, capture_output=True, text=True, check=True)
    got = parse(run.stdout)
    failed = 0
    for c in cases:
        want = dict(c["expected"])
        if "x" in want:  # the query positions are input, not output
            want.pop("x")
        mine = got.get(c["name"], {})
        moved = sorted(k for k in want.keys() | mine.keys() if want.get(k) != mine.get(k))
        if moved:
            failed += 1
            print(f"MISMATCH {c['name']}: {', '.join(moved)}")
    print(f"golden: {len(cases) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
