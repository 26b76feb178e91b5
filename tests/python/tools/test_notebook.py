"""Progress bars in a real notebook kernel (nbclient runs the cells in ipykernel)."""
import pytest

nbformat = pytest.importorskip("nbformat", reason="nbclient and ipykernel (the test group) run a notebook")
nbclient = pytest.importorskip("nbclient", reason="nbclient and ipykernel (the test group) run a notebook")
pytest.importorskip("ipykernel", reason="nbclient and ipykernel (the test group) run a notebook")

SETUP = """\
import sys
import flexura_tools as ft
import flexura_tools.progress
flexura_tools.progress.DELAY = 0.0  # show the bar at once, however short the run
beam = ft.Beam(span=20, E=1, I=1, supports=[ft.Support.pin(0), ft.Support.roller(20)])
def drive():  # 41 positions each way
    return ft.moving_load(beam, ft.Vehicle(weights=[1.0]), step=0.5, progress=True).envelope.names
"""
BLOCK_TQDM = "sys.modules['tqdm'] = sys.modules['tqdm.auto'] = None\n"


def shown(cell):
    """The text of a cell's stream outputs, and whether it displayed a widget."""
    text = "".join(o.get("text", "") for o in cell.outputs if o.output_type == "stream")
    widget = any("application/vnd.jupyter.widget-view+json" in o.get("data", {}) for o in cell.outputs)
    return text, widget


def test_progress_shows_in_a_notebook_with_tqdm_and_without():
    cells = [SETUP, "names = drive()", BLOCK_TQDM + "names = drive()", "len(names)"]
    notebook = nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(c) for c in cells])
    nbclient.NotebookClient(notebook, timeout=120, kernel_name="python3").execute()
    (text, widget), without_tqdm = shown(notebook.cells[1]), shown(notebook.cells[2])
    assert widget or ("vehicle: 100%|" in text and "| 82/82" in text and "Warning" not in text)
    assert without_tqdm[0].endswith("\rvehicle [" + "#" * 30 + "] 100% 82/82\n") and not without_tqdm[1]
    assert notebook.cells[3].outputs[0]["data"]["text/plain"] == "82"
