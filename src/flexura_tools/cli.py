"""The console script: flexura MODEL [--png FILE] [--json FILE] [--csv FILE]."""

from __future__ import annotations

import argparse
import os
import sys
from collections.abc import Callable, Sequence
from importlib import metadata
from pathlib import Path
from typing import TextIO

from . import export, plot, report
from .checks import MAX_COUNT
from .envelopes import Envelope, envelope
from .errors import ModelError
from .model import Beam, Result
from .modelfile import load
from .result import ALL_QUANTITIES

EXAMPLE = """\
example:
  flexura beam.json                    reactions and extremes as tables
  flexura beam.json --png beam.png     and the diagrams as a picture
  flexura beam.json --json out.json    and everything as JSON (--json - : on standard output)
  flexura beam.json --csv out.csv      and the diagrams as CSV, one row per position
  flexura batch *.json --csv out.csv   many models, one row each (flexura batch --help)

A model file (JSON, or TOML on Python 3.11+):
  {"flexura_model": 1, "span": 10, "E": 2.1e8, "I": 8.356e-5,
   "unit_names": {"force": "kN", "length": "m", "moment": "kNm"},
   "supports": [{"type": "pin", "x": 0, "label": "A"},
                {"type": "roller", "x": 10, "label": "B"}],
   "loads": [{"type": "uniform", "w": -12},
             {"type": "point", "x": 4, "force": -45}]}

Exit status: 0 solved, 1 the model has problems (each is listed), 2 usage error
(a file that cannot be read or written, an option out of range).
"""
STDOUT = "-"


class UsageError(Exception):
    """A problem of the command's arguments or of its output, told in one line (exit 2)."""


