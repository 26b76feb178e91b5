"""The benchmarks' shared scenarios and the targets that bench.py --check reads from
RESULTS.md."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "benchmarks"))
import bench  # noqa: E402
import report  # noqa: E402
from peers import PEERS  # noqa: E402
from scenarios import SCENARIOS, scenario_a, scenario_b  # noqa: E402

INF = float("inf")


def test_scenarios_a_and_b_keep_the_arguments_their_instruction_counts_were_measured_with() -> None:
    assert scenario_a().args() == (10.0, 2.1e8, 8.0e-5, 5.0e-3, INF,
                                   [(0.0, INF, INF, 0.0), (10.0, 0.0, INF, 0.0)],
                                   [("point", [-20.0, 4.0, 90.0])])
    assert scenario_b().args() == (
        20.0, 2.1e8, 8.0e-5, 5.0e-3, INF,
        [(0.0, INF, INF, 0.0), (6.0, 0.0, INF, 0.0), (13.0, 0.0, 5000.0, 0.0), (20.0, 0.0, INF, 0.0)],
        [("udl", [-8.0, 0.0, 6.0, 90.0]), ("trap", [-4.0, -12.0, 7.0, 12.0, 90.0]),
         ("dist", [14.0, 19.0, 90.0, -2.0, -0.3]), ("point", [15.0, 3.0, 240.0]),
         ("point", [10.0, 16.5, 300.0]), ("torque", [12.0, 9.5])])


def test_every_target_names_a_measure_of_the_run() -> None:
    keys = [make().key for make in SCENARIOS]
    measured = ({"floor." + name for name in bench.FLOORS}
                | {f"{key}.{name}" for key in keys for name in bench.OPERATIONS}
                | {f"{label.lower()}.{key}" for label, _, _ in PEERS for key in keys})
    targets = report.read_targets(report.RESULTS.read_text(encoding="utf-8"))
    named = {n for t in targets for n in (t.numerator, t.denominator) if n}
    assert len(targets) >= 16 and named <= measured, named - measured


def verdicts(table: str, medians: dict[str, float], capsys: pytest.CaptureFixture[str]) -> tuple[int, str]:
    missed = report.check_targets(report.read_targets("## Targets\n" + table), medians)
    return missed, capsys.readouterr().out


@pytest.mark.parametrize("row, medians, missed, word", [
    ("| `a.solve / floor.call8` | <= 3 | |", {"a.solve": 300.0, "floor.call8": 100.0}, 0, "met"),
    ("| `a.solve / floor.call8` | <= 3 | |", {"a.solve": 301.0, "floor.call8": 100.0}, 1, "MISSED"),
    ("| `pycba.a / a.job_eval` | >= 20 | |", {"pycba.a": 2e5, "a.job_eval": 1e4}, 0, "met"),
    ("| `pycba.a / a.job_eval` | >= 20 | |", {"pycba.a": 1.9e5, "a.job_eval": 1e4}, 1, "MISSED"),
    # A time bound in seconds against a median in ns.
    ("| `d.solve` | <= 1 s | |", {"d.solve": 1.35e6}, 0, "met"),
    ("| `d.solve` | <= 1 s | |", {"d.solve": 1.2e9}, 1, "MISSED"),
    # A peer that was not run is neither met nor missed.
    ("| `sympy.a / a.job_pv` | >= 10000 | |", {"a.job_pv": 1e4}, 0, "not measured in this run (sympy.a)"),
])
def test_check_targets(row: str, medians: dict[str, float], missed: int, word: str,
                       capsys: pytest.CaptureFixture[str]) -> None:
    count, printed = verdicts(row + "\n", medians, capsys)
    assert count == missed and printed.splitlines()[1].rstrip().endswith(word)


def test_targets_are_read_from_their_section_only() -> None:
    text = ("## Timings\n| `a.solve` | <= 9 | elsewhere |\n"
            "## Targets\n| measure | bound |\n|---|---|\n| `a.pv / floor.lists5` | <= 3 | |\n"
            "## Notes\n| `a.eval_d` | <= 1 | elsewhere |\n")
    assert [t.text() for t in report.read_targets(text)] == ["a.pv / floor.lists5"]
    with pytest.raises(ValueError, match="no target rows"):
        report.read_targets("## Targets\nnone yet\n")
