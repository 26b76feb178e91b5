"""The examples: the girder's influence lines at its support, the three sweep
modes bit for bit, and each script's main run end to end (the influence lines
against closed forms and reciprocity are the layer's, tools/test_workflows.py)."""

import importlib.machinery
import os
import subprocess
import sys
import types
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
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


def test_the_girder_lines_hold_their_closed_ends():
    # on its support B the unit load is carried by B alone: reaction 1, no moment over B
    lines = il.influence_lines(il.girder(), il.girder_quantities(il.girder()), 50)
    at_b = {name: dict(zip(line.x, line.value)) for name, line in lines.items()}
    assert at_b["R_B"][24.0] == pytest.approx(1.0, abs=1e-9) and at_b["M_B"][24.0] == pytest.approx(0.0, abs=1e-9)


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
    ("influence_lines", ["--points", "60"], "influence_lines.png", ["span / 60:", "for 5 lines",
                                                                    "Shear just right of B"]),
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
