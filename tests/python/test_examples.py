"""The examples: influence lines against closed forms and reciprocity, the
three sweep modes bit for bit, and each script's main run end to end."""

import importlib.machinery
import os
import random
import subprocess
import sys
import types
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
INF = float("inf")
try:
    import matplotlib  # noqa: F401
    has_matplotlib = True
except ImportError:
    has_matplotlib = False


def load(name):
    path = str(EXAMPLES / (name + ".py"))
    module = types.ModuleType(name)
    module.__file__ = path
    sys.modules[name] = module  # worker processes find the sweep functions by this name
    importlib.machinery.SourceFileLoader(name, path).exec_module(module)
    return module


il = load("influence_lines")
sweep = load("sweep")


def beam(span, supports, g=INF):
    # g infinite: no shear deformation, so the Euler-Bernoulli closed forms hold.
    return {"span": span, "e": 200.0, "i": 3.0, "a": 1.0, "g": g, "supports": supports}


@pytest.mark.parametrize("span", [1.0, 8.0, 25.0])
def test_simple_span_midspan_moment_line_is_the_triangle(span):
    model = beam(span, [(0.0, INF, INF, 0.0), (span, 0.0, INF, 0.0)])
    xs = il.linspace(0.0, span, 41)
    line = il.influence_line(model, il.bending_moment(span / 2), xs)
    for x, m in zip(xs, line):
        assert m == pytest.approx(min(x, span - x) / 2, abs=1e-9 * span)
    assert il.extremes(xs, line)[1] == (span / 2, pytest.approx(span / 4))


@pytest.mark.parametrize("length", [4.0, 10.0])
def test_two_equal_spans_interior_reaction(length):
    model = beam(2 * length, [(0.0, INF, INF, 0.0), (length, 0.0, INF, 0.0), (2 * length, 0.0, INF, 0.0)])
    quarter, at_support = il.influence_line(model, il.reaction(length), [length / 4, length])
    # Force method: R = a (3 L^2 - a^2) / (2 L^3) for a unit load at a in the first span.
    assert quarter == pytest.approx(47 / 128, abs=1e-9)
    assert at_support == pytest.approx(1.0, abs=1e-9)


@pytest.mark.parametrize("seed", range(5))
def test_maxwell_betti_reciprocity_on_random_indeterminate_beam(seed):
    rng = random.Random(seed)
    span = rng.uniform(5.0, 30.0)
    inner = sorted(rng.uniform(0.1, 0.9) * span for _ in range(rng.randint(1, 3)))
    supports = [(0.0, INF, INF, INF if rng.random() < 0.5 else 0.0)]
    supports += [(x, 0.0, rng.choice([INF, rng.uniform(1e2, 1e4)]), 0.0) for x in inner]
    supports.append((span, 0.0, rng.choice([INF, rng.uniform(1e2, 1e4)]), 0.0))
    model = beam(span, supports, g=rng.uniform(50.0, 100.0))  # shear deformation included
    a, b = rng.uniform(0, span), rng.uniform(0, span)
    d_ab = il.influence_line(model, il.deflection(a), [b])[0]
    d_ba = il.influence_line(model, il.deflection(b), [a])[0]
    assert d_ab == pytest.approx(d_ba, rel=1e-9, abs=1e-15)
    assert d_ab != 0.0


def test_sweep_modes_are_bit_identical():
    serial = sweep.run_serial(7, 300, n_points=50)
    assert len(serial) == 300 and all(type(v) is float for pair in serial for v in pair)
    assert len(set(serial)) == 300  # every sample draws its own parameters
    assert sweep.bits(sweep.run_processes(7, 300, n_points=50, workers=2, chunk=40)) == sweep.bits(serial)
    assert sweep.bits(sweep.run_chunk(7, 120, 130, 50)) == sweep.bits(serial[120:130])


DASK_SWEEP = """
import sys
sys.path.insert(0, sys.argv[1])
import sweep
client = sweep.dask_client(workers=2)
try:
    distributed = sweep.run_dask(client, 7, 300, n_points=50, chunk=40)
finally:
    sweep.close_client(client)
print(sweep.bits(distributed) == sweep.bits(sweep.run_serial(7, 300, n_points=50)))
"""


def test_sweep_dask_mode_is_bit_identical():
    pytest.importorskip("dask.distributed", reason="dask[distributed] is not installed; Dask mode not tested")
    # In a child process: a Dask cluster leaves threads running, and the
    # process pools of the other tests fork, which with threads may deadlock.
    done = subprocess.run([sys.executable, "-c", DASK_SWEEP, str(EXAMPLES)], capture_output=True, text=True,
                          timeout=300, env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert (done.returncode, done.stdout) == (0, "True\n"), done.stderr


@pytest.mark.parametrize("name, argv, picture, expected", [
    # Reactions of the quickstart beam, checked against an independent Timoshenko FE model.
    ("quickstart", [], "beam.png", ["22.148", "122.205", "44.648"]),
    ("influence_lines", ["--points", "60"], "influence_lines.png", ["60 solves"]),
    # The girder's envelopes, each extreme with its combination, pattern or vehicle position.
    ("envelopes", ["--step", "0.5"], "envelope.png", ["-14560.19 at x =  20.00 (ULS)", "9388.25 at x =  32.50 (span 2)",
                                                      "266 positions", "(forward, front axle at"]),
    ("sweep", ["--samples", "40", "--workers", "1", "--chunk", "20"], None,
     ["bit-identical to serial: True", "dask mode skipped"]),
])
def test_scripts_run(name, argv, picture, expected, tmp_path, capsys, monkeypatch):
    for blocked in ("dask", "dask.distributed"):  # keep the sweep run local and quick
        monkeypatch.setitem(sys.modules, blocked, None)
    args = argv + ([str(tmp_path / picture)] if picture else [])
    assert load(name).main(args) == 0
    out = capsys.readouterr().out
    assert all(text in out for text in expected) and "nan" not in out
    if picture and has_matplotlib:
        assert (tmp_path / picture).stat().st_size > 10000
    elif picture:
        assert "pip install matplotlib" in out
