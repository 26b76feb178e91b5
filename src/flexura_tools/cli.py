"""The console script: flexura MODEL [--png FILE] [--json FILE]."""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Sequence
from pathlib import Path

from . import plot, report
from .envelopes import envelope
from .errors import ModelError
from .model import Beam
from .modelfile import load

EXAMPLE = """\
example:
  flexura beam.json                    reactions and extremes as tables
  flexura beam.json --png beam.png     and the diagrams as a picture
  flexura beam.json --json out.json    and everything as JSON

A model file (JSON, or TOML on Python 3.11+):
  {"flexura_model": 1, "span": 10, "E": 2.1e8, "I": 8.356e-5,
   "unit_names": {"force": "kN", "length": "m", "moment": "kNm"},
   "supports": [{"type": "pin", "x": 0, "label": "A"},
                {"type": "roller", "x": 10, "label": "B"}],
   "loads": [{"type": "uniform", "w": -12},
             {"type": "point", "x": 4, "force": -45}]}

Exit status: 0 solved, 1 the model has problems (each is listed), 2 usage error.
"""


def parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(prog="flexura", description="Solve a beam model file and print "
                                "its reactions and extremes.", epilog=EXAMPLE,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("model", help="the model file (.json, or .toml)")
    p.add_argument("--png", metavar="FILE", help="write the sketch and the diagrams (needs matplotlib)")
    p.add_argument("--json", metavar="FILE", dest="json_file",
                   help="write the reactions, the extremes and the diagram columns as JSON")
    p.add_argument("--points", metavar="N", type=int, default=200,
                   help="evenly spaced diagram points for --json and --png (default 200)")
    return p


def main(argv: Sequence[str] | None = None) -> int:
    argv = sys.argv[1:] if argv is None else argv
    if argv[:1] == ["serve"]:  # the calculator in the browser: flexura serve --help
        from .web.serve import main as serve
        return serve(argv[1:])
    args = parser().parse_args(argv)
    name: str = args.model
    if args.points < 2:
        return _usage(f"--points must be at least 2, got {args.points}")
    if args.png and not plot.available():
        return _usage(plot.INSTALL_HINT)
    try:
        beam: Beam = load(name)
        result = beam.solve()
        combinations = envelope(beam.solve_combinations()) if beam.combinations else None
    except OSError as error:
        return _usage(f"cannot read {name}: {error.strerror or error}")
    except ModelError as error:
        for problem in error.problems:
            print(f"{name}: {problem}", file=sys.stderr)
        return 1
    if beam.loads or combinations is None:
        print(report.text(result))
    if combinations is not None:
        heading = f"Envelope of the combinations {', '.join(combinations.names)}"
        print(("\n" if beam.loads else "") + report.envelope_text(combinations, heading))
    try:
        if args.json_file:
            Path(args.json_file).write_text(report.to_json(result, args.points), encoding="utf-8")
        if args.png:
            plot.save_png(result, args.png, max(args.points, 400))
    except OSError as error:
        return _usage(f"cannot write {error.filename}: {error.strerror or error}")
    return 0


def _usage(message: str) -> int:
    print(f"flexura: {message}", file=sys.stderr)
    return 2


def run() -> None:
    """The console script's entry point."""
    try:
        code = main()
        sys.stdout.flush()
    except BrokenPipeError:  # the reader stopped early (flexura beam.json | head): not an error
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        code = 0
    sys.exit(code)
