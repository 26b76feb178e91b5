"""The flexura command end to end, as a user runs it."""
import json
import subprocess
import sys
from pathlib import Path

import pytest

import flexura_tools as ft

ROOT = Path(__file__).resolve().parents[3]
EXAMPLE = ROOT / "examples" / "three_span.json"
SCRIPT = Path(sys.executable).with_name("flexura")
COMMAND = [str(SCRIPT)] if SCRIPT.exists() else [sys.executable, "-m", "flexura_tools"]
try:
    import matplotlib  # noqa: F401
    has_matplotlib = True
except ImportError:
    has_matplotlib = False


def flexura(*args, cwd=None):
    return subprocess.run(COMMAND + [str(a) for a in args], capture_output=True, text=True, timeout=120, cwd=cwd)


def test_good_file_prints_reactions_and_extremes():
    done = flexura(EXAMPLE)
    assert done.returncode == 0 and done.stderr == ""
    result = ft.load(EXAMPLE).solve()
    rows = {line.split()[0]: line.split() for line in done.stdout.splitlines() if line.strip()}
    for reaction in result.reactions:
        assert rows[reaction.label][1:4] == [f"{reaction.x:g}", reaction.support.kind, "0"]
        assert float(rows[reaction.label][4]) == pytest.approx(reaction.ry, rel=1e-5)
    assert "bending moment [kNm]" in done.stdout and "deflection [mm]" in done.stdout


def test_json_output_reads_back_as_the_results(tmp_path):
    done = flexura(EXAMPLE, "--json", tmp_path / "out.json", "--points", 50)
    assert done.returncode == 0, done.stderr
    data = json.loads((tmp_path / "out.json").read_text())
    result = ft.load(EXAMPLE).solve()
    assert [(r["label"], r["x"], r["rx"], r["ry"], r["m"]) for r in data["reactions"]] == \
        [(r.label, r.x, r.rx, r.ry, r.m) for r in result.reactions]
    bm = result.extremes().bm
    assert data["extremes"]["bm"] == {"max": bm.max, "x_max": bm.x_max, "min": bm.min, "x_min": bm.x_min}
    assert data["diagram"] == {k: result.diagram(50)[k] for k in ("x", "nf", "sf", "bm", "d", "rotation")}


def test_model_problems_are_all_listed_with_status_1(tmp_path):
    bad = tmp_path / "bad.json"
    bad.write_text('{"flexura_model": 1, "span": 10, "E": 0, "I": 1, "unit": {}, "supports": [{"type": "roller", '
                   '"x": 4}], "loads": [{"type": "point", "x": 15, "force": -1}]}')
    done = flexura(bad)
    assert done.returncode == 1 and done.stdout == ""
    assert done.stderr.splitlines() == [
        f"{bad}: unit: is not a known key; did you mean 'units'?",
        f"{bad}: E: must be positive and finite, got 0",
        f"{bad}: supports: the beam is a mechanism: it can turn about its only support at x = 4; give a second "
        "support or fix this one",
        f"{bad}: loads[0].x: 15 is beyond the span 10"]


def test_combinations_are_printed_as_their_envelope(tmp_path):
    beam = ft.Beam(span=12, E=1e4, I=1, supports=[ft.Support.pin(0, "A"), ft.Support.roller(6, "B"),
                                                  ft.Support.roller(12, "C")],
                   cases={"G": [ft.UniformLoad(w=-10)], "Q": [ft.PointLoad(x=3, force=-40)]},
                   combinations=[ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5}),
                                 ft.Combination(name="G only", factors={"G": 1.35})])
    ft.save(beam, tmp_path / "combined.json")
    done = flexura(tmp_path / "combined.json")
    assert done.returncode == 0 and "Reactions (forces" not in done.stdout  # no loads of its own
    rows = {line.split()[0]: line for line in done.stdout.splitlines()[1:] if line.strip()}
    assert done.stdout.startswith("Envelope of the combinations ULS, G only\n")
    assert rows["C"].split()[2:] == ["30.375", "G", "only", "24.75", "ULS"]  # 3/8 of 1.35 w L at the end support


def test_overflow_is_said_with_its_input(tmp_path):
    soft = tmp_path / "soft.json"
    soft.write_text('{"flexura_model": 1, "span": 10, "E": 1, "I": 1, "supports": [{"x": 0, "kx": "inf", '
                    '"ky": 5e-324}, {"x": 10, "ky": 5e-324}]}')
    done = flexura(soft)
    assert done.returncode == 1 and done.stderr.startswith(f"{soft}: supports[0].ky: 5e-324 takes the spring's")