def parser() -> argparse.ArgumentParser:
    """The options of flexura MODEL, with the example and the exit status in its help."""
    p = argparse.ArgumentParser(prog="flexura", description="Solve a beam model file and print "
                                "its reactions and extremes.", epilog=EXAMPLE,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("model", help="the model file (.json, or .toml)")
    p.add_argument("--png", metavar="FILE", help="write the sketch and the diagrams as a PNG picture (needs "
                   "matplotlib); a model with combinations: their envelope")
    p.add_argument("--json", metavar="FILE", dest="json_file",
                   help="write the reactions, the extremes and the diagram columns (and each combination "
                        "and their envelope) as JSON; - for standard output, instead of the tables")
    p.add_argument("--csv", metavar="FILE", dest="csv_file",
                   help="write the diagrams as CSV, one row per position (both sides of every jump, told by "
                        "the side column); a model with combinations: their envelope with each one's diagrams "
                        "(in FILE-combinations.csv when the model has loads of its own)")
    p.add_argument("--points", metavar="N", type=int, default=200,
                   help=f"evenly spaced diagram points for --json, --csv and --png (2 to {MAX_COUNT:,}; "
                        "default 200)")
    p.add_argument("--version", action="version", version=f"flexura {_version()}")
    return p


def _version() -> str:
    try:
        return metadata.version("flexura")
    except metadata.PackageNotFoundError:  # run from a source tree, not installed
        return "(not installed)"


class Solved:
    """A model file solved: its own loads' result, and each combination with their envelope."""

    def __init__(self, beam: Beam) -> None:
        self.beam = beam
        self.result = beam.solve()
        self.combinations: dict[str, Result] = beam.solve_combinations() if beam.combinations else {}
        self.envelope: Envelope | None = envelope(self.combinations, quantities=ALL_QUANTITIES) if self.combinations else None

    @property
    def own_loads(self) -> bool:
        """Whether the model's own loads are shown: when it has some, or nothing else."""
        return bool(self.beam.loads) or self.envelope is None

    def heading(self) -> str:
        """The title of the combinations' envelope, naming them."""
        return f"Envelope of the combinations {', '.join(self.combinations)}"

    def unused_cases(self) -> list[str]:
        """The load cases that no combination names, which no result shows."""
        used = {case for c in self.beam.combinations for case in c.factors}
        return [name for name in self.beam.cases if name not in used]


def main(argv: Sequence[str] | None = None) -> int:
    """Run the command (flexura MODEL, flexura batch ..., flexura serve ...) on `argv`,
    the command line without the program name by default; return the exit status."""
    argv = sys.argv[1:] if argv is None else argv
    if argv[:1] == ["serve"]:  # the calculator in the browser: flexura serve --help
        from .web.serve import main as serve
        return serve(argv[1:])
    if argv[:1] == ["batch"]:  # many files, one CSV row each: flexura batch --help
        from .cli_batch import main as batch
        return batch(argv[1:])
    args = parser().parse_args(argv)
    name: str = args.model
    try:
        _check_options(args)
        beam: Beam = load(name)
        solved = Solved(beam)
        tables = _tables(solved) if args.json_file != STDOUT else ""
        json_text = _json_text(solved, args.points) if args.json_file else ""
    except UsageError as error:
        return _usage(str(error))
    except OSError as error:
        return _usage(f"cannot read {name}: {error.strerror or error}")
    except ModelError as error:
        for problem in error.problems:
            _tell(f"{name}: {problem}")
        return 1
    unused = solved.unused_cases()
    if unused:
        _tell(f"flexura: note: {name}: the load cases {', '.join(unused)} are in no combination, so no result "
              "holds them" + ("" if beam.combinations else "; give combinations to see their effect"))
    try:
        if tables:
            _write(sys.stdout, tables)
        if args.json_file == STDOUT:
            _write(sys.stdout, json_text)
        elif args.json_file:
            target: str = args.json_file
            _save(target, lambda: _write_file(target, json_text))
        if args.csv_file:
            _write_tables(solved, args.csv_file, args.points)
        if args.png:
            _write_pictures(solved, args.png, max(args.points, 400))
    except UsageError as error:
        return _usage(str(error))
    return 0


def _check_options(args: argparse.Namespace) -> None:
    """The options' own problems, told before any work."""
    if not 2 <= args.points <= MAX_COUNT:
        raise UsageError(f"--points must be from 2 to {MAX_COUNT:,}, got {args.points}")
    if args.csv_file == STDOUT:
        raise UsageError("--csv: give a file name (the tables may be two files)")
    if args.png:
        png = Path(args.png)
        if png.suffix.lower() != ".png" or png.is_dir():
            raise UsageError(f"--png {args.png}: the picture is a PNG file: give a file name ending in .png")
        if not plot.available():
            raise UsageError(plot.INSTALL_HINT)


def _tables(solved: Solved) -> str:
    parts = [report.text(solved.result)] if solved.own_loads else []
    if solved.envelope is not None:
        parts.append(report.envelope_text(solved.envelope, solved.heading()))
    return "\n\n".join(parts) + "\n"


def _json_text(solved: Solved, points: int) -> str:
    document = report.document(solved.result, points) if solved.own_loads else report.heading(solved.beam)
    if solved.envelope is not None:
        document.update(report.combinations_document(solved.combinations, solved.envelope, points))
    return report.dumps(document)


def _write_pictures(solved: Solved, target: str, points: int) -> None:
    """The own loads' diagrams, and the combinations' envelope: in `target` when the
    model has only one of them, else the envelope in TARGET-combinations.png."""
    if solved.own_loads:
        _save(target, lambda: plot.save_png(solved.result, target, points))
    if solved.envelope is not None:
        where = _combinations_file(solved, target)
        shown = solved.envelope
        _save(where, lambda: plot.save_envelope_png(shown, where, ("sf", "bm", "d"), solved.heading(),
                                                    solved.combinations))


def _write_tables(solved: Solved, target: str, points: int) -> None:
    """The own loads' diagrams, and the combinations' envelope with each combination's
    diagrams on its mesh, placed as the pictures are."""
    if solved.own_loads:
        _save(target, lambda: export.result_to_csv(solved.result, target, points))
    if solved.envelope is not None:
        where = _combinations_file(solved, target)
        meshed = envelope(solved.combinations, n=points, quantities=ALL_QUANTITIES)  # the mesh of --points intervals
        _save(where, lambda: export.envelope_to_csv(meshed, where, solved.combinations))


def _combinations_file(solved: Solved, target: str) -> str:
    """Where the combinations' output goes: `target`, or TARGET-combinations.EXT when the
    model's own loads take `target`."""
    if not solved.own_loads:
        return target
    path = Path(target)
    return str(path.with_name(f"{path.stem}-combinations{path.suffix}"))


def _write_file(target: str, text: str) -> None:
    Path(target).write_text(text, encoding="utf-8")


def _save(target: str, write: Callable[[], None]) -> None:
    try:
        write()
    except OSError as error:
        raise UsageError(f"cannot write {target}: {error.strerror or error}") from None
    _tell(f"flexura: wrote {target}")


def _write(stream: TextIO | None, text: str) -> None:
    """Text on standard output; a failure to write it is a usage error, after which
    what is left in the stream's buffer goes nowhere (not into a second error at exit)."""
    if stream is None:  # started with standard output closed
        raise UsageError("cannot write to standard output: it is closed")
    try:
        stream.write(text)
        stream.flush()
    except BrokenPipeError:
        raise
    except OSError as error:
        _discard(stream)
        raise UsageError(f"cannot write to standard output: {error.strerror or error}") from None


def _discard(stream: TextIO) -> None:
    try:
        os.dup2(os.open(os.devnull, os.O_WRONLY), stream.fileno())
    except (OSError, ValueError):  # a stream without a descriptor of its own
        pass


def _tell(message: str) -> None:
    """A line on standard error, when there is one."""
    if sys.stderr is not None:
        print(message, file=sys.stderr)


def _usage(message: str) -> int:
    _tell(f"flexura: {message}")
    return 2


def run() -> None:
    """The console script's entry point."""
    try:
        code = main()
    except BrokenPipeError:  # the reader stopped early (flexura beam.json | head): not an error
        _discard(sys.stdout)
        code = 0
    sys.exit(code)
