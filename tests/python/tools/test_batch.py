"""Batches: the same bits serially, on a process pool and on a Dask cluster; records
in order, streamed; a model's problems kept to its own record; the command's CSV."""

import csv
import io
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

import pytest

import flexura_tools as ft

ROOT = Path(__file__).resolve().parents[3]
EXAMPLE = ROOT / "examples" / "three_span.json"
BAD = ft.Beam(span=10, E=0, I=1, supports=[ft.Support.roller(4)])


def beams(count):
    """Two-span beams whose load walks along the beam: different numbers in every model."""
    for k in range(count):
        yield ft.Beam(span=12, E=2.1e8, I=8.356e-5, supports=[ft.Support.pin(0, "A"), ft.Support.roller(5, "B"),
                                                               ft.Support.spring(12, ky=9e3, label="C")],
                      loads=[ft.UniformLoad(w=-12), ft.PointLoad(x=12 * k / count, force=-45, angle=80)])


def models():
    return [*beams(20), str(EXAMPLE), BAD, ROOT / "missing.json", 7, *beams(3)]


def bits(records):
    """Every number of every record, exactly, with its place and source."""
    out = []
    for r in records:
        numbers = [] if r.extremes is None else [getattr(r.extremes[q], s) for q in ("nf", "sf", "bm", "d")
                                                  for s in ("max", "x_max", "min", "x_min")]
        numbers += [v for reaction in r.reactions or () for v in (reaction.rx, reaction.ry, reaction.m)]
        out.append((r.index, r.source, [v.hex() for v in numbers], r.problems))
    return out


def test_serial_records_match_solving_each_model():
    records = list(ft.solve_many(models()))
    assert [r.index for r in records] == list(range(len(models())))
    for record, model in zip(records[:20], beams(20)):
        assert record.ok and record.error is None
        assert bits([record])[0][2] == bits([ft.Solved(0, "", model, model.solve().reactions,
                                                       model.solve().extremes())])[0][2]
        assert record.result.reactions["B"] == record.reactions["B"]  # solved again here, to the same bits
    assert records[20].source == str(EXAMPLE) and records[20].ok
    assert records[21].source == "models[21]" and records[21].problems == tuple(BAD.problems())
    with pytest.raises(ft.ModelError, match="E: must be positive"):
        records[21].result
    assert records[22].messages() == [f"{ROOT / 'missing.json'}: cannot read the file: No such file or directory"]
    assert records[23].messages() == ["models[23]: must be a Beam or the path of a model file, got int"]


def test_process_pool_gives_the_same_bits():
    with ProcessPoolExecutor(2) as pool:
        pooled = list(ft.solve_many(models(), pool, chunk=3, in_flight=2))
    assert bits(pooled) == bits(ft.solve_many(models()))


def test_dask_cluster_gives_the_same_bits():
    distributed = pytest.importorskip("distributed", reason="dask[distributed] is not installed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        on_dask = list(ft.solve_many(models(), client, chunk=4))
    assert bits(on_dask) == bits(ft.solve_many(models()))


@pytest.mark.parametrize("executor", [None, "threads"])
def test_the_input_is_read_as_the_work_goes(executor):
    """A generator is never drawn whole: at most chunk * (in_flight + 1) models ahead."""
    drawn = []
    stream = (drawn.append(k) or beam for k, beam in enumerate(beams(10_000)))
    with ThreadPoolExecutor(2) as threads:
        records = ft.solve_many(stream, threads if executor else None, chunk=4, in_flight=3)
        assert next(records).ok and len(drawn) <= 4 * (3 + 1)
        records.close()


def test_argument_problems_are_listed_together():
    with pytest.raises(ft.ModelError) as caught:
        list(ft.solve_many([], chunk=0, in_flight=True))
    assert [p.path for p in caught.value.problems] == ["chunk", "in_flight"]


def flexura(*args, cwd):
    command = [sys.executable, "-m", "flexura_tools", "batch", *map(str, args)]
    return subprocess.run(command, capture_output=True, text=True, timeout=300, cwd=cwd)


def test_batch_command_writes_one_row_a_file_and_lists_problems(tmp_path):
    (tmp_path / "bad.json").write_text('{"flexura_model": 1, "span": 0}')
    files = [EXAMPLE, tmp_path / "bad.json", tmp_path / "missing.json", EXAMPLE]
    done = flexura(*files, "--csv", "out.csv", cwd=tmp_path)
    assert done.returncode == 1
    assert f"{tmp_path / 'bad.json'}: span: must be positive and finite, got 0" in done.stderr.splitlines()
    assert f"{tmp_path / 'missing.json'}: cannot read the file: No such file or directory" in done.stderr
    assert done.stderr.splitlines()[-1] == "flexura: wrote out.csv: 2 solved, 2 failed"
    rows = list(csv.DictReader(io.StringIO((tmp_path / "out.csv").read_text())))
    assert [(r["file"], r["status"]) for r in rows] == [(str(f), s) for f, s in
                                                        zip(files, ["solved", "failed", "failed", "solved"])]
    result = ft.load(EXAMPLE).solve()
    bm = result.extremes().bm
    assert (float(rows[0]["bm_max"]), float(rows[0]["bm_x_max"]), float(rows[0]["bm_min"])) == (bm.max, bm.x_max, bm.min)
    assert [(rows[0][f"support{k}"], float(rows[0][f"ry{k}"])) for k in (1, 2, 3, 4)] == \
        [(r.label, r.ry) for r in result.reactions]
    assert "span: must be positive and finite, got 0" in rows[1]["problems"] and rows[1]["bm_max"] == ""
    on_workers = flexura(*files, "--csv", "-", "--workers", "2", cwd=tmp_path)
    assert on_workers.returncode == 1 and on_workers.stdout == (tmp_path / "out.csv").read_text()


@pytest.mark.parametrize("args, message", [
    (["--workers", "0"], "flexura: --workers must be 1 or more, got 0"),
    (["--csv", "no/such/folder/out.csv"], "flexura: cannot write no/such/folder/out.csv: No such file or directory"),
])
def test_batch_usage_errors(args, message, tmp_path):
    done = flexura(EXAMPLE, *(["--csv", "out.csv"] if args[0] != "--csv" else []), *args, cwd=tmp_path)
    assert done.returncode == 2 and done.stderr.strip() == message