@pytest.mark.parametrize("args, message", [
    ([], "the following arguments are required: model"),
    (["missing.json"], "flexura: cannot read missing.json: No such file or directory"),
    ([EXAMPLE, "--points", "1"], "flexura: --points must be from 2 to 100,000, got 1"),
    ([EXAMPLE, "--points", 10**11], "flexura: --points must be from 2 to 100,000, got 100000000000"),
    ([EXAMPLE, "--json", "no/such/dir/out.json"], "flexura: cannot write no/such/dir/out.json"),
    ([EXAMPLE, "--json", "/dev/full"], "flexura: cannot write /dev/full: No space left on device"),
    ([EXAMPLE, "--png", "beam.xyz"], "--png beam.xyz: the picture is a PNG file: give a file name ending in .png"),
    ([EXAMPLE, "--png", "beam"], "--png beam: the picture is a PNG file"),
    ([EXAMPLE, "--png", "."], "--png .: the picture is a PNG file"),
])
def test_usage_errors_exit_with_status_2(args, message, tmp_path):
    done = flexura(*args, cwd=tmp_path)
    assert done.returncode == 2 and message in done.stderr


def test_help_shows_an_example():
    done = flexura("--help")
    assert done.returncode == 0 and "flexura beam.json --png beam.png" in done.stdout


def test_png_needs_the_plot_extra(tmp_path):
    done = flexura(EXAMPLE, "--png", tmp_path / "beam.png")
    if has_matplotlib:
        assert done.returncode == 0 and (tmp_path / "beam.png").stat().st_size > 10000
    else:
        assert done.returncode == 2 and "pip install 'flexura[plot]'" in done.stderr


@pytest.mark.parametrize("redirect, message", [
    (">/dev/full", "flexura: cannot write to standard output: No space left on device"),
    (">&-", "flexura: cannot write to standard output: it is closed"),
])
def test_standard_output_that_cannot_be_written_is_one_line(redirect, message):
    command = " ".join(f"'{a}'" for a in COMMAND + [str(EXAMPLE)])
    done = subprocess.run(f"{command} {redirect}", shell=True, capture_output=True, text=True, timeout=120)
    assert (done.returncode, done.stderr) == (2, message + "\n")


def test_combinations_show_in_json_and_picture_as_in_the_tables(tmp_path):
    beam = ft.Beam(span=12, E=1e4, I=1, supports=[ft.Support.pin(0, "A"), ft.Support.roller(12, "B")],
                   cases={"G": [ft.UniformLoad(w=-10)], "Q": [ft.PointLoad(x=3, force=-40)], "W": []},
                   combinations=[ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5})])
    ft.save(beam, tmp_path / "c.json")
    done = flexura(tmp_path / "c.json", "--json", "-", "--png", "c.png", cwd=tmp_path)
    assert done.returncode == 0 and done.stderr.splitlines() == [
        f"flexura: note: {tmp_path / 'c.json'}: the load cases W are in no combination, so no result holds them",
        "flexura: wrote c.png"]
    data = json.loads(done.stdout)
    assert "reactions" not in data  # no loads of its own: only the combinations, as the tables
    uls = beam.solve_combinations()["ULS"]
    assert data["combinations"]["ULS"]["reactions"][0]["ry"] == uls.reactions["A"].ry
    assert data["envelope"]["reactions"][1]["ry"] == {"max": uls.reactions["B"].ry, "max_by": "ULS",
                                                      "min": uls.reactions["B"].ry, "min_by": "ULS"}
    bm = data["envelope"]["extremes"]["bm"]
    assert bm["max_by"] == "ULS"
    assert bm["max_with"]["sf"] == uls.solved.values("sf", bm["x_max"], "left")  # at the point load, left of it
    assert not has_matplotlib or (tmp_path / "c.png").stat().st_size > 10000


@pytest.mark.parametrize("content, message", [
    (b'{"flexura_model": 1, "title": "\xff"}', "is not UTF-8 text: byte 0xff at offset 31 cannot be read"),
    (b"[" * 100_000, "not a model file: nested deeper than 8 levels"),
])
def test_unreadable_model_file_is_one_line_with_status_1(content, message, tmp_path):
    bad = tmp_path / "bad.json"
    bad.write_bytes(content)
    done = flexura(bad)
    assert (done.returncode, done.stderr) == (1, f"{bad}: {message}\n")


def test_version_and_where_it_wrote(tmp_path):
    assert flexura("--version").stdout.startswith("flexura ")
    done = flexura(EXAMPLE, "--json", tmp_path / "o.json")
    assert done.stderr == f"flexura: wrote {tmp_path / 'o.json'}\n"


def test_the_extended_model_prints_and_exports_its_settlements_and_hinge_jumps(tmp_path):
    girder = ROOT / "examples" / "stepped_girder.json"
    done = flexura(girder, "--json", tmp_path / "out.json")
    assert done.returncode == 0, done.stderr
    result = ft.load(girder).solve()
    lines = done.stdout.splitlines()
    hinge = lines[lines.index("Hinges (the rotation just right of each minus just left, radians, counter-clockwise)") + 2]
    assert [float(v) for v in hinge.split()] == pytest.approx([14.0, result.hinge_jumps[0].jump], rel=1e-5)
    assert "Settlements" in done.stdout and "Imposed curvatures" in done.stdout
    data = json.loads((tmp_path / "out.json").read_text())
    assert data["hinge_jumps"] == [{"x": 14.0, "jump": result.hinge_jumps[0].jump}]
    assert data["settlements"] == [{"support": "B", "dy": -0.02, "rotation": 0.0}]
    assert data["reactions"][2]["m"] == result.reactions["C"].m != 0.0  # the rotational spring's moment
