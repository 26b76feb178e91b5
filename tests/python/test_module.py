import gc
import importlib
import importlib.util
import inspect
import subprocess
import sys
import textwrap
import weakref

import pytest

import flexura
from conftest import CENTRE_LOAD, QUERIES, solve

def test_public_names():
    assert flexura.__all__ == ["solve", "BeamResult", "__doc__"]
    assert isinstance(flexura.__doc__, str) and "\n" not in flexura.__doc__
    namespace = {}
    exec("from flexura import *", namespace)
    assert namespace["__doc__"] == flexura.__doc__ and namespace["solve"] is flexura.solve


def test_reimport_returns_the_same_module():
    saved = sys.modules.pop("flexura")
    try:
        assert importlib.import_module("flexura") is saved
        assert saved.__all__ == ["solve", "BeamResult", "__doc__"]
    finally:
        sys.modules["flexura"] = saved


@pytest.mark.parametrize("name, signature, doc", [
    ("solve", "(span, e, i, a, g, supports, loads, units=None)",
     "Build and solve a beam. `supports` are (pos, kx, ky, km) with float('inf')\nfor rigid; `loads` are "
     "(kind, params) where kind is point/udl/trap/torque/\ndist. Raises ValueError if the beam is unstable / singular."),
    ("reactions", "()", "{position_str: [Rx, Ry, M]} in the caller's force/moment units."),
    ("plotting_vectors", "(n=200)", "{x, nf, sf, bm, d} sampled over the library's mesh (n linspace points\n"
                                    "plus +/-1e-7 around every support/load feature), as plain lists."),
] + [(q, "(x)", None) for q in QUERIES])
def test_signatures_and_docstrings(centre, name, signature, doc):
    target = flexura.solve if name == "solve" else getattr(centre, name)
    assert str(inspect.signature(target)) == signature
    assert target.__doc__ == doc


def test_beam_result_type():
    cls = flexura.BeamResult
    assert cls.__name__ == cls.__qualname__ == "BeamResult" and cls.__bases__ == (object,)
    assert cls.__doc__ == ("Solved beam. Query methods mirror flexura's `get_*` (evaluate just\noff each side "
                           "of x and keep the larger-magnitude value), so a singularity at\na support/load is "
                           "handled identically.")
    with pytest.raises(TypeError, match="^No constructor defined for BeamResult$"):
        cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    r = solve([CENTRE_LOAD])
    assert not hasattr(r, "__dict__")
    with pytest.raises(AttributeError):
        r.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(r)


def test_import_with_warnings_as_errors():
    code = "import flexura; print(flexura.BeamResult.__name__)"
    out = subprocess.run([sys.executable, "-W", "error", "-c", code], capture_output=True, text=True)
    assert (out.returncode, out.stdout.strip()) == (0, "BeamResult"), out.stderr


def test_subinterpreter_import_is_refused():
    name = next((m for m in ("_interpreters", "_xxsubinterpreters") if importlib.util.find_spec(m)), None)
    if name is None:
        pytest.skip("no sub-interpreter support")
    # In a child process: the refused import must not disturb this one.
    script = textwrap.dedent(f"""
        import flexura, {name} as interp
        try:
            print(interp.run_string(interp.create(), "import flexura"))
        except Exception as error:
            print(error)
    """)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60)
    assert "ImportError" in out.stdout and "flexura" in out.stdout, out.stdout + out.stderr


def _leak_paths():
    r = solve([CENTRE_LOAD, ("udl", [-1, 0, 10, 90]), ("trap", [0, -3, 0, 10, 45]),
               ("dist", [0, 10, 90, 0, -0.3]), ("torque", [10, 5])])
    return [lambda q=q: getattr(r, q)(3.0) for q in QUERIES] + [
        lambda: solve([CENTRE_LOAD], units={"force": 2}), r.reactions, lambda: r.plotting_vectors(50),
        lambda: r.plotting_vectors(2**62), lambda: r.plotting_vectors(-1), lambda: r.plotting_vectors(None),
        lambda: r.eval_d(1, 2), lambda: r.get_shear_force(x="a"), lambda: flexura.solve(*range(7), unit=1),
        lambda: solve(supports=[(0, 1, 2)]), lambda: solve(supports=[[0, 1, 2, 3]]), lambda: solve(units=[]),
        lambda: solve([("point", [1, 2, "a"])]), lambda: solve([CENTRE_LOAD, ("bogus", [])]),
        lambda: solve([("dist", [0, 1, 2])]), lambda: solve([CENTRE_LOAD], supports=[]),
    ]


@pytest.mark.parametrize("path", range(len(_leak_paths())))
def test_no_leaks(path):
    call = _leak_paths()[path]

    def run(times):
        for _ in range(times):
            try:
                call()
            except (TypeError, ValueError, OverflowError, MemoryError):
                pass

    run(20)
    gc.collect()
    before = sys.getallocatedblocks()
    run(200)
    gc.collect()
    assert sys.getallocatedblocks() - before < 40
